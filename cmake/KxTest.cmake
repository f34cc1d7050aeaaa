# kx_add_test(NAME <name> SOURCES <files...> LIBS <targets...> LABEL unit|desktop|servers [TIMEOUT s])
#
# unit tests run with the offscreen Qt platform; desktop tests run inside
# scripts/desktop-session.sh (Xvfb + openbox + D-Bus + unlocked keyring).
# A test that exits 77 is reported as skipped.
set(KX_DESKTOP_SESSION ${CMAKE_SOURCE_DIR}/scripts/desktop-session.sh)

function(kx_add_test)
  cmake_parse_arguments(T "" "NAME;LABEL;TIMEOUT" "SOURCES;LIBS;ARGS" ${ARGN})
  if(NOT T_LABEL)
    set(T_LABEL unit)
  endif()
  if(NOT T_TIMEOUT)
    if(T_LABEL STREQUAL "unit")
      set(T_TIMEOUT 300)
    else()
      set(T_TIMEOUT 600)
    endif()
  endif()
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE kx_testsupport ${T_LIBS})
  if(T_LABEL STREQUAL "desktop")
    add_test(NAME ${T_NAME} COMMAND ${KX_DESKTOP_SESSION} $<TARGET_FILE:${T_NAME}> ${T_ARGS})
  else()
    add_test(NAME ${T_NAME} COMMAND ${T_NAME} ${T_ARGS})
  endif()
  set(env "KX_SOURCE_DIR=${CMAKE_SOURCE_DIR}" "KX_BINARY_DIR=${CMAKE_BINARY_DIR}"
          "KX_ARTIFACT_DIR=${CMAKE_BINARY_DIR}/artifacts")
  if(NOT T_LABEL STREQUAL "desktop")
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  set_tests_properties(${T_NAME} PROPERTIES
    LABELS ${T_LABEL}
    TIMEOUT ${T_TIMEOUT}
    SKIP_RETURN_CODE 77
    ENVIRONMENT "${env}")
endfunction()
