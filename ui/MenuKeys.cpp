#include "ui/MenuKeys.h"

#include "core/Localisation.h"

#include <map>

namespace kx {

namespace {

QList<QKeySequence> keys(std::initializer_list<const char*> texts)
{
    QList<QKeySequence> out;
    for (const char* t : texts)
        out << QKeySequence(QString::fromLatin1(t));
    return out;
}

QList<MainMenuEntry> buildTable()
{
    enum { app, file, edit, view, capture, window, help };
    QList<MainMenuEntry> t;
    const auto row = [&t](int menu, MainItem item, QList<QKeySequence> k, const QString& title,
                          bool separatorBefore = false, bool editor = false) {
        MainMenuEntry e;
        e.menu = menu;
        e.item = item;
        e.keys = std::move(k);
        e.title = title;
        e.separatorBefore = separatorBefore;
        e.editor = editor;
        t << e;
    };
    row(app, MainItem::about, {}, kx::tr("About Kaptorix", "A Kaptorix névjegye", "Über Kaptorix"));
    row(app, MainItem::settings, keys({"Ctrl+,"}), kx::tr("Settings…", "Beállítások…", "Einstellungen…"),
        true);
    row(app, MainItem::hide, keys({"Ctrl+H"}),
        kx::tr("Hide Kaptorix", "Kaptorix elrejtése", "Kaptorix ausblenden"), true);
    row(app, MainItem::quit, keys({"Ctrl+Q"}),
        kx::tr("Quit Kaptorix", "Kilépés a Kaptorixból", "Kaptorix beenden"));

    row(file, MainItem::openImage, keys({"Ctrl+O"}),
        kx::tr("Open image…", "Kép megnyitása…", "Bild öffnen…"));
    row(file, MainItem::openClipboard, keys({"Ctrl+Shift+V"}),
        kx::tr("Edit image from clipboard", "Kép szerkesztése a vágólapról",
               "Bild aus der Zwischenablage bearbeiten"));
    row(file, MainItem::save, keys({"Ctrl+S"}), kx::tr("Save", "Mentés", "Sichern"), true, true);
    row(file, MainItem::saveAs, keys({"Ctrl+Shift+S"}),
        kx::tr("Save as…", "Mentés másként…", "Sichern unter…"), false, true);
    row(file, MainItem::pin, keys({"Ctrl+Shift+P"}),
        kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"), false, true);
    row(file, MainItem::close, keys({"Ctrl+W"}), kx::tr("Close", "Bezárás", "Schließen"), true);

    row(edit, MainItem::undo, keys({"Ctrl+Z"}), kx::tr("Undo", "Visszavonás", "Widerrufen"), false, true);
    row(edit, MainItem::redo, keys({"Ctrl+Shift+Z"}), kx::tr("Redo", "Újra", "Wiederholen"), false, true);
    row(edit, MainItem::cut, keys({"Ctrl+X"}), kx::tr("Cut", "Kivágás", "Ausschneiden"), true);
    row(edit, MainItem::copy, keys({"Ctrl+C"}), kx::tr("Copy", "Másolás", "Kopieren"));
    row(edit, MainItem::paste, keys({"Ctrl+V"}), kx::tr("Paste", "Beillesztés", "Einsetzen"));
    row(edit, MainItem::selectAll, keys({"Ctrl+A"}),
        kx::tr("Select All", "Az összes kijelölése", "Alles auswählen"));
    row(edit, MainItem::deleteObject, keys({"Backspace"}),
        kx::tr("Delete object", "Objektum törlése", "Objekt löschen"), true, true);
    t.last().keyShown = true;
    row(edit, MainItem::bringToFront, keys({"Ctrl+]"}),
        kx::tr("Bring to front", "Előre hozás", "Nach vorne bringen"), false, true);
    row(edit, MainItem::sendToBack, keys({"Ctrl+["}),
        kx::tr("Send to back", "Hátra küldés", "Nach hinten senden"), false, true);

    row(view, MainItem::zoomIn, keys({"Ctrl++", "Ctrl+="}), kx::tr("Zoom in", "Nagyítás", "Vergrößern"),
        false, true);
    row(view, MainItem::zoomOut, keys({"Ctrl+-"}), kx::tr("Zoom out", "Kicsinyítés", "Verkleinern"), false,
        true);
    row(view, MainItem::zoomFit, keys({"Ctrl+9"}),
        kx::tr("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen"), false, true);
    row(view, MainItem::zoomActual, keys({"Ctrl+0"}), kx::tr("Actual size", "Valódi méret", "Originalgröße"),
        false, true);

    // The Capture menu shows no keys: its actions have global hot keys of their own.
    for (int i = 0; i <= int(HotKeyAction::history); ++i) {
        row(capture, MainItem::capture, {}, title(HotKeyAction(i)));
        t.last().capture = HotKeyAction(i);
    }

    row(window, MainItem::minimize, keys({"Ctrl+M"}), kx::tr("Minimize", "Kis méret", "Minimieren"));
    row(window, MainItem::history, keys({"Ctrl+Y"}), kx::tr("History…", "Előzmények…", "Verlauf…"));

    row(help, MainItem::help, keys({"Ctrl+?", "F1"}),
        kx::tr("Kaptorix Help", "Kaptorix súgó", "Kaptorix-Hilfe"));
    row(help, MainItem::helpShortcuts, {},
        kx::tr("Keyboard shortcuts", "Billentyűparancsok", "Tastaturkurzbefehle"));
    return t;
}

}  // namespace

QStringList mainMenuTitles()
{
    return {QStringLiteral("Kaptorix"),
            kx::tr("File", "Fájl", "Ablage"),
            kx::tr("Edit", "Szerkesztés", "Bearbeiten"),
            kx::tr("View", "Nézet", "Darstellung"),
            kx::tr("Capture", "Rögzítés", "Aufnahme"),
            kx::tr("Window", "Ablak", "Fenster"),
            kx::tr("Help", "Súgó", "Hilfe")};
}

const QList<MainMenuEntry>& mainMenuTable()
{
    // One table per language: the process keeps one, but checks of the texts build all three.
    // A map keeps references to its tables valid as others are added.
    static std::map<QString, QList<MainMenuEntry>> tables;
    const QString lang = Lang::current();
    auto it = tables.find(lang);
    if (it == tables.end())
        it = tables.emplace(lang, buildTable()).first;
    return it->second;
}

QList<QKeySequence> menuKeys(MainItem item)
{
    for (const MainMenuEntry& e : mainMenuTable())
        if (e.item == item)
            return e.keys;
    return {};
}

QString menuKeyHint(MainItem item)
{
    const QList<QKeySequence> k = menuKeys(item);
    return k.isEmpty() ? QString() : k.first().toString(QKeySequence::NativeText);
}

}  // namespace kx
