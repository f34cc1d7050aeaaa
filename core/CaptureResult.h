#pragma once
#include "core/SourceKind.h"

#include <QDateTime>
#include <QImage>
#include <QString>
#include <optional>

namespace kx {

// One captured (or opened, or pasted) image. A plain value; QImage is shared on copy.
struct CaptureResult {
    QImage image;        // pixels
    double scale = 1.0;  // pixels per point
    SourceKind kind = SourceKind::area;
    std::optional<QString> title;  // window title or file name; absent for the other sources
    QDateTime date;                // moment of capture
};

}  // namespace kx
