#pragma once
// What the scrolling capture's HUD shows, and the actions its buttons run.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace kx {

class ScrollCaptureModel : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    const QString& status() const { return status_; }
    int frames() const { return frames_; }
    int height() const { return height_; }
    bool autoScroll() const { return auto_; }
    const std::optional<QString>& warning() const { return warning_; }

    void setStatus(const QString& status);
    void setFrames(int frames);
    void setHeight(int height);
    void setAutoScroll(bool on);
    void setWarning(const std::optional<QString>& warning);

    // "3 frames · 2400 px", localised.
    QString counterText() const;

    std::function<void()> onToggleAuto;
    std::function<void()> onDone;
    std::function<void()> onCancel;

Q_SIGNALS:
    void changed();

private:
    QString status_;
    int frames_ = 1;
    int height_ = 0;
    bool auto_ = false;
    std::optional<QString> warning_;
};

}  // namespace kx
