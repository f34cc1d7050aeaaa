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
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>

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
    : QWidget(parent), m_doc(doc), m_actions(actions), m_hooks(std::move(hooks))
{
    setFixedHeight(kHeight);
    m_row = new QHBoxLayout(this);
    m_row->setContentsMargins(kLeadingPadding, 0, kTrailingPadding, 0);
    m_row->setSpacing(2);
    const QColor menuTint = Theme::primary(palette(), 0.86);
    const auto act = [this](std::function<void()> EditorActions::*member) {
        return [this, member] {
            if (m_actions.*member)
                (m_actions.*member)();
        };
    };

    m_undo = chrome("arrow.uturn.backward"_sym, QString(), kx::tr("Undo", "Visszavonás", "Widerrufen"),
                    kx::tr("Takes back the last change.", "Visszavonja az utolsó módosítást.",
                           "Macht die letzte Änderung rückgängig."),
                    keyHint(EditorKey::undo), [this] {
                        if (m_hooks.undo)
                            m_hooks.undo();
                    });
    m_redo = chrome("arrow.uturn.forward"_sym, QString(), kx::tr("Redo", "Újra", "Wiederholen"),
                    kx::tr("Brings back what you undid.", "Visszahozza a visszavont módosítást.",
                           "Stellt die rückgängig gemachte Änderung wieder her."),
                    keyHint(EditorKey::redo), [this] {
                        if (m_hooks.redo)
                            m_hooks.redo();
                    });

    // Add capture: picture in picture, then one item per edge.
    m_addMenu = new QMenu(this);
    m_addMenu->addAction(Symbols::icon("pip", menuTint),
                         kx::tr("Picture in picture", "Kép a képben", "Bild im Bild"), this, [this] {
                             if (m_actions.addCapture)
                                 m_actions.addCapture(std::nullopt);
                         });
    m_addMenu->addSeparator();
    const QString edgeSymbols[] = {"arrow.right.to.line"_sym, "arrow.down.to.line"_sym,
                                   "arrow.left.to.line"_sym, "arrow.up.to.line"_sym};
    for (EditorDocument::AddEdge edge : EditorDocument::allEdges())
        m_addMenu->addAction(Symbols::icon(edgeSymbols[int(edge)], menuTint), EditorDocument::title(edge),
                             this, [this, edge] {
                                 if (m_actions.addCapture)
                                     m_actions.addCapture(edge);
                             });
    const QString addTitle = kx::tr("Add capture", "Újabb kép", "Aufnahme hinzufügen");
    m_addCapture =
        chrome("plus.rectangle.on.rectangle"_sym, addTitle,
               kx::tr("Add capture", "Újabb kép hozzáadása", "Aufnahme hinzufügen"),
               kx::tr("Capture another area and place it on this image as a movable, resizable picture – or "
                      "glue it to one side.",
                      "Rögzíts egy újabb területet, és tedd rá erre a képre szabadon mozgatható, "
                      "átméretezhető képként – vagy ragaszd az egyik oldalához.",
                      "Nimm einen weiteren Bereich auf und setze ihn als verschiebbares, skalierbares Bild "
                      "auf dieses Bild – oder klebe ihn an eine Seite."),
               QString(), [this] { popUnder(m_addMenu, m_addCapture); });
    m_addCapture->setEnabled(m_hooks.addCapture);

    m_backdrop = chrome(
        "sparkles.rectangle.stack"_sym, kx::tr("Backdrop", "Háttér", "Hintergrund"),
        kx::tr("Backdrop & frame", "Háttér és keret", "Hintergrund & Rahmen"),
        kx::tr("Gradient or transparent background, torn / burnt paper, polaroid, window frame, shadow.",
               "Színátmenetes vagy átlátszó háttér, tépett / égett papír, polaroid, ablakkeret, árnyék.",
               "Farbverlauf oder transparenter Hintergrund, gerissenes / verbranntes Papier, Polaroid, "
               "Fensterrahmen, Schatten."),
        QString(), [this] { setShowBeautify(!m_showBeautify); });
    m_backdrop->setEnabled(bool(m_hooks.beautifyContent));
    m_redact = chrome(
        "eye.slash"_sym, kx::tr("Redact", "Eltakarás", "Schwärzen"),
        kx::tr("Smart redact", "Intelligens eltakarás", "Intelligentes Schwärzen"),
        kx::tr("Finds e-mails, phones, card numbers, IBANs, tokens and pixelates them.",
               "Megkeresi az e-mail címeket, telefonszámokat, kártyaszámokat, IBAN-okat, tokeneket és "
               "pixelesíti őket.",
               "Findet E-Mail-Adressen, Telefonnummern, Kartennummern, IBANs und Tokens und pixelisiert "
               "sie."),
        QString(), act(&EditorActions::redact));
    m_redact->setEnabled(m_hooks.redact);
    m_ocr = chrome("text.viewfinder"_sym, QStringLiteral("OCR"),
                   kx::tr("Copy text (OCR)", "Szöveg másolása (OCR)", "Text kopieren (OCR)"),
                   kx::tr("Recognizes all text and QR codes in the image and copies them.",
                          "Felismeri a kép összes szövegét és QR-kódját, és kimásolja.",
                          "Erkennt alle Texte und QR-Codes im Bild und kopiert sie."),
                   QString(), act(&EditorActions::ocr));
    m_ocr->setEnabled(m_hooks.ocr);
    m_palette = chrome(
        "paintpalette"_sym, kx::tr("Palette", "Paletta", "Palette"),
        kx::tr("Color palette", "Színpaletta", "Farbpalette"),
        kx::tr("Shows the dominant colors of the image. Click a color to copy its code.",
               "Megmutatja a kép domináns színeit. Kattints egy színre a kódjának másolásához.",
               "Zeigt die dominanten Farben des Bildes. Klicke auf eine Farbe, um ihren Code zu kopieren."),
        QString(), act(&EditorActions::palette));
    m_palette->setEnabled(m_hooks.palette);
    m_ai = chrome(
        "sparkles"_sym, QStringLiteral("AI"), kx::tr("AI analysis", "AI elemzés", "KI-Analyse"),
        kx::tr("Describe, review UI/UX, find bugs, write alt text with Claude or ChatGPT.",
               "Leírás, UI/UX értékelés, hibakeresés, alt szöveg írása Claude-dal vagy ChatGPT-vel.",
               "Beschreiben, UI/UX prüfen, Fehler finden, Alt-Text mit Claude oder ChatGPT schreiben."),
        QString(), [this] { m_doc.setShowAI(!m_doc.showAI()); });
    m_ai->setEnabled(m_hooks.ai);
    m_upload =
        chrome("icloud.and.arrow.up"_sym, kx::tr("Upload", "Feltöltés", "Hochladen"),
               kx::tr("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
               kx::tr("Uploads the image over WebDAV, FTP or SFTP and copies the link.",
                      "Feltölti a képet WebDAV, FTP vagy SFTP szerverre, és kimásolja a linket.",
                      "Lädt das Bild über WebDAV, FTP oder SFTP hoch und kopiert den Link."),
               QString(), act(&EditorActions::upload));
    m_upload->setEnabled(m_hooks.upload);
    m_pin = chrome("pin"_sym, QString(),
                   kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"),
                   kx::tr("Keeps the image floating above all windows.",
                          "Az összes ablak fölött lebegve tartja a képet.",
                          "Hält das Bild schwebend über allen Fenstern."),
                   keyHint(EditorKey::pin), act(&EditorActions::pin));
    m_pin->setEnabled(m_hooks.pin);
    m_share = chrome(
        "square.and.arrow.up"_sym, QString(), kx::tr("Share", "Megosztás", "Teilen"),
        kx::tr("Opens the image in another app, copies its path or shows it in the file manager.",
               "Megnyitja a képet egy másik alkalmazásban, kimásolja az elérési útját, vagy megmutatja a "
               "fájlkezelőben.",
               "Öffnet das Bild in einer anderen App, kopiert den Pfad oder zeigt es im Dateimanager."),
        QString(), [this] {
            if (m_actions.share)
                m_actions.share(m_share);
        });

    m_moreMenu = new QMenu(this);
    m_moreMenu->addAction(kx::tr("Save as…", "Mentés másként…", "Sichern unter…"), this,
                          act(&EditorActions::saveAs));
    m_copy1x = m_moreMenu->addAction(kx::tr("Copy @1x", "Másolás @1x", "@1x kopieren"), this,
                                     act(&EditorActions::copy1x));
    QAction* paletteItem = m_moreMenu->addAction(kx::tr("Color palette…", "Színpaletta…", "Farbpalette…"),
                                                 this, act(&EditorActions::palette));
    paletteItem->setEnabled(m_hooks.palette);
    m_more =
        chrome("ellipsis"_sym, QString(),
               kx::tr("More export options", "További exportálási lehetőségek", "Weitere Exportoptionen"),
               kx::tr("Save as… and Copy at 1x (standard-resolution) size.",
                      "Mentés másként… és másolás 1x (normál felbontású) méretben.",
                      "Sichern unter… und in 1x-Größe (Standardauflösung) kopieren."),
               QString(), [this] { popUnder(m_moreMenu, m_more); });
    m_save =
        chrome("square.and.arrow.down"_sym, kx::tr("Save", "Mentés", "Sichern"),
               kx::tr("Save to the folder", "Mentés a mappába", "In den Ordner sichern"),
               kx::tr("Saves the image to your screenshot folder.", "A képet a képernyőkép-mappádba menti.",
                      "Sichert das Bild in deinem Screenshot-Ordner."),
               keyHint(EditorKey::save), act(&EditorActions::save));
    m_copy = new CopyButton(m_actions);

    m_row->addWidget(m_undo);
    m_row->addWidget(m_redo);
    m_row->addWidget(divider());
    m_row->addWidget(m_addCapture);
    m_row->addWidget(m_backdrop);
    m_row->addWidget(m_redact);
    m_row->addWidget(m_ocr);
    m_row->addWidget(m_palette);
    m_row->addStretch(1);
    m_row->addSpacing(12);
    m_row->addWidget(m_ai);
    m_row->addWidget(m_upload);
    m_row->addWidget(divider());
    m_row->addWidget(m_pin);
    m_row->addWidget(m_share);
    m_row->addWidget(m_more);
    m_row->addSpacing(2);
    m_row->addWidget(m_save);
    m_row->addSpacing(2);
    m_row->addWidget(m_copy);

    for (ChromeButton* b : {m_addCapture, m_backdrop, m_redact, m_ocr, m_palette, m_ai, m_upload})
        m_titled.append({b, b->title()});
    m_fullWidth = m_row->sizeHint().width();
    connect(&doc, &EditorDocument::changed, this, &HeaderBar::refresh);
    refresh();
}

void HeaderBar::setCompact(bool compact)
{
    if (compact == m_compact)
        return;
    m_compact = compact;
    for (const auto& [button, title] : m_titled) {
        button->setTitle(compact ? QString() : title);
        ChromeButtonStyle style = button->chromeStyle();
        style.square = compact;
        button->setChromeStyle(style);
    }
    // The add-capture label keeps some width without its text.
    if (compact)
        m_addCapture->setMinimumWidth(m_addCapture->sizeHint().width() + 16);
    else
        m_addCapture->setMinimumWidth(0);
}

void HeaderBar::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    setCompact(event->size().width() < m_fullWidth);
}

void HeaderBar::setShowBeautify(bool show)
{
    if (show == m_showBeautify || (show && !m_hooks.beautifyContent))
        return;
    m_showBeautify = show;
    if (!show) {
        if (m_beautifyPopover)
            m_beautifyPopover->close();
        return;
    }
    m_beautifyPopover = new Popover(m_hooks.beautifyContent(), this);
    connect(m_beautifyPopover, &Popover::closed, this, [this] { m_showBeautify = false; });
    m_beautifyPopover->showAt(m_backdrop);
}

void HeaderBar::refresh()
{
    m_undo->setEnabled(!m_doc.undoStack().isEmpty());
    m_redo->setEnabled(!m_doc.redoStack().isEmpty());
    m_backdrop->setSelected(m_doc.beautify().enabled);
    m_ai->setSelected(m_doc.showAI());
    m_copy1x->setEnabled(editor::saneScale(m_doc.scale()) > 1.0);
}

void HeaderBar::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), palette().color(QPalette::Window));
    p.fillRect(QRectF(0, height() - 0.5, width(), 0.5), Theme::primary(palette(), 0.08));
}

}  // namespace kx
