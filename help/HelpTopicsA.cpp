// First group of help pages: start, capture, editor, backdrop.
#include "editor/ToolKind.h"
#include "editor/window/controls/FrameThumbs.h"
#include "help/HelpBuild.h"
#include "platform/HotKeys.h"
#include "ui/MenuKeys.h"

namespace kx {

using namespace help;

namespace {

QString live(HotKeyAction a)
{
    return HelpContent::liveKeys(a);
}

// The letter the editor installs for a tool, as its key cap shows it.
QString toolKey(ToolKind kind)
{
    return key(kind).toUpper();
}

HelpTopic start()
{
    HelpTopic t{"start",
                "sparkles",
                tint("purple"),
                T("Getting started", "Első lépések", "Erste Schritte"),
                T("Kaptorix lives in the tray. It captures, annotates, searches, pins and shares screenshots "
                  "– everything from the keyboard.",
                  "A Kaptorix a tálcán él. Képernyőképeket készít, jegyzetel, keres, kitűz és megoszt – "
                  "mindezt billentyűzetről.",
                  "Kaptorix wohnt im Tray. Es nimmt Bildschirmfotos auf, beschriftet, durchsucht, pinnt und "
                  "teilt sie – alles per Tastatur."),
                {},
                {}};
    t.sections = {
        section(T("What it does", "Mit csinál?", "Was es macht"),
                {T("Kaptorix has no main window. Start a capture with a shortcut or from the tray icon; the "
                   "result goes where you chose in Settings: into the editor, a quick preview, the "
                   "clipboard, a folder or your own server. Every capture is also kept in the history.",
                   "A Kaptorixnak nincs főablaka. A képkészítést billentyűparanccsal vagy a tálcaikonról "
                   "indíthatod; az eredmény oda kerül, ahová a Beállításokban kérted: a szerkesztőbe, "
                   "gyors előnézetbe, a vágólapra, egy mappába vagy a saját szerveredre. Minden kép az "
                   "előzményekbe is bekerül.",
                   "Kaptorix hat kein Hauptfenster. Eine Aufnahme startest du per Kurzbefehl oder über das "
                   "Tray-Symbol; das Ergebnis landet dort, wo du es in den Einstellungen festgelegt hast: im "
                   "Editor, in einer Schnellvorschau, in der Zwischenablage, in einem Ordner oder auf deinem "
                   "eigenen Server. Jede Aufnahme wird außerdem im Verlauf aufbewahrt.")},
                {}),
        section(
            T("The tray icon", "A tálcaikon", "Das Tray-Symbol"),
            {T("Click the viewfinder icon in the tray. The menu contains these items:",
               "Kattints a keresőikonra a tálcán. A menü a következő elemeket tartalmazza:",
               "Klicke auf das Sucher-Symbol im Tray. Das Menü enthält diese Einträge:")},
            {row("camera.viewfinder", T("Capture modes", "Képkészítési módok", "Aufnahmemodi"), none(),
                 T("Area, fullscreen, active window, window picker, scrolling capture, OCR, color picker, "
                   "pin area and repeat last area. Each item shows its shortcut. See the Capture modes page.",
                   "Terület, teljes képernyő, aktív ablak, ablakválasztó, görgetett kép, OCR, színválasztó, "
                   "terület kitűzése és az utolsó terület ismétlése. Minden elem mellett ott a "
                   "billentyűparancsa. Lásd a Képkészítési módok oldalt.",
                   "Bereich, Vollbild, aktives Fenster, Fensterauswahl, scrollende Aufnahme, OCR, "
                   "Farbpipette, Bereich anheften und letzten Bereich wiederholen. Jeder Eintrag zeigt "
                   "seinen Kurzbefehl. Siehe die Seite Aufnahmemodi.")),
             row("timer", T("Timed capture", "Időzített felvétel", "Zeitgesteuerte Aufnahme"), none(),
                 T("Captures after a countdown: an area after 3 or 5 seconds, the fullscreen after 3, 5 or "
                   "10 seconds, the active window after 5 seconds. Good for menus and hover states.",
                   "Visszaszámlálás után készít képet: területet 3 vagy 5, teljes képernyőt 3, 5 vagy 10, "
                   "aktív ablakot 5 másodperc után. Menükhöz és rámutatáskor látszó állapotokhoz jó.",
                   "Nimmt nach einem Countdown auf: einen Bereich nach 3 oder 5 Sekunden, den Vollbildschirm "
                   "nach 3, 5 oder 10 Sekunden, das aktive Fenster nach 5 Sekunden. Gut für Menüs und "
                   "Hover-Zustände.")),
             row("clock.arrow.circlepath", T("History", "Előzmények", "Verlauf"), live(HotKeyAction::history),
                 T("Opens the searchable list of all captures.",
                   "Megnyitja az összes kép kereshető listáját.",
                   "Öffnet die durchsuchbare Liste aller Aufnahmen.")),
             row("paintpalette", T("Recent colors", "Legutóbbi színek", "Letzte Farben"), none(),
                 T("The colors you last picked with the color picker. A click copies one again. The item "
                   "appears only after a color has been picked.",
                   "A színválasztóval legutóbb felvett színek. Egy kattintás újra kimásolja őket. Az elem "
                   "csak az első színfelvétel után jelenik meg.",
                   "Die zuletzt mit der Farbpipette aufgenommenen Farben. Ein Klick kopiert eine davon "
                   "erneut. Der Eintrag erscheint erst, wenn eine Farbe aufgenommen wurde.")),
             row("pin", T("Pins", "Kitűzések", "Angeheftet"), none(),
                 T("Appears when pictures are pinned. Makes the pins clickable again, or closes them all.",
                   "Akkor jelenik meg, ha vannak kitűzött képek. A kitűzéseket újra kattinthatóvá teszi, "
                   "vagy mindet bezárja.",
                   "Erscheint, wenn Bilder angepinnt sind. Macht die Pins wieder anklickbar oder schließt "
                   "alle.")),
             row("photo", T("Open image…", "Kép megnyitása…", "Bild öffnen…"), none(),
                 T("Opens an image file in the editor. Ctrl+O does the same while a Kaptorix window is "
                   "active. With Settings → General → Show taskbar icon on, the windows also show menus at "
                   "their top, and the File menu has it too.",
                   "Képfájlt nyit meg a szerkesztőben. Ugyanezt teszi a Ctrl+O, ha egy Kaptorix-ablak "
                   "aktív. Ha a Beállítások → Általános → Tálcaikon megjelenítése be van kapcsolva, az "
                   "ablakoknak menüsoruk is van, és annak Fájl menüjében is megtalálod.",
                   "Öffnet eine Bilddatei im Editor. Ctrl+O tut dasselbe, wenn ein Kaptorix-Fenster aktiv "
                   "ist. Ist Einstellungen → Allgemein → Taskleistensymbol anzeigen an, haben die Fenster "
                   "auch eine Menüleiste, deren Menü Ablage ihn ebenfalls hat.")),
             row("doc.on.clipboard",
                 T("Edit image from clipboard", "Kép szerkesztése a vágólapról",
                   "Bild aus der Zwischenablage bearbeiten"),
                 none(),
                 T("Opens the picture on the clipboard in the editor. Ctrl+Shift+V does the same while a "
                   "Kaptorix window is active; with Settings → General → Show taskbar icon on, the "
                   "windows' File menu has it too.",
                   "A vágólapon lévő képet megnyitja a szerkesztőben. Ugyanezt teszi a Ctrl+Shift+V, ha "
                   "egy Kaptorix-ablak aktív; ha a Beállítások → Általános → Tálcaikon megjelenítése be "
                   "van kapcsolva, az ablakok Fájl menüjében is megvan.",
                   "Öffnet das Bild aus der Zwischenablage im Editor. Ctrl+Shift+V tut dasselbe, wenn ein "
                   "Kaptorix-Fenster aktiv ist; ist Einstellungen → Allgemein → Taskleistensymbol anzeigen "
                   "an, hat ihn auch das Menü Ablage der Fenster.")),
             row("globe", T("Language", "Nyelv", "Sprache"), none(),
                 T("English, Magyar or Deutsch. The new language is used after a restart, which Kaptorix "
                   "offers at once.",
                   "Angol, magyar vagy német. Az új nyelv újraindítás után lép életbe; a Kaptorix azonnal "
                   "felajánlja.",
                   "English, Magyar oder Deutsch. Die neue Sprache gilt nach einem Neustart, den Kaptorix "
                   "gleich anbietet.")),
             row("arrow.triangle.2.circlepath",
                 T("Check for Updates…", "Frissítések keresése…", "Nach Updates suchen…"), none(),
                 T("Shows the version you run. Updates come through your package manager.",
                   "Megmutatja a futó verziót. A frissítéseket a csomagkezelő hozza.",
                   "Zeigt die laufende Version. Updates kommen über die Paketverwaltung.")),
             row("questionmark.circle", T("Help", "Súgó", "Hilfe"), none(),
                 T("This guide. The Settings window has a Help button, the question mark at the bottom of "
                   "the editor's tool rail opens the editor chapter directly, and Ctrl+? or F1 opens it from "
                   "any Kaptorix window. With Settings → General → Show taskbar icon on, the windows also "
                   "show menus at their top, among them a Help menu.",
                   "Ez az útmutató. A Beállítások ablakban van egy Súgó gomb, a szerkesztő eszközsávjának "
                   "alján lévő kérdőjel egyenesen a szerkesztő fejezetét nyitja meg, a Ctrl+? vagy az F1 "
                   "pedig bármely Kaptorix-ablakból megnyitja. Ha a Beállítások → Általános → Tálcaikon "
                   "megjelenítése be van kapcsolva, az ablakok menüsorában Súgó menü is van.",
                   "Diese Anleitung. Das Einstellungsfenster hat eine Schaltfläche Hilfe, das Fragezeichen "
                   "unten in der Werkzeugleiste des Editors öffnet direkt das Kapitel zum Editor, und Ctrl+? "
                   "oder F1 öffnet sie aus jedem Kaptorix-Fenster. Ist Einstellungen → Allgemein → "
                   "Taskleistensymbol anzeigen an, hat die Menüleiste der Fenster auch ein Menü Hilfe.")),
             row("gearshape", T("Settings…", "Beállítások…", "Einstellungen…"),
                 menuKeyHint(MainItem::settings),
                 T("Five tabs: General, Shortcuts, Capture & save, Upload and AI.",
                   "Öt lap: Általános, Billentyűparancsok, Rögzítés és mentés, Feltöltés és AI.",
                   "Fünf Tabs: Allgemein, Tastenkürzel, Aufnahme & Ablage, Hochladen und AI.")),
             row("rectangle.portrait.and.arrow.right",
                 T("Quit Kaptorix", "Kilépés a Kaptorixból", "Kaptorix beenden"), menuKeyHint(MainItem::quit),
                 T("Quits the app. Shortcuts stop working until you launch it again.",
                   "Kilép az alkalmazásból. A billentyűparancsok az újraindításig nem működnek.",
                   "Beendet die App. Die Kurzbefehle wirken erst wieder, wenn du sie neu startest."))}),
        section(
            T("Permissions", "Engedélyek", "Berechtigungen"), {},
            {row("record.circle",
                 T("Screen recording (required)", "Képernyőfelvétel (kötelező)",
                   "Bildschirmaufnahme (erforderlich)"),
                 none(),
                 T("Needed for every capture. An X11 session needs no screen permission: Kaptorix reads the "
                   "screen directly, and nothing has to be enabled. In a Wayland session without X11 a "
                   "capture shows a dialog explaining that Kaptorix needs an X11 session; log in to an X11 "
                   "session and start Kaptorix again.",
                   "Minden képkészítéshez kell. Egy X11-munkamenetben nincs szükség képernyő-engedélyre: a "
                   "Kaptorix közvetlenül olvassa a képernyőt, semmit sem kell bekapcsolni. X11 nélküli "
                   "Wayland-munkamenetben a képkészítés egy párbeszédablakot mutat, amely elmagyarázza, hogy "
                   "a Kaptorixnak X11-munkamenet kell; jelentkezz be X11-munkamenetbe, és indítsd újra a "
                   "Kaptorixot.",
                   "Für jede Aufnahme nötig. Eine X11-Sitzung braucht keine Bildschirmfreigabe: Kaptorix "
                   "liest den Bildschirm direkt, es muss nichts eingeschaltet werden. In einer "
                   "Wayland-Sitzung ohne X11 zeigt eine Aufnahme einen Dialog, der erklärt, dass Kaptorix "
                   "eine X11-Sitzung braucht; melde dich in einer X11-Sitzung an und starte Kaptorix neu.")),
             row("accessibility",
                 T("Accessibility (optional)", "Kisegítő lehetőségek (nem kötelező)",
                   "Bedienungshilfen (optional)"),
                 none(),
                 T("Only needed for Auto-scroll in scrolling captures, which scrolls through the X server's "
                   "XTEST extension. Manual scrolling works without it. Settings → Capture & save shows "
                   "whether it is available.",
                   "Csak a görgetett képek Automatikus görgetéséhez kell, amely az X-szerver XTEST "
                   "kiterjesztésén keresztül görget. Kézi görgetéssel nélküle is működik. A Beállítások → "
                   "Rögzítés és mentés mutatja, hogy elérhető-e.",
                   "Nur für das automatische Scrollen bei scrollenden Aufnahmen nötig, das über die "
                   "XTEST-Erweiterung des X-Servers scrollt. Manuelles Scrollen geht auch ohne. "
                   "Einstellungen → Aufnahme & Ablage zeigt, ob sie verfügbar ist."))}),
        section(
            T("The basic workflow", "Az alap munkamenet", "Der grundlegende Ablauf"), {},
            {row("viewfinder", T("1. Capture", "1. Képkészítés", "1. Aufnahme"), live(HotKeyAction::area),
                 T("Press the shortcut of the mode you need, or pick it from the tray menu. The shortcut "
                   "shown here is the one for area capture.",
                   "Nyomd meg a kívánt mód billentyűparancsát, vagy válaszd ki a tálcamenüből. Az itt "
                   "látható billentyűparancs a területkijelölésé.",
                   "Drücke den Kurzbefehl des gewünschten Modus oder wähle ihn im Tray-Menü. Der hier "
                   "gezeigte Kurzbefehl ist der für die Bereichsaufnahme.")),
             row("eye", T("2. Look at the result", "2. Nézd meg az eredményt", "2. Ergebnis ansehen"), none(),
                 T("Settings → Capture & save decides what happens next. By default the picture opens in the "
                   "editor and is copied to the clipboard.",
                   "Hogy mi történik ezután, azt a Beállítások → Rögzítés és mentés határozza meg. "
                   "Alapesetben a kép megnyílik a szerkesztőben, és a vágólapra kerül.",
                   "Was danach passiert, legt Einstellungen → Aufnahme & Ablage fest. Standardmäßig öffnet "
                   "sich das Bild im Editor und wird in die Zwischenablage kopiert.")),
             row("pencil.and.outline", T("3. Edit", "3. Szerkesztés", "3. Bearbeiten"), none(),
                 T("Mark up the picture with arrows, text, blur, numbered steps and more. The tool rail on "
                   "the left holds the tools, the header the actions.",
                   "Jelöld meg a képet nyilakkal, szöveggel, elmosással, számozott lépésekkel és mással. A "
                   "bal oldali eszközsávon vannak az eszközök, a fejlécben a műveletek.",
                   "Markiere das Bild mit Pfeilen, Text, Weichzeichnung, nummerierten Schritten und mehr. "
                   "Die Werkzeugleiste links hält die Werkzeuge, die Kopfleiste die Aktionen.")),
             row("square.and.arrow.up",
                 T("4. Copy, save, pin or share", "4. Másolás, mentés, kitűzés vagy megosztás",
                   "4. Kopieren, sichern, anpinnen oder teilen"),
                 none(),
                 T("Ctrl+C copies the finished image with annotations and backdrop, Ctrl+S saves it to your "
                   "folder, Ctrl+Shift+P pins it above all windows. The share and upload buttons send it on.",
                   "A Ctrl+C a kész képet jegyzetekkel és háttérrel együtt másolja, a Ctrl+S a mappádba "
                   "menti, a Ctrl+Shift+P minden ablak fölé tűzi. A megosztás és a feltöltés gombja "
                   "továbbküldi.",
                   "Ctrl+C kopiert das fertige Bild mit Anmerkungen und Hintergrund, Ctrl+S sichert es in "
                   "deinem Ordner, Ctrl+Shift+P pinnt es über alle Fenster. Die Schaltflächen Teilen und "
                   "Upload geben es weiter."))}),
        section(
            T("General options", "Általános beállítások", "Allgemeine Optionen"),
            {T("Settings → General holds the app-wide options. These are the ones you are most likely to "
               "change:",
               "A Beállítások → Általános az egész alkalmazásra érvényes beállításokat tartalmazza. "
               "Ezeket fogod a legvalószínűbben módosítani:",
               "Einstellungen → Allgemein enthält die Optionen für die ganze App. Diese wirst du am "
               "ehesten ändern:")},
            {row("person.crop.circle",
                 T("Launch at login", "Indítás bejelentkezéskor", "Beim Anmelden starten"), none(),
                 T("Starts Kaptorix automatically when you log in.",
                   "Bejelentkezéskor automatikusan elindítja a Kaptorixot.",
                   "Startet Kaptorix automatisch, wenn du dich anmeldest.")),
             row("dock.rectangle",
                 T("Show taskbar icon", "Tálcaikon megjelenítése", "Taskleistensymbol anzeigen"), none(),
                 T("Off by default, so Kaptorix lives only in the tray. Turn it on to get a taskbar "
                   "entry as well.",
                   "Alapból ki van kapcsolva, így a Kaptorix csak a tálcán él. Kapcsold be, ha a "
                   "feladatsávon is szeretnél bejegyzést.",
                   "Standardmäßig aus, Kaptorix lebt dann nur im Tray. Schalte es ein, um zusätzlich "
                   "einen Eintrag in der Taskleiste zu bekommen.")),
             row("speaker.wave.2", T("Shutter sound", "Zárhang", "Auslösegeräusch"), none(),
                 T("Plays a shutter sound after each capture.",
                   "Minden képkészítés után zárhangot játszik le.",
                   "Spielt nach jeder Aufnahme ein Auslösegeräusch.")),
             row("magnifyingglass",
                 T("Magnifier while selecting", "Nagyító kijelölés közben", "Lupe beim Auswählen"), none(),
                 T("Shows the pixel magnifier while you select an area. On by default.",
                   "Terület kijelölése közben megmutatja a pixelnagyítót. Alapból be van kapcsolva.",
                   "Zeigt die Pixellupe, während du einen Bereich auswählst. Standardmäßig an."))},
            "settings-general"),
        section(T("Language", "Nyelv", "Sprache"),
                {T("The setting is Settings → General → Language (restart needed). English is the default. "
                   "Automatic follows the system language: Hungarian or German when the system prefers one "
                   "of them, English otherwise. Magyar, English or Deutsch can be chosen directly. The "
                   "language is read when Kaptorix starts, so restart it after a change.",
                   "A beállítás helye: Beállítások → Általános → Nyelv (újraindítás kell). Az "
                   "alapértelmezés az angol. Az Automatikus a rendszer nyelvét követi: magyar vagy német, ha "
                   "a rendszer ezek egyikét részesíti előnyben, egyébként angol. A Magyar, English vagy "
                   "Deutsch közvetlenül is választható. A nyelvet a Kaptorix induláskor olvassa be, ezért "
                   "módosítás után indítsd újra.",
                   "Die Einstellung findest du unter Einstellungen → Allgemein → Sprache (Neustart nötig). "
                   "Standard ist Englisch. Automatisch folgt der Systemsprache: Ungarisch oder Deutsch, wenn "
                   "das System eine davon bevorzugt, sonst Englisch. Magyar, English oder Deutsch lassen "
                   "sich direkt wählen. Die Sprache wird beim Start von Kaptorix gelesen, starte es nach "
                   "einer Änderung also neu.")},
                {}),
        section(
            T("Shortcuts", "Billentyűparancsok", "Kurzbefehle"),
            {T("Every capture mode has a global shortcut, by default Ctrl+Alt with a digit (Ctrl+Alt+1 to "
               "Ctrl+Alt+0), working from any app. To change one, open Settings → Shortcuts, click its field "
               "and press the new combination. Backspace clears the field and turns that action off, Esc "
               "cancels. A warning triangle means another app or the system already uses the combination. "
               "Restore defaults resets all of them.",
               "Minden képkészítési módnak van globális billentyűparancsa, alapból Ctrl+Alt egy számjeggyel "
               "(Ctrl+Alt+1-től Ctrl+Alt+0-ig), amely bármely alkalmazásból működik. Módosításhoz nyisd meg "
               "a Beállítások → Billentyűparancsok lapot, kattints a mezőjére, és nyomd le az új "
               "kombinációt. A Backspace törli a mezőt és kikapcsolja a műveletet, az Esc megszakítja a "
               "rögzítést. A figyelmeztető háromszög azt jelzi, hogy egy másik alkalmazás vagy a rendszer "
               "már használja a kombinációt. Az Alapértékek visszaállítása mindet visszaállítja.",
               "Jeder Aufnahmemodus hat einen globalen Kurzbefehl, standardmäßig Ctrl+Alt mit einer Ziffer "
               "(Ctrl+Alt+1 bis Ctrl+Alt+0), der in jeder App wirkt. Zum Ändern öffne Einstellungen → "
               "Tastenkürzel, klicke in sein Feld und drücke die neue Kombination. Die Rücktaste leert das "
               "Feld und schaltet die Aktion aus, Esc bricht ab. Ein Warndreieck bedeutet, dass eine andere "
               "App oder das System die Kombination schon verwendet. Standard wiederherstellen setzt alle "
               "zurück.")},
            {}),
    };
    return t;
}

HelpTopic capture()
{
    HelpTopic t{"capture",
                "camera.viewfinder",
                tint("blue"),
                T("Capture modes", "Képkészítési módok", "Aufnahmemodi"),
                T("Every mode has a global shortcut (changeable in Settings → Shortcuts) and a tray menu "
                  "item. The shortcuts work from any app.",
                  "Minden módnak van globális billentyűparancsa (a Beállítások → Billentyűparancsok lapon "
                  "módosítható) és tálcamenü-eleme. A billentyűparancsok bármely alkalmazásból működnek.",
                  "Jeder Modus hat einen globalen Kurzbefehl (änderbar unter Einstellungen → Tastenkürzel) "
                  "und einen Eintrag im Tray-Menü. Die Kurzbefehle wirken in jeder App."),
                {},
                {}};
    t.sections = {
        section(
            T("The capture modes", "A képkészítési módok", "Die Aufnahmemodi"), {},
            {row("viewfinder", T("Capture area", "Terület rögzítése", "Bereich aufnehmen"),
                 live(HotKeyAction::area),
                 T("Freezes the screen and darkens everything except the rectangle you drag. Releasing the "
                   "mouse button captures it; the pointer is not included. See Selecting an area.",
                   "Kimerevíti a képernyőt, és a kijelölt téglalapon kívül mindent elsötétít. Az egérgomb "
                   "felengedésekor elkészül a kép; az egérmutató nem kerül rá. Lásd: Terület kijelölése.",
                   "Friert den Bildschirm ein und dunkelt alles außer dem aufgezogenen Rechteck ab. Beim "
                   "Loslassen der Maustaste wird es aufgenommen; der Mauszeiger ist nicht enthalten. Siehe "
                   "Bereich auswählen.")),
             row("display", T("Capture fullscreen", "Teljes képernyő rögzítése", "Vollbild aufnehmen"),
                 live(HotKeyAction::fullscreen),
                 T("Captures the whole display under the mouse pointer at once, without selecting. The "
                   "pointer is included when Include the mouse cursor is on in Settings → Capture & save.",
                   "Kijelölés nélkül, azonnal rögzíti az egérmutató alatti teljes kijelzőt. Az egérmutató "
                   "akkor kerül rá, ha a Beállítások → Rögzítés és mentés lapon be van kapcsolva az "
                   "Egérkurzor is látszódjon.",
                   "Nimmt sofort und ohne Auswahl den ganzen Bildschirm unter dem Mauszeiger auf. Der Zeiger "
                   "ist dabei, wenn unter Einstellungen → Aufnahme & Ablage „Mauszeiger einschließen“ "
                   "eingeschaltet ist.")),
             row("macwindow",
                 T("Capture active window", "Aktív ablak rögzítése", "Aktives Fenster aufnehmen"),
                 live(HotKeyAction::activeWindow),
                 T("Captures the window you are working in, with its frame, as it appears on screen. X11 "
                   "takes the window's rectangle from the screen, so a window overlapping it shows in the "
                   "picture too.",
                   "Azt az ablakot rögzíti, amelyben éppen dolgozol, keretével együtt, ahogy a képernyőn "
                   "látszik. Az X11 az ablak téglalapját a képernyőről veszi, ezért a rá takaró ablak is "
                   "rákerül a képre.",
                   "Nimmt das Fenster, in dem du gerade arbeitest, samt Rahmen so auf, wie es auf dem "
                   "Bildschirm erscheint. X11 nimmt das Rechteck des Fensters vom Bildschirm, daher ist ein "
                   "überlappendes Fenster mit im Bild.")),
             row("macwindow.badge.plus", T("Pick a window", "Ablak kiválasztása", "Fenster auswählen"),
                 live(HotKeyAction::windowPicker),
                 T("Move the pointer over a window: it is highlighted with its name and size. Click to "
                   "capture just that window. Esc or right-click cancels.",
                   "Vidd a mutatót egy ablak fölé: kiemelve látszik a neve és a mérete. Kattints, és csak az "
                   "az ablak kerül a képre. Esc vagy jobb kattintás megszakítja.",
                   "Bewege den Zeiger über ein Fenster: Es wird mit Name und Größe hervorgehoben. Klicke, um "
                   "nur dieses Fenster aufzunehmen. Esc oder Rechtsklick bricht ab.")),
             row("arrow.up.and.down.text.horizontal",
                 T("Scrolling capture", "Görgetős rögzítés", "Scroll-Aufnahme"),
                 live(HotKeyAction::scrolling),
                 T("Select an area (for example a long web page); the frames taken while it scrolls are "
                   "joined into one tall picture. Scroll by hand or let Kaptorix scroll. See the Scrolling "
                   "capture section.",
                   "Jelölj ki egy területet (például egy hosszú weboldalt); a görgetés közben készült "
                   "képkockák egyetlen magas képpé állnak össze. Görgethetsz kézzel, vagy görgethet a "
                   "Kaptorix. Lásd a Görgetős rögzítés részt.",
                   "Wähle einen Bereich (etwa eine lange Webseite); die beim Scrollen aufgenommenen Bilder "
                   "werden zu einem hohen Bild zusammengefügt. Scrolle von Hand oder lass Kaptorix scrollen. "
                   "Siehe den Abschnitt Scroll-Aufnahme.")),
             row("text.viewfinder",
                 T("OCR – copy text from area", "OCR – szöveg másolása területről",
                   "OCR – Text aus Bereich kopieren"),
                 live(HotKeyAction::ocr),
                 T("The text in the selected area is recognised on this computer by Tesseract (nothing is "
                   "uploaded) and copied to the clipboard together with the content of any QR codes or "
                   "barcodes. Languages are set in Settings → General → OCR languages; “auto” uses the "
                   "system languages plus English.",
                   "A kijelölt terület szövegét ezen a gépen ismeri fel a Tesseract (semmi sem kerül "
                   "feltöltésre), és az esetleges QR- és vonalkódok tartalmával együtt a vágólapra másolja. "
                   "A nyelveket a Beállítások → Általános → OCR nyelvek mezőben adhatod meg; az „auto” a "
                   "rendszer nyelveit és az angolt használja.",
                   "Der Text im gewählten Bereich wird auf diesem Computer von Tesseract erkannt (nichts "
                   "wird hochgeladen) und zusammen mit dem Inhalt von QR-Codes oder Barcodes in die "
                   "Zwischenablage kopiert. Die Sprachen legst du unter Einstellungen → Allgemein → "
                   "OCR-Sprachen fest; „auto“ nutzt die Systemsprachen und Englisch.")),
             row("eyedropper", T("Color picker", "Színválasztó", "Farbpipette"),
                 live(HotKeyAction::colorPicker),
                 T("A click on any pixel copies its color. The format (HEX, lowercase HEX, RGB, HSL or "
                   "SwiftUI) is set in Settings → General. While you aim, a magnifier shows the pixel grid "
                   "and the color. The last 12 colors stay in the tray menu. Esc cancels.",
                   "Bármely pixelre kattintva kimásolja a színét. A formátumot (HEX, kisbetűs HEX, RGB, HSL "
                   "vagy SwiftUI) a Beállítások → Általános lapon adhatod meg. Célzás közben nagyító mutatja "
                   "a pixelrácsot és a színt. Az utolsó 12 szín a tálcamenüben marad. Az Esc megszakítja.",
                   "Ein Klick auf ein beliebiges Pixel kopiert seine Farbe. Das Format (HEX, HEX in "
                   "Kleinbuchstaben, RGB, HSL oder SwiftUI) legst du unter Einstellungen → Allgemein fest. "
                   "Beim Zielen zeigt eine Lupe das Pixelraster und die Farbe. Die letzten 12 Farben bleiben "
                   "im Tray-Menü. Esc bricht ab.")),
             row("pin",
                 T("Pin area on screen", "Terület kitűzése a képernyőre",
                   "Bereich auf dem Bildschirm anheften"),
                 live(HotKeyAction::pinArea),
                 T("Select an area: it stays on screen as a picture floating above all windows, at the same "
                   "place and size. Pins can be moved, zoomed and faded. Details: Pins.",
                   "Jelölj ki egy területet: képként a képernyőn marad, minden ablak fölött lebegve, "
                   "ugyanott és ugyanakkorában. A kitűzések mozgathatók, nagyíthatók és halványíthatók. "
                   "Részletek: Kitűzések.",
                   "Wähle einen Bereich: Er bleibt als Bild über allen Fenstern auf dem Bildschirm, an "
                   "gleicher Stelle und in gleicher Größe. Pins lassen sich verschieben, zoomen und "
                   "abblenden. Details: Pins.")),
             row("arrow.counterclockwise",
                 T("Repeat last area", "Utolsó terület ismétlése", "Letzten Bereich wiederholen"),
                 live(HotKeyAction::repeatLast),
                 T("Captures the same rectangle again on the same display, without asking. It remembers the "
                   "last Capture area (timed ones included), but not scrolling, OCR, pin or color-picker "
                   "selections. With no earlier area a message says so.",
                   "Kérdés nélkül újra rögzíti ugyanazt a téglalapot ugyanazon a kijelzőn. Az utolsó "
                   "területkijelölésre emlékszik (az időzítettekre is), a görgetett kép, az OCR, a kitűzés "
                   "és a színválasztó kijelöléseire nem. Ha még nem volt terület, egy üzenet jelzi.",
                   "Nimmt dasselbe Rechteck ohne Nachfrage erneut auf demselben Bildschirm auf. Es merkt "
                   "sich die letzte Bereichsaufnahme (auch zeitversetzte), aber keine Auswahl für scrollende "
                   "Aufnahme, OCR, Pin oder Farbpipette. Gab es noch keinen Bereich, sagt eine Meldung "
                   "das.")),
             row("clock.arrow.circlepath", T("Open history", "Előzmények megnyitása", "Verlauf öffnen"),
                 live(HotKeyAction::history),
                 T("Opens the searchable history of all captures. Details: History.",
                   "Megnyitja az összes kép kereshető előzményeit. Részletek: Előzmények.",
                   "Öffnet den durchsuchbaren Verlauf aller Aufnahmen. Details: Verlauf."))}),
        section(
            T("Selecting an area", "Terület kijelölése", "Bereich auswählen"),
            {T("Area capture, scrolling capture, OCR, pin area and Add capture in the editor all use the "
               "same selection: the screen freezes and the part outside the selection is darkened.",
               "A területkijelölés, a görgetett kép, az OCR, a terület kitűzése és a szerkesztő Kép "
               "hozzáadása funkciója ugyanazt a kijelölést használja: a képernyő megáll, a kijelölésen "
               "kívüli rész elsötétül.",
               "Bereichsaufnahme, Scroll-Aufnahme, OCR, Bereich anheften und Aufnahme hinzufügen im "
               "Editor nutzen dieselbe Auswahl: Der Bildschirm friert ein, und alles außerhalb der "
               "Auswahl wird abgedunkelt.")},
            {row("hand.draw", T("Drag", "Húzás", "Ziehen"), none(),
                 T("Hold the mouse button and drag; the size in pixels is shown next to the selection. "
                   "While you aim, a magnifier with a pixel grid shows the x/y coordinates and the HEX "
                   "color under the pointer (Settings → General → Magnifier while selecting). Selections "
                   "smaller than 3 × 3 points are ignored.",
                   "Tartsd lenyomva az egérgombot, és húzd; a kijelölés mellett látszik a mérete "
                   "pixelben. Célzás közben pixelrácsos nagyító mutatja a mutató alatti x/y "
                   "koordinátákat és a HEX színt (Beállítások → Általános → Nagyító kijelölés közben). A 3 × "
                   "3 pontnál kisebb kijelöléseket figyelmen kívül hagyja.",
                   "Halte die Maustaste gedrückt und ziehe; die Größe in Pixeln steht neben der Auswahl. "
                   "Beim Zielen zeigt eine Lupe mit Pixelraster die x/y-Koordinaten und die HEX-Farbe "
                   "unter dem Zeiger (Einstellungen → Allgemein → Lupe beim Auswählen). Auswahlen "
                   "kleiner als 3 × 3 Punkte werden ignoriert.")),
             row("square.dashed",
                 T("Space – move the selection", "Szóköz – a kijelölés mozgatása",
                   "Leertaste – Auswahl verschieben"),
                 K("Space"),
                 T("Keep Space held while dragging to move the whole rectangle instead of resizing it. "
                   "Let go of Space to resize again.",
                   "Húzás közben tartsd lenyomva a szóközt, és az egész téglalap mozog átméretezés "
                   "helyett. Engedd fel a szóközt, és újra méretezhetsz.",
                   "Halte beim Ziehen die Leertaste gedrückt, um das ganze Rechteck zu verschieben statt "
                   "seine Größe zu ändern. Lass die Leertaste los, um wieder die Größe zu ändern.")),
             row("square", T("Shift – square", "Shift – négyzet", "Shift – Quadrat"), K("Shift"),
                 T("Hold Shift to force a square. The longer side decides the size.",
                   "A Shift nyomva tartásával négyzetet kapsz. A hosszabb oldal dönti el a méretet.",
                   "Halte die Shift-Taste für ein Quadrat. Die längere Seite bestimmt die Größe.")),
             row("xmark.circle", T("Cancel", "Megszakítás", "Abbrechen"), K("Esc"),
                 T("Esc or right-click cancels without capturing. This works in every selection mode.",
                   "Az Esc vagy a jobb kattintás képkészítés nélkül megszakít. Minden kijelölési módban "
                   "működik.",
                   "Esc oder Rechtsklick bricht ohne Aufnahme ab. Das funktioniert in jedem "
                   "Auswahlmodus."))}),
        section(
            T("Scrolling capture", "Görgetős rögzítés", "Scroll-Aufnahme"),
            {T("For pages and documents longer than the screen. Select only the part that scrolls, leaving "
               "out the address bar and the taskbar. Kaptorix takes frames of the area while the content "
               "moves and joins them into one tall picture. Fixed bars such as a site's top menu are "
               "detected and kept only once: the header from the first frame, the footer from the last.",
               "A képernyőnél hosszabb oldalakhoz és dokumentumokhoz. Csak a görgetett részt jelöld ki, a "
               "címsort és a feladatsávot hagyd ki. A Kaptorix a tartalom mozgása közben képkockákat készít "
               "a területről, és egyetlen magas képpé illeszti őket. A rögzített sávokat, például egy oldal "
               "felső menüjét, felismeri és csak egyszer tartja meg: a fejlécet az első, a láblécet az "
               "utolsó képkockából.",
               "Für Seiten und Dokumente, die länger als der Bildschirm sind. Wähle nur den scrollenden "
               "Teil, ohne Adressleiste und Taskleiste. Kaptorix nimmt Bilder des Bereichs auf, während sich "
               "der Inhalt bewegt, und fügt sie zu einem hohen Bild zusammen. Feste Leisten wie das obere "
               "Menü einer Website werden erkannt und nur einmal behalten: die Kopfzeile aus dem ersten "
               "Bild, die Fußzeile aus dem letzten.")},
            {row("arrow.up.and.down.text.horizontal",
                 T("1. Select the area", "1. Jelöld ki a területet", "1. Bereich auswählen"), none(),
                 T("Drag around the scrolling part. The hint asks you to select the area to scroll-capture.",
                   "Húzz keretet a görgetett rész köré. A tipp arra kér, hogy jelöld ki a görgetve "
                   "rögzítendő területet.",
                   "Ziehe einen Rahmen um den scrollenden Teil. Der Hinweis bittet dich, den Bereich für die "
                   "scrollende Aufnahme zu wählen.")),
             row("arrow.up.and.down", T("2. Scroll by hand", "2. Görgess kézzel", "2. Von Hand scrollen"),
                 none(),
                 T("Scroll slowly and downwards with the touchpad or mouse. A small panel shows the number "
                   "of frames and the height in pixels. When frames cannot be matched, a warning asks you to "
                   "scroll more slowly or only downwards.",
                   "Görgess lassan, lefelé az érintőpaddal vagy az egérrel. Egy kis panel mutatja a "
                   "képkockák számát és a magasságot pixelben. Ha a képkockák nem illeszthetők, "
                   "figyelmeztetés kér, hogy görgess lassabban vagy csak lefelé.",
                   "Scrolle langsam und nach unten mit Touchpad oder Maus. Ein kleines Feld zeigt die Zahl "
                   "der Bilder und die Höhe in Pixeln. Lassen sich Bilder nicht zuordnen, bittet eine "
                   "Warnung, langsamer oder nur nach unten zu scrollen.")),
             row("arrow.down.to.line",
                 T("3. Or let it scroll: Auto-scroll", "3. Vagy görgessen ő: Automatikus görgetés",
                   "3. Oder scrollen lassen: Auto-Scroll"),
                 none(),
                 T("Auto-scroll in the panel makes Kaptorix scroll the area. It needs the X server's XTEST "
                   "extension; without it a notice says so. While it runs, the pointer is moved to the "
                   "centre of the area. Pause stops it, after which scrolling by hand works again.",
                   "A panel Automatikus görgetés gombjával a Kaptorix görgeti a területet. Ehhez az "
                   "X-szerver XTEST kiterjesztése kell; ha hiányzik, egy értesítés jelzi. Futás közben a "
                   "mutató a terület közepére kerül. A Szünet leállítja, utána újra görgethetsz kézzel.",
                   "Auto-Scroll im Feld lässt Kaptorix den Bereich scrollen. Dafür braucht es die "
                   "XTEST-Erweiterung des X-Servers; fehlt sie, sagt ein Hinweis das. Während es läuft, wird "
                   "der Zeiger in die Mitte des Bereichs gesetzt. Pause hält es an, danach kannst du wieder "
                   "von Hand scrollen.")),
             row("checkmark.circle", T("Done – Return", "Kész – Enter", "Fertig – Eingabe"), K("Enter"),
                 T("Keeps everything captured so far and finishes. The capture also stops by itself at the "
                   "end of the page or at the maximum height, set in Settings → Capture & save → Scrolling "
                   "capture: 4,000 to 60,000 px, 30,000 px by default. The result is handled like any other "
                   "capture.",
                   "Megtartja az eddig rögzítetteket, és befejezi. A rögzítés magától is leáll az oldal "
                   "végén vagy a maximális magasságnál, amelyet a Beállítások → Rögzítés és mentés → "
                   "Görgetős képernyőkép részben adhatsz meg: 4000 és 60 000 px között, alapból 30 000 px. "
                   "Az "
                   "eredmény ugyanúgy kezelődik, mint bármely más kép.",
                   "Behält alles bisher Aufgenommene und beendet. Die Aufnahme endet auch von selbst am "
                   "Seitenende oder bei der Maximalhöhe, einstellbar unter Einstellungen → Aufnahme & "
                   "Ablage → Scroll-Aufnahme: 4.000 bis 60.000 px, standardmäßig 30.000 px. Das "
                   "Ergebnis wird wie jede andere Aufnahme behandelt.")),
             row("xmark.circle", T("Cancel – Esc", "Megszakítás – Esc", "Abbrechen – Esc"), K("Esc"),
                 T("Throws the whole capture away. While a scrolling capture runs, Esc and Return work in "
                   "every app, not only in this one, because they are registered globally.",
                   "Az egész rögzítést eldobja. Görgetős rögzítés közben az Esc és az Enter minden "
                   "alkalmazásban működik, nem csak ebben, mert globálisan vannak regisztrálva.",
                   "Verwirft die ganze Aufnahme. Während eine scrollende Aufnahme läuft, wirken Esc und "
                   "Eingabe in jeder App, nicht nur in dieser, weil sie global registriert sind."))}),
        section(
            T("Timed capture", "Időzített felvétel", "Zeitgesteuerte Aufnahme"),
            {T("Tray menu → Timed capture. The submenu offers Capture area after 3 or 5 seconds, Capture "
               "fullscreen after 3, 5 or 10 seconds and Capture active window after 5 seconds. A large "
               "countdown appears in the middle of the screen. At zero the mode runs: for an area you "
               "select it then; fullscreen takes the display under the pointer at that moment. Meant for "
               "menus, tooltips and hover states.",
               "Tálcamenü → Időzített felvétel. Az almenüben terület 3 vagy 5, teljes képernyő 3, 5 vagy 10, "
               "aktív ablak 5 másodperc múlva választható. A képernyő közepén nagy visszaszámlálás "
               "jelenik meg. Nullánál elindul a mód: területnél ekkor jelölöd ki, a teljes képernyő az "
               "akkor a mutató alatt lévő kijelzőt rögzíti. Menükhöz, eszköztippekhez és rámutatáskor "
               "látszó állapotokhoz való.",
               "Tray-Menü → Zeitgesteuerte Aufnahme. Das Untermenü bietet Bereich nach 3 oder 5 Sekunden, "
               "Vollbild nach 3, 5 oder 10 Sekunden und aktives Fenster nach 5 Sekunden. In der "
               "Bildschirmmitte erscheint ein großer Countdown. Bei null startet der Modus: Einen "
               "Bereich wählst du dann aus; Vollbild nimmt den Bildschirm, der in diesem Moment unter "
               "dem Zeiger liegt. Gedacht für Menüs, Tooltips und Hover-Zustände.")},
            {}),
        section(
            T("After a capture", "Képkészítés után", "Nach einer Aufnahme"),
            {T("Settings → Capture & save decides what happens to every new capture. The options are "
               "independent of each other, and every capture is stored in the history whatever they are set "
               "to:",
               "A Beállítások → Rögzítés és mentés határozza meg, mi történjen minden új képpel. A "
               "beállítások egymástól függetlenek, és minden kép bekerül az előzményekbe, bárhogy állnak is:",
               "Einstellungen → Aufnahme & Ablage legt fest, was mit jeder neuen Aufnahme geschieht. Die "
               "Optionen sind voneinander unabhängig, und jede Aufnahme landet im Verlauf, egal wie sie "
               "stehen:")},
            {row("pencil.and.outline",
                 T("Open in the editor", "Megnyitás a szerkesztőben", "Im Editor öffnen"), none(),
                 T("The picture opens in the editor, where you can annotate and export it. On by default.",
                   "A kép megnyílik a szerkesztőben, ahol jegyzetelheted és exportálhatod. Alapból "
                   "bekapcsolva.",
                   "Das Bild öffnet sich im Editor, wo du es beschriften und exportieren kannst. "
                   "Standardmäßig an.")),
             row("eye", T("Quick preview", "Gyors előnézet", "Schnellvorschau"), none(),
                 T("A card in the bottom-right corner with the picture and the buttons Edit, Copy, Pin, Save "
                   "and Upload (Upload only when upload is set up). A click on the picture edits it. It "
                   "disappears by itself after a few seconds; hovering keeps it open. Shown only when the "
                   "editor is off. On by default.",
                   "Kártya a jobb alsó sarokban a képpel és a Szerkesztés, Másolás, Kitűzés, Mentés és "
                   "Feltöltés gombbal (a Feltöltés csak beállított feltöltésnél). A képre kattintva "
                   "szerkesztheted. Néhány másodperc múlva magától eltűnik; ha fölötte tartod a mutatót, "
                   "nyitva marad. Csak akkor látszik, ha a szerkesztő ki van kapcsolva. Alapból bekapcsolva.",
                   "Eine Karte unten rechts mit dem Bild und den Schaltflächen Bearbeiten, Kopieren, "
                   "Anpinnen, Sichern und Upload (Upload nur, wenn der Upload eingerichtet ist). Ein Klick "
                   "auf das Bild bearbeitet es. Sie verschwindet nach ein paar Sekunden von selbst; solange "
                   "der Zeiger darüber ist, bleibt sie offen. Nur bei ausgeschaltetem Editor. Standardmäßig "
                   "an.")),
             row("doc.on.doc",
                 T("Copy to clipboard", "Másolás a vágólapra", "In die Zwischenablage kopieren"), none(),
                 T("Copies the picture as it was captured, before any annotation or backdrop is added in the "
                   "editor. On by default.",
                   "A képet úgy másolja, ahogy elkészült, még mielőtt a szerkesztőben jegyzet vagy háttér "
                   "kerülne rá. Alapból bekapcsolva.",
                   "Kopiert das Bild so, wie es aufgenommen wurde, bevor im Editor Anmerkungen oder ein "
                   "Hintergrund hinzukommen. Standardmäßig an.")),
             row("square.and.arrow.down",
                 T("Save to the folder below", "Mentés az alábbi mappába", "Im Ordner unten sichern"), none(),
                 T("Saves into the folder set in Settings → Capture & save (by default ~/Pictures/Kaptorix), "
                   "named by your file name pattern. Off by default.",
                   "A Beállítások → Rögzítés és mentés lapon megadott mappába ment (alapból "
                   "~/Pictures/Kaptorix), a fájlnévmintád szerinti néven. Alapból kikapcsolva.",
                   "Sichert in den unter Einstellungen → Aufnahme & Ablage gewählten Ordner (standardmäßig "
                   "~/Pictures/Kaptorix), benannt nach deinem Dateinamensmuster. Standardmäßig aus.")),
             row("icloud.and.arrow.up",
                 T("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
                 none(),
                 T("Uploads automatically over WebDAV, FTP or SFTP. Set it up in Settings → Upload. Off by "
                   "default.",
                   "Automatikusan feltölt WebDAV-on, FTP-n vagy SFTP-n. A Beállítások → Feltöltés lapon "
                   "állíthatod be. Alapból kikapcsolva.",
                   "Lädt automatisch per WebDAV, FTP oder SFTP hoch. Einrichten unter Einstellungen → "
                   "Hochladen. Standardmäßig aus."))},
            "preview"),
        section(T("Limits and tips", "Korlátok és tippek", "Grenzen und Tipps"), {},
                {row("exclamationmark.triangle",
                     T("One capture at a time", "Egyszerre egy kép", "Eine Aufnahme zur Zeit"), none(),
                     T("While a capture is running, other shortcuts and menu items are ignored. Finish or "
                       "cancel the current one first.",
                       "Amíg egy képkészítés fut, a többi billentyűparancs és menüelem hatástalan. Előbb "
                       "fejezd be vagy szakítsd meg az aktuálisat.",
                       "Während eine Aufnahme läuft, werden andere Kurzbefehle und Menüeinträge ignoriert. "
                       "Beende oder verwirf zuerst die laufende.")),
                 row("display", T("HiDPI screens", "HiDPI-kijelzők", "HiDPI-Bildschirme"), none(),
                     T("Captures are taken at full pixel resolution (two pixels per point on a HiDPI screen "
                       "at 200 %). For smaller files, turn on Downscale HiDPI captures to 1x when saving in "
                       "Settings → Capture & save.",
                       "A képek teljes pixelfelbontással készülnek (200 %-os HiDPI-kijelzőn pontonként két "
                       "pixel). Kisebb fájlokhoz kapcsold be a „HiDPI képek mentése 1x méretre” "
                       "beállítást a Beállítások → Rögzítés és mentés lapon.",
                       "Aufnahmen entstehen in voller Pixelauflösung (zwei Pixel pro Punkt auf einem "
                       "HiDPI-Bildschirm mit 200 %). Für kleinere Dateien schalte unter Einstellungen → "
                       "Aufnahme & Ablage „HiDPI-Aufnahmen beim Sichern auf 1x verkleinern“ ein."))}),
    };
    return t;
}

HelpTopic editor()
{
    HelpTopic t{
        "editor",
        "pencil.and.outline",
        tint("indigo"),
        T("The editor", "A szerkesztő", "Der Editor"),
        T("Tools are on the left, actions on top, and the options of the current tool float above the image. "
          "Hover any icon for 3 seconds to see a short help.",
          "Bal oldalt az eszközök, fent a műveletek, a kép fölött pedig az aktuális eszköz beállításai "
          "lebegnek. Ha bármelyik ikon fölött 3 másodpercig tartod a mutatót, rövid súgót látsz.",
          "Links die Werkzeuge, oben die Aktionen, und über dem Bild schweben die Optionen des aktuellen "
          "Werkzeugs. Halte den Zeiger 3 Sekunden über ein Symbol, um eine kurze Hilfe zu sehen."),
        {},
        {}};
    t.sections = {
        section(T("Layout", "Elrendezés", "Aufbau"),
                {T("The header holds the actions and the tool rail on the left the drawing tools. The bar "
                   "above the picture shows the options of the current tool or of the selected object, and "
                   "the floating bar at the bottom the size, zoom and fit controls. In a narrow window the "
                   "header shows icons only.",
                   "A fejlécben vannak a műveletek, a bal oldali eszközsávon a rajzeszközök. A kép fölötti "
                   "sáv az aktuális eszköz vagy a kijelölt objektum beállításait mutatja, az alsó lebegő sáv "
                   "a méretet, a nagyítást és az illesztést. Keskeny ablakban a fejléc csak ikonokat mutat.",
                   "Die Kopfleiste enthält die Aktionen, die Werkzeugleiste links die Zeichenwerkzeuge. Die "
                   "Leiste über dem Bild zeigt die Optionen des aktuellen Werkzeugs oder des ausgewählten "
                   "Objekts, die schwebende Leiste unten Größe, Zoom und Einpassen. In einem schmalen "
                   "Fenster zeigt die Kopfleiste nur Symbole.")},
                {}, "editor-arrow"),
        section(
            T("Header", "Fejléc", "Kopfleiste"), {},
            {row("arrow.uturn.backward", T("Undo", "Visszavonás", "Widerrufen"), menuKeyHint(MainItem::undo),
                 T("Takes back the last change, up to 100 steps: drawing, moving, color and size changes, "
                   "crops, added captures and redactions.",
                   "Visszavonja az utolsó változtatást, legfeljebb 100 lépésig: rajzolást, mozgatást, szín- "
                   "és méretváltoztatást, vágást, hozzáadott képeket és kitakarásokat.",
                   "Nimmt die letzte Änderung zurück, bis zu 100 Schritte: Zeichnen, Verschieben, Farb- und "
                   "Größenänderungen, Zuschnitte, hinzugefügte Aufnahmen und Schwärzungen.")),
             row("arrow.uturn.forward", T("Redo", "Újra", "Wiederholen"), menuKeyHint(MainItem::redo),
                 T("Brings back what you undid.", "Visszahozza, amit visszavontál.",
                   "Stellt wieder her, was du widerrufen hast.")),
             row("plus.rectangle.on.rectangle", T("Add capture", "Újabb kép", "Aufnahme hinzufügen"), none(),
                 T("Hides the editor and lets you select another area as in area capture (Esc cancels). "
                   "Choose Picture in picture, or glue the new area to the right, below, left or above. See "
                   "Adding captures.",
                   "Elrejti a szerkesztőt, és a területkijelöléshez hasonlóan kijelölhetsz egy másik "
                   "területet (Esc: mégse). Választhatod a Kép a képben módot, vagy az új területet jobbra, "
                   "alulra, balra vagy felülre illesztheted. Lásd: Képek hozzáadása.",
                   "Blendet den Editor aus und lässt dich wie bei der Bereichsaufnahme einen weiteren "
                   "Bereich wählen (Esc bricht ab). Wähle Bild im Bild oder füge den neuen Bereich rechts, "
                   "unten, links oder oben an. Siehe Aufnahmen hinzufügen.")),
             row("sparkles.rectangle.stack", T("Backdrop", "Háttér", "Hintergrund"), none(),
                 T("Opens the Backdrop & frame panel. The button stays highlighted while the backdrop is on. "
                   "Details: Backdrop & frames.",
                   "Megnyitja a Háttér és keret panelt. A gomb kiemelt marad, amíg a háttér be van "
                   "kapcsolva. Részletek: Háttér és keretek.",
                   "Öffnet das Feld Hintergrund & Rahmen. Die Schaltfläche bleibt hervorgehoben, solange der "
                   "Hintergrund an ist. Details: Hintergrund & Rahmen.")),
             row("eye.slash", T("Redact", "Eltakarás", "Schwärzen"), none(),
                 T("Finds sensitive data in the picture (e-mail addresses, phone numbers, card numbers "
                   "checked with the Luhn test, IBANs, IP addresses and token-like keys) and pixelates each "
                   "match as an ordinary object you can undo. Check the result before sharing.",
                   "Érzékeny adatokat keres a képen (e-mail-címeket, telefonszámokat, Luhn-próbával "
                   "ellenőrzött kártyaszámokat, IBAN-okat, IP-címeket és tokenszerű kulcsokat), és minden "
                   "találatot visszavonható, közönséges objektumként pixelez. Megosztás előtt ellenőrizd az "
                   "eredményt.",
                   "Findet vertrauliche Daten im Bild (E-Mail-Adressen, Telefonnummern, mit dem Luhn-Test "
                   "geprüfte Kartennummern, IBANs, IP-Adressen und tokenartige Schlüssel) und verpixelt "
                   "jeden Treffer als gewöhnliches Objekt, das sich widerrufen lässt. Prüfe das Ergebnis vor "
                   "dem Teilen.")),
             row("text.viewfinder", T("OCR", "OCR", "OCR"), live(HotKeyAction::ocr),
                 T("Copies the recognised text and the content of QR codes and barcodes to the clipboard. "
                   "The same as the global OCR shortcut, which works from anywhere.",
                   "A felismert szöveget és a QR- és vonalkódok tartalmát a vágólapra másolja. Ugyanaz, mint "
                   "a globális OCR-billentyűparancs, amely bárhonnan működik.",
                   "Kopiert den erkannten Text und den Inhalt von QR-Codes und Barcodes in die "
                   "Zwischenablage. Dasselbe wie der globale OCR-Kurzbefehl, der überall wirkt.")),
             row("paintpalette", T("Palette", "Paletta", "Palette"), none(),
                 T("Opens the color palette window with the dominant colors of the picture. A click copies a "
                   "color's code, or all HEX codes are copied at once.",
                   "Megnyitja a színpaletta ablakát a kép domináns színeivel. Egy kattintás kimásolja egy "
                   "szín kódját, vagy egyszerre az összes HEX-kódot.",
                   "Öffnet das Farbpalettenfenster mit den vorherrschenden Farben des Bildes. Ein Klick "
                   "kopiert den Code einer Farbe, oder alle HEX-Codes auf einmal.")),
             row("sparkles", QStringLiteral("AI"), none(),
                 T("Opens the AI panel on the right. Pick a question (describe, UI/UX review, bugs and "
                   "accessibility, extract text and data, SEO alt text, caption and file name, or your own "
                   "question) and press Analyze; nothing is sent before that. The picture with annotations, "
                   "without backdrop, goes to the provider chosen in Settings → AI. The answer can be "
                   "copied; descriptions and SEO answers are saved to the picture's history entry and become "
                   "searchable.",
                   "Megnyitja jobb oldalt az AI panelt. Válassz kérdést (leírás, UI/UX-értékelés, hibák és "
                   "akadálymentesség, szöveg és adatok kinyerése, SEO-alternatív szöveg, képaláírás és "
                   "fájlnév, vagy saját kérdés), majd nyomd meg az Elemzés gombot; előtte semmi sem megy el. "
                   "A kép a jegyzetekkel, háttér nélkül a Beállítások → AI lapon választott szolgáltatóhoz "
                   "kerül. A válasz másolható; a leírások és SEO-válaszok a kép előzménybejegyzésébe "
                   "mentődnek, és kereshetők lesznek.",
                   "Öffnet rechts das AI-Feld. Wähle eine Frage (Beschreiben, UI/UX-Review, Fehler & "
                   "Barrierefreiheit, Text & Daten extrahieren, SEO-Alt-Text, Bildunterschrift und Dateiname "
                   "oder eine eigene Frage) und drücke Analysieren; vorher wird nichts gesendet. Das Bild "
                   "mit Anmerkungen, ohne Hintergrund, geht an den unter Einstellungen → AI gewählten "
                   "Anbieter. Die Antwort lässt sich kopieren; Beschreibungen und SEO-Antworten werden im "
                   "Verlaufseintrag des Bildes gespeichert und sind durchsuchbar.")),
             row("icloud.and.arrow.up", T("Upload", "Feltöltés", "Hochladen"), none(),
                 T("Uploads the finished picture, with backdrop, to your own server and copies the link. Set "
                   "up in Settings → Upload.",
                   "A kész képet háttérrel együtt feltölti a saját szerveredre, és kimásolja a linket. "
                   "Beállítás: Beállítások → Feltöltés.",
                   "Lädt das fertige Bild mit Hintergrund auf deinen eigenen Server und kopiert den Link. "
                   "Einrichten unter Einstellungen → Hochladen.")),
             row("pin", T("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"),
                 menuKeyHint(MainItem::pin),
                 T("Pins the finished picture above all windows. The editor stays open.",
                   "A kész képet minden ablak fölé tűzi. A szerkesztő nyitva marad.",
                   "Pinnt das fertige Bild über alle Fenster. Der Editor bleibt offen.")),
             row("square.and.arrow.up", T("Share", "Megosztás", "Teilen"), none(),
                 T("The Share menu for the finished picture: copy the file's path, open it with the default "
                   "application, or show it in the file manager.",
                   "A kész kép Megosztás menüje: a fájl útvonalának másolása, megnyitás az alapértelmezett "
                   "alkalmazással, vagy megjelenítés a fájlkezelőben.",
                   "Das Menü Teilen für das fertige Bild: den Pfad der Datei kopieren, sie mit der "
                   "Standardanwendung öffnen oder im Dateimanager zeigen.")),
             row("square.and.arrow.down", T("Save", "Mentés", "Sichern"), menuKeyHint(MainItem::save),
                 T("Saves the finished picture to your save folder and shows it in the file manager.",
                   "A kész képet a mentési mappádba menti, és megmutatja a fájlkezelőben.",
                   "Sichert das fertige Bild in deinem Ablageordner und zeigt es im Dateimanager.")),
             row("ellipsis",
                 T("More export options", "További exportálási lehetőségek", "Weitere Exportoptionen"),
                 none(),
                 T("Save as… (Ctrl+Shift+S; the file extension you type decides between PNG, JPEG and HEIC), "
                   "Copy @1x (a smaller copy at 1x, only for HiDPI captures) and Color palette….",
                   "Mentés másként… (Ctrl+Shift+S; a beírt kiterjesztés dönt a PNG, a JPEG és a HEIC "
                   "között), Másolás @1x (kisebb, 1x méretű másolat, csak HiDPI-képeknél) és Színpaletta….",
                   "Sichern unter… (Ctrl+Shift+S; die eingegebene Dateiendung entscheidet zwischen PNG, "
                   "JPEG und HEIC), @1x kopieren (eine kleinere Kopie in 1x, nur bei HiDPI-Aufnahmen) und "
                   "Farbpalette….")),
             row("doc.on.doc", T("Copy", "Másolás", "Kopieren"), menuKeyHint(MainItem::copy),
                 T("Copies the finished picture with annotations and backdrop. The ▾ arrow next to it offers "
                   "“Copy and close”, which also closes the editor; the choice is remembered and Ctrl+C "
                   "repeats it.",
                   "A kész képet jegyzetekkel és háttérrel együtt másolja. A mellette lévő ▾ nyíl a „Másolás "
                   "és bezárás” lehetőséget kínálja, amely a szerkesztőt is bezárja; a választást megjegyzi, "
                   "és a Ctrl+C megismétli.",
                   "Kopiert das fertige Bild mit Anmerkungen und Hintergrund. Der Pfeil ▾ daneben bietet "
                   "„Kopieren und schließen“, das auch den Editor schließt; die Wahl wird gemerkt, und "
                   "Ctrl+C wiederholt sie."))}),
        section(
            T("Tools", "Eszközök", "Werkzeuge"),
            {T("Pick a tool in the rail, or press its letter while you are not typing text. Each tool's "
               "hover help shows the same letter. Shift changes the drawing of some tools, as noted in each "
               "row.",
               "Válassz eszközt a sávon, vagy nyomd meg a betűjét, amikor épp nem gépelsz szöveget. Minden "
               "eszköz rámutatásra megjelenő súgója ugyanezt a betűt mutatja. A Shift egyes eszközöknél "
               "módosítja a rajzolást, ahogy az egyes soroknál olvasható.",
               "Wähle ein Werkzeug in der Leiste oder drücke seinen Buchstaben, während du keinen Text "
               "tippst. Die Hover-Hilfe jedes Werkzeugs zeigt denselben Buchstaben. Die Shift-Taste ändert "
               "bei manchen Werkzeugen das Zeichnen, wie in der jeweiligen Zeile vermerkt.")},
            {row("cursorarrow", T("Select / move", "Kijelölés / mozgatás", "Auswählen / Verschieben"),
                 toolKey(ToolKind::select),
                 T("A click selects an object, dragging moves it, dragging a handle resizes it; a click on "
                   "empty space deselects. See Selecting and editing.",
                   "Kattintással kijelölsz egy objektumot, húzással mozgatod, egy fogantyú húzásával "
                   "átméretezed; üres helyre kattintva megszűnik a kijelölés. Lásd: Kijelölés és "
                   "szerkesztés.",
                   "Ein Klick wählt ein Objekt aus, Ziehen verschiebt es, Ziehen an einem Griff ändert seine "
                   "Größe; ein Klick ins Leere hebt die Auswahl auf. Siehe Auswählen und bearbeiten.")),
             row("crop", T("Crop", "Vágás", "Zuschneiden"), toolKey(ToolKind::crop),
                 T("Drag a rectangle, move it by dragging inside, resize it by its handles. Return or Apply "
                   "crop cuts the picture, Esc or Cancel drops the selection. Annotations move with the "
                   "picture; those outside the new edges are cut off in the result, and Undo brings them "
                   "back.",
                   "Húzz egy téglalapot, belül húzva mozgasd, a fogantyúival méretezd. Az Enter vagy a Vágás "
                   "alkalmazása levágja a képet, az Esc vagy a Mégse eldobja a kijelölést. A jegyzetek a "
                   "képpel együtt mozognak; az új széleken kívülieket az eredmény levágja, a Visszavonás "
                   "visszahozza őket.",
                   "Ziehe ein Rechteck auf, verschiebe es durch Ziehen im Inneren, ändere seine Größe an den "
                   "Griffen. Eingabe oder Zuschnitt anwenden schneidet das Bild zu, Esc oder Abbrechen "
                   "verwirft die Auswahl. Anmerkungen wandern mit dem Bild; was außerhalb der neuen Ränder "
                   "liegt, wird im Ergebnis abgeschnitten, und Widerrufen holt es zurück.")),
             row("arrow.up.right", T("Arrow", "Nyíl", "Pfeil"), toolKey(ToolKind::arrow),
                 T("Drag from the tail to the tip. Shift snaps the direction to 45° steps. Color and line "
                   "width are set in the bar.",
                   "Húzd a végétől a hegyéig. A Shift 45°-os lépésekre igazítja az irányt. A színt és a "
                   "vonalvastagságot a sávon állíthatod.",
                   "Ziehe vom Ende zur Spitze. Die Shift-Taste rastet die Richtung in 45°-Schritten ein. "
                   "Farbe und Linienstärke stellst du in der Leiste ein.")),
             row("line.diagonal", T("Line", "Vonal", "Linie"), toolKey(ToolKind::line),
                 T("Drag a straight line. Shift snaps it to 45° steps.",
                   "Húzz egy egyenes vonalat. A Shift 45°-os lépésekre igazítja.",
                   "Ziehe eine gerade Linie. Die Shift-Taste rastet sie in 45°-Schritten ein.")),
             row("rectangle", T("Rectangle", "Téglalap", "Rechteck"), toolKey(ToolKind::rect),
                 T("An outline or a filled box. Shift makes a square. The fill is none, tinted (translucent) "
                   "or solid.",
                   "Körvonal vagy kitöltött doboz. A Shift négyzetet rajzol. A kitöltés lehet nincs, "
                   "színezett (áttetsző) vagy teli.",
                   "Ein Umriss oder ein gefülltes Feld. Die Shift-Taste macht ein Quadrat. Die Füllung ist "
                   "keine, getönt (durchscheinend) oder deckend.")),
             row("circle", T("Ellipse", "Ellipszis", "Ellipse"), toolKey(ToolKind::ellipse),
                 T("Like the rectangle: an outline or a filled ellipse. Shift makes a circle.",
                   "Mint a téglalap: körvonal vagy kitöltött ellipszis. A Shift kört rajzol.",
                   "Wie das Rechteck: ein Umriss oder eine gefüllte Ellipse. Die Shift-Taste macht einen "
                   "Kreis.")),
             row("scribble.variable", T("Pen", "Toll", "Stift"), toolKey(ToolKind::pen),
                 T("Freehand drawing. Hold Shift while dragging to get a straight line from the starting "
                   "point.",
                   "Szabadkézi rajz. Húzás közben a Shiftet nyomva tartva egyenes vonalat kapsz a "
                   "kezdőponttól.",
                   "Freihandzeichnen. Halte beim Ziehen die Shift-Taste, um eine gerade Linie vom "
                   "Startpunkt zu bekommen.")),
             row("highlighter", T("Highlighter", "Kiemelő", "Textmarker"), toolKey(ToolKind::highlighter),
                 T("A translucent marker that keeps dark text readable. Choosing it switches the color to "
                   "yellow unless the color is already yellow, orange, green or white; leaving the tool "
                   "restores the previous color. Shift draws a straight line.",
                   "Áttetsző filc, amely alatt a sötét szöveg olvasható marad. Kiválasztásakor a szín "
                   "sárgára vált, hacsak nem már sárga, narancs, zöld vagy fehér; az eszközről váltva "
                   "visszaáll az előző szín. A Shift egyenes vonalat húz.",
                   "Ein durchscheinender Marker, unter dem dunkler Text lesbar bleibt. Beim Wählen wechselt "
                   "die Farbe auf Gelb, außer sie ist schon Gelb, Orange, Grün oder Weiß; beim Verlassen des "
                   "Werkzeugs kehrt die vorige Farbe zurück. Die Shift-Taste zeichnet eine gerade Linie.")),
             row("textformat", T("Text", "Szöveg", "Text"), toolKey(ToolKind::text),
                 T("Click where the text starts and type. Return starts a new line, Ctrl+Return or Esc "
                   "finishes. Edit existing text by clicking it with the Text tool or double-clicking it "
                   "with the Select tool; deleting all of its text removes the object. Color, font size and "
                   "fill (none, tinted or solid background) apply.",
                   "Kattints oda, ahol a szöveg kezdődik, és gépelj. Az Enter új sort kezd, a Ctrl+Enter "
                   "vagy az Esc befejezi. Meglévő szöveget a Szöveg eszközzel rákattintva vagy a Kijelölés "
                   "eszközzel duplán kattintva szerkeszthetsz; ha minden szövegét törlöd, az objektum "
                   "eltűnik. A szín, a betűméret és a kitöltés (nincs, színezett vagy teli háttér) érvényes "
                   "rá.",
                   "Klicke, wo der Text beginnen soll, und tippe. Eingabe beginnt eine neue Zeile, "
                   "Ctrl+Enter oder Esc beendet. Bestehenden Text bearbeitest du per Klick mit dem "
                   "Textwerkzeug oder per Doppelklick mit dem Auswahlwerkzeug; wird der ganze Text gelöscht, "
                   "verschwindet das Objekt. Farbe, Schriftgröße und Füllung (kein, getönter oder deckender "
                   "Hintergrund) gelten.")),
             row("1.circle.fill", T("Numbered step", "Számozott lépés", "Nummerierter Schritt"),
                 toolKey(ToolKind::step),
                 T("Each click places the next number: the highest number in use plus one. Color sets the "
                   "disc, font size its size. Steps can be moved but not resized.",
                   "Minden kattintás a következő számot teszi le: a legnagyobb használt szám plusz egyet. A "
                   "szín a korongot, a betűméret a méretét adja. A lépések mozgathatók, de nem méretezhetők.",
                   "Jeder Klick setzt die nächste Zahl: die höchste verwendete plus eins. Die Farbe bestimmt "
                   "die Scheibe, die Schriftgröße ihre Größe. Schritte lassen sich verschieben, aber nicht "
                   "skalieren.")),
             row("drop.halffull", T("Blur", "Elmosás", "Weichzeichnen"), toolKey(ToolKind::blur),
                 T("Blurs the dragged area, for example to hide details. Strength is set in the bar.",
                   "Elmossa a kijelölt területet, például részletek elrejtésére. Az erősséget a sávon "
                   "állíthatod.",
                   "Zeichnet den aufgezogenen Bereich weich, etwa um Details zu verbergen. Die Stärke "
                   "stellst du in der Leiste ein.")),
             row("squareshape.split.3x3", T("Pixelate", "Pixelezés", "Verpixeln"),
                 toolKey(ToolKind::pixelate),
                 T("Replaces the dragged area with big blocks; the strength is the block size. Prefer "
                   "pixelate for secrets, because blur can sometimes be reversed.",
                   "A kijelölt területet nagy kockákra cseréli; az erősség a kockaméret. Titkokhoz a "
                   "pixelezést válaszd, mert az elmosás néha visszafordítható.",
                   "Ersetzt den aufgezogenen Bereich durch große Blöcke; die Stärke ist die Blockgröße. Für "
                   "Geheimnisse ist Verpixeln vorzuziehen, denn Weichzeichnen lässt sich manchmal "
                   "umkehren.")),
             row("circle.dashed.inset.filled", T("Spotlight", "Reflektor", "Spotlight"),
                 toolKey(ToolKind::spotlight),
                 T("Darkens the whole picture except the dragged area. It has no options of its own.",
                   "A kijelölt terület kivételével az egész képet elsötétíti. Nincs saját beállítása.",
                   "Dunkelt das ganze Bild außer dem aufgezogenen Bereich ab. Es hat keine eigenen "
                   "Optionen.")),
             row("plus.magnifyingglass", T("Magnifier", "Nagyító", "Lupe"), toolKey(ToolKind::magnifier),
                 T("Drag over a detail to enlarge it in a callout. Details and options are in Magnifier "
                   "callout below.",
                   "Húzz egy részlet fölött, és egy kiemelő buborékban felnagyítja. Részletek és beállítások "
                   "lent, a Nagyító buborék részben.",
                   "Ziehe über ein Detail, um es in einer Legende zu vergrößern. Details und Optionen unten "
                   "unter Lupen-Legende.")),
             row("ruler", T("Measure", "Mérés", "Messen"), toolKey(ToolKind::ruler),
                 T("Drag between two points. The label shows the length in image pixels and, for diagonal "
                   "lines, the horizontal and vertical distances. On a HiDPI capture at 200 % one point is "
                   "two pixels, so the numbers are twice the distance in points.",
                   "Húzz két pont között. A címke a hosszt képpixelben mutatja, ferde vonalnál a vízszintes "
                   "és a függőleges távolságot is. 200 %-os HiDPI-képen egy pont két pixel, így a számok a "
                   "pontban mért távolság kétszeresei.",
                   "Ziehe zwischen zwei Punkten. Die Beschriftung zeigt die Länge in Bildpixeln und bei "
                   "schrägen Linien den waagerechten und senkrechten Abstand. Auf einer HiDPI-Aufnahme mit "
                   "200 % ist ein Punkt zwei Pixel, die Zahlen sind also doppelt so groß wie der Abstand in "
                   "Punkten."))}),
        section(
            T("Magnifier callout", "Nagyító buborék", "Lupen-Legende"),
            {T("The magnifier is a callout: the marked area stays as it is and a magnified copy is shown "
               "next to it, usually joined by a cone. Drag the copy anywhere and the cone follows; drag the "
               "marked area to point it elsewhere. The copy's bottom-right corner or the slider in the bar "
               "(1.5× to 6×) change the zoom; the corner handle goes from 1.2× to 8×. The default is 2×. The "
               "bar offers a circle or a rounded-square lens. Annotations inside the marked area are "
               "magnified too.",
               "A nagyító egy kiemelő buborék: a megjelölt terület változatlan marad, mellette pedig egy "
               "nagyított másolat látszik, általában egy kúppal összekötve. A másolatot bárhová húzhatod, a "
               "kúp követi; a megjelölt területet húzva máshová mutathatsz vele. A nagyítást a másolat jobb "
               "alsó sarka vagy a sáv csúszkája (1,5×–6×) változtatja; a sarokfogantyú 1,2×-től 8×-ig megy. "
               "Az alapérték 2×. A sávon kör vagy lekerekített négyzet alakú lencse választható. A megjelölt "
               "területen belüli jegyzetek is nagyítva látszanak.",
               "Die Lupe ist eine Legende: Der markierte Bereich bleibt unverändert, daneben erscheint eine "
               "vergrößerte Kopie, meist durch einen Kegel verbunden. Ziehe die Kopie an eine beliebige "
               "Stelle, der Kegel folgt; ziehe den markierten Bereich, um woanders hinzuzeigen. Die untere "
               "rechte Ecke der Kopie oder der Regler in der Leiste (1,5× bis 6×) ändern den Zoom; der "
               "Eckgriff reicht von 1,2× bis 8×. Standard ist 2×. Die Leiste bietet eine runde oder eine "
               "abgerundet-quadratische Linse. Anmerkungen im markierten Bereich werden mitvergrößert.")},
            {}, "editor-magnifier"),
        section(
            T("Selecting and editing", "Kijelölés és szerkesztés", "Auswählen und bearbeiten"), {},
            {row("cursorarrow.click", T("Select an object", "Objektum kijelölése", "Objekt auswählen"),
                 none(),
                 T("A click selects an object, shown by a dashed outline and handles. A newly created object "
                   "is selected automatically and the bar shows its options.",
                   "Egy kattintás kijelöli az objektumot, amit szaggatott körvonal és fogantyúk jeleznek. Az "
                   "újonnan létrehozott objektum automatikusan kijelölődik, és a sáv a beállításait mutatja.",
                   "Ein Klick wählt ein Objekt aus, erkennbar an gestricheltem Umriss und Griffen. Ein neu "
                   "erstelltes Objekt wird automatisch ausgewählt, und die Leiste zeigt seine Optionen.")),
             row("hand.draw", T("Move", "Mozgatás", "Verschieben"), none(),
                 T("Drag an object. While dragging, Shift limits the movement to horizontal or vertical. "
                   "With another tool active, Ctrl-click selects the object under the pointer so it can be "
                   "moved.",
                   "Húzd az objektumot. Húzás közben a Shift vízszintes vagy függőleges mozgásra korlátoz. "
                   "Ha más eszköz aktív, a Ctrl+kattintás kijelöli a mutató alatti objektumot, így "
                   "mozgatható.",
                   "Ziehe ein Objekt. Beim Ziehen beschränkt die Shift-Taste die Bewegung auf waagerecht "
                   "oder senkrecht. Ist ein anderes Werkzeug aktiv, wählt Ctrl+Klick das Objekt unter dem "
                   "Zeiger aus, damit es sich verschieben lässt.")),
             row("arrow.up.left.and.arrow.down.right", T("Resize", "Átméretezés", "Größe ändern"), none(),
                 T("Drag a handle. Rectangles, ellipses, blur, pixelate, spotlight and magnifier have eight "
                   "handles, the magnifier's lens its own corner; arrows and lines have one at each end; "
                   "pictures keep their proportions. Numbered steps, text, pen and highlighter cannot be "
                   "resized (text size comes from the font size).",
                   "Húzz egy fogantyút. A téglalapnak, ellipszisnek, elmosásnak, pixelezésnek, reflektornak "
                   "és nagyítónak nyolc fogantyúja van, a nagyító lencséjének saját sarka; a nyilaknak és "
                   "vonalaknak mindkét végén egy; a képek megtartják az arányaikat. A számozott lépés, a "
                   "szöveg, a toll és a kiemelő nem méretezhető (a szöveg méretét a betűméret adja).",
                   "Ziehe an einem Griff. Rechtecke, Ellipsen, Weichzeichnen, Verpixeln, Spotlight und Lupe "
                   "haben acht Griffe, die Linse der Lupe eine eigene Ecke; Pfeile und Linien je einen an "
                   "jedem Ende; Bilder behalten ihre Proportionen. Nummerierte Schritte, Text, Stift und "
                   "Textmarker lassen sich nicht skalieren (die Textgröße kommt von der Schriftgröße).")),
             row("arrow.up.and.down.and.arrow.left.and.right",
                 T("Nudge", "Finom mozgatás", "Verschieben mit Pfeiltasten"), K("← → ↑ ↓"),
                 T("Moves the selected object by 1 pixel. With Shift it moves 10 pixels.",
                   "A kijelölt objektumot 1 pixellel mozgatja. Shifttel 10 pixellel.",
                   "Verschiebt das ausgewählte Objekt um 1 Pixel. Mit Shift-Taste um 10 Pixel.")),
             row("trash", T("Delete", "Törlés", "Löschen"), K("Backspace / Delete"),
                 T("Removes the selected object, whichever tool is active.",
                   "Eltávolítja a kijelölt objektumot, bármelyik eszköz aktív.",
                   "Entfernt das ausgewählte Objekt, egal welches Werkzeug aktiv ist.")),
             row("escape", T("Esc", "Esc", "Esc"), K("Esc"),
                 T("Works one step at a time: first it cancels a crop, then deselects; with nothing selected "
                   "it returns to the Select tool; while typing text it finishes the text.",
                   "Lépésenként működik: előbb megszakítja a vágást, aztán megszünteti a kijelölést; ha "
                   "nincs kijelölés, visszavált a Kijelölés eszközre; szöveg gépelése közben befejezi a "
                   "szöveget.",
                   "Wirkt Schritt für Schritt: zuerst bricht es einen Zuschnitt ab, dann hebt es die Auswahl "
                   "auf; ohne Auswahl kehrt es zum Auswahlwerkzeug zurück; beim Tippen beendet es den "
                   "Text.")),
             row("square.stack.3d.up", T("Order", "Sorrend", "Reihenfolge"),
                 keys(MainItem::bringToFront, MainItem::sendToBack),
                 T("Brings the selected object to the front or sends it to the back; objects are drawn in "
                   "this order. Blur and pixelate always lie below all other objects; spotlight darkens the "
                   "picture underneath but not the other objects.",
                   "A kijelölt objektumot előre hozza vagy hátra küldi; az objektumok ebben a sorrendben "
                   "rajzolódnak. Az elmosás és a pixelezés mindig minden más objektum alatt van; a reflektor "
                   "az alatta lévő képet sötétíti, a többi objektumot nem.",
                   "Holt das ausgewählte Objekt nach vorn oder schickt es nach hinten; Objekte werden in "
                   "dieser Reihenfolge gezeichnet. Weichzeichnen und Verpixeln liegen immer unter allen "
                   "anderen Objekten; Spotlight dunkelt das Bild darunter ab, aber nicht die anderen "
                   "Objekte.")),
             row("shift", T("Shift while drawing", "Shift rajzolás közben", "Shift-Taste beim Zeichnen"),
                 K("Shift"),
                 T("Arrows, lines and measures snap to 45°; rectangles, blur, pixelate, spotlight and "
                   "magnifiers become squares and ellipses circles; pen and highlighter draw straight lines.",
                   "A nyilak, vonalak és mérések 45°-ra igazodnak; a téglalap, az elmosás, a pixelezés, a "
                   "reflektor és a nagyító négyzet, az ellipszis kör lesz; a toll és a kiemelő egyenes "
                   "vonalat húz.",
                   "Pfeile, Linien und Maße rasten bei 45° ein; Rechtecke, Weichzeichnen, Verpixeln, "
                   "Spotlight und Lupen werden zu Quadraten, Ellipsen zu Kreisen; Stift und Textmarker "
                   "zeichnen gerade Linien."))}),
        section(
            T("Style bar", "Stílussáv", "Stilleiste"),
            {T("The bar above the picture shows the controls of the current tool or of the selected object. "
               "With an object selected, a change applies to it and can be undone. Blur, pixelate and "
               "spotlight do not use the color.",
               "A kép fölötti sáv az aktuális eszköz vagy a kijelölt objektum vezérlőit mutatja. Ha egy "
               "objektum ki van jelölve, a változtatás arra vonatkozik, és visszavonható. Az elmosás, a "
               "pixelezés és a reflektor nem használja a színt.",
               "Die Leiste über dem Bild zeigt die Regler des aktuellen Werkzeugs oder des ausgewählten "
               "Objekts. Ist ein Objekt ausgewählt, gilt eine Änderung für dieses und lässt sich widerrufen. "
               "Weichzeichnen, Verpixeln und Spotlight nutzen die Farbe nicht.")},
            {row("paintpalette", T("Color", "Szín", "Farbe"), none(),
                 T("Eight presets (red, orange, yellow, green, blue, purple, black and white). The rainbow "
                   "dot opens the color dialog, with opacity. Added pictures use the color as their border.",
                   "Nyolc előre beállított szín (piros, narancs, sárga, zöld, kék, lila, fekete és fehér). A "
                   "szivárványos pötty megnyitja a színválasztó párbeszédablakot, átlátszósággal. A "
                   "hozzáadott képek keretszínként használják.",
                   "Acht Vorgaben (Rot, Orange, Gelb, Grün, Blau, Lila, Schwarz und Weiß). Der "
                   "Regenbogenpunkt öffnet den Farbdialog, mit Deckkraft. Hinzugefügte Bilder nutzen die "
                   "Farbe für ihren Rahmen.")),
             row("line.3.horizontal", T("Line width", "Vonalvastagság", "Linienstärke"), none(),
                 T("Arrows, lines, shapes, pen, highlighter, measure and added pictures (their border). "
                   "Range 1 to 16 points.",
                   "Nyilak, vonalak, alakzatok, toll, kiemelő, mérés és hozzáadott képek (a keretük). "
                   "Tartomány: 1–16 pont.",
                   "Pfeile, Linien, Formen, Stift, Textmarker, Messen und hinzugefügte Bilder (ihr Rahmen). "
                   "Bereich 1 bis 16 Punkt.")),
             row("square.lefthalf.filled", T("Fill", "Kitöltés", "Füllung"), none(),
                 T("Rectangle, ellipse and text: none, tinted (a translucent fill) or solid. For text the "
                   "fill becomes a background behind the letters.",
                   "Téglalap, ellipszis és szöveg: nincs, színezett (áttetsző kitöltés) vagy teli. Szövegnél "
                   "a kitöltés a betűk mögötti háttér lesz.",
                   "Rechteck, Ellipse und Text: keine, getönt (durchscheinende Füllung) oder deckend. Bei "
                   "Text wird die Füllung zum Hintergrund hinter den Buchstaben.")),
             row("textformat.size", T("Font size", "Betűméret", "Schriftgröße"), none(),
                 T("Text, numbered steps and the measure label. Range 8 to 72 points.",
                   "Szöveg, számozott lépések és a mérés címkéje. Tartomány: 8–72 pont.",
                   "Text, nummerierte Schritte und die Messbeschriftung. Bereich 8 bis 72 Punkt.")),
             row("dial.low", T("Strength", "Erősség", "Stärke"), none(),
                 T("Blur (the blur radius) and pixelate (the block size). Range 2 to 40 points.",
                   "Elmosás (az elmosás sugara) és pixelezés (a kockaméret). Tartomány: 2–40 pont.",
                   "Weichzeichnen (der Radius) und Verpixeln (die Blockgröße). Bereich 2 bis 40 Punkt.")),
             row("plus.magnifyingglass",
                 T("Magnification and lens", "Nagyítás és lencse", "Vergrößerung und Linse"), none(),
                 T("Magnifier only: zoom from 1.5× to 6×, and a circle or rounded-square lens.",
                   "Csak a nagyítónál: nagyítás 1,5×-től 6×-ig, kör vagy lekerekített négyzet alakú lencse.",
                   "Nur bei der Lupe: Zoom von 1,5× bis 6× und eine runde oder abgerundet-quadratische "
                   "Linse.")),
             row("crop", T("Crop actions", "Vágási műveletek", "Zuschnitt-Aktionen"), none(),
                 T("While cropping, the Cancel and Apply crop buttons appear here.",
                   "Vágás közben itt jelenik meg a Mégse és a Vágás alkalmazása gomb.",
                   "Beim Zuschneiden erscheinen hier die Schaltflächen Abbrechen und Zuschnitt anwenden."))}),
        section(
            T("Adding captures", "Képek hozzáadása", "Aufnahmen hinzufügen"),
            {T("Picture in picture: the editor steps aside, you select another area, and it lands on the "
               "picture as a free object near the bottom-right corner, no bigger than 42% of the picture's "
               "width or height, with a white border and rounded corners. Move it by dragging, resize it by "
               "a corner with its proportions kept, set its border color and width in the bar, and remove it "
               "with Delete. It stays selected, so the Select tool is active afterwards.",
               "Kép a képben: a szerkesztő félreáll, kijelölsz egy másik területet, és az szabad "
               "objektumként a kép jobb alsó sarka közelébe kerül, legfeljebb a kép szélességének vagy "
               "magasságának 42%-ával, fehér kerettel és lekerekített sarkokkal. Húzással mozgathatod, egy "
               "sarkánál arányosan méretezheted, a keret színét és vastagságát a sávon állíthatod, a Delete "
               "eltávolítja. Kijelölve marad, így utána a Kijelölés eszköz aktív.",
               "Bild im Bild: Der Editor tritt beiseite, du wählst einen weiteren Bereich, und er landet als "
               "freies Objekt nahe der unteren rechten Ecke auf dem Bild, höchstens 42% der Bildbreite oder "
               "-höhe groß, mit weißem Rahmen und abgerundeten Ecken. Verschiebe es durch Ziehen, skaliere "
               "es an einer Ecke mit festen Proportionen, stelle Rahmenfarbe und -stärke in der Leiste ein "
               "und entferne es mit Entf. Es bleibt ausgewählt, danach ist also das Auswahlwerkzeug aktiv."),
             T("Glue to a side: Add to the right, Add below, Add to the left or Add above. The new area "
               "joins that side and the canvas grows. Annotations keep their place, moving along with the "
               "old picture when adding to the left or above. A different screen scale is adjusted "
               "automatically. Esc while selecting adds nothing. Undo takes either kind back.",
               "Illesztés egy oldalra: Hozzáadás jobbra, alulra, balra vagy felülre. Az új terület az adott "
               "oldalhoz illeszkedik, a vászon megnő. A jegyzetek a helyükön maradnak, balra vagy felülre "
               "illesztéskor a régi képpel együtt mozognak. Az eltérő képernyőléptéket automatikusan "
               "kiegyenlíti. Kijelölés közben az Esc nem ad hozzá semmit. A Visszavonás mindkét fajtát "
               "visszavonja.",
               "An eine Seite anfügen: Rechts, unten, links oder oben anfügen. Der neue Bereich schließt an "
               "diese Seite an, und die Leinwand wächst. Anmerkungen bleiben an ihrem Platz und wandern beim "
               "Anfügen links oder oben mit dem alten Bild mit. Eine andere Bildschirmskalierung wird "
               "automatisch angeglichen. Esc beim Auswählen fügt nichts hinzu. Widerrufen nimmt beides "
               "zurück.")},
            {}),
        section(
            T("Zoom and view", "Nagyítás és nézet", "Zoom und Ansicht"), {},
            {row("rectangle.dashed", T("Floating bar", "Lebegő sáv", "Schwebende Leiste"), none(),
                 T("Shows the picture size in pixels, a scale badge for HiDPI captures (@2x, or @1.5x for "
                   "fractional scales), the zoom in percent, and the zoom, fit and 100% buttons.",
                   "Mutatja a kép méretét pixelben, HiDPI-képeknél egy léptékjelzést (@2x, tört léptéknél "
                   "például @1.5x), a nagyítást százalékban, valamint a nagyítás, az illesztés és a 100% "
                   "gombját.",
                   "Zeigt die Bildgröße in Pixeln, bei HiDPI-Aufnahmen ein Skalierungsabzeichen (@2x, bei "
                   "gebrochenen Skalierungen etwa @1.5x), den Zoom in Prozent sowie die Schaltflächen für "
                   "Zoom, Einpassen und 100%.")),
             row("plus.magnifyingglass",
                 T("Zoom in / out", "Nagyítás / kicsinyítés", "Vergrößern / verkleinern"),
                 keys(MainItem::zoomIn, MainItem::zoomOut),
                 T("The buttons in the floating bar do the same, and Ctrl with the scroll wheel zooms too. "
                   "The zoom ranges from 5% to 1600%.",
                   "A lebegő sáv gombjai ugyanezt teszik, és a Ctrl nyomva tartása melletti görgetés is "
                   "nagyít. A nagyítás 5% és 1600% között lehet.",
                   "Die Schaltflächen der schwebenden Leiste tun dasselbe, und Ctrl mit dem Mausrad zoomt "
                   "ebenfalls. Der Zoom reicht von 5% bis 1600%.")),
             row("arrow.up.left.and.down.right.magnifyingglass",
                 T("Fit to window", "Ablakhoz illesztés", "An Fenster anpassen"),
                 menuKeyHint(MainItem::zoomFit),
                 T("Fits the whole picture into the window, enlarging small pictures up to 400%. When the "
                   "editor opens, the picture is fitted to at most 100%.",
                   "Az egész képet az ablakba illeszti, a kis képeket legfeljebb 400%-ig nagyítva. A "
                   "szerkesztő megnyitásakor a kép legfeljebb 100%-ra illeszkedik.",
                   "Passt das ganze Bild ins Fenster ein und vergrößert kleine Bilder bis 400%. Beim Öffnen "
                   "des Editors wird das Bild auf höchstens 100% eingepasst.")),
             row("eye", T("Actual size (100%)", "Valódi méret (100%)", "Originalgröße (100%)"),
                 menuKeyHint(MainItem::zoomActual),
                 T("Shows the picture at its real size.", "A képet valódi méretében mutatja.",
                   "Zeigt das Bild in seiner echten Größe.")),
             row("arrow.up.and.down", T("Scroll bars", "Görgetősávok", "Rollbalken"), none(),
                 T("Appear when the picture is bigger than the window, and hide when they are not needed.",
                   "Akkor jelennek meg, ha a kép nagyobb az ablaknál, és elrejtőznek, ha nincs rájuk "
                   "szükség.",
                   "Erscheinen, wenn das Bild größer als das Fenster ist, und verschwinden, wenn sie nicht "
                   "gebraucht werden."))}),
        section(
            T("Saving and history", "Mentés és előzmények", "Sichern und Verlauf"),
            {T("Your edits are written back to the capture's history entry when you copy, save, pin, upload "
               "or close the editor. The history keeps the annotated picture without backdrop; the backdrop "
               "appears only in the exported image.",
               "A szerkesztéseid visszaíródnak a kép előzménybejegyzésébe, amikor másolsz, mentesz, kitűzöl, "
               "feltöltesz vagy bezárod a szerkesztőt. Az előzmények a jegyzetelt képet háttér nélkül őrzik; "
               "a háttér csak az exportált képen jelenik meg.",
               "Deine Änderungen werden in den Verlaufseintrag der Aufnahme zurückgeschrieben, wenn du "
               "kopierst, sicherst, anpinnst, hochlädst oder den Editor schließt. Der Verlauf behält das "
               "beschriftete Bild ohne Hintergrund; der Hintergrund erscheint nur im exportierten Bild.")},
            {}),
    };
    return t;
}

HelpRow frame(const QString& name, const QString& text)
{
    return row(nullptr, name, none(), text);
}

HelpTopic backdrop()
{
    HelpTopic t{
        "backdrop",
        "sparkles.rectangle.stack",
        tint("pink"),
        T("Backdrop & frames", "Háttér és keretek", "Hintergrund & Rahmen"),
        T("Header → Backdrop makes a screenshot presentation-ready. The editor canvas shows the result live "
          "while you keep annotating; it is applied when you copy, save, pin, share or upload.",
          "A Fejléc → Háttér bemutatásra késszé teszi a képernyőképet. A szerkesztő vászna élőben mutatja az "
          "eredményt, miközben tovább jegyzetelsz; másoláskor, mentéskor, kitűzéskor, megosztáskor és "
          "feltöltéskor érvényesül.",
          "Kopfleiste → Hintergrund macht ein Bildschirmfoto präsentationsreif. Die Leinwand des Editors "
          "zeigt das Ergebnis live, während du weiter beschriftest; angewendet wird es beim Kopieren, "
          "Sichern, Anpinnen, Teilen oder Hochladen."),
        {},
        {}};
    t.sections = {
        section(T("What it does", "Mit csinál?", "Was es macht"),
                {T("The backdrop wraps the picture in a background (a gradient, white or transparent), an "
                   "optional padding, a decorative frame and a soft shadow. It is a finishing step for "
                   "presentations, documentation and social posts. Annotations stay editable, and the "
                   "picture itself is not changed.",
                   "A háttér a képet háttérbe (színátmenetes, fehér vagy átlátszó), opcionális margóba, "
                   "díszkeretbe és lágy árnyékba foglalja. Befejező lépés bemutatókhoz, dokumentációhoz és "
                   "közösségi bejegyzésekhez. A jegyzetek szerkeszthetők maradnak, maga a kép nem változik.",
                   "Der Hintergrund bettet das Bild in eine Fläche (Verlauf, Weiß oder transparent), einen "
                   "optionalen Abstand, einen Zierrahmen und einen weichen Schatten. Ein letzter Schliff für "
                   "Präsentationen, Dokumentation und Social-Media-Beiträge. Anmerkungen bleiben "
                   "bearbeitbar, und das Bild selbst wird nicht verändert.")},
                {}),
        section(T("Turning it on and off", "Be- és kikapcsolás", "Ein- und ausschalten"),
                {T("Backdrop in the editor header opens a popover; the button stays highlighted while the "
                   "backdrop is on. The popover shows a live preview, and its switch at the top turns the "
                   "backdrop on or off. Changing any control switches it on automatically. Turning it off "
                   "keeps the settings and shows the plain picture again.",
                   "A szerkesztő fejlécében a Háttér gomb egy felugró panelt nyit; a gomb kiemelt marad, "
                   "amíg a háttér be van kapcsolva. A panel élő előnézetet mutat, a tetején lévő kapcsoló "
                   "be- vagy kikapcsolja a hátteret. Bármelyik vezérlő módosítása automatikusan bekapcsolja. "
                   "Kikapcsoláskor a beállítások megmaradnak, és újra a sima kép látszik.",
                   "Hintergrund in der Kopfleiste des Editors öffnet ein Popover; die Schaltfläche bleibt "
                   "hervorgehoben, solange der Hintergrund an ist. Das Popover zeigt eine Live-Vorschau, und "
                   "sein Schalter oben schaltet den Hintergrund ein oder aus. Jede Änderung an einem Regler "
                   "schaltet ihn automatisch ein. Ausschalten behält die Einstellungen und zeigt wieder das "
                   "schlichte Bild.")},
                {}),
        section(
            T("Frames", "Keretek", "Rahmen"),
            {T("Pick a frame style in the popover. Each thumbnail shows the real result on a sample picture.",
               "Válassz keretstílust a panelen. Minden bélyegkép a valódi eredményt mutatja egy mintaképen.",
               "Wähle im Popover einen Rahmenstil. Jede Miniatur zeigt das echte Ergebnis an einem "
               "Beispielbild.")},
            {frame(
                 T("Clean", "Letisztult", "Schlicht"),
                 T("The picture with rounded corners and a soft shadow. The corner radius is adjustable.",
                   "A kép lekerekített sarkokkal és lágy árnyékkal. A sarkok sugara állítható.",
                   "Das Bild mit abgerundeten Ecken und weichem Schatten. Der Eckenradius ist einstellbar.")),
             frame(T("Torn paper", "Tépett papír", "Gerissenes Papier"),
                   T("A ripped edge with a pale paper-fibre rim. The tear is random for each pattern, and "
                     "New pattern makes another; Edge size makes the tear bigger or smaller.",
                     "Tépett szél halvány papírrost-szegéllyel. A tépés minden mintánál véletlenszerű, az Új "
                     "minta újat készít; az Él mérete nagyobbá vagy kisebbé teszi a tépést.",
                     "Eine gerissene Kante mit hellem Papierfaser-Saum. Der Riss ist bei jedem Muster "
                     "zufällig, und Neues Muster macht einen anderen; Kantengröße macht den Riss größer oder "
                     "kleiner.")),
             frame(T("Burnt paper", "Égett papír", "Verbranntes Papier"),
                   T("A scorched edge with a glowing ember rim. Random, like torn paper. The ember glow "
                     "stays visible even when the shadow is off.",
                     "Megperzselt szél izzó parázsszegéllyel. Véletlenszerű, mint a tépett papír. A parázs "
                     "izzása akkor is látszik, ha az árnyék ki van kapcsolva.",
                     "Eine versengte Kante mit glühendem Glutsaum. Zufällig wie gerissenes Papier. Das "
                     "Glühen bleibt sichtbar, auch wenn der Schatten aus ist.")),
             frame(
                 T("Zigzag", "Cikcakk", "Zickzack"),
                 T("A saw-tooth edge, like a receipt or a ticket. Edge size changes the size of the teeth.",
                   "Fűrészfogas szél, mint egy blokkon vagy jegyen. Az Él mérete a fogak méretét "
                   "változtatja.",
                   "Eine Sägezahnkante wie bei einem Kassenbon oder einer Eintrittskarte. Kantengröße ändert "
                   "die Größe der Zähne.")),
             frame(T("Stamp", "Bélyeg", "Briefmarke"),
                   T("A postage stamp with perforated edges around a paper border. Edge size changes the "
                     "width of the border.",
                     "Postabélyeg fogazott szélekkel, papírszegély körül. Az Él mérete a szegély szélességét "
                     "változtatja.",
                     "Eine Briefmarke mit gezähnten Kanten um einen Papierrand. Kantengröße ändert die "
                     "Breite des Randes.")),
             frame(T("Polaroid", "Polaroid", "Polaroid"),
                   T("An instant-photo frame: even borders with a wider bottom edge. Edge size changes the "
                     "width of the borders.",
                     "Instant fotó kerete: egyenletes szegélyek, szélesebb alsó széllel. Az Él mérete a "
                     "szegélyek szélességét változtatja.",
                     "Ein Sofortbildrahmen: gleichmäßige Ränder mit breiterer Unterkante. Kantengröße ändert "
                     "die Breite der Ränder.")),
             // The tile's own tip, so the help and the popover describe the frame alike.
             frame(T("Window", "Ablak", "Fenster"),
                   FrameThumbs::detail(BeautifySettings::Edge::window) + QLatin1Char(' ') +
                       T("It has a title bar; the corner radius applies, the edge size does not.",
                         "Címsora van; a lekerekítés érvényes rá, az él mérete nem.",
                         "Es hat eine Titelleiste; der Eckenradius gilt, die Kantengröße nicht."))},
            "frames"),
        section(
            T("Background", "Háttér", "Hintergrund"),
            {T("There are seven swatches: five color gradients (blue, orange, green, purple and graphite), a "
               "white gradient, and Transparent, shown as a checkerboard. The default is the blue gradient.",
               "Hét színminta van: öt színátmenet (kék, narancs, zöld, lila és grafit), egy fehér "
               "színátmenet és az Átlátszó, amelyet sakktábla jelöl. Az alapértelmezés a kék színátmenet.",
               "Es gibt sieben Farbfelder: fünf Farbverläufe (Blau, Orange, Grün, Lila und Graphit), einen "
               "weißen Verlauf und Transparent, dargestellt als Schachbrett. Standard ist der blaue "
               "Verlauf.")},
            {row("checkerboard.rectangle", T("Transparent", "Átlátszó", "Transparent"), none(),
                 T("The picture keeps its transparency: save it as PNG or paste it into another app. JPEG "
                   "cannot store transparency.",
                   "A kép megtartja az átlátszóságát: mentsd PNG-ként, vagy illeszd be egy másik "
                   "alkalmazásba. A JPEG nem tud átlátszóságot tárolni.",
                   "Das Bild behält seine Transparenz: Sichere es als PNG oder füge es in eine andere App "
                   "ein. JPEG kann keine Transparenz speichern."))}),
        section(
            T("Controls", "Vezérlők", "Regler"),
            {T("The popover holds these controls, from top to bottom:", "A panel vezérlői fentről lefelé:",
               "Das Popover enthält diese Regler, von oben nach unten:")},
            {row("switch.2", T("Backdrop switch", "Háttér kapcsoló", "Hintergrund-Schalter"), none(),
                 T("At the top of the popover. It turns the whole effect on or off without losing your "
                   "settings.",
                   "A panel tetején. Az egész hatást be- vagy kikapcsolja anélkül, hogy a beállításaid "
                   "elvesznének.",
                   "Oben im Popover. Schaltet den ganzen Effekt ein oder aus, ohne deine Einstellungen zu "
                   "verlieren.")),
             row("rectangle.dashed", T("Padding", "Margó", "Abstand"), none(),
                 T("The space between the picture and the background, from 0 to 160 points. At 0 only the "
                   "frame remains, without padding.",
                   "A kép és a háttér közötti tér, 0 és 160 pont között. 0-nál csak a keret marad, margó "
                   "nélkül.",
                   "Der Abstand zwischen Bild und Hintergrund, von 0 bis 160 Punkt. Bei 0 bleibt nur der "
                   "Rahmen, ohne Abstand.")),
             row("rectangle.roundedtop", T("Corners", "Lekerekítés", "Ecken"), none(),
                 T("The corner radius, from 0 to 40 points. Shown for Clean and Window only.",
                   "A sarkok sugara, 0 és 40 pont között. Csak a Letisztult és az Ablak keretnél látszik.",
                   "Der Eckenradius, von 0 bis 40 Punkt. Nur bei Schlicht und Fenster sichtbar.")),
             row("arrow.left.and.right", T("Edge size", "Él mérete", "Kantengröße"), none(),
                 T("Scales the torn, burnt, zigzag, stamp or polaroid edge, from 0.5 to 2. Shown only for "
                   "these frames.",
                   "A tépett, égett, cikcakkos, bélyeg- vagy polaroidszélt méretezi, 0,5 és 2 között. Csak "
                   "ezeknél a kereteknél látszik.",
                   "Skaliert die gerissene, verbrannte, Zickzack-, Briefmarken- oder Polaroid-Kante, von 0,5 "
                   "bis 2. Nur bei diesen Rahmen sichtbar.")),
             row("shadow", T("Shadow", "Árnyék", "Schatten"), none(),
                 T("A soft drop shadow under the picture. On by default. Switching it off keeps the ember "
                   "glow of burnt paper.",
                   "Lágy vetett árnyék a kép alatt. Alapból bekapcsolva. Kikapcsolva az égett papír "
                   "parázsizzása megmarad.",
                   "Ein weicher Schlagschatten unter dem Bild. Standardmäßig an. Ausgeschaltet bleibt das "
                   "Glühen des verbrannten Papiers erhalten.")),
             row("dice", T("New pattern", "Új minta", "Neues Muster"), none(),
                 T("Torn and burnt frames only. Rolls a new random edge.",
                   "Csak a tépett és az égett keretnél. Új véletlen szélt sorsol.",
                   "Nur bei gerissenen und verbrannten Rahmen. Würfelt eine neue zufällige Kante."))},
            "backdrop-popover"),
        section(
            T("Where it applies", "Hol érvényesül?", "Wo er gilt"),
            {T("The backdrop is applied by Copy, Copy @1x, Save, Save as…, Pin, Share and Upload, so what "
               "you copy, save or send matches what you see. OCR, Palette, Redact and the AI panel work on "
               "the plain picture without backdrop. The history stores the annotated picture without "
               "backdrop.",
               "A hátteret a Másolás, a Másolás @1x, a Mentés, a Mentés másként…, a Kitűzés, a Megosztás és "
               "a Feltöltés alkalmazza, így amit másolsz, mentesz vagy elküldesz, az egyezik azzal, amit "
               "látsz. Az OCR, a Paletta, a Kitakarás és az AI panel a háttér nélküli sima képpel dolgozik. "
               "Az előzmények a jegyzetelt képet háttér nélkül tárolják.",
               "Der Hintergrund wird von Kopieren, @1x kopieren, Sichern, Sichern unter…, Anpinnen, Teilen "
               "und Hochladen angewendet, sodass Kopiertes, Gesichertes und Gesendetes dem Gesehenen "
               "entspricht. OCR, Palette, Schwärzen und das AI-Feld arbeiten mit dem schlichten Bild ohne "
               "Hintergrund. Der Verlauf speichert das beschriftete Bild ohne Hintergrund.")},
            {}),
        section(T("Limits", "Korlátok", "Grenzen"), {},
                {row("arrow.uturn.backward",
                     T("Not part of undo", "Nem vonható vissza", "Nicht Teil von Widerrufen"), none(),
                     T("Backdrop settings are not in the undo history. To remove the backdrop, switch it off "
                       "in the popover.",
                       "A háttér beállításai nincsenek a visszavonási előzményekben. A háttér "
                       "eltávolításához kapcsold ki a panelen.",
                       "Hintergrund-Einstellungen stehen nicht im Widerrufen-Verlauf. Um den Hintergrund zu "
                       "entfernen, schalte ihn im Popover aus.")),
                 row("exclamationmark.triangle",
                     T("Very large pictures", "Nagyon nagy képek", "Sehr große Bilder"), none(),
                     T("Above about 36 million pixels (for example very long scrolling captures) the live "
                       "preview is skipped to keep the editor responsive; the backdrop is still applied on "
                       "copy, save or upload.",
                       "Nagyjából 36 millió pixel fölött (például nagyon hosszú görgetett képeknél) az élő "
                       "előnézet kimarad, hogy a szerkesztő gyors maradjon; másoláskor, mentéskor és "
                       "feltöltéskor a háttér ekkor is érvényesül.",
                       "Ab etwa 36 Millionen Pixeln (etwa bei sehr langen scrollenden Aufnahmen) entfällt "
                       "die Live-Vorschau, damit der Editor flüssig bleibt; beim Kopieren, Sichern oder "
                       "Hochladen wird der Hintergrund trotzdem angewendet."))}),
    };
    return t;
}

}  // namespace

QList<HelpTopic> HelpTopicsA::topics()
{
    return {start(), capture(), editor(), backdrop()};
}

}  // namespace kx
