#!/bin/bash
# Installs every Debian package the build, the app and the test suite need. Idempotent; runs as root
# (or through sudo when available). Extend this one list as the project grows.
set -euo pipefail
KX_PKGS=(
  # toolchain
  cmake ninja-build ccache g++ pkg-config git clang-format
  libgtest-dev libgmock-dev libbenchmark-dev
  # Qt 6
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev libqt6svg6 qt6-image-formats-plugins
  # image, OCR, barcodes
  libheif-dev libpng-dev libheif1 libtesseract-dev tesseract-ocr-eng tesseract-ocr-deu tesseract-ocr-hun libzxing-dev
  # desktop services
  libsecret-1-dev libcanberra-dev
  libx11-dev libx11-xcb-dev libxcb1-dev libxcb-shm0-dev libxcb-xtest0-dev libxcb-ewmh-dev libxcb-icccm4-dev
  libxcb-keysyms1-dev libxcb-randr0-dev libxcb-xfixes0-dev libxcb-res0-dev libxcb-shape0-dev libxcb-util-dev
  libxkbcommon-dev
  # headless desktop for tests
  xvfb xauth x11-utils x11-xserver-utils xdotool openbox trayer imagemagick xclip xcompmgr
  xserver-xorg-core xserver-xorg-video-dummy
  # secrets (Secret Service) for tests
  dbus dbus-x11 gnome-keyring libsecret-tools
  # upload peers for tests
  curl openssh-client openssh-server rclone python3-pyftpdlib openssl
  # rendering / sound theme; colour emoji in text annotations
  fonts-dejavu-core fonts-dejavu-extra sound-theme-freedesktop fonts-noto-color-emoji
  # Qt's own words (colour dialog, file dialogs) in German and Hungarian
  qt6-translations-l10n
  # the system's messages in German and Hungarian (the notice fit test reads them)
  libc-l10n
)
missing=()
for p in "${KX_PKGS[@]}"; do
  dpkg-query -W -f='${db:Status-Abbrev}' "$p" 2>/dev/null | grep -q '^ii' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "installing ${#missing[@]} missing package(s): ${missing[*]}"
  SUDO=""
  [ "$(id -u)" = 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "all ${#KX_PKGS[@]} packages present"
fi
