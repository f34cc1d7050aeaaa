#include "capture/scroll/ScrollCaptureModel.h"

#include "core/Localisation.h"

namespace kx {

void ScrollCaptureModel::setStatus(const QString& status)
{
    if (status_ == status)
        return;
    status_ = status;
    Q_EMIT changed();
}

void ScrollCaptureModel::setFrames(int frames)
{
    if (frames_ == frames)
        return;
    frames_ = frames;
    Q_EMIT changed();
}

void ScrollCaptureModel::setHeight(int height)
{
    if (height_ == height)
        return;
    height_ = height;
    Q_EMIT changed();
}

void ScrollCaptureModel::setAutoScroll(bool on)
{
    if (auto_ == on)
        return;
    auto_ = on;
    Q_EMIT changed();
}

void ScrollCaptureModel::setWarning(const std::optional<QString>& warning)
{
    if (warning_ == warning)
        return;
    warning_ = warning;
    Q_EMIT changed();
}

QString ScrollCaptureModel::counterText() const
{
    return QStringLiteral("%1 %2 · %3 px")
        .arg(frames_)
        .arg(frames_ == 1 ? kx::tr("frame", "képkocka", "Bild") : kx::tr("frames", "képkocka", "Bilder"))
        .arg(height_);
}

}  // namespace kx
