#pragma once
// What the editor tests draw on: plain pictures and captures, the sample screenshots with the
// demo annotations, in fixed fonts.
#include "core/CaptureResult.h"
#include "devtools/samples/DemoAnnotations.h"
#include "devtools/samples/SamplePictures.h"
#include "editor/PaintHelpers.h"

namespace kx::test {

inline void pinEditorFonts()
{
    EditorFont::setFamilies("DejaVu Sans", "DejaVu Sans Mono");
}

inline QImage filled(int w, int h, QColor c = QColor(40, 90, 160))
{
    QImage img(w, h, QImage::Format_ARGB32_Premultiplied);
    img.fill(c);
    return img;
}

inline CaptureResult plainCapture(int w, int h, double scale = 1, SourceKind kind = SourceKind::area,
                                  QColor c = QColor(40, 90, 160))
{
    return {filled(w, h, c), scale, kind, std::nullopt, QDateTime::currentDateTime()};
}

using namespace kx::samples;

}  // namespace kx::test
