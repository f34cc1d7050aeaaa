#pragma once
// Thumbnails of the seven frame edges for the backdrop popover: a small drawn mock screenshot
// framed by the exporter's own frame renderer, each made once per process.
#include "editor/BeautifySettings.h"

#include <QImage>
#include <QString>

namespace kx::FrameThumbs {

// The mock screenshot: 160 × 100 points drawn at 2 pixels per point (320 × 200 pixels).
const QImage& sample();
// The framed sample for `edge`; the same image on every later call.
const QImage& image(BeautifySettings::Edge edge);
// The one-line description shown as the edge tile's hover-tip detail.
QString detail(BeautifySettings::Edge edge);
// The fixed settings every thumbnail is framed with.
BeautifySettings settings(BeautifySettings::Edge edge);

}  // namespace kx::FrameThumbs
