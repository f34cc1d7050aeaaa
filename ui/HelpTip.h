#pragma once
// Hover tips: when the pointer rests on a control for 3 s, a small bubble appears next to
// the pointer with the control's name, an optional explanation and an optional key cap.
// At most one tip exists in the whole application.
//
//   helpTip(button, kx::tr("Pin", ...), QString(), QString());
//
// Texts are already localised; an empty detail or key means none.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QUuid>
#include <functional>
#include <memory>
#include <optional>

#include <QObject>

class QWidget;

namespace kx {

// Attaches (or replaces) the hover tip of `widget`; it lives as long as the widget.
void helpTip(QWidget* widget, const QString& title, const QString& detail = QString(),
             const QString& key = QString());

struct TipContent;
// The tip attached to `widget`, if any (texts that name a button by its tip are checked against it).
std::optional<TipContent> helpTipOf(const QWidget* widget);

// Where a tip bubble of `size` goes for a pointer at `pointer` on a screen whose visible
// area is `visible` (Qt global coordinates): 10 right of and 14 below the pointer, kept
// 4 inside the left and right edges; when that would cross the bottom edge (less 4), 22
// above the pointer instead. The top edge is not clamped.
QPoint tipPosition(const QPoint& pointer, const QSize& size, const QRect& visible);

struct TipContent {
    QString title;
    QString detail;
    QString key;
};

class TipController : public QObject {
    Q_OBJECT
public:
    static constexpr int delayMs = 3000;

    // The one-shot timer behind the delay; tests give a fake one.
    class Timer {
    public:
        virtual ~Timer() = default;
        virtual void start(int ms, std::function<void()> fire) = 0;
        virtual void stop() = 0;
    };
    // Shows and hides the bubble; tests give a fake one.
    class Presenter {
    public:
        virtual ~Presenter() = default;
        virtual void show(const TipContent& content) = 0;
        virtual void hide() = 0;
    };

    enum class State { idle, armed, showing };

    static TipController& shared();
    TipController(std::unique_ptr<Timer> timer, std::unique_ptr<Presenter> presenter);
    ~TipController() override;

    // Arms a tip for `owner`, dropping any earlier tip at once.
    void schedule(const QUuid& owner, const TipContent& content);
    // The owner's view lost the pointer or went away; another owner's tip is left alone.
    void leave(const QUuid& owner);
    // Drops any pending or visible tip.
    void cancel();

    State state() const;
    std::optional<QUuid> owner() const { return owner_; }

protected:
    // While a tip shows: a click, right click, key press or wheel anywhere hides it; the
    // event itself goes on unchanged.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void show();

    std::unique_ptr<Timer> timer_;
    std::unique_ptr<Presenter> presenter_;
    std::optional<QUuid> owner_;
    TipContent content_;
    bool pending_ = false;
    bool showing_ = false;
};

}  // namespace kx
