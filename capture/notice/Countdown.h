#pragma once
// The countdown before a timed capture: a round panel in the middle of the screen under
// the pointer showing the seconds left inside a ring that empties as time runs out. It
// ignores the mouse and never takes focus.
//
//   Countdown::run(3, [this] { startCapture(); });
//
// The panel shows seconds, seconds − 1, ..., 1, one second each; then it hides and, 0.12 s
// later, `done` runs. With seconds < 1 nothing shows and `done` runs at once.

#include "ui/FloatingSurface.h"

#include <QObject>
#include <functional>

class QVariantAnimation;

namespace kx {

class CountdownModel : public QObject {
    Q_OBJECT
public:
    explicit CountdownModel(int total, QObject* parent = nullptr);
    int remaining() const { return remaining_; }
    int total() const { return total_; }
    void setRemaining(int remaining);

Q_SIGNALS:
    void remainingChanged(int remaining);

private:
    int remaining_;
    int total_;
};

class CountdownView : public SurfaceWidget {
public:
    static constexpr int panelSize = 144;

    explicit CountdownView(CountdownModel* model, QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QPainterPath surfacePath() const override;
    // The ring's filled fraction: remaining / max(total, 1).
    static qreal progress(int remaining, int total);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CountdownModel* model_;
    qreal shownProgress_;
    QVariantAnimation* ring_;
};

class Countdown {
public:
    static constexpr int stepMs = 1000;
    static constexpr int settleMs = 120;

    // Runs the countdown and calls `done` when it is over and its panel gone. Returns the
    // model that the panel shows (alive until `done` runs), or null when seconds < 1.
    static CountdownModel* run(int seconds, std::function<void()> done);
    // The panel's rectangle: 144 × 144 centred on a screen's full frame.
    static QRect panelRect(const QRect& screenFrame);
};

}  // namespace kx
