#include "editor/window/StatusPill.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/EditorKeys.h"
#include "editor/window/EditorMetrics.h"
#include "ui/Brand.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/FloatingSurface.h"
#include "ui/HelpTip.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVariantAnimation>
#include <cmath>

namespace kx {

namespace {

// Room around floating capsules for their shadow.
constexpr int kShadowMargin = 8;

QPainterPath capsule(const QRectF& r)
{
    return roundedRect(r, r.height() / 2);
}

// The scale badge: a capsule of primary × 0.09 behind the text.
class BadgeLabel : public QLabel {
public:
    using QLabel::QLabel;

protected:
    void paintEvent(QPaintEvent* e) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.fillPath(capsule(QRectF(rect())), Theme::primary(palette(), 0.09));
        p.end();
        QLabel::paintEvent(e);
    }
};

ChromeButton* roundButton(const QString& symbol, const QString& title, std::function<void()> action)
{
    ChromeButtonStyle style{false, false, 24, 12, title.isEmpty()};
    auto* b = new ChromeButton(symbol, title, style, std::move(action));
    if (title.isEmpty())
        b->setSymbolFont(11, SymbolWeight::semibold);
    else
        b->setTitleFont(11, QFont::Medium);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

}  // namespace

StatusPill::StatusPill(EditorDocument& doc, const EditorActions& actions, QWidget* parent)
    : QWidget(parent), doc_(doc), actions_(actions)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kShadowMargin + 6, kShadowMargin + 4, kShadowMargin + 6, kShadowMargin + 4);
    row->setSpacing(4);
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText, Theme::secondary(palette()));

    size_ = new QLabel;
    size_->setFont(Theme::monoFont(11, QFont::Medium));
    size_->setPalette(secondary);
    size_->setContentsMargins(8, 0, 0, 0);
    badge_ = new BadgeLabel;
    badge_->setFont(Theme::font(10, QFont::DemiBold));
    badge_->setPalette(secondary);
    badge_->setContentsMargins(5, 1, 5, 1);
    zoom_ = new QLabel;
    zoom_->setFont(Theme::monoFont(11, QFont::Medium));
    zoom_->setFixedWidth(42);
    zoom_->setAlignment(Qt::AlignCenter);

    const auto call = [this](auto member, auto... args) {
        return [this, member, args...] {
            if (actions_.*member)
                (actions_.*member)(args...);
        };
    };
    zoomOut_ = roundButton("minus"_sym, QString(), call(&EditorActions::zoom, 0.8));
    zoomIn_ = roundButton("plus"_sym, QString(), call(&EditorActions::zoom, 1.25));
    fit_ = roundButton(QString(), kx::tr("Fit", "Illesztés", "Einpassen"), call(&EditorActions::fit));
    actual_ = roundButton(QString(), QStringLiteral("100%"), call(&EditorActions::actual));
    helpTip(zoomOut_, kx::tr("Zoom out", "Kicsinyítés", "Verkleinern"), QString(),
            keyHint(EditorKey::zoomOut));
    helpTip(zoomIn_, kx::tr("Zoom in", "Nagyítás", "Vergrößern"), QString(), keyHint(EditorKey::zoomIn));
    helpTip(fit_, kx::tr("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen"), QString(),
            keyHint(EditorKey::zoomFit));
    helpTip(actual_, kx::tr("Actual size (100%)", "Valódi méret (100%)", "Originalgröße (100%)"), QString(),
            keyHint(EditorKey::zoomActual));

    auto* logo = new MakerLogo(10);
    logo->setOpacity(0.45);
    logo->setContentsMargins(0, 0, 4, 0);
    logo_ = logo;
    sizeDivider_ = new VDivider(14);
    logoDivider_ = new VDivider(14);

    row->addWidget(size_);
    row->addWidget(badge_);
    row->addWidget(sizeDivider_);
    row->addWidget(zoomOut_);
    row->addWidget(zoom_);
    row->addWidget(zoomIn_);
    zoomDivider_ = new VDivider(14);
    row->addWidget(zoomDivider_);
    row->addWidget(fit_);
    row->addWidget(actual_);
    row->addWidget(logoDivider_);
    row->addWidget(logo);
    row->addSpacing(4);
    connect(&doc, &EditorDocument::changed, this, &StatusPill::refresh);
    refresh();
}

void StatusPill::refresh()
{
    const QSize px = doc_.base().size();
    size_->setText(QStringLiteral("%1 × %2").arg(px.width()).arg(px.height()));
    const QString badge = editor::scaleBadge(doc_.scale());
    badge_->setText(badge);
    zoom_->setText(editor::zoomText(doc_.zoom()));
    applyRoom();
    if (sizeHint() != size())
        adjustSize();
}

bool StatusPill::showsFit() const
{
    return !fit_->isHidden();
}

void StatusPill::fitWidth(int room)
{
    if (room == room_)
        return;
    room_ = room;
    applyRoom();
}

void StatusPill::applyRoom()
{
    // In a narrow canvas the maker's mark goes first, then the size read-out, then Fit and
    // 100% (the header's "⋯" offers them then); zoom out and in stay while the pill shows.
    // Each arrangement is measured by the row itself, its spacing and trailing space included.
    const auto show = [](QWidget* w, bool on) {
        if (w->isVisibleTo(w->parentWidget()) != on)
            w->setVisible(on);
    };
    const struct {
        bool logo, size, fit;
    } arrangements[] = {{true, true, true}, {false, true, true}, {false, false, true}, {false, false, false}};
    for (const auto& a : arrangements) {
        show(size_, a.size);
        show(badge_, a.size && !badge_->text().isEmpty());
        show(sizeDivider_, a.size);
        show(logoDivider_, a.logo);
        show(logo_, a.logo);
        show(zoomDivider_, a.fit);
        show(fit_, a.fit);
        show(actual_, a.fit);
        layout()->invalidate();
        if (layout()->sizeHint().width() <= room_)
            break;
    }
}

void StatusPill::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    paintFloatingSurface(
        p, capsule(QRectF(rect()).adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin)),
        true, palette());
}

BusyBadge::BusyBadge(EditorDocument& doc, QWidget* parent)
    : QWidget(parent), doc_(doc), spin_(new QVariantAnimation(this))
{
    spin_->setStartValue(0.0);
    spin_->setEndValue(360.0);
    spin_->setDuration(900);
    spin_->setLoopCount(-1);
    connect(spin_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    reveal_ = new QVariantAnimation(this);
    reveal_->setDuration(200);
    reveal_->setStartValue(0.0);
    reveal_->setEndValue(1.0);
    connect(reveal_, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(reveal_, &QVariantAnimation::finished, this, [this] {
        if (!shown_) {
            hide();
            spin_->stop();
        }
    });
    connect(&doc, &EditorDocument::changed, this, &BusyBadge::refresh);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    hide();
    refresh();
}

QSize BusyBadge::sizeHint() const
{
    const QFontMetrics fm(Theme::font(12, QFont::Medium));
    return {kShadowMargin * 2 + 14 + 16 + 8 + fm.horizontalAdvance(text_) + 14,
            kShadowMargin * 2 + 8 + std::max(16, fm.height()) + 8};
}

void BusyBadge::refresh()
{
    const std::optional<QString>& message = doc_.busyMessage();
    const bool show = message.has_value();
    if (show && *message != text_) {
        text_ = *message;
        resize(sizeHint());
        updateGeometry();
    }
    if (show == shown_)
        return;
    shown_ = show;
    reveal_->setDirection(show ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
    if (show) {
        setVisible(true);
        spin_->start();
    }
    reveal_->start();
}

void BusyBadge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double reveal = reveal_->currentValue().toDouble();
    p.setOpacity(reveal);
    p.translate(0, -(1 - reveal) * 12);
    const QRectF body = QRectF(rect()).adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
    paintFloatingSurface(p, capsule(body), true, palette());
    // The indeterminate spinner: a three-quarter arc turning.
    const QRectF ring(body.left() + 14, body.center().y() - 7, 14, 14);
    p.setPen(QPen(Theme::secondary(palette()), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, int(-spin_->currentValue().toDouble() * 16), 270 * 16);
    p.setFont(Theme::font(12, QFont::Medium));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(ring.right() + 8, body.top(), body.width(), body.height()),
               Qt::AlignVCenter | Qt::AlignLeft, text_);
}

}  // namespace kx
