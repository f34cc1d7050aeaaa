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
constexpr int kRowWidth = 190 - 12;  // the popover's usual width less its padding
}  // namespace

CopyChoiceRow::CopyChoiceRow(CopyMode mode, bool checked, QWidget* parent)
    : QAbstractButton(parent), mode_(mode), chosen_(checked)
{
    setText(CopyButton::rowText(mode));
    setCursor(Qt::PointingHandCursor);
    setFocusPolicy(Qt::NoFocus);
}

QRectF CopyChoiceRow::textRect() const
{
    const qreal left = 10 + Symbols::glyphSide(11) + 8;
    return {left, 0, width() - left - 10, qreal(height())};
}

QSize CopyChoiceRow::sizeHint() const
{
    // At least the popover's 190 pt, wider where a language's text needs it.
    const QFontMetricsF fm(Theme::font(12.5, QFont::Medium));
    const qreal needed = 10 + Symbols::glyphSide(11) + 8 + fm.horizontalAdvance(text()) + 10;
    return {std::max(kRowWidth, int(std::ceil(needed))),
            int(std::ceil(std::max(fm.height(), Symbols::glyphSide(11)) + 12))};
}

void CopyChoiceRow::enterEvent(QEnterEvent* event)
{
    hovered_ = true;
    update();
    QAbstractButton::enterEvent(event);
}

void CopyChoiceRow::leaveEvent(QEvent* event)
{
    hovered_ = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void CopyChoiceRow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (hovered_)
        p.fillRect(rect(), Theme::primary(palette(), 0.07));
    const QColor fg = Theme::primary(palette(), 0.86);
    const qreal side = Symbols::glyphSide(11);
    const qreal cy = height() / 2.0;
    // The mark is drawn transparent on the other row so both texts start at the same x.
    if (chosen_)
        Symbols::paintGlyph(p, QPointF(10 + side / 2, cy), 11, "checkmark"_sym, fg, SymbolWeight::semibold);
    p.setFont(Theme::font(12.5, QFont::Medium));
    p.setPen(fg);
    p.drawText(textRect(), Qt::AlignVCenter | Qt::AlignLeft, text());
}

CopyButton::CopyButton(const EditorActions& actions, QWidget* parent) : QWidget(parent), actions_(actions)
{
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(1);
    main_ =
        new ChromeButton("doc.on.doc"_sym, kx::tr("Copy", "Másolás", "Kopieren"),
                         kx::tr("Copy to clipboard", "Vágólapra másolás", "In die Zwischenablage kopieren"),
                         detailFor(Prefs::copyMode()), keyHint(EditorKey::copy), false, true, [this] {
                             if (actions_.copy)
                                 actions_.copy(Prefs::copyMode());
                         });
    ChromeButtonStyle chevronStyle;
    chevronStyle.prominent = true;
    chevronStyle.size = 30;
    chevronStyle.radius = 9;
    chevronStyle.square = true;
    chevron_ = new ChromeButton("chevron.down"_sym, QString(), chevronStyle,
                                [this] { setShowChoices(!showChoices_); });
    chevron_->setSymbolFont(9, SymbolWeight::bold);
    helpTip(
        chevron_, kx::tr("Copy options", "Másolás beállításai", "Kopieroptionen"),
        kx::tr("Copy only, or copy and close the editor. Your last choice is remembered.",
               "Csak másolás, vagy másolás és a szerkesztő bezárása. Az utolsó választásod megmarad.",
               "Nur kopieren oder kopieren und den Editor schließen. Deine letzte Auswahl wird gemerkt."));
    row->addWidget(main_);
    row->addWidget(chevron_);
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
    helpTip(main_, kx::tr("Copy to clipboard", "Vágólapra másolás", "In die Zwischenablage kopieren"),
            detailFor(Prefs::copyMode()), keyHint(EditorKey::copy));
}

void CopyButton::setShowChoices(bool show)
{
    if (show == showChoices_)
        return;
    showChoices_ = show;
    if (!show) {
        if (popover_)
            popover_->close();
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
    popover_ = new Popover(list, this);
    connect(popover_, &Popover::closed, this, [this] { showChoices_ = false; });
    popover_->showAt(chevron_);
}

void CopyButton::choose(CopyMode mode)
{
    setShowChoices(false);
    Prefs::set(kCopyModeKey, rawValue(mode));
    if (actions_.copy)
        actions_.copy(mode);
}

}  // namespace kx
