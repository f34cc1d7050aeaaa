#include "capture/scroll/ScrollHud.h"

#include "capture/scroll/ScrollCaptureModel.h"
#include "core/Localisation.h"
#include "ui/ChromeButton.h"
#include "ui/FloatingSurface.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace kx {

QPointF hudPlacement(const QRectF& screen, const QRectF& rect, const QSizeF& hud)
{
    const double w = hud.width();
    const double h = hud.height();
    const double margin = 8;
    const double gap = 12;
    // The border reaches 4 points past the rectangle; the HUD keeps clear of it too.
    const QRectF keepOut = rect.adjusted(-ScrollBorder::kOutset, -ScrollBorder::kOutset,
                                         ScrollBorder::kOutset, ScrollBorder::kOutset);
    auto clampX = [&](double x) {
        return std::min(std::max(x, screen.left() + margin), screen.right() - w - margin);
    };
    auto clampY = [&](double y) {
        return std::min(std::max(y, screen.top() + margin), screen.bottom() - h - margin);
    };

    double x = clampX(rect.center().x() - w / 2);
    double y = rect.bottom() + gap;
    if (y + h > screen.bottom() - margin)
        y = rect.top() - gap - h;
    if (y < screen.top() + margin)
        y = screen.bottom() - 24 - h;
    QRectF placed(x, y, w, h);
    if (!placed.intersects(keepOut))
        return placed.topLeft();

    // Neither below nor above: beside the rectangle, right first.
    const double sideY = clampY(rect.center().y() - h / 2);
    const double right = rect.right() + gap;
    if (right + w <= screen.right() - margin)
        return QPointF(right, sideY);
    const double left = rect.left() - gap - w;
    if (left >= screen.left() + margin)
        return QPointF(left, sideY);
    return placed.topLeft();
}

namespace {

class HudContent : public SurfaceWidget {
public:
    explicit HudContent(ScrollCaptureModel* model) : model_(model)
    {
        row_ = new QBoxLayout(QBoxLayout::LeftToRight, this);
        row_->setContentsMargins(8 + 14, 8 + 10, 8 + 14, 8 + 10);
        row_->setSpacing(12);
        auto* column = new QVBoxLayout;
        column->setSpacing(2);
        status_ = new QLabel;
        status_->setFont(Theme::font(12, QFont::DemiBold));
        counter_ = new QLabel;
        counter_->setFont(Theme::font(11));
        warning_ = new QLabel;
        warning_->setFont(Theme::font(11));
        for (QLabel* l : {status_, counter_, warning_}) {
            l->setMinimumWidth(150);
            column->addWidget(l);
        }
        row_->addLayout(column);
        buttons_ = new QBoxLayout(QBoxLayout::LeftToRight);
        buttons_->setSpacing(12);
        row_->addLayout(buttons_);
        auto* ends = new QHBoxLayout;  // Done and Cancel stay side by side
        ends->setSpacing(12);

        ChromeButtonStyle prominent;
        prominent.prominent = true;
        toggle_ = new ChromeButton(QString(), QString(), prominent, [this] {
            if (model_->onToggleAuto)
                model_->onToggleAuto();
        });
        auto* done =
            new ChromeButton(QString(), kx::tr("Done ↩", "Kész ↩", "Fertig ↩"), ChromeButtonStyle{}, [this] {
                if (model_->onDone)
                    model_->onDone();
            });
        auto* cancel = new ChromeButton(QString(), kx::tr("Cancel ⎋", "Mégse ⎋", "Abbrechen ⎋"),
                                        ChromeButtonStyle{}, [this] {
                                            if (model_->onCancel)
                                                model_->onCancel();
                                        });
        buttons_->addWidget(toggle_);
        buttons_->addLayout(ends);
        for (ChromeButton* b : {done, cancel})
            ends->addWidget(b);
        refresh();
    }

    // Texts and buttons side by side where the screen is wide enough, else the buttons under
    // the texts (a small screen, long words): the HUD stays whole on the screen.
    void fitTo(int maxWidth)
    {
        maxWidth_ = maxWidth;
        refresh();
    }

    void refresh()
    {
        status_->setText(model_->status());
        counter_->setText(model_->counterText());
        warning_->setText(model_->warning().value_or(QString()));
        warning_->setVisible(model_->warning().has_value());
        toggle_->setTitle(model_->autoScroll()
                              ? kx::tr("Pause", "Szünet", "Pause")
                              : kx::tr("Auto-scroll", "Automatikus görgetés", "Auto-Scroll"));
        QPalette pal = palette();
        counter_->setStyleSheet(QStringLiteral("color: %1").arg(Theme::secondary(pal).name(QColor::HexArgb)));
        warning_->setStyleSheet(QStringLiteral("color: %1").arg(Theme::systemOrange().name(QColor::HexArgb)));
        status_->setStyleSheet(QStringLiteral("color: %1").arg(Theme::primary(pal).name(QColor::HexArgb)));
        // The widest arrangement that fits: one row; the buttons under the texts; the toggle
        // above Done and Cancel.
        const std::pair<QBoxLayout::Direction, QBoxLayout::Direction> ways[] = {
            {QBoxLayout::LeftToRight, QBoxLayout::LeftToRight},
            {QBoxLayout::TopToBottom, QBoxLayout::LeftToRight},
            {QBoxLayout::TopToBottom, QBoxLayout::TopToBottom}};
        for (QLabel* l : {status_, warning_}) {
            l->setWordWrap(false);
            l->setMaximumWidth(QWIDGETSIZE_MAX);
        }
        for (const auto& [outer, inner] : ways) {
            row_->setDirection(outer);
            buttons_->setDirection(inner);
            row_->activate();
            if (maxWidth_ <= 0 || sizeHint().width() <= maxWidth_)
                break;
        }
        if (maxWidth_ > 0 && sizeHint().width() > maxWidth_) {
            // Still too wide: the long texts wrap.
            const QMargins m = row_->contentsMargins();
            for (QLabel* l : {status_, warning_}) {
                l->setWordWrap(true);
                l->setMaximumWidth(std::max(150, maxWidth_ - m.left() - m.right()));
            }
            row_->activate();
        }
        resize(sizeHint());
    }

    QPainterPath surfacePath() const override
    {
        return roundedRect(QRectF(rect()).adjusted(8, 8, -8, -8), 12);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPainterPath shape = surfacePath();
        paintFloatingSurface(p, shape, true, palette());
        p.setPen(QPen(Theme::primary(palette(), 0.15), 1));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
    }

private:
    ScrollCaptureModel* model_;
    QBoxLayout* row_;
    QBoxLayout* buttons_;
    int maxWidth_ = 0;
    QLabel* status_;
    QLabel* counter_;
    QLabel* warning_;
    ChromeButton* toggle_;
};

}  // namespace

ScrollHud::ScrollHud(ScrollCaptureModel* model) : FloatingPanel(new HudContent(model))
{
    setWindowTitle(QStringLiteral("Kaptorix Scrolling Capture"));
    connect(model, &ScrollCaptureModel::changed, this, [this] {
        static_cast<HudContent*>(content())->refresh();
        refit();
    });
}

void ScrollHud::fitTo(int maxWidth)
{
    static_cast<HudContent*>(content())->fitTo(maxWidth);
    refit();
}

ScrollBorder::ScrollBorder(QScreen* screen, const QRectF& globalRect)
{
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                   Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint |
                   Qt::WindowTransparentForInput | Qt::NoDropShadowWindowHint);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_X11DoNotAcceptFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setWindowTitle(QStringLiteral("Kaptorix Scrolling Border"));
    const QRect outer = globalRect.adjusted(-kOutset, -kOutset, kOutset, kOutset).toAlignedRect();
    if (screen)
        setScreen(screen);
    setGeometry(outer);
    // Only the dashes belong to the window: the captured rectangle and the gaps stay uncovered.
    setMask(dashes(outer.size()));
}

QRegion ScrollBorder::dashes(const QSize& outer)
{
    constexpr double kWidth = 3, kOn = 8, kOff = 5, kHalf = kWidth / 2;
    const double w = outer.width() - kWidth, h = outer.height() - kWidth;
    if (w <= 0 || h <= 0)
        return {};
    const double W = outer.width(), H = outer.height();
    const double sides[4] = {w, h, w, h};
    const double total = 2 * (w + h);
    const auto px = [](double v) { return int(std::lround(v)); };
    QRegion region;
    for (double start = 0; start < total; start += kOn + kOff) {
        const double end = std::min(start + kOn, total);
        double sideStart = 0;
        for (int side = 0; side < 4; sideStart += sides[side], ++side) {
            double u0 = std::max(start, sideStart) - sideStart;
            double u1 = std::min(end, sideStart + sides[side]) - sideStart;
            if (u0 >= u1)
                continue;
            // A dash through a corner fills the corner's square, as a mitred pen does.
            if (u0 == 0)
                u0 = -kHalf;
            if (u1 == sides[side])
                u1 += kHalf;
            QRectF r;
            switch (side) {
                case 0:
                    r = QRectF(QPointF(kHalf + u0, 0), QPointF(kHalf + u1, kWidth));
                    break;
                case 1:
                    r = QRectF(QPointF(W - kWidth, kHalf + u0), QPointF(W, kHalf + u1));
                    break;
                case 2:
                    r = QRectF(QPointF(W - kHalf - u1, H - kWidth), QPointF(W - kHalf - u0, H));
                    break;
                default:
                    r = QRectF(QPointF(0, H - kHalf - u1), QPointF(kWidth, H - kHalf - u0));
                    break;
            }
            region += QRect(QPoint(px(r.left()), px(r.top())), QPoint(px(r.right()) - 1, px(r.bottom()) - 1));
        }
    }
    return region;
}

void ScrollBorder::showWithoutActivating()
{
    show();
}

void ScrollBorder::paintEvent(QPaintEvent*)
{
    // The dashes exactly as the window is cut, so no edge of a gap is painted.
    QPainter p(this);
    for (const QRect& r : dashes(size()))
        p.fillRect(r, Theme::systemBlue());
}

}  // namespace kx
