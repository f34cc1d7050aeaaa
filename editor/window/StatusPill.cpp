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
    : QWidget(parent), m_doc(doc), m_actions(actions)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(kShadowMargin + 6, kShadowMargin + 4, kShadowMargin + 6, kShadowMargin + 4);
    row->setSpacing(4);
    QPalette secondary = palette();
    secondary.setColor(QPalette::WindowText, Theme::secondary(palette()));

    m_size = new QLabel;
    m_size->setFont(Theme::monoFont(11, QFont::Medium));
    m_size->setPalette(secondary);
    m_size->setContentsMargins(8, 0, 0, 0);
    m_badge = new BadgeLabel;
    m_badge->setFont(Theme::font(10, QFont::DemiBold));
    m_badge->setPalette(secondary);
    m_badge->setContentsMargins(5, 1, 5, 1);
    m_zoom = new QLabel;
    m_zoom->setFont(Theme::monoFont(11, QFont::Medium));
    m_zoom->setFixedWidth(42);
    m_zoom->setAlignment(Qt::AlignCenter);

    const auto call = [this](auto member, auto... args) {
        return [this, member, args...] {
            if (m_actions.*member)
                (m_actions.*member)(args...);
        };
    };
    m_zoomOut = roundButton("minus"_sym, QString(), call(&EditorActions::zoom, 0.8));
    m_zoomIn = roundButton("plus"_sym, QString(), call(&EditorActions::zoom, 1.25));
    m_fit = roundButton(QString(), kx::tr("Fit", "Illesztés", "Einpassen"), call(&EditorActions::fit));
    m_actual = roundButton(QString(), QStringLiteral("100%"), call(&EditorActions::actual));
    helpTip(m_zoomOut, kx::tr("Zoom out", "Kicsinyítés", "Verkleinern"), QString(),
            keyHint(EditorKey::zoomOut));
    helpTip(m_zoomIn, kx::tr("Zoom in", "Nagyítás", "Vergrößern"), QString(), keyHint(EditorKey::zoomIn));
    helpTip(m_fit, kx::tr("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen"), QString(),
            keyHint(EditorKey::zoomFit));
    helpTip(m_actual, kx::tr("Actual size (100%)", "Valódi méret (100%)", "Originalgröße (100%)"), QString(),
            keyHint(EditorKey::zoomActual));

    auto* logo = new MakerLogo(10);
    logo->setOpacity(0.45);
    logo->setContentsMargins(0, 0, 4, 0);

    row->addWidget(m_size);
    row->addWidget(m_badge);
    row->addWidget(new VDivider(14));
    row->addWidget(m_zoomOut);
    row->addWidget(m_zoom);
    row->addWidget(m_zoomIn);
    row->addWidget(new VDivider(14));
    row->addWidget(m_fit);
    row->addWidget(m_actual);
    row->addWidget(new VDivider(14));
    row->addWidget(logo);
    row->addSpacing(4);
    connect(&doc, &EditorDocument::changed, this, &StatusPill::refresh);
    refresh();
}

void StatusPill::refresh()
{
    const QSize px = m_doc.base().size();
    m_size->setText(QStringLiteral("%1 × %2").arg(px.width()).arg(px.height()));
    const QString badge = editor::scaleBadge(m_doc.scale());
    m_badge->setText(badge);
    m_badge->setHidden(badge.isEmpty());
    m_zoom->setText(editor::zoomText(m_doc.zoom()));
    if (sizeHint() != size())
        adjustSize();
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
    : QWidget(parent), m_doc(doc), m_spin(new QVariantAnimation(this))
{
    m_spin->setStartValue(0.0);
    m_spin->setEndValue(360.0);
    m_spin->setDuration(900);
    m_spin->setLoopCount(-1);
    connect(m_spin, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    m_reveal = new QVariantAnimation(this);
    m_reveal->setDuration(200);
    m_reveal->setStartValue(0.0);
    m_reveal->setEndValue(1.0);
    connect(m_reveal, &QVariantAnimation::valueChanged, this, qOverload<>(&QWidget::update));
    connect(m_reveal, &QVariantAnimation::finished, this, [this] {
        if (!m_shown) {
            hide();
            m_spin->stop();
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
    return {kShadowMargin * 2 + 14 + 16 + 8 + fm.horizontalAdvance(m_text) + 14,
            kShadowMargin * 2 + 8 + std::max(16, fm.height()) + 8};
}

void BusyBadge::refresh()
{
    const std::optional<QString>& message = m_doc.busyMessage();
    const bool show = message.has_value();
    if (show && *message != m_text) {
        m_text = *message;
        resize(sizeHint());
        updateGeometry();
    }
    if (show == m_shown)
        return;
    m_shown = show;
    m_reveal->setDirection(show ? QAbstractAnimation::Forward : QAbstractAnimation::Backward);
    if (show) {
        setVisible(true);
        m_spin->start();
    }
    m_reveal->start();
}

void BusyBadge::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const double reveal = m_reveal->currentValue().toDouble();
    p.setOpacity(reveal);
    p.translate(0, -(1 - reveal) * 12);
    const QRectF body = QRectF(rect()).adjusted(kShadowMargin, kShadowMargin, -kShadowMargin, -kShadowMargin);
    paintFloatingSurface(p, capsule(body), true, palette());
    // The indeterminate spinner: a three-quarter arc turning.
    const QRectF ring(body.left() + 14, body.center().y() - 7, 14, 14);
    p.setPen(QPen(Theme::secondary(palette()), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(ring, int(-m_spin->currentValue().toDouble() * 16), 270 * 16);
    p.setFont(Theme::font(12, QFont::Medium));
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(QRectF(ring.right() + 8, body.top(), body.width(), body.height()),
               Qt::AlignVCenter | Qt::AlignLeft, m_text);
}

}  // namespace kx
