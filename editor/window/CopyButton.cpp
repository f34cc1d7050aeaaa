#include "editor/window/CopyButton.h"

#include "core/Localisation.h"
#include "core/Prefs.h"
#include "core/PrefsNotifier.h"
#include "editor/window/EditorKeys.h"
#include "editor/window/Popover.h"
#include "ui/ChromeButton.h"
#include "ui/HelpTip.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

namespace kx {

namespace {
const QString kCopyModeKey = QStringLiteral("copy.mode");
constexpr int kRowWidth = 190 - 12;  // popover width less its padding
}  // namespace

CopyChoiceRow::CopyChoiceRow(CopyMode mode, bool checked, QWidget* parent)
    : QAbstractButton(parent), m_mode(mode), m_chosen(checked)
{
    setText(CopyButton::rowText(mode));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

QSize CopyChoiceRow::sizeHint() const
{
    const QFontMetricsF fm(Theme::font(12.5, QFont::Medium));
    return {kRowWidth, int(std::ceil(std::max(fm.height(), Symbols::glyphSide(11)) + 12))};
}

void CopyChoiceRow::enterEvent(QEnterEvent* event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CopyChoiceRow::leaveEvent(QEvent* event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CopyChoiceRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (m_hovered)
        p.fillRect(rect(), Theme::primary(palette(), 0.07));
    const QColor fg = Theme::primary(palette(), 0.86);
    const qreal side = Symbols::glyphSide(11);
    const qreal cy = height() / 2.0;
    // The mark is drawn transparent on the other row so both texts start at the same x.
    if (m_chosen)
        Symbols::paintGlyph(p, QPointF(10 + side / 2, cy), 11, "checkmark"_sym, fg, SymbolWeight::semibold);
    p.setFont(Theme::font(12.5, QFont::Medium));
    p.setPen(fg);
    p.drawText(QRectF(10 + side + 8, 0, width() - side - 28, height()), Qt::AlignVCenter | Qt::AlignLeft,
               text());
}

CopyButton::CopyButton(const EditorActions& actions, QWidget* parent) : QWidget(parent), m_actions(actions)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    m_main =
        new ChromeButton("doc.on.doc"_sym, kx::tr("Copy", "Másolás", "Kopieren"),
                         kx::tr("Copy to clipboard", "Vágólapra másolás", "In die Zwischenablage kopieren"),
                         detailFor(Prefs::copyMode()), keyHint(EditorKey::copy), false, true, [this] {
                             if (m_actions.copy)
                                 m_actions.copy(Prefs::copyMode());
                         });
    ChromeButtonStyle chevronStyle;
    chevronStyle.prominent = true;
    chevronStyle.size = 30;
    chevronStyle.radius = 9;
    chevronStyle.square = true;
    m_chevron = new ChromeButton("chevron.down"_sym, QString(), chevronStyle,
                                 [this] { setShowChoices(!m_showChoices); });
    m_chevron->setSymbolFont(9, SymbolWeight::bold);
    helpTip(
        m_chevron, kx::tr("Copy options", "Másolás beállításai", "Kopieroptionen"),
        kx::tr("Copy only, or copy and close the editor. Your last choice is remembered.",
               "Csak másolás, vagy másolás és a szerkesztő bezárása. Az utolsó választásod megmarad.",
               "Nur kopieren oder kopieren und den Editor schließen. Deine letzte Auswahl wird gemerkt."));
    row->addWidget(m_main);
    row->addWidget(m_chevron);
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key == kCopyModeKey)
            updateTip();
    });
}

QString CopyButton::rowText(CopyMode mode)
{
    return mode == CopyMode::copy ? kx::tr("Copy", "Másolás", "Kopieren")
                                  : kx::tr("Copy and close", "Másolás és bezárás", "Kopieren und schließen");
}

QString CopyButton::detailFor(CopyMode mode)
{
    return mode == CopyMode::copy ? kx::tr("Copies the finished image, including annotations and backdrop.",
                                           "Kimásolja a kész képet a jelölésekkel és a háttérrel együtt.",
                                           "Kopiert das fertige Bild mit Anmerkungen und Hintergrund.")
                                  : kx::tr("Copies the finished image and closes the editor.",
                                           "Kimásolja a kész képet, és bezárja a szerkesztőt.",
                                           "Kopiert das fertige Bild und schließt den Editor.");
}

void CopyButton::updateTip()
{
    helpTip(m_main, kx::tr("Copy to clipboard", "Vágólapra másolás", "In die Zwischenablage kopieren"),
            detailFor(Prefs::copyMode()), keyHint(EditorKey::copy));
}

void CopyButton::setShowChoices(bool show)
{
    if (show == m_showChoices)
        return;
    m_showChoices = show;
    if (!show) {
        if (m_popover)
            m_popover->close();
        return;
    }
    auto* list = new QWidget;
    auto* column = new QVBoxLayout(list);
    column->setContentsMargins(6, 6, 6, 6);
    column->setSpacing(2);
    const CopyMode current = Prefs::copyMode();
    for (CopyMode mode : {CopyMode::copy, CopyMode::copyAndClose}) {
        auto* r = new CopyChoiceRow(mode, mode == current, list);
        connect(r, &QAbstractButton::clicked, this, [this, mode] { choose(mode); });
        column->addWidget(r);
    }
    m_popover = new Popover(list, this);
    connect(m_popover, &Popover::closed, this, [this] { m_showChoices = false; });
    m_popover->showAt(m_chevron);
}

void CopyButton::choose(CopyMode mode)
{
    setShowChoices(false);
    Prefs::set(kCopyModeKey, rawValue(mode));
    if (m_actions.copy)
        m_actions.copy(mode);
}

}  // namespace kx
