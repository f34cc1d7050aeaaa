#include "capture/notice/Countdown.h"

#include "core/ScreenGeometry.h"
#include "ui/FloatingPanel.h"
#include "ui/Theme.h"

#include <QCursor>
#include <QPainter>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>
#include <cmath>

namespace kx {

namespace {

constexpr qreal kOuter = 8, kFrame = 128, kPad = 18, kLine = 6;

// One countdown from its first number to `done`; deletes itself at the end.
class CountdownRun : public QObject {
public:
    CountdownRun(int seconds, std::function<void()> done)
        : n_(seconds), done_(std::move(done)), model_(new CountdownModel(seconds, this))
    {
        panel_ = new FloatingPanel(new CountdownView(model_), FloatingPanel::Input::ignoresMouse);
        QScreen* screen = screenContaining(QCursor::pos());
        const QRect frame =
            screen ? screen->geometry() : QRect(0, 0, CountdownView::panelSize, CountdownView::panelSize);
        panel_->showAt(Countdown::panelRect(frame).topLeft());
        timer_.setSingleShot(true);
        connect(&timer_, &QTimer::timeout, this, &CountdownRun::step);
        model_->setRemaining(n_);
        timer_.start(Countdown::stepMs);
    }
    ~CountdownRun() override
    {
        if (panel_)
            panel_->deleteLater();
    }
    CountdownModel* model() const { return model_; }

private:
    void step()
    {
        if (n_ >= 2) {
            model_->setRemaining(--n_);
            timer_.start(Countdown::stepMs);
            return;
        }
        if (panel_) {
            panel_->hide();
            panel_->deleteLater();
        }
        QTimer::singleShot(Countdown::settleMs, this, [this] {
            if (done_)
                done_();
            deleteLater();
        });
    }

    int n_;
    std::function<void()> done_;
    CountdownModel* model_;
    QPointer<FloatingPanel> panel_;
    QTimer timer_;
};

}  // namespace

CountdownModel::CountdownModel(int total, QObject* parent) : QObject(parent), remaining_(total), total_(total)
{
}

void CountdownModel::setRemaining(int remaining)
{
    remaining_ = remaining;
    Q_EMIT remainingChanged(remaining);
}

CountdownView::CountdownView(CountdownModel* model, QWidget* parent)
    : SurfaceWidget(parent), model_(model), shownProgress_(progress(model->remaining(), model->total()))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    ring_ = new QVariantAnimation(this);
    ring_->setDuration(Countdown::stepMs);
    ring_->setEasingCurve(QEasingCurve::Linear);
    connect(ring_, &QVariantAnimation::valueChanged, this, [this](const QVariant& v) {
        shownProgress_ = v.toReal();
        update();
    });
    connect(model_, &CountdownModel::remainingChanged, this, [this](int remaining) {
        const qreal target = progress(remaining, model_->total());
        ring_->stop();
        if (!isVisible()) {
            shownProgress_ = target;
            update();
            return;
        }
        ring_->setStartValue(shownProgress_);
        ring_->setEndValue(target);
        ring_->start();
    });
}

qreal CountdownView::progress(int remaining, int total)
{
    return qreal(remaining) / qreal(std::max(total, 1));
}

QSize CountdownView::sizeHint() const
{
    return {panelSize, panelSize};
}

QPainterPath CountdownView::surfacePath() const
{
    QPainterPath path;
    path.addEllipse(QRectF(kOuter, kOuter, kFrame, kFrame));
    return path;
}

void CountdownView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    paintFloatingSurface(p, surfacePath(), castsShadow(), palette());

    const QRectF ring(kOuter + kPad, kOuter + kPad, kFrame - 2 * kPad, kFrame - 2 * kPad);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Theme::primary(palette(), 0.12), kLine, Qt::SolidLine, Qt::FlatCap));
    p.drawEllipse(ring);
    if (shownProgress_ > 0) {
        p.setPen(QPen(Theme::accent(palette()), kLine, Qt::SolidLine, Qt::RoundCap));
        // From twelve o'clock, clockwise.
        p.drawArc(ring, 90 * 16, -int(std::lround(shownProgress_ * 360 * 16)));
    }
    p.setFont(Theme::font(52, QFont::Bold));
    p.setPen(Theme::primary(palette()));
    p.drawText(ring, Qt::AlignCenter, QString::number(model_->remaining()));
}

CountdownModel* Countdown::run(int seconds, std::function<void()> done)
{
    if (seconds < 1) {
        if (done)
            done();
        return nullptr;
    }
    return (new CountdownRun(seconds, std::move(done)))->model();
}

QRect Countdown::panelRect(const QRect& screenFrame)
{
    const QPoint c(screenFrame.x() + screenFrame.width() / 2, screenFrame.y() + screenFrame.height() / 2);
    return {c.x() - CountdownView::panelSize / 2, c.y() - CountdownView::panelSize / 2,
            CountdownView::panelSize, CountdownView::panelSize};
}

}  // namespace kx
