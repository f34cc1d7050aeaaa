#include "ui/HelpTip.h"

#include "core/ScreenGeometry.h"
#include "ui/FloatingPanel.h"
#include "ui/TipBubble.h"

#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QPropertyAnimation>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace kx {

namespace {

// Watches one widget for the pointer entering and leaving, and for it going away.
class HelpTipFilter : public QObject {
public:
    HelpTipFilter(QWidget* widget, const TipContent& content)
        : QObject(widget), id_(QUuid::createUuid()), content_(content)
    {
        setObjectName(QStringLiteral("kxHelpTip"));
        widget->setAttribute(Qt::WA_Hover);
        widget->installEventFilter(this);
    }
    ~HelpTipFilter() override { TipController::shared().leave(id_); }

    void setContent(const TipContent& content) { content_ = content; }
    const TipContent& content() const { return content_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
            case QEvent::Enter:
                TipController::shared().schedule(id_, content_);
                break;
            case QEvent::Leave:
            case QEvent::Hide:
            case QEvent::DeferredDelete:
                TipController::shared().leave(id_);
                break;
            default:
                break;
        }
        return false;
    }

private:
    QUuid id_;
    TipContent content_;
};

class QtTimer : public TipController::Timer {
public:
    QtTimer() { timer_.setSingleShot(true); }
    void start(int ms, std::function<void()> fire) override
    {
        QObject::disconnect(&timer_, nullptr, nullptr, nullptr);
        QObject::connect(&timer_, &QTimer::timeout, &timer_, std::move(fire));
        timer_.start(ms);
    }
    void stop() override { timer_.stop(); }

private:
    QTimer timer_;
};

class BubblePresenter : public TipController::Presenter {
public:
    void show(const TipContent& c) override
    {
        auto* panel =
            new FloatingPanel(new TipBubble(c.title, c.detail, c.key), FloatingPanel::Input::ignoresMouse);
        panel->setAttribute(Qt::WA_DeleteOnClose);
        const QPoint pointer = QCursor::pos();
        QScreen* screen = screenContaining(pointer);
        const QRect visible = screen ? screen->availableGeometry() : QRect(pointer, QSize(1, 1));
        panel->setWindowOpacity(0);
        panel->showAt(tipPosition(pointer, panel->size(), visible));
        fade(panel, 1.0, 150, false);
        panel_ = panel;
    }
    void hide() override
    {
        if (!panel_)
            return;
        fade(panel_, 0.0, 120, true);
        panel_ = nullptr;
    }
    ~BubblePresenter() override
    {
        if (panel_)
            panel_->close();
    }

private:
    static void fade(QWidget* panel, qreal to, int ms, bool closeAtEnd)
    {
        auto* a = new QPropertyAnimation(panel, "windowOpacity", panel);
        a->setDuration(ms);
        a->setEndValue(to);
        if (closeAtEnd)
            QObject::connect(a, &QPropertyAnimation::finished, panel, &QWidget::close);
        a->start(QAbstractAnimation::DeleteWhenStopped);
    }
    QPointer<QWidget> panel_;
};

}  // namespace

void helpTip(QWidget* widget, const QString& title, const QString& detail, const QString& key)
{
    if (!widget)
        return;
    const TipContent content{title, detail, key};
    if (auto* existing =
            widget->findChild<HelpTipFilter*>(QStringLiteral("kxHelpTip"), Qt::FindDirectChildrenOnly)) {
        existing->setContent(content);
        return;
    }
    new HelpTipFilter(widget, content);
}

std::optional<TipContent> helpTipOf(const QWidget* widget)
{
    const auto* tip =
        widget ? widget->findChild<HelpTipFilter*>(QStringLiteral("kxHelpTip"), Qt::FindDirectChildrenOnly)
               : nullptr;
    return tip ? std::optional(tip->content()) : std::nullopt;
}

QPoint tipPosition(const QPoint& pointer, const QSize& size, const QRect& visible)
{
    const int right = visible.x() + visible.width();
    const int bottom = visible.y() + visible.height();
    const int x = std::min(right - size.width() - 4, std::max(pointer.x() + 10, visible.x() + 4));
    int y = pointer.y() + 14;
    if (y + size.height() > bottom - 4)
        y = pointer.y() - 22 - size.height();
    return {x, y};
}

TipController& TipController::shared()
{
    // Never destroyed: widgets that go away late still reach it.
    static auto* controller =
        new TipController(std::make_unique<QtTimer>(), std::make_unique<BubblePresenter>());
    return *controller;
}

TipController::TipController(std::unique_ptr<Timer> timer, std::unique_ptr<Presenter> presenter)
    : timer_(std::move(timer)), presenter_(std::move(presenter))
{
}

TipController::~TipController()
{
    if (showing_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void TipController::schedule(const QUuid& owner, const TipContent& content)
{
    cancel();
    owner_ = owner;
    content_ = content;
    pending_ = true;
    QPointer<TipController> self(this);
    timer_->start(delayMs, [self] {
        if (self)
            self->show();
    });
}

void TipController::leave(const QUuid& owner)
{
    if (owner_ && *owner_ == owner)
        cancel();
}

void TipController::cancel()
{
    if (pending_) {
        timer_->stop();
        pending_ = false;
    }
    owner_.reset();
    if (showing_) {
        showing_ = false;
        if (QCoreApplication::instance())
            QCoreApplication::instance()->removeEventFilter(this);
        presenter_->hide();
    }
}

TipController::State TipController::state() const
{
    if (showing_)
        return State::showing;
    return pending_ ? State::armed : State::idle;
}

void TipController::show()
{
    if (!pending_ || !owner_)
        return;
    pending_ = false;
    showing_ = true;
    presenter_->show(content_);
    if (QCoreApplication::instance())
        QCoreApplication::instance()->installEventFilter(this);
}

bool TipController::eventFilter(QObject*, QEvent* event)
{
    switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::Wheel:
            if (showing_)
                cancel();
            break;
        default:
            break;
    }
    return false;
}

}  // namespace kx
