#pragma once
// The editor tests draw on the sample screenshots with the demo annotations, in fixed fonts.
#include "devtools/samples/DemoAnnotations.h"
#include "devtools/samples/SamplePictures.h"
#include "editor/PaintHelpers.h"

namespace kx::test {

inline void pinEditorFonts()
{
    EditorFont::setFamilies("DejaVu Sans", "DejaVu Sans Mono");
}

using namespace kx::samples;

}  // namespace kx::test
