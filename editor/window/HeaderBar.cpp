#include "editor/window/HeaderBar.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"
#include "editor/window/CopyButton.h"
#include "editor/window/EditorKeys.h"
#include "editor/window/EditorMetrics.h"
#include "editor/window/Popover.h"
#include "ui/ChromeButton.h"
#include "ui/ChromeParts.h"
#include "ui/HelpTip.h"
#include "ui/MenuFit.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <tuple>

namespace kx {

namespace {

ChromeButton* chrome(const QString& symbol, const QString& title, const QString& help, const QString& detail,
                     const QString& key, std::function<void()> action)
{
    auto* b = new ChromeButton(symbol, title, help, detail, key, false, false, std::move(action));
    // Header clicks must not take the keyboard from the canvas.
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QWidget* divider()
{
    auto* box = new QWidget;
    auto* l = new QHBoxLayout(box);
    l->setContentsMargins(6, 0, 6, 0);
    l->addWidget(new VDivider(18));
    return box;
}

void popUnder(QMenu* menu, QWidget* button)
{
    menu->popup(button->mapToGlobal(QPoint(0, button->height() + 4)));
}

}  // namespace

HeaderBar::HeaderBar(EditorDocument& doc, const EditorActions& actions, Hooks hooks, QWidget* parent)
    : QWidget(parent), doc_(doc), actions_(actions), hooks_(std::move(hooks))
{
    setFixedHeight(kHeight);
    row_ = new QHBoxLayout(this);
    row_->setContentsMargins(kLeadingPadding, 0, kTrailingPadding, 0);
    row_->setSpacing(2);
    const QColor menuTint = Theme::primary(palette(), 0.86);
    const auto act = [this](std::function<void()> EditorActions::*member) {
        return [this, member] {
            if (actions_.*member)
                (actions_.*member)();
        };
    };

    undo_ = chrome("arrow.uturn.backward"_sym, QString(), kx::tr("Undo", "Visszavonás", "Widerrufen"),
                   kx::tr("Takes back the last change.", "Visszavonja az utolsó módosítást.",
                          "Macht die letzte Änderung rückgängig."),
                   keyHint(EditorKey::undo), [this] {
                       if (hooks_.undo)
                           hooks_.undo();
                   });
    redo_ = chrome("arrow.uturn.forward"_sym, QString(), kx::tr("Redo", "Újra", "Wiederholen"),
                   kx::tr("Brings back what you undid.", "Visszahozza a visszavont módosítást.",
                          "Stellt die rückgängig gemachte Änderung wieder her."),
                   keyHint(EditorKey::redo), [this] {
                       if (hooks_.redo)
                           hooks_.redo();
                   });

    // Add capture: picture in picture, then one item per edge.
    addMenu_ = new QMenu(this);
    scrollWhenTall(addMenu_);
    addMenu_->addAction(Symbols::icon("pip", menuTint),
                        kx::tr("Picture in picture", "Kép a képben", "Bild im Bild"), this, [this] {
                            if (actions_.addCapture)
                                actions_.addCapture(std::nullopt);
                        });
    addMenu_->addSeparator();
    const QString edgeSymbols[] = {"arrow.right.to.line"_sym, "arrow.down.to.line"_sym,
                                   "arrow.left.to.line"_sym, "arrow.up.to.line"_sym};
    for (EditorDocument::AddEdge edge : EditorDocument::allEdges())
        addMenu_->addAction(Symbols::icon(edgeSymbols[int(edge)], menuTint), EditorDocument::title(edge),
                            this, [this, edge] {
                                if (actions_.addCapture)
                                    actions_.addCapture(edge);
                            });
    const QString addTitle = kx::tr("Add capture", "Újabb kép", "Aufnahme hinzufügen");
    addCapture_ =
        chrome("plus.rectangle.on.rectangle"_sym, addTitle,
               kx::tr("Add capture", "Újabb kép hozzáadása", "Aufnahme hinzufügen"),
               kx::tr("Capture another area and place it on this image as a movable, resizable picture – or "
                      "glue it to one side.",
                      "Rögzíts egy újabb területet, és tedd rá erre a képre szabadon mozgatható, "
                      "átméretezhető képként – vagy ragaszd az egyik oldalához.",
                      "Nimm einen weiteren Bereich auf und setze ihn als verschiebbares, skalierbares Bild "
                      "auf dieses Bild – oder klebe ihn an eine Seite."),
               QString(), [this] { popUnder(addMenu_, addCapture_); });
    addCapture_->setEnabled(hooks_.addCapture);

    backdrop_ = chrome(
        "sparkles.rectangle.stack"_sym, kx::tr("Backdrop", "Háttér", "Hintergrund"),
        kx::tr("Backdrop & frame", "Háttér és keret", "Hintergrund & Rahmen"),
        kx::tr("Gradient or transparent background, torn / burnt paper, polaroid, window frame, shadow.",
               "Színátmenetes vagy átlátszó háttér, tépett / égett papír, polaroid, ablakkeret, árnyék.",
               "Farbverlauf oder transparenter Hintergrund, gerissenes / verbranntes Papier, Polaroid, "
               "Fensterrahmen, Schatten."),
        QString(), [this] { setShowBeautify(!showBeautify_); });
    backdrop_->setEnabled(bool(hooks_.beautifyContent));
    redact_ = chrome(
        "eye.slash"_sym, kx::tr("Redact", "Eltakarás", "Schwärzen"),
        kx::tr("Smart redact", "Intelligens eltakarás", "Intelligentes Schwärzen"),
        kx::tr("Finds e-mails, phones, card numbers, IBANs, tokens and pixelates them.",
               "Megkeresi az e-mail címeket, telefonszámokat, kártyaszámokat, IBAN-okat, tokeneket és "
               "pixelesíti őket.",
               "Findet E-Mail-Adressen, Telefonnummern, Kartennummern, IBANs und Tokens und pixelisiert "
               "sie."),
        QString(), act(&EditorActions::redact));
    redact_->setEnabled(hooks_.redact);
    ocr_ = chrome("text.viewfinder"_sym, QStringLiteral("OCR"),
                  kx::tr("Copy text (OCR)", "Szöveg másolása (OCR)", "Text kopieren (OCR)"),
                  kx::tr("Recognizes all text and QR codes in the image and copies them.",
                         "Felismeri a kép összes szövegét és QR-kódját, és kimásolja.",
                         "Erkennt alle Texte und QR-Codes im Bild und kopiert sie."),
                  QString(), act(&EditorActions::ocr));
    ocr_->setEnabled(hooks_.ocr);
    palette_ = chrome(
        "paintpalette"_sym, kx::tr("Palette", "Paletta", "Palette"),
        kx::tr("Color palette", "Színpaletta", "Farbpalette"),
        kx::tr("Shows the dominant colors of the image. Click a color to copy its code.",
               "Megmutatja a kép domináns színeit. Kattints egy színre a kódjának másolásához.",
               "Zeigt die dominanten Farben des Bildes. Klicke auf eine Farbe, um ihren Code zu kopieren."),
        QString(), act(&EditorActions::palette));
    palette_->setEnabled(hooks_.palette);
    ai_ = chrome(
        "sparkles"_sym, QStringLiteral("AI"), kx::tr("AI analysis", "AI-elemzés", "AI-Analyse"),
        kx::tr("Describe, review UI/UX, find bugs, write alt text with Claude or ChatGPT.",
               "Leírás, UI/UX értékelés, hibakeresés, alt szöveg írása Claude-dal vagy ChatGPT-vel.",
               "Beschreiben, UI/UX prüfen, Fehler finden, Alt-Text mit Claude oder ChatGPT schreiben."),
        QString(), [this] { doc_.setShowAI(!doc_.showAI()); });
    ai_->setEnabled(hooks_.ai);
    upload_ =
        chrome("icloud.and.arrow.up"_sym, kx::tr("Upload", "Feltöltés", "Hochladen"),
               kx::tr("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
               kx::tr("Uploads the image over WebDAV, FTP or SFTP and copies the link.",
                      "Feltölti a képet WebDAV, FTP vagy SFTP szerverre, és kimásolja a linket.",
                      "Lädt das Bild über WebDAV, FTP oder SFTP hoch und kopiert den Link."),
               QString(), act(&EditorActions::upload));
    upload_->setEnabled(hooks_.upload);
    pin_ = chrome("pin"_sym, QString(),
                  kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"),
                  kx::tr("Keeps the image floating above all windows.",
                         "Az összes ablak fölött lebegve tartja a képet.",
                         "Hält das Bild schwebend über allen Fenstern."),
                  keyHint(EditorKey::pin), act(&EditorActions::pin));
    pin_->setEnabled(hooks_.pin);
    share_ = chrome(
        "square.and.arrow.up"_sym, QString(), kx::tr("Share", "Megosztás", "Teilen"),
        kx::tr("Opens the image in another app, copies its path or shows it in the file manager.",
               "Megnyitja a képet egy másik alkalmazásban, kimásolja az elérési útját, vagy megmutatja a "
               "fájlkezelőben.",
               "Öffnet das Bild in einer anderen App, kopiert den Pfad oder zeigt es im Dateimanager."),
        QString(), [this] {
            if (actions_.share)
                actions_.share(anchorFor(share_));
        });

    moreMenu_ = new QMenu(this);
    // With every button folded into it, "⋯" is taller than a small screen.
    scrollWhenTall(moreMenu_);
    moreMenu_->addAction(kx::tr("Save as…", "Mentés másként…", "Sichern unter…"), this,
                         act(&EditorActions::saveAs));
    copy1x_ = moreMenu_->addAction(kx::tr("Copy @1x", "Másolás @1x", "@1x kopieren"), this,
                                   act(&EditorActions::copy1x));
    QAction* paletteItem = moreMenu_->addAction(kx::tr("Color palette…", "Színpaletta…", "Farbpalette…"),
                                                this, act(&EditorActions::palette));
    paletteItem->setEnabled(hooks_.palette);
    more_ = chrome("ellipsis"_sym, QString(),
                   kx::tr("More export options", "További exportálási lehetőségek", "Weitere Exportoptionen"),
                   kx::tr("Save as… and Copy at 1x (non-HiDPI) size.",
                          "Mentés másként… és másolás 1x (nem HiDPI) méretben.",
                          "Sichern unter… und in 1x-Größe (nicht HiDPI) kopieren."),
                   QString(), [this] { popUnder(moreMenu_, more_); });
    save_ =
        chrome("square.and.arrow.down"_sym, kx::tr("Save", "Mentés", "Sichern"),
               kx::tr("Save to the folder", "Mentés a mappába", "In den Ordner sichern"),
               kx::tr("Saves the image to your screenshot folder.", "A képet a képernyőkép-mappádba menti.",
                      "Sichert das Bild in deinem Screenshot-Ordner."),
               keyHint(EditorKey::save), act(&EditorActions::save));
    copy_ = new CopyButton(actions_);

    row_->addWidget(undo_);
    row_->addWidget(redo_);
    leadDivider_ = divider();
    leadDivider_->setObjectName(QStringLiteral("leadDivider"));
    row_->addWidget(leadDivider_);
    row_->addWidget(addCapture_);
    row_->addWidget(backdrop_);
    row_->addWidget(redact_);
    row_->addWidget(ocr_);
    row_->addWidget(palette_);
    row_->addStretch(1);
    row_->addSpacing(12);
    row_->addWidget(ai_);
    row_->addWidget(upload_);
    exportDivider_ = divider();
    exportDivider_->setObjectName(QStringLiteral("exportDivider"));
    row_->addWidget(exportDivider_);
    row_->addWidget(pin_);
    row_->addWidget(share_);
    row_->addWidget(more_);
    row_->addSpacing(2);
    row_->addWidget(save_);
    row_->addSpacing(2);
    row_->addWidget(copy_);

    for (ChromeButton* b : {addCapture_, backdrop_, redact_, ocr_, palette_, ai_, upload_})
        titled_.append({b, b->title()});
    saveTitle_ = save_->title();
    copyTitle_ = copy_->mainButton()->title();

    // Folded buttons are reached from the end of "⋯"; the palette is always in it.
    foldOrder_ = {palette_, ai_, upload_, ocr_, redact_, share_, pin_, backdrop_, addCapture_};
    foldSeparator_ = moreMenu_->addSeparator();
    foldSeparator_->setVisible(false);
    // A folded button's item is named as its tip names the button; "&" is text, not a mnemonic.
    const auto nameOf = [](ChromeButton* b, const QString& ellipsis = QString()) {
        const std::optional<TipContent> tip = helpTipOf(b);
        QString name = tip ? tip->title : b->title();
        return name.replace(QLatin1Char('&'), QLatin1String("&&")) + ellipsis;
    };
    const auto item = [&](ChromeButton* b, const QString& text) {
        auto* a = new QAction(Symbols::icon(b->symbol(), menuTint), text, moreMenu_);
        connect(a, &QAction::triggered, b, &ChromeButton::click);
        moreMenu_->addAction(a);
        return a;
    };
    addMenu_->setTitle(nameOf(addCapture_));
    addMenu_->setIcon(Symbols::icon(addCapture_->symbol(), menuTint));
    for (ChromeButton* b : foldOrder_) {
        QAction* a = nullptr;
        if (b == addCapture_) {
            a = addMenu_->menuAction();
            moreMenu_->addAction(a);
        } else if (b == backdrop_ || b == share_) {
            a = item(b, nameOf(b, QStringLiteral("…")));  // they open a popover or menu
        } else if (b != palette_) {
            a = item(b, nameOf(b));
        }
        if (a)
            a->setVisible(false);
        foldItems_.push_back(a);
    }

    // Zoom, for when the status pill gives way (a canvas too narrow or too short for it).
    zoomSeparator_ = moreMenu_->addSeparator();
    const auto zoomBy = [this](double factor) {
        return [this, factor] {
            if (actions_.zoom)
                actions_.zoom(factor);
        };
    };
    const struct {
        EditorKey key;
        std::function<void()> run;
    } zooms[] = {
        {EditorKey::zoomIn, zoomBy(1.25)},
        {EditorKey::zoomOut, zoomBy(0.8)},
        {EditorKey::zoomFit, act(&EditorActions::fit)},
        {EditorKey::zoomActual, act(&EditorActions::actual)},
    };
    for (const auto& z : zooms) {
        QString title;
        for (const EditorKeyBinding& b : editorKeys())
            if (b.key == z.key)
                title = b.title;
        // The key as a hint only: the window already has it installed.
        zoomItems_.push_back(moreMenu_->addAction(title + QLatin1Char('\t') + keyHint(z.key), this, z.run));
    }
    connect(moreMenu_, &QMenu::aboutToShow, this, [this] {
        const PillZoom shown = pillZoom_ ? pillZoom_() : PillZoom{};
        zoomItems_[0]->setVisible(!shown.steps);
        zoomItems_[1]->setVisible(!shown.steps);
        zoomItems_[2]->setVisible(!shown.fit);
        zoomItems_[3]->setVisible(!shown.fit);
        zoomSeparator_->setVisible(!shown.steps || !shown.fit);
    });
    for (QAction* a : zoomItems_)
        a->setVisible(false);
    zoomSeparator_->setVisible(false);

    measure();
    connect(&doc, &EditorDocument::changed, this, &HeaderBar::refresh);
    refresh();
}

QSize HeaderBar::minimumSizeHint() const
{
    int narrowest = widths_.compact - widths_.saveTitle - widths_.divider - widths_.copyTitle;
    for (int saving : widths_.foldSavings)
        narrowest -= saving;
    return QSize(narrowest, kHeight);
}

void HeaderBar::setPillZoom(std::function<PillZoom()> shown)
{
    pillZoom_ = std::move(shown);
}

QAction* HeaderBar::foldedItem(ChromeButton* button) const
{
    for (size_t i = 0; i < foldOrder_.size(); ++i)
        if (foldOrder_[i] == button)
            return foldItems_[i];
    return nullptr;
}

QWidget* HeaderBar::anchorFor(ChromeButton* button) const
{
    return button->isHidden() ? static_cast<QWidget*>(more_) : button;
}

// Each arrangement's width as the row itself reports it, so spacing and minimum widths count
// exactly as the layout will lay them out.
void HeaderBar::measure()
{
    const auto rowWidth = [this](HeaderFit fit) {
        apply(fit);
        row_->invalidate();
        return row_->sizeHint().width();
    };
    widths_ = {};
    widths_.full = fullWidth_ = rowWidth({});
    HeaderFit fit{.titles = false};
    widths_.compact = rowWidth(fit);
    int previous = widths_.compact;
    for (size_t i = 0; i < foldOrder_.size(); ++i) {
        ++fit.folded;
        const int w = rowWidth(fit);
        widths_.foldSavings.push_back(previous - w);
        previous = w;
    }
    for (auto [shown, saving] : {std::pair{&HeaderFit::saveTitle, &HeaderFitWidths::saveTitle},
                                 std::pair{&HeaderFit::divider, &HeaderFitWidths::divider},
                                 std::pair{&HeaderFit::copyTitle, &HeaderFitWidths::copyTitle}}) {
        fit.*shown = false;
        const int w = rowWidth(fit);
        widths_.*saving = previous - w;
        previous = w;
    }
    apply({});
}

void HeaderBar::apply(HeaderFit fit)
{
    fit_ = fit;
    setCompact(!fit.titles);
    for (size_t i = 0; i < foldOrder_.size(); ++i) {
        const bool folded = int(i) < fit.folded;
        foldOrder_[i]->setHidden(folded);
        if (foldItems_[i]) {
            foldItems_[i]->setVisible(folded);
            foldItems_[i]->setEnabled(foldOrder_[i]->isEnabled());
        }
    }
    // The palette alone already has its own item further down.
    foldSeparator_->setVisible(fit.folded > 1);
    // With every button between the two dividers folded, one divider is enough. Judged by the
    // fit, not by isHidden(): before the bar is first shown every child counts as hidden.
    const auto unfolded =
        foldOrder_.begin() + std::clamp<ptrdiff_t>(fit.folded, 0, ptrdiff_t(foldOrder_.size()));
    exportDivider_->setHidden(std::all_of(unfolded, foldOrder_.end(),
                                          [this](ChromeButton* b) { return b == pin_ || b == share_; }));
    leadDivider_->setHidden(!fit.divider);
    for (auto [button, title, shown] : {std::tuple{save_, saveTitle_, fit.saveTitle},
                                        std::tuple{copy_->mainButton(), copyTitle_, fit.copyTitle}}) {
        button->setTitle(shown ? title : QString());
        ChromeButtonStyle style = button->chromeStyle();
        style.square = !shown;
        button->setChromeStyle(style);
    }
    // The copy button's own row, and this row's item for it, would keep its old width.
    copy_->layout()->invalidate();
    copy_->updateGeometry();
}

void HeaderBar::setCompact(bool compact)
{
    if (compact == compact_)
        return;
    compact_ = compact;
    for (const auto& [button, title] : titled_) {
        button->setTitle(compact ? QString() : title);
        ChromeButtonStyle style = button->chromeStyle();
        style.square = compact;
        button->setChromeStyle(style);
    }
    // The add-capture label keeps some width without its text.
    if (compact)
        addCapture_->setMinimumWidth(addCapture_->sizeHint().width() + 16);
    else
        addCapture_->setMinimumWidth(0);
}

void HeaderBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    const HeaderFit fit = fitHeader(widths_, event->size().width());
    if (!(fit == fit_))
        apply(fit);
}

void HeaderBar::setShowBeautify(bool show)
{
    if (show == showBeautify_ || (show && !hooks_.beautifyContent))
        return;
    showBeautify_ = show;
    if (!show) {
        if (beautifyPopover_)
            beautifyPopover_->close();
        return;
    }
    beautifyPopover_ = new Popover(hooks_.beautifyContent(), this);
    connect(beautifyPopover_, &Popover::closed, this, [this] { showBeautify_ = false; });
    beautifyPopover_->showAt(anchorFor(backdrop_));
}

void HeaderBar::refresh()
{
    undo_->setEnabled(!doc_.undoStack().isEmpty());
    redo_->setEnabled(!doc_.redoStack().isEmpty());
    backdrop_->setSelected(doc_.beautify().enabled);
    ai_->setSelected(doc_.showAI());
    copy1x_->setEnabled(editor::saneScale(doc_.scale()) > 1.0);
}

void HeaderBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(QRectF(0, height() - 0.5, width(), 0.5), Theme::primary(palette(), 0.08));
}

}  // namespace kx
