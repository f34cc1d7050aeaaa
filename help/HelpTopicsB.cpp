// Second group of help pages: tools, pins, history, export, upload.
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

HelpTopic tools()
{
    HelpTopic t{"tools",
                "wrench.and.screwdriver",
                tint("orange"),
                T("Smart tools", "Okos eszközök", "Smarte Werkzeuge"),
                T("Four helpers for your screenshots: they hide sensitive data, copy text and codes, list "
                  "the dominant colors and pick any pixel on screen. Recognition and color analysis run on "
                  "this computer – nothing is uploaded.",
                  "Négy segítő a képernyőképeidhez: elrejtik az érzékeny adatokat, kimásolják a szöveget és "
                  "a kódokat, felsorolják a domináns színeket, és a képernyő bármely pixelét felveszik. A "
                  "felismerés és a színelemzés ezen a gépen fut – semmi sem kerül feltöltésre.",
                  "Vier Helfer für deine Bildschirmfotos: Sie verbergen vertrauliche Daten, kopieren Text "
                  "und Codes, listen die vorherrschenden Farben und nehmen jedes Pixel auf dem Bildschirm "
                  "auf. Erkennung und Farbanalyse laufen auf diesem Computer – nichts wird hochgeladen."),
                {},
                {}};
    t.sections = {
        section(
            T("Smart redact", "Intelligens eltakarás", "Intelligentes Schwärzen"),
            {T("Click Redact in the editor header (the eye-slash icon). Kaptorix then reads all the text in "
               "the image, looks for sensitive patterns and covers each match with a pixelated box. Nothing "
               "changes until you press the button, and every box is an ordinary, editable object.",
               "Kattints a szerkesztő fejlécében a Kitakarás gombra (az áthúzott szem ikon). A Kaptorix "
               "ekkor beolvassa a kép összes szövegét, érzékeny mintákat keres, és minden találatot "
               "pixelezett dobozzal takar le. Amíg meg nem nyomod a gombot, semmi sem változik, és minden "
               "doboz közönséges, szerkeszthető objektum.",
               "Klicke in der Kopfleiste des Editors auf Schwärzen (das durchgestrichene Auge). Kaptorix "
               "liest dann den ganzen Text im Bild, sucht nach vertraulichen Mustern und deckt jeden Treffer "
               "mit einem verpixelten Feld ab. Bis du die Schaltfläche drückst, ändert sich nichts, und "
               "jedes Feld ist ein gewöhnliches, bearbeitbares Objekt."),
             T("Each box can be selected, moved, resized or deleted, so you can remove a false alarm with "
               "the Delete key. The whole run is one undo step: Ctrl+Z takes every box back.",
               "Minden doboz kijelölhető, mozgatható, átméretezhető vagy törölhető, így a téves találatot a "
               "Delete billentyűvel eltávolíthatod. Az egész futás egyetlen visszavonási lépés: a Ctrl+Z az "
               "összes dobozt visszavonja.",
               "Jedes Feld lässt sich auswählen, verschieben, skalieren oder löschen, einen Fehlalarm "
               "entfernst du also mit der Entf-Taste. Der ganze Durchlauf ist ein Widerrufen-Schritt: Ctrl+Z "
               "nimmt alle Felder zurück.")},
            {}, "editor-arrow"),
        section(T("What smart redact looks for", "Mit keres az Intelligens eltakarás?",
                  "Wonach Intelligentes Schwärzen sucht"),
                {},
                {row("envelope", T("E-mail addresses", "E-mail-címek", "E-Mail-Adressen"), none(),
                     T("Anything shaped like an e-mail address: a name, an at sign, a domain and a top-level "
                       "domain.",
                       "Minden, ami e-mail-címnek néz ki: egy név, egy kukac, egy tartomány és egy legfelső "
                       "szintű tartomány.",
                       "Alles, was wie eine E-Mail-Adresse aussieht: ein Name, ein At-Zeichen, eine Domain "
                       "und eine Top-Level-Domain.")),
                 row("phone", T("Phone numbers", "Telefonszámok", "Telefonnummern"), none(),
                     T("9 to 15 digits, optionally with a leading +, spaces, brackets, dashes or slashes.",
                       "9–15 számjegy, esetleg kezdő +, szóközök, zárójelek, kötőjelek vagy perjelek "
                       "kíséretében.",
                       "9 bis 15 Ziffern, wahlweise mit führendem +, Leerzeichen, Klammern, Bindestrichen "
                       "oder Schrägstrichen.")),
                 row("creditcard", T("Card numbers", "Kártyaszámok", "Kartennummern"), none(),
                     T("13 to 19 digits, grouped or not. Only numbers that pass the Luhn check (the standard "
                       "checksum of card numbers) are covered.",
                       "13–19 számjegy, csoportosítva vagy anélkül. Csak a Luhn-ellenőrzésen (a kártyaszámok "
                       "szabványos ellenőrzőösszegén) átmenő számokat takarja le.",
                       "13 bis 19 Ziffern, gruppiert oder nicht. Abgedeckt werden nur Nummern, die die "
                       "Luhn-Prüfung (die übliche Prüfsumme von Kartennummern) bestehen.")),
                 row("building.columns", T("IBANs", "IBAN-ok", "IBANs"), none(),
                     T("Bank account numbers in IBAN form, recognised by their pattern: a country code, two "
                       "check digits and groups of characters.",
                       "IBAN formátumú bankszámlaszámok, a mintájuk alapján felismerve: országkód, két "
                       "ellenőrző számjegy és karaktercsoportok.",
                       "Kontonummern im IBAN-Format, erkannt an ihrem Muster: ein Ländercode, zwei "
                       "Prüfziffern und Zeichengruppen.")),
                 row("network", T("IP addresses", "IP-címek", "IP-Adressen"), none(),
                     T("IPv4 addresses such as 192.168.1.20 (each part must be 0 to 255).",
                       "IPv4-címek, például 192.168.1.20 (minden tagnak 0 és 255 között kell lennie).",
                       "IPv4-Adressen wie 192.168.1.20 (jeder Teil muss zwischen 0 und 255 liegen).")),
                 row("key.fill", T("Keys and tokens", "Kulcsok és tokenek", "Schlüssel und Tokens"), none(),
                     T("Known prefixes such as sk-, ghp_, AKIA or eyJ, and long strings without spaces that "
                       "look like random keys or hashes.",
                       "Ismert előtagok, például sk-, ghp_, AKIA vagy eyJ, valamint szóköz nélküli hosszú "
                       "karakterláncok, amelyek véletlen kulcsnak vagy hash-nek tűnnek.",
                       "Bekannte Präfixe wie sk-, ghp_, AKIA oder eyJ und lange Zeichenketten ohne "
                       "Leerzeichen, die wie zufällige Schlüssel oder Hashes aussehen."))}),
        section(
            T("Limits and manual redaction", "Korlátok és kézi kitakarás", "Grenzen und manuelles Schwärzen"),
            {T("Smart redact only finds what the text recognizer can read. Very small, blurred, low-contrast "
               "or stylised text can be missed. It does not look for names, addresses or faces, and a "
               "harmless long number can be flagged too, so always check the result before sharing.",
               "Az Intelligens eltakarás csak azt találja meg, amit a szövegfelismerő el tud olvasni. A "
               "nagyon "
               "apró, elmosódott, gyenge kontrasztú vagy díszes szöveg kimaradhat. Neveket, címeket vagy "
               "arcokat nem keres, és egy ártalmatlan hosszú számot is megjelölhet, ezért megosztás előtt "
               "mindig ellenőrizd az eredményt.",
               "Intelligentes Schwärzen findet nur, was die Texterkennung lesen kann. Sehr kleiner, "
               "unscharfer, "
               "kontrastarmer oder verzierter Text kann übersehen werden. Es sucht nicht nach Namen, "
               "Adressen oder Gesichtern, und auch eine harmlose lange Zahl kann markiert werden – prüfe das "
               "Ergebnis also immer vor dem Teilen.")},
            {row("drop.halffull", T("Blur", "Elmosás", "Weichzeichnen"), K("B"),
                 T("Softens a dragged area. Blur can sometimes be reversed, so it suits only low-risk "
                   "details.",
                   "Lágyítja a kijelölt területet. Az elmosás néha visszafordítható, ezért csak kevésbé "
                   "kényes részletekhez való.",
                   "Zeichnet einen aufgezogenen Bereich weich. Weichzeichnen lässt sich manchmal umkehren, "
                   "es eignet sich also nur für unkritische Details.")),
             row("squareshape.split.3x3", T("Pixelate", "Pixelezés", "Verpixeln"), K("X"),
                 T("Turns a dragged area into large blocks, the safer choice for secrets. Its strength is "
                   "set with the Strength slider in the option bar.",
                   "A kijelölt területet nagy kockákká alakítja; titkokhoz ez a biztonságosabb választás. Az "
                   "erősségét a beállítássáv Erősség csúszkájával adhatod meg.",
                   "Verwandelt einen aufgezogenen Bereich in große Blöcke, die sicherere Wahl für "
                   "Geheimnisse. Die Stärke stellst du mit dem Regler Stärke in der Optionsleiste ein."))}),
        section(
            T("Copy text and codes (OCR)", "Szöveg és kódok másolása (OCR)", "Text und Codes kopieren (OCR)"),
            {T("Text is recognised on this computer with Tesseract, in the languages set in Settings → "
               "General → OCR languages. The default “auto” uses the system languages plus English. To "
               "choose, list codes such as hu-HU, en-US, separated by commas. Mixed-language text works best "
               "when both languages are listed.",
               "A szöveget ezen a gépen ismeri fel a Tesseract, a Beállítások → Általános → OCR nyelvek "
               "mezőben megadott nyelveken. Az alapértelmezett „auto” a rendszer nyelveit és az angolt "
               "használja. Saját választáshoz sorolj fel kódokat, például hu-HU, en-US, vesszővel "
               "elválasztva. A vegyes nyelvű szöveg akkor megy a legjobban, ha mindkét nyelv szerepel.",
               "Text wird auf diesem Computer mit Tesseract erkannt, in den Sprachen aus Einstellungen → "
               "Allgemein → OCR-Sprachen. Die Vorgabe „auto“ nutzt die Systemsprachen und Englisch. Zum "
               "Auswählen gib Codes wie hu-HU, en-US durch Kommas getrennt an. Gemischtsprachiger Text "
               "gelingt am besten, wenn beide Sprachen aufgeführt sind."),
             T("Lines keep their order. If nothing readable is found, the toast says “No text found” and the "
               "clipboard stays as it was.",
               "A sorok megtartják a sorrendjüket. Ha semmi olvashatót nem talál, az értesítés azt írja: "
               "„Nem található szöveg”, és a vágólap változatlan marad.",
               "Die Zeilen behalten ihre Reihenfolge. Wird nichts Lesbares gefunden, meldet der Hinweis "
               "„Kein Text gefunden“, und die Zwischenablage bleibt unverändert.")},
            {row("text.viewfinder", T("OCR in the editor", "OCR a szerkesztőben", "OCR im Editor"), none(),
                 T("Header → OCR reads the whole image, including the annotations, and copies the text to "
                   "the clipboard.",
                   "A Fejléc → OCR az egész képet beolvassa, a jegyzetekkel együtt, és a szöveget a "
                   "vágólapra másolja.",
                   "Kopfleiste → OCR liest das ganze Bild samt Anmerkungen und kopiert den Text in die "
                   "Zwischenablage.")),
             row("viewfinder",
                 T("OCR from any area", "OCR bármely területről", "OCR aus einem beliebigen Bereich"),
                 live(HotKeyAction::ocr),
                 T("Select an area anywhere on screen. No editor opens, and the text is copied as soon as "
                   "recognition finishes.",
                   "Jelölj ki egy területet bárhol a képernyőn. Szerkesztő nem nyílik meg, a szöveg a "
                   "felismerés végén azonnal a vágólapra kerül.",
                   "Wähle einen Bereich irgendwo auf dem Bildschirm. Es öffnet sich kein Editor, und der "
                   "Text wird kopiert, sobald die Erkennung fertig ist.")),
             row("qrcode.viewfinder",
                 T("QR codes and barcodes", "QR- és vonalkódok", "QR-Codes und Barcodes"), none(),
                 T("Their readable content is added under the text, after an empty line, so one action "
                   "copies both.",
                   "Olvasható tartalmuk a szöveg alá kerül, egy üres sor után, így egyetlen művelet "
                   "mindkettőt kimásolja.",
                   "Ihr lesbarer Inhalt wird nach einer Leerzeile unter den Text gesetzt, sodass eine Aktion "
                   "beides kopiert."))}),
        section(
            T("Color palette", "Színpaletta", "Farbpalette"),
            {T("The palette shows up to eight dominant colors of the image, each with its HEX code and its "
               "share of the picture. It opens from the editor header (Palette), from the ⋯ menu (Color "
               "palette…), or from a history card, either by hovering over the card or through its "
               "right-click menu.",
               "A paletta a kép legfeljebb nyolc domináns színét mutatja, mindegyiket a HEX-kódjával és a "
               "képen elfoglalt arányával. Megnyitható a szerkesztő fejlécéből (Paletta), a ⋯ menüből "
               "(Színpaletta…) vagy egy előzménykártyáról, rámutatással vagy a jobb gombos menüjéből.",
               "Die Palette zeigt bis zu acht vorherrschende Farben des Bildes, jede mit ihrem HEX-Code und "
               "ihrem Anteil am Bild. Sie öffnet sich aus der Kopfleiste des Editors (Palette), aus dem Menü "
               "⋯ (Farbpalette…) oder von einer Verlaufskarte, beim Darüberfahren oder über ihr "
               "Kontextmenü.")},
            {row("cursorarrow.click", T("Copy one color", "Egy szín másolása", "Eine Farbe kopieren"), none(),
                 T("Click a swatch to copy its HEX code, for example #1A2B3C.",
                   "Kattints egy színmintára, és kimásolja a HEX-kódját, például #1A2B3C.",
                   "Klicke auf ein Farbfeld, um seinen HEX-Code zu kopieren, zum Beispiel #1A2B3C.")),
             row("doc.on.doc", T("Copy all codes", "Az összes kód másolása", "Alle Codes kopieren"), none(),
                 T("“Copy all HEX codes” puts every code on the clipboard, one per line.",
                   "Az „Összes HEX-kód másolása” minden kódot a vágólapra tesz, soronként egyet.",
                   "„Alle HEX-Codes kopieren“ legt jeden Code in die Zwischenablage, einen pro Zeile."))},
            "palette"),
        section(
            T("Color picker", "Színválasztó", "Farbpipette"),
            {T("Each pick plays the shutter sound (if it is on in Settings) and shows a toast. The copied "
               "text is plain text, ready to paste into code or a design tool.",
               "Minden színfelvétel lejátssza az zárhangot (ha a Beállításokban be van kapcsolva), "
               "és értesítést mutat. A kimásolt szöveg egyszerű szöveg, kódba vagy tervezőeszközbe "
               "illeszthető.",
               "Jede Aufnahme einer Farbe spielt das Auslösegeräusch (wenn er in den Einstellungen an ist) "
               "und "
               "zeigt einen Hinweis. Der kopierte Text ist reiner Text, bereit zum Einfügen in Code oder ein "
               "Design-Werkzeug.")},
            {row("eyedropper", T("Pick a color", "Szín felvétele", "Eine Farbe aufnehmen"),
                 live(HotKeyAction::colorPicker),
                 T("Press the shortcut and move the pointer. A magnifier shows the pixel under the pointer "
                   "with its coordinates and color. A click copies; Esc or a right-click cancels.",
                   "Nyomd meg a billentyűparancsot, és mozgasd a mutatót. Nagyító mutatja a mutató alatti "
                   "pixelt a koordinátáival és a színével. Kattintásra másol; az Esc vagy a jobb kattintás "
                   "megszakítja.",
                   "Drücke den Kurzbefehl und bewege den Zeiger. Eine Lupe zeigt das Pixel unter dem Zeiger "
                   "mit Koordinaten und Farbe. Ein Klick kopiert; Esc oder ein Rechtsklick bricht ab.")),
             row("textformat", T("Format", "Formátum", "Format"), none(),
                 T("Settings → General → Copied color format: HEX #A1B2C3, lowercase hex #a1b2c3, RGB "
                   "rgb(161, 178, 195), HSL hsl(210, 22%, 70%) or SwiftUI Color(red: …). The copied text and "
                   "the toast use this format.",
                   "Beállítások → Általános → Másolt szín formátuma: HEX #A1B2C3, kisbetűs hex #a1b2c3, RGB "
                   "rgb(161, 178, 195), HSL hsl(210, 22%, 70%) vagy SwiftUI Color(red: …). A kimásolt szöveg "
                   "és az értesítés ezt a formátumot használja.",
                   "Einstellungen → Allgemein → Format der kopierten Farbe: HEX #A1B2C3, Hex in "
                   "Kleinbuchstaben #a1b2c3, RGB rgb(161, 178, 195), HSL hsl(210, 22%, 70%) oder SwiftUI "
                   "Color(red: …). Der kopierte Text und der Hinweis nutzen dieses Format.")),
             row("paintpalette", T("Recent colors", "Legutóbbi színek", "Letzte Farben"), none(),
                 T("The last 12 picked colors are listed in the tray menu under Recent colors. Click one to "
                   "copy it again in the current format.",
                   "Az utolsó 12 felvett szín a tálcamenü Legutóbbi színek pontjában látszik. Kattints "
                   "egyre, és az aktuális formátumban újra kimásolja.",
                   "Die letzten 12 aufgenommenen Farben stehen im Tray-Menü unter Letzte Farben. Klicke auf "
                   "eine, um sie im aktuellen Format erneut zu kopieren."))}),
    };
    return t;
}

HelpTopic pins()
{
    HelpTopic t{"pins",
                "pin",
                tint("yellow"),
                T("Pins", "Kitűzések", "Pins"),
                T("A pinned screenshot floats above your other windows and stays visible on every desktop, "
                  "like a sticky note made of pixels. It is handy as a reference while you work. Pins close "
                  "when Kaptorix quits.",
                  "A kitűzött képernyőkép a többi ablakod fölött lebeg, és minden munkaterületen látszik, "
                  "mint egy pixelekből álló öntapadós cetli. Munka közben jól jön referenciának. A kitűzések "
                  "bezárulnak, amikor kilépsz a Kaptorixból.",
                  "Ein angepinntes Bildschirmfoto schwebt über deinen anderen Fenstern und bleibt auf jeder "
                  "Arbeitsfläche sichtbar, wie ein Haftzettel aus Pixeln. Praktisch als Vorlage beim "
                  "Arbeiten. Pins schließen sich, wenn Kaptorix beendet wird."),
                {},
                {}};
    t.sections = {
        section(T("Three ways to pin", "Háromféle kitűzés", "Drei Wege zum Anpinnen"), {},
                {row("viewfinder", T("Pin an area", "Terület kitűzése", "Einen Bereich anpinnen"),
                     live(HotKeyAction::pinArea),
                     T("Select an area: it stays exactly where you selected it, at its real size. Nothing "
                       "else opens.",
                       "Jelölj ki egy területet: pontosan ott marad, ahol kijelölted, valódi méretében. Más "
                       "nem nyílik meg.",
                       "Wähle einen Bereich: Er bleibt genau dort, wo du ihn gewählt hast, in echter Größe. "
                       "Sonst öffnet sich nichts.")),
                 row("pencil.and.outline", T("From the editor", "A szerkesztőből", "Aus dem Editor"),
                     menuKeyHint(MainItem::pin),
                     T("Header → Pin on screen, or Ctrl+Shift+P. The pin shows the finished image with "
                       "your annotations and backdrop, and the editor stays open. With Settings → General → "
                       "Show taskbar icon on, the editor shows menus at its top too: File → Pin on screen.",
                       "Fejléc → Kitűzés a képernyőre, vagy Ctrl+Shift+P. A kitűzés a kész képet mutatja a "
                       "jegyzeteiddel és a háttérrel, a szerkesztő pedig nyitva marad. Ha a Beállítások → "
                       "Általános → Tálcaikon megjelenítése be van kapcsolva, a szerkesztő menüsorában is "
                       "megvan: Fájl → Kitűzés a képernyőre.",
                       "Kopfleiste → Auf dem Bildschirm anheften oder Ctrl+Shift+P. Der Pin zeigt das "
                       "fertige Bild mit deinen Anmerkungen und dem Hintergrund, und der Editor bleibt "
                       "offen. Ist Einstellungen → Allgemein → Taskleistensymbol anzeigen an, hat ihn auch "
                       "die Menüleiste des Editors: Ablage → Auf dem Bildschirm anheften.")),
                 row("clock.arrow.circlepath",
                     T("From history or a preview", "Az előzményekből vagy a gyors előnézetből",
                       "Aus dem Verlauf oder einer Vorschau"),
                     none(),
                     T("Right-click a history card → Pin on screen. The quick preview after a capture has a "
                       "Pin button.",
                       "Kattints jobb gombbal egy előzménykártyára → Kitűzés a képernyőre. A képkészítés "
                       "utáni gyors előnézetben van Kitűzés gomb.",
                       "Rechtsklick auf eine Verlaufskarte → Auf dem Bildschirm anheften. Die "
                       "Schnellvorschau nach einer Aufnahme hat eine Schaltfläche Anpinnen."))},
                "pin"),
        section(
            T("Move, resize and zoom", "Mozgatás, méretezés és nagyítás",
              "Verschieben, skalieren und zoomen"),
            {},
            {row("hand.draw", T("Move", "Mozgatás", "Verschieben"), none(),
                 T("Drag the picture anywhere. Clicking it makes it the active pin, so the keys below apply "
                   "to it.",
                   "Húzd a képet bárhová. Rákattintva ez lesz az aktív kitűzés, így az alábbi billentyűk rá "
                   "vonatkoznak.",
                   "Ziehe das Bild an eine beliebige Stelle. Ein Klick macht es zum aktiven Pin, sodass die "
                   "Tasten unten für ihn gelten.")),
             row("arrow.up.left.and.down.right.magnifyingglass", T("Resize", "Átméretezés", "Größe ändern"),
                 none(),
                 T("Drag an edge or a corner. The proportions are kept.",
                   "Húzz egy szélt vagy sarkot. Az arányok megmaradnak.",
                   "Ziehe an einer Kante oder Ecke. Die Proportionen bleiben erhalten.")),
             row("plus.magnifyingglass", T("Zoom", "Nagyítás", "Zoom"), K("Scroll · + / −"),
                 T("Scroll to zoom between 10 % and 800 %. The + and − keys change the zoom in steps of 10 "
                   "%. The Size submenu of the right-click menu offers 25 % to 200 % of the original size.",
                   "Görgetéssel 10 % és 800 % között nagyíthatsz. A + és − billentyű 10 %-os lépésekben "
                   "változtatja a nagyítást. A jobb gombos menü Méret almenüje az eredeti méret 25–200 %-át "
                   "kínálja.",
                   "Scrolle, um zwischen 10 % und 800 % zu zoomen. Die Tasten + und − ändern den Zoom in "
                   "Schritten von 10 %. Das Untermenü Größe im Kontextmenü bietet 25 % bis 200 % der "
                   "Originalgröße."))}),
        section(
            T("Opacity and click-through", "Átlátszóság és átkattintás", "Deckkraft und Durchklicken"), {},
            {row("circle.lefthalf.filled", T("Opacity", "Átlátszóság", "Deckkraft"),
                 K("Ctrl + Shift + scroll"),
                 T("Hold Ctrl and Shift and scroll to fade the pin down to 15 % (Alt with the wheel "
                   "belongs to the desktop switcher). The right-click menu offers 100, 85, 70, 50 and "
                   "30 %. Handy for tracing over a design.",
                   "Tartsd lenyomva a Ctrl és a Shift billentyűt, és görgess: a kitűzés 15 %-ig "
                   "halványítható (az Alt a görgővel az asztalváltóé). A jobb gombos menü 100, 85, 70, 50 "
                   "és 30 %-ot kínál. Hasznos, ha egy tervet kell átrajzolnod.",
                   "Halte Ctrl und Shift gedrückt und scrolle, um den Pin bis auf 15 % abzublenden "
                   "(Alt mit dem Mausrad gehört dem Arbeitsflächenwechsel). Das Kontextmenü bietet 100, "
                   "85, 70, 50 und 30 %. Praktisch zum Nachzeichnen eines Entwurfs.")),
             row("cursorarrow.rays", T("Click-through", "Átkattintás", "Durchklicken"), none(),
                 T("Right-click → Click-through lets clicks pass through the pin to the windows below, "
                   "so you can keep working underneath. To make pins clickable again, choose tray menu → "
                   "Pins → Make pins clickable, which applies to all pins.",
                   "Jobb kattintás → Kattintás átengedése: a kattintások átmennek a kitűzésen az alatta lévő "
                   "ablakokhoz, így alatta tovább dolgozhatsz. A kitűzések újbóli kattinthatóságához "
                   "válaszd a tálcamenü → Kitűzések → Kattinthatóvá tétel pontot; ez minden "
                   "kitűzésre érvényes.",
                   "Rechtsklick → Klickdurchlass lässt Klicks durch den Pin zu den Fenstern darunter "
                   "gehen, sodass du darunter weiterarbeiten kannst. Um Pins wieder anklickbar zu "
                   "machen, wähle Tray-Menü → Angeheftet → Angeheftete Bilder anklickbar machen; das gilt "
                   "für alle Pins."))}),
        section(
            T("Close and manage", "Bezárás és kezelés", "Schließen und verwalten"), {},
            {row("xmark.circle", T("Close one pin", "Egy kitűzés bezárása", "Einen Pin schließen"), K("Esc"),
                 T("Double-click the pin, click the × that appears when you hover over it, press Esc (after "
                   "clicking the pin), or choose Close from the right-click menu.",
                   "Kattints duplán a kitűzésre, kattints a fölé vitt mutatónál megjelenő ×-re, nyomd meg az "
                   "Esc-et (a kitűzésre kattintás után), vagy válaszd a jobb gombos menü Bezárás pontját.",
                   "Doppelklicke auf den Pin, klicke auf das ×, das beim Darüberfahren erscheint, drücke Esc "
                   "(nachdem du den Pin angeklickt hast) oder wähle Schließen im Kontextmenü.")),
             row("menubar.rectangle",
                 T("Close all pins", "Összes bezárása", "Alle angehefteten Bilder schließen"), none(),
                 T("Tray menu → Pins (number) → Close all pins. The Pins menu appears only while at least "
                   "one pin is open.",
                   "Tálcamenü → Kitűzések (szám) → Összes bezárása. A Kitűzések menü csak akkor "
                   "jelenik meg, ha legalább egy kitűzés nyitva van.",
                   "Tray-Menü → Angeheftet (Anzahl) → Alle angehefteten Bilder schließen. Das Menü "
                   "Angeheftet erscheint nur, solange "
                   "mindestens ein Pin offen ist.")),
             row("doc.on.doc",
                 T("Copy, save, open", "Másolás, mentés, megnyitás", "Kopieren, sichern, öffnen"), none(),
                 T("The right-click menu copies the unscaled image, saves it through a Save dialog, or opens "
                   "it in a new editor. Edits made in that editor are not written back to the history.",
                   "A jobb gombos menü kimásolja a méretezetlen képet, egy mentési párbeszédablakon át "
                   "elmenti, vagy új szerkesztőben nyitja meg. Az abban a szerkesztőben végzett módosítások "
                   "nem íródnak vissza az előzményekbe.",
                   "Das Kontextmenü kopiert das unskalierte Bild, sichert es über einen Sichern-Dialog oder "
                   "öffnet es in einem neuen Editor. Änderungen in diesem Editor werden nicht in den Verlauf "
                   "zurückgeschrieben."))}),
        section(T("Where pins appear, and limits", "Hol jelennek meg a kitűzések, és mik a korlátok?",
                  "Wo Pins erscheinen, und Grenzen"),
                {T("A pin from the editor, the history or the preview appears in the middle of the screen "
                   "under the pointer; an area pin appears where it was selected. A pin is never larger than "
                   "90 % of the screen: bigger pictures are scaled down to fit.",
                   "A szerkesztőből, az előzményekből vagy a gyors előnézetből kitűzött kép a mutató alatti "
                   "képernyő közepén jelenik meg; a területkitűzés ott, ahol kijelölted. Egy kitűzés sosem "
                   "nagyobb a képernyő 90 %-ánál: a nagyobb képek kicsinyítve férnek el.",
                   "Ein Pin aus dem Editor, dem Verlauf oder der Vorschau erscheint in der Mitte des "
                   "Bildschirms unter dem Zeiger; ein Bereichs-Pin dort, wo er gewählt wurde. Ein Pin ist "
                   "nie größer als 90 % des Bildschirms: Größere Bilder werden passend verkleinert."),
                 T("Pins stay visible across workspaces and above full-screen apps, and they remain on "
                   "screen when you switch to another app.",
                   "A kitűzések minden munkaterületen és a teljes képernyős alkalmazások fölött is "
                   "látszanak, és a képernyőn maradnak, ha másik alkalmazásra váltasz.",
                   "Pins bleiben auf allen Arbeitsflächen und über Vollbild-Apps sichtbar und bleiben auf "
                   "dem Bildschirm, wenn du zu einer anderen App wechselst."),
                 T("Pins live in memory only. Quitting Kaptorix closes them all, and they do not come back "
                   "when you restart it.",
                   "A kitűzések csak a memóriában élnek. A Kaptorixból kilépve mind bezárul, és "
                   "újraindításkor sem térnek vissza.",
                   "Pins leben nur im Arbeitsspeicher. Beim Beenden von Kaptorix schließen sich alle, und "
                   "nach einem Neustart kommen sie nicht zurück.")},
                {}),
    };
    return t;
}

HelpTopic history()
{
    HelpTopic t{
        "history",
        "clock.arrow.circlepath",
        tint("green"),
        T("History", "Előzmények", "Verlauf"),
        T("Every capture is saved and indexed. Search looks inside the screenshots: type a word that appears "
          "on an image and you will find it, even if you have forgotten its title.",
          "Minden kép mentődik és indexelődik. A keresés a képernyőképek belsejébe is belenéz: írj be egy "
          "szót, amely egy képen szerepel, és megtalálod, akkor is, ha a címét már elfelejtetted.",
          "Jede Aufnahme wird gespeichert und indiziert. Die Suche schaut in die Bildschirmfotos hinein: "
          "Tippe ein Wort, das auf einem Bild steht, und du findest es, auch wenn du seinen Titel vergessen "
          "hast."),
        {},
        {}};
    t.sections = {
        section(
            T("Opening the history", "Az előzmények megnyitása", "Den Verlauf öffnen"),
            {T("The history lists the captures newest first, grouped by day (Today, Yesterday, then the "
               "date). Each card shows its type (Area, Window, Fullscreen, Scrolling…), its title or time, "
               "and its size in pixels.",
               "Az előzmények a képeket a legújabbal kezdve, napok szerint csoportosítva sorolják fel (Ma, "
               "Tegnap, aztán a dátum). Minden kártya mutatja a típusát (Terület, Ablak, Teljes képernyő, "
               "Görgetős…), a címét vagy az időpontját és a méretét pixelben.",
               "Der Verlauf listet die Aufnahmen, die neueste zuerst, nach Tagen gruppiert (Heute, Gestern, "
               "dann das Datum). Jede Karte zeigt ihren Typ (Bereich, Fenster, Vollbild, Scrollen…), ihren "
               "Titel oder die Uhrzeit und ihre Größe in Pixeln.")},
            {row("clock.arrow.circlepath", T("Open the window", "Az ablak megnyitása", "Das Fenster öffnen"),
                 live(HotKeyAction::history),
                 T("Also from the tray menu (History…), or Ctrl+Y while a Kaptorix window is active. With "
                   "Settings → General → Show taskbar icon on, the windows show menus at their top too: "
                   "Window → History…",
                   "A tálcamenüből is (Előzmények…), vagy a Ctrl+Y-nal, ha egy Kaptorix-ablak aktív. Ha a "
                   "Beállítások → Általános → Tálcaikon megjelenítése be van kapcsolva, az ablakok "
                   "menüsorában is megvan: Ablak → Előzmények…",
                   "Auch über das Tray-Menü (Verlauf…) oder Ctrl+Y, während ein Kaptorix-Fenster aktiv "
                   "ist. Ist Einstellungen → Allgemein → Taskleistensymbol anzeigen an, hat ihn auch die "
                   "Menüleiste der Fenster: Fenster → Verlauf…"))},
            "history"),
        section(
            T("Search and filters", "Keresés és szűrők", "Suche und Filter"),
            {T("The text recognition behind search runs in the background shortly after each capture, so a "
               "brand-new screenshot may need a moment before a word on it can be found.",
               "A keresés mögötti szövegfelismerés minden képkészítés után nem sokkal a háttérben fut, ezért "
               "egy vadonatúj képernyőképen egy szó csak kis idő múlva kereshető.",
               "Die Texterkennung hinter der Suche läuft kurz nach jeder Aufnahme im Hintergrund, daher kann "
               "es bei einem ganz neuen Bildschirmfoto einen Moment dauern, bis ein Wort darauf gefunden "
               "wird.")},
            {row("magnifyingglass", T("Search", "Keresés", "Suche"), none(),
                 T("Search covers the text recognised in each image, the title, the type, the AI summary "
                   "(present when a description or SEO analysis was run) and the upload link. Case does not "
                   "matter, and the words must match what you typed: typing errors are not tolerated.",
                   "A keresés kiterjed az egyes képeken felismert szövegre, a címre, a típusra, az "
                   "AI-összefoglalóra (ha leírás vagy SEO-elemzés futott) és a feltöltési linkre. A kis- és "
                   "nagybetű mindegy, de a szavaknak egyezniük kell a beírttal: elgépelést nem tűr.",
                   "Die Suche umfasst den in jedem Bild erkannten Text, den Titel, den Typ, die "
                   "AI-Zusammenfassung (vorhanden, wenn eine Beschreibung oder SEO-Analyse lief) und den "
                   "Upload-Link. Groß- und Kleinschreibung spielen keine Rolle, aber die Wörter müssen dem "
                   "Getippten entsprechen: Tippfehler werden nicht toleriert.")),
             row("square.grid.2x2", T("All / Starred", "Mind / Csillagozott", "Alle / Favoriten"), none(),
                 T("The two chips filter the list. The number next to them counts the matching captures.",
                   "A két címke szűri a listát. A mellettük lévő szám a megfelelő képeket számolja.",
                   "Die beiden Chips filtern die Liste. Die Zahl daneben zählt die passenden Aufnahmen."))}),
        section(
            T("Working with a card", "Munka egy kártyával", "Arbeiten mit einer Karte"), {},
            {row("cursorarrow.click.2", T("Open", "Megnyitás", "Öffnen"), none(),
                 T("Double-click a card to open it in the editor. A single click only selects it.",
                   "Kattints duplán egy kártyára, és megnyílik a szerkesztőben. Egy kattintás csak kijelöli.",
                   "Doppelklicke auf eine Karte, um sie im Editor zu öffnen. Ein einfacher Klick wählt sie "
                   "nur aus.")),
             row("square.stack", T("Hover actions", "Rámutatási műveletek", "Aktionen beim Darüberfahren"),
                 none(),
                 T("Hovering over a card shows four buttons: copy the image, open it in the editor, show its "
                   "color palette, and star it. A starred card keeps its star visible.",
                   "Ha egy kártya fölé viszed a mutatót, négy gomb jelenik meg: a kép másolása, megnyitása a "
                   "szerkesztőben, színpalettájának megjelenítése és csillagozása. A csillagozott kártyán a "
                   "csillag látható marad.",
                   "Beim Darüberfahren zeigt eine Karte vier Schaltflächen: Bild kopieren, im Editor öffnen, "
                   "Farbpalette zeigen und als Favorit markieren. Ein Favorit zeigt seinen Stern "
                   "dauerhaft.")),
             row("icloud.fill", T("Upload badge", "Feltöltés jelzés", "Upload-Abzeichen"), none(),
                 T("A cloud in the corner means the image has an upload link. The link is in the right-click "
                   "menu.",
                   "A sarokban lévő felhő azt jelenti, hogy a képnek van feltöltési linkje. A link a jobb "
                   "gombos menüben van.",
                   "Eine Wolke in der Ecke bedeutet, dass das Bild einen Upload-Link hat. Der Link steht im "
                   "Kontextmenü."))}),
        section(
            T("Right-click menu: the image", "Jobb gombos menü: a kép", "Kontextmenü: das Bild"), {},
            {row("pencil.and.outline", T("Open in editor", "Megnyitás szerkesztőben", "Im Editor öffnen"),
                 none(),
                 T("Edits are written back to the card when you copy, save, pin, upload or close the editor. "
                   "The stored copy keeps the annotations, but not the backdrop or frame.",
                   "A módosítások visszaíródnak a kártyába, amikor másolsz, mentesz, kitűzöl, feltöltesz "
                   "vagy bezárod a szerkesztőt. A tárolt példány megtartja a jegyzeteket, a hátteret és a "
                   "keretet nem.",
                   "Änderungen werden in die Karte zurückgeschrieben, wenn du kopierst, sicherst, anpinnst, "
                   "hochlädst oder den Editor schließt. Die gespeicherte Kopie behält die Anmerkungen, aber "
                   "nicht Hintergrund oder Rahmen.")),
             row("doc.on.doc", T("Copy image", "Kép másolása", "Bild kopieren"), none(),
                 T("Copies the stored image at its original resolution.",
                   "Eredeti felbontásában másolja a tárolt képet.",
                   "Kopiert das gespeicherte Bild in seiner Originalauflösung.")),
             row("text.viewfinder",
                 T("Copy recognized text", "Felismert szöveg másolása", "Erkannten Text kopieren"), none(),
                 T("Only shown when text was recognised in the image. Copies that text.",
                   "Csak akkor látszik, ha a képen szöveget ismert fel. Ezt a szöveget másolja.",
                   "Nur sichtbar, wenn im Bild Text erkannt wurde. Kopiert diesen Text.")),
             row("pin", T("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"), none(),
                 T("Pins the stored image. See the Pins topic.",
                   "Kitűzi a tárolt képet. Lásd a Kitűzések témát.",
                   "Pinnt das gespeicherte Bild an. Siehe das Thema Pins.")),
             row("square.and.arrow.down", T("Save as…", "Mentés másként…", "Sichern unter…"), none(),
                 T("Opens a Save dialog. The extension you choose decides the format: PNG, JPEG or HEIC.",
                   "Mentési párbeszédablakot nyit. A választott kiterjesztés dönti el a formátumot: PNG, "
                   "JPEG vagy HEIC.",
                   "Öffnet einen Sichern-Dialog. Die gewählte Endung bestimmt das Format: PNG, JPEG oder "
                   "HEIC.")),
             row("paintpalette", T("Color palette…", "Színpaletta…", "Farbpalette…"), none(),
                 T("Shows the dominant colors of the image. See the Smart tools topic.",
                   "Megmutatja a kép domináns színeit. Lásd az Okos eszközök témát.",
                   "Zeigt die vorherrschenden Farben des Bildes. Siehe das Thema Smarte Werkzeuge."))}),
        section(
            T("Right-click menu: links and housekeeping", "Jobb gombos menü: linkek és rendrakás",
              "Kontextmenü: Links und Aufräumen"),
            {},
            {row("link", T("Copy upload link", "Feltöltési link másolása", "Link zum Hochladen kopieren"),
                 none(),
                 T("Only on cards that have an upload link. Copies the plain address.",
                   "Csak feltöltési linkkel rendelkező kártyákon. A puszta címet másolja.",
                   "Nur bei Karten mit Upload-Link. Kopiert die reine Adresse.")),
             row("curlybraces", T("Copy as Markdown", "Másolás Markdownként", "Als Markdown kopieren"),
                 none(),
                 T("Copies ![name](link), ready for Markdown documents and comments.",
                   "![név](link) formában másol, Markdown-dokumentumokhoz és hozzászólásokhoz.",
                   "Kopiert ![Name](Link), bereit für Markdown-Dokumente und Kommentare.")),
             row("chevron.left.forwardslash.chevron.right",
                 T("Copy as HTML <img>", "Másolás HTML <img> kódként", "Als HTML-<img>-Code kopieren"),
                 none(),
                 T("Copies an <img> tag that points to the upload.",
                   "A feltöltésre mutató <img> taget másol.",
                   "Kopiert ein <img>-Tag, das auf den Upload zeigt.")),
             row("icloud.and.arrow.up", T("Upload", "Feltöltés", "Hochladen"), none(),
                 T("Sends the stored image to your server. Details are in the Upload topic.",
                   "A tárolt képet a szerveredre küldi. Részletek a Feltöltés témában.",
                   "Sendet das gespeicherte Bild an deinen Server. Details im Thema Hochladen.")),
             row("star",
                 T("Star / Remove star", "Csillagozás / Csillag eltávolítása",
                   "Als Favorit markieren / Als Favorit entfernen"),
                 none(),
                 T("Protects the capture from automatic deletion. See the next section.",
                   "Megvédi a képet az automatikus törléstől. Lásd a következő részt.",
                   "Schützt die Aufnahme vor automatischem Löschen. Siehe den nächsten Abschnitt.")),
             row("folder",
                 T("Show in file manager", "Megjelenítés a fájlkezelőben", "Im Dateimanager anzeigen"),
                 none(),
                 T("Reveals the stored copy in the history folder, not the file you saved earlier.",
                   "Az előzmények mappájában lévő tárolt példányt mutatja meg, nem a korábban mentett fájlt.",
                   "Zeigt die gespeicherte Kopie im Verlaufsordner, nicht die Datei, die du früher gesichert "
                   "hast.")),
             row("trash", T("Delete", "Törlés", "Löschen"), none(),
                 T("Removes the image from the history at once, with no confirmation and no Trash. This "
                   "cannot be undone.",
                   "Azonnal eltávolítja a képet az előzményekből, megerősítés és Kuka nélkül. Nem vonható "
                   "vissza.",
                   "Entfernt das Bild sofort aus dem Verlauf, ohne Rückfrage und ohne Papierkorb. Das lässt "
                   "sich nicht rückgängig machen."))}),
        section(
            T("Starring and automatic cleanup", "Csillagozás és automatikus takarítás",
              "Favoriten und automatisches Aufräumen"),
            {T("Cleanup runs when the app starts and after each new capture. When the count limit is "
               "reached, the oldest captures that are not starred go first.",
               "A takarítás az alkalmazás indulásakor és minden új kép után lefut. Ha eléri a "
               "darabszám-korlátot, először a legrégebbi, csillag nélküli képek törlődnek.",
               "Das Aufräumen läuft beim Start der App und nach jeder neuen Aufnahme. Ist die Anzahlgrenze "
               "erreicht, gehen zuerst die ältesten Aufnahmen, die keine Favoriten sind.")},
            {row("star.fill", T("Star", "Csillag", "Favorit"), none(),
                 T("Starred captures are never deleted automatically, and they do not count toward the "
                   "limits.",
                   "A csillagozott képek sosem törlődnek automatikusan, és nem számítanak bele a korlátokba.",
                   "Favoriten werden nie automatisch gelöscht und zählen nicht zu den Grenzen.")),
             row("slider.horizontal.3", T("Limits", "Korlátok", "Grenzen"), none(),
                 T("Settings → General → History: keep at most this many captures (20 to 5000, default 300), "
                   "and delete captures older than this many days (0 to 365, default 30; 0 means never by "
                   "age).",
                   "Beállítások → Általános → Előzmények: legfeljebb ennyi képet tart meg (20–5000, alapból "
                   "300), és törli az ennyi napnál régebbieket (0–365, alapból 30; a 0 azt jelenti, hogy kor "
                   "szerint soha).",
                   "Einstellungen → Allgemein → Verlauf: höchstens so viele Aufnahmen behalten (20 bis 5000, "
                   "Standard 300) und Aufnahmen löschen, die älter als so viele Tage sind (0 bis 365, "
                   "Standard 30; 0 heißt nie nach Alter)."))}),
        section(
            T("Storage and bulk delete", "Tárolás és tömeges törlés", "Speicherort und Massenlöschen"),
            {T("Each capture is stored as a PNG with a small thumbnail in "
               "~/.local/share/Kaptorix/History. The ⋯ menu opens that folder.",
               "Minden kép PNG-ként, kis bélyegképpel tárolódik a ~/.local/share/Kaptorix/History "
               "mappában. A ⋯ menü megnyitja ezt a mappát.",
               "Jede Aufnahme wird als PNG mit kleinem Vorschaubild in ~/.local/share/Kaptorix/History "
               "gespeichert. Das Menü ⋯ öffnet diesen Ordner.")},
            {row("exclamationmark.triangle",
                 T("Delete all except starred", "Minden törlése a csillagozottak kivételével",
                   "Alle außer Favoriten löschen"),
                 none(),
                 T("The ⋯ menu removes every capture that is not starred. It does not ask first, and the "
                   "capture files are deleted for good, so star the captures you want to keep before "
                   "using it.",
                   "A ⋯ menü minden csillag nélküli képet eltávolít. Nem kérdez rá, és a képfájlok "
                   "végleg törlődnek, ezért használat előtt csillagozd meg a megtartandó képeket.",
                   "Das Menü ⋯ entfernt jede Aufnahme, die kein Favorit ist. Es fragt nicht nach, und die "
                   "Dateien werden endgültig gelöscht – markiere also vorher die Aufnahmen, die du "
                   "behalten willst, als Favoriten."))}),
    };
    return t;
}

HelpTopic exportTopic()
{
    HelpTopic t{"export",
                "square.and.arrow.up",
                tint("cyan"),
                T("Save, copy & share", "Mentés, másolás és megosztás", "Sichern, kopieren & teilen"),
                T("What you export includes your annotations, and the backdrop and frame too when they are "
                  "on. Copy, Save, Pin, Share and Upload from the editor all use this same finished image.",
                  "Az exportált kép tartalmazza a jegyzeteidet, és ha be vannak kapcsolva, a hátteret és a "
                  "keretet is. A szerkesztő Másolás, Mentés, Kitűzés, Megosztás és Feltöltés funkciója mind "
                  "ugyanezt a kész képet használja.",
                  "Was du exportierst, enthält deine Anmerkungen und, wenn eingeschaltet, auch Hintergrund "
                  "und Rahmen. Kopieren, Sichern, Anpinnen, Teilen und Hochladen im Editor nutzen alle "
                  "dasselbe fertige Bild."),
                {},
                {}};
    t.sections = {
        section(T("Copy to the clipboard", "Másolás a vágólapra", "In die Zwischenablage kopieren"), {},
                {row("doc.on.doc", T("Copy", "Másolás", "Kopieren"), menuKeyHint(MainItem::copy),
                     T("Copies the finished image at full resolution. The button and Ctrl+C repeat the last "
                       "choice you made in the ▾ popover.",
                       "A kész képet teljes felbontásban másolja. A gomb és a Ctrl+C a ▾ panelen legutóbb "
                       "választott műveletet ismétli.",
                       "Kopiert das fertige Bild in voller Auflösung. Die Schaltfläche und Ctrl+C "
                       "wiederholen deine letzte Wahl im Popover ▾.")),
                 row("arrow.right.square",
                     T("Copy and close", "Másolás és bezárás", "Kopieren und schließen"), none(),
                     T("Choose it in the ▾ popover to copy and close the editor in one step. The choice is "
                       "remembered until you change it.",
                       "Válaszd a ▾ panelen, és egy lépésben másol és bezárja a szerkesztőt. A választást "
                       "megjegyzi, amíg meg nem változtatod.",
                       "Wähle es im Popover ▾, um in einem Schritt zu kopieren und den Editor zu schließen. "
                       "Die Wahl bleibt, bis du sie änderst.")),
                 row("1.circle", T("Copy @1x", "Másolás @1x", "@1x kopieren"), none(),
                     T("In the ⋯ menu. Copies a 1x version (half the width and height of a capture at 200 "
                       "%), which many apps display at the right size. Available for HiDPI captures only.",
                       "A ⋯ menüben. 1x-es változatot másol (egy 200 %-os kép szélességének és magasságának "
                       "felét), amelyet sok alkalmazás a helyes méretben jelenít meg. Csak HiDPI-képeknél "
                       "érhető el.",
                       "Im Menü ⋯. Kopiert eine 1x-Fassung (halbe Breite und Höhe einer Aufnahme mit 200 %), "
                       "die viele Apps in der richtigen Größe zeigen. Nur bei HiDPI-Aufnahmen verfügbar."))}),
        section(T("Save to a folder", "Mentés mappába", "In einem Ordner sichern"), {},
                {row("square.and.arrow.down", T("Save", "Mentés", "Sichern"), menuKeyHint(MainItem::save),
                     T("Writes the image to your screenshot folder (default ~/Pictures/Kaptorix) using the "
                       "settings below. Then the file is shown in the file manager.",
                       "A képet a képernyőkép-mappádba írja (alapból ~/Pictures/Kaptorix) az alábbi "
                       "beállításokkal. Ezután a fájl megjelenik a fájlkezelőben.",
                       "Schreibt das Bild mit den Einstellungen unten in deinen Bildschirmfoto-Ordner "
                       "(Standard ~/Pictures/Kaptorix). Danach wird die Datei im Dateimanager gezeigt.")),
                 row("folder.badge.plus", T("Save as…", "Mentés másként…", "Sichern unter…"),
                     menuKeyHint(MainItem::saveAs),
                     T("Opens the Save dialog. The extension you type picks the format: .png, .jpg or .jpeg, "
                       "or .heic. Any other extension is replaced by the extension of the format selected in "
                       "the dialog.",
                       "Megnyitja a mentési párbeszédablakot. A beírt kiterjesztés választja ki a "
                       "formátumot: .png, .jpg vagy .jpeg, illetve .heic. Bármely más kiterjesztés helyére a "
                       "párbeszédablakban kiválasztott formátum kiterjesztése kerül.",
                       "Öffnet den Sichern-Dialog. Die eingegebene Endung wählt das Format: .png, .jpg oder "
                       ".jpeg oder .heic. Jede andere Endung wird durch die Endung des im Dialog gewählten "
                       "Formats ersetzt."))}),
        section(T("Format, quality and file names", "Formátum, minőség és fájlnevek",
                  "Format, Qualität und Dateinamen"),
                {T("Characters that are not allowed in file names become dashes, and a name that is already "
                   "taken gets a number (… 2.png). The folder is created if it does not exist.",
                   "A fájlnévben nem megengedett karakterek kötőjellé válnak, a már foglalt név pedig számot "
                   "kap (… 2.png). A mappa létrejön, ha még nincs meg.",
                   "Zeichen, die in Dateinamen nicht erlaubt sind, werden zu Bindestrichen, und ein bereits "
                   "vergebener Name bekommt eine Nummer (… 2.png). Der Ordner wird angelegt, wenn es ihn "
                   "nicht gibt.")},
                {row("photo", T("Format and quality", "Formátum és minőség", "Format und Qualität"), none(),
                     T("Settings → Capture & save → Saving: PNG (lossless), JPEG or HEIC. The quality slider "
                       "appears for JPEG and HEIC; the default is 90 %.",
                       "Beállítások → Rögzítés és mentés → Mentés: PNG (veszteségmentes), JPEG vagy HEIC. A "
                       "minőség csúszkája JPEG-nél és HEIC-nél jelenik meg; az alapérték 90 %.",
                       "Einstellungen → Aufnahme & Ablage → Sichern: PNG (verlustfrei), JPEG oder HEIC. Der "
                       "Qualitätsregler erscheint bei JPEG und HEIC; Standard ist 90 %.")),
                 row("arrow.down.right.and.arrow.up.left", T("HiDPI to 1x", "HiDPI 1x-re", "HiDPI auf 1x"),
                     none(),
                     T("“Downscale HiDPI captures to 1x when saving” makes Ctrl+S and automatic saves write "
                       "smaller files at 1x. It is off by default and does not affect Save as… or Copy.",
                       "A „HiDPI képek mentése 1x méretre” beállítással a Ctrl+S és az automatikus mentés "
                       "kisebb, 1x-es fájlokat ír. Alapból ki van kapcsolva, és nem hat a Mentés másként… és "
                       "a Másolás funkcióra.",
                       "„HiDPI-Aufnahmen beim Sichern auf 1x verkleinern“ lässt Ctrl+S und automatisches "
                       "Sichern kleinere Dateien in 1x schreiben. Standardmäßig aus; Sichern unter… und "
                       "Kopieren bleiben unberührt.")),
                 row("textformat", T("File name pattern", "Fájlnévminta", "Dateinamensmuster"), none(),
                     T("Tokens: {YYYY} {MM} {DD} year, month and day · {hh} {mm} {ss} time · {title} the app "
                       "or window name, or the type when there is none · {kind} the capture type. Default: "
                       "Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}",
                       "Tokenek: {YYYY} {MM} {DD} év, hónap és nap · {hh} {mm} {ss} idő · {title} az "
                       "alkalmazás vagy az ablak neve, ha nincs, a típus · {kind} a kép típusa. "
                       "Alapértelmezés: Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}",
                       "Platzhalter: {YYYY} {MM} {DD} Jahr, Monat und Tag · {hh} {mm} {ss} Uhrzeit · {title} "
                       "der App- oder Fenstername, sonst der Typ · {kind} der Aufnahmetyp. Standard: "
                       "Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}"))},
                "settings-capture"),
        section(
            T("Share", "Megosztás", "Teilen"), {},
            {row("square.and.arrow.up", T("Share", "Megosztás", "Teilen"), none(),
                 T("The Share button in the header opens the Share menu for the finished image: copy the "
                   "file's path, open it with the default application, or show it in the file manager.",
                   "A fejléc Megosztás gombja megnyitja a kész kép Megosztás menüjét: a fájl útvonalának "
                   "másolása, megnyitás az alapértelmezett alkalmazással, vagy megjelenítés a fájlkezelőben.",
                   "Die Schaltfläche Teilen in der Kopfleiste öffnet das Menü Teilen für das fertige Bild: "
                   "den Pfad der Datei kopieren, mit der Standardanwendung öffnen oder im Dateimanager "
                   "zeigen."))}),
        section(
            T("After every capture", "Minden képernyőkép után", "Nach jeder Aufnahme"),
            {T("Settings → Capture & save → After every capture decides what happens to each new screenshot. "
               "Several options can be on at once:",
               "A Beállítások → Rögzítés és mentés → Minden képernyőkép után dönti el, mi történjen minden "
               "új képernyőképpel. Egyszerre több is bekapcsolható:",
               "Einstellungen → Aufnahme & Ablage → Nach jeder Aufnahme legt fest, was mit jedem neuen "
               "Bildschirmfoto geschieht. Mehrere Optionen können gleichzeitig an sein:")},
            {row("pencil.and.outline",
                 T("Open in the editor", "Megnyitás a szerkesztőben", "Im Editor öffnen"), none(),
                 T("On by default. Turns the editor on for every capture.",
                   "Alapból bekapcsolva. Minden képet megnyit a szerkesztőben.",
                   "Standardmäßig an. Öffnet den Editor für jede Aufnahme.")),
             row("eye", T("Show a quick preview", "Gyors előnézet", "Schnellvorschau zeigen"), none(),
                 T("On by default. Shown only when the editor is off.",
                   "Alapból bekapcsolva. Csak akkor látszik, ha a szerkesztő ki van kapcsolva.",
                   "Standardmäßig an. Nur sichtbar, wenn der Editor aus ist.")),
             row("doc.on.doc",
                 T("Copy to clipboard", "Másolás a vágólapra", "In die Zwischenablage kopieren"), none(),
                 T("On by default, so every capture replaces what was on the clipboard.",
                   "Alapból bekapcsolva, így minden kép felülírja a vágólap tartalmát.",
                   "Standardmäßig an, jede Aufnahme ersetzt also den Inhalt der Zwischenablage.")),
             row("square.and.arrow.down",
                 T("Save to the folder below", "Mentés az alábbi mappába", "Im Ordner unten sichern"), none(),
                 T("Off by default. Saves every capture with the format and file name above.",
                   "Alapból kikapcsolva. Minden képet a fenti formátummal és fájlnévvel ment.",
                   "Standardmäßig aus. Sichert jede Aufnahme mit dem Format und Dateinamen oben.")),
             row("icloud.and.arrow.up",
                 T("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
                 none(),
                 T("Off by default. See the Upload topic.", "Alapból kikapcsolva. Lásd a Feltöltés témát.",
                   "Standardmäßig aus. Siehe das Thema Hochladen."))}),
        section(T("Quick preview", "Gyors előnézet", "Schnellvorschau"),
                {T("After a capture a small card appears in the bottom-right corner with the picture and "
                   "buttons for Edit, Copy, Pin, Save and, when a server is set up, Upload. Clicking the "
                   "picture also opens the editor, and the × closes the card. The card disappears by itself "
                   "after a few seconds and stays while the pointer is over it.",
                   "Képkészítés után a jobb alsó sarokban kis kártya jelenik meg a képpel és a Szerkesztés, "
                   "Másolás, Kitűzés, Mentés, beállított szerver esetén pedig a Feltöltés gombbal. A képre "
                   "kattintva is megnyílik a szerkesztő, a × bezárja a kártyát. A kártya néhány másodperc "
                   "múlva magától eltűnik, de amíg fölötte van a mutató, megmarad.",
                   "Nach einer Aufnahme erscheint unten rechts eine kleine Karte mit dem Bild und "
                   "Schaltflächen für Bearbeiten, Kopieren, Anpinnen, Sichern und, wenn ein Server "
                   "eingerichtet ist, Hochladen. Ein Klick auf das Bild öffnet ebenfalls den Editor, und das "
                   "× schließt die Karte. Sie verschwindet nach ein paar Sekunden von selbst und bleibt, "
                   "solange der Zeiger darüber ist."),
                 T("The Copy, Pin and Save buttons on the card use the plain capture, exactly as it was "
                   "taken, without annotations or backdrop.",
                   "A kártya Másolás, Kitűzés és Mentés gombja a sima képet használja, pontosan úgy, ahogy "
                   "elkészült, jegyzetek és háttér nélkül.",
                   "Die Schaltflächen Kopieren, Anpinnen und Sichern auf der Karte nutzen die schlichte "
                   "Aufnahme, genau wie sie entstand, ohne Anmerkungen oder Hintergrund.")},
                {}, "preview"),
        section(T("Export shortcuts", "Exportálási billentyűparancsok", "Kurzbefehle für den Export"), {},
                {row("doc.on.doc", T("Copy", "Másolás", "Kopieren"), menuKeyHint(MainItem::copy), QString()),
                 row("square.and.arrow.down", T("Save", "Mentés", "Sichern"), menuKeyHint(MainItem::save),
                     QString()),
                 row("folder.badge.plus", T("Save as…", "Mentés másként…", "Sichern unter…"),
                     menuKeyHint(MainItem::saveAs), QString()),
                 row("pin", T("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"),
                     menuKeyHint(MainItem::pin), QString())}),
    };
    return t;
}

HelpTopic upload()
{
    HelpTopic t{"upload",
                "icloud.and.arrow.up",
                tint("blue"),
                T("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
                T("Send screenshots to a server you control – over WebDAV, FTP or SFTP – and get a link you "
                  "can paste anywhere. Nothing is sent until you set up a server and upload; the password is "
                  "kept in the keyring.",
                  "Küldd a képernyőképeket egy általad kezelt szerverre – WebDAV-on, FTP-n vagy SFTP-n –, és "
                  "kapj egy linket, amelyet bárhová beilleszthetsz. Amíg be nem állítasz egy szervert és fel "
                  "nem töltesz, semmi sem megy el; a jelszót a kulcstartó őrzi.",
                  "Sende Bildschirmfotos an einen Server, den du selbst verwaltest – per WebDAV, FTP oder "
                  "SFTP – und erhalte einen Link, den du überall einfügen kannst. Nichts wird gesendet, "
                  "bevor du einen Server einrichtest und hochlädst; das Passwort liegt im Schlüsselbund."),
                {},
                {}};
    t.sections = {
        section(T("Choose a protocol", "Protokoll választása", "Ein Protokoll wählen"),
                {T("Pick the protocol in Settings → Upload → Server. WebDAV is the default.",
                   "A protokollt a Beállítások → Feltöltés → Szerver részben választhatod ki. Az "
                   "alapértelmezés a WebDAV.",
                   "Wähle das Protokoll unter Einstellungen → Hochladen → Server. Standard ist WebDAV.")},
                {row("server.rack", T("WebDAV", "WebDAV", "WebDAV"), none(),
                     T("For Nextcloud, ownCloud or any WebDAV server. Enter the WebDAV address, for example "
                       "https://cloud.example.org/remote.php/dav/files/me; the folder set below is added to "
                       "it. Use https.",
                       "Nextcloudhoz, ownCloudhoz vagy bármely WebDAV-szerverhez. Add meg a WebDAV-címet, "
                       "például https://cloud.example.org/remote.php/dav/files/me; az alább megadott mappa "
                       "ehhez adódik hozzá. Használj https-t.",
                       "Für Nextcloud, ownCloud oder jeden WebDAV-Server. Gib die WebDAV-Adresse ein, zum "
                       "Beispiel https://cloud.example.org/remote.php/dav/files/me; der unten gewählte "
                       "Ordner wird angehängt. Nutze https.")),
                 row("network", T("FTP", "FTP", "FTP"), none(),
                     T("Plain FTP sends your password and files unencrypted. Use it only on a network you "
                       "trust. If you leave the port empty, it is 21.",
                       "A sima FTP titkosítatlanul küldi a jelszót és a fájlokat. Csak megbízható hálózaton "
                       "használd. Ha a portot üresen hagyod, 21 lesz.",
                       "Einfaches FTP sendet Passwort und Dateien unverschlüsselt. Nutze es nur in einem "
                       "Netz, dem du vertraust. Bleibt der Port leer, ist er 21.")),
                 row("key.fill", T("SFTP", "SFTP", "SFTP"), none(),
                     T("Encrypted transfer over SSH, using the system's OpenSSH sftp program. If you leave "
                       "the port empty, it is 22. You can also name an SSH key file.",
                       "Titkosított átvitel SSH-n, a rendszer OpenSSH sftp programjával. Ha a portot üresen "
                       "hagyod, 22 lesz. SSH-kulcsfájlt is megadhatsz.",
                       "Verschlüsselte Übertragung über SSH mit dem OpenSSH-Programm sftp des Systems. "
                       "Bleibt der Port leer, ist er 22. Du kannst auch eine SSH-Schlüsseldatei angeben."))}),
        section(T("Connection fields", "Kapcsolati mezők", "Verbindungsfelder"), {},
                {row("globe", T("Address or host", "Cím vagy gépnév", "Adresse oder Host"), none(),
                     T("The WebDAV address for WebDAV, or the host name for FTP and SFTP, for example "
                       "files.example.com.",
                       "WebDAV-nál a WebDAV-cím, FTP-nél és SFTP-nél a gépnév, például files.example.com.",
                       "Bei WebDAV die WebDAV-Adresse, bei FTP und SFTP der Hostname, zum Beispiel "
                       "files.example.com.")),
                 row("number", T("Port", "Port", "Port"), none(),
                     T("FTP and SFTP only. Empty means the default (21 or 22). For WebDAV, put any port into "
                       "the address.",
                       "Csak FTP-nél és SFTP-nél. Üresen az alapértelmezés (21 vagy 22). WebDAV-nál a portot "
                       "a címbe írd.",
                       "Nur FTP und SFTP. Leer bedeutet Standard (21 oder 22). Bei WebDAV gehört ein Port in "
                       "die Adresse.")),
                 row("person.fill", T("User", "Felhasználó", "Benutzer"), none(),
                     T("Your login name on the server.", "A bejelentkezési neved a szerveren.",
                       "Dein Anmeldename auf dem Server.")),
                 row("lock.fill", T("Password", "Jelszó", "Passwort"), none(),
                     T("Stored in the keyring, not in a settings file. With an SSH key file, this field "
                       "holds the key’s passphrase.",
                       "A kulcstartóban tárolódik, nem beállításfájlban. SSH-kulcsfájl esetén ez a mező a "
                       "kulcs jelmondatát tartalmazza.",
                       "Wird im Schlüsselbund gespeichert, nicht in einer Einstellungsdatei. Mit einer "
                       "SSH-Schlüsseldatei enthält dieses Feld die Passphrase des Schlüssels.")),
                 row("key.fill", T("SSH key file", "SSH kulcsfájl", "SSH-Schlüsseldatei"), none(),
                     T("SFTP only, optional. Choose the private key, for example ~/.ssh/id_ed25519.",
                       "Csak SFTP-nél, nem kötelező. Válaszd ki a privát kulcsot, például ~/.ssh/id_ed25519.",
                       "Nur SFTP, optional. Wähle den privaten Schlüssel, zum Beispiel ~/.ssh/id_ed25519."))},
                "settings-upload"),
        section(
            T("Where the files go", "Hova kerüljenek a fájlok", "Wohin die Dateien gehen"), {},
            {row("folder", T("Folder on the server", "Mappa a szerveren", "Ordner auf dem Server"), none(),
                 T("Added to the address. SFTP paths start in your home folder unless they begin with /. FTP "
                   "and SFTP create missing folders; WebDAV does not, so create the folder on the server "
                   "first.",
                   "A címhez adódik. Az SFTP-útvonalak a saját mappádban kezdődnek, hacsak nem /-rel "
                   "indulnak. Az FTP és az SFTP létrehozza a hiányzó mappákat, a WebDAV nem, ezért előbb "
                   "hozd létre a mappát a szerveren.",
                   "Wird an die Adresse angehängt. SFTP-Pfade beginnen in deinem Benutzerordner, außer sie "
                   "fangen mit / an. FTP und SFTP legen fehlende Ordner an, WebDAV nicht – lege den Ordner "
                   "also zuerst auf dem Server an.")),
             row("link",
                 T("Public URL of that folder", "A mappa nyilvános URL-je", "Öffentliche URL des Ordners"),
                 none(),
                 T("The web address where the same folder can be seen, for example "
                   "https://img.example.com/shots. It is only used to build the link. Without it, uploads "
                   "still work, but no link is copied and the history shows none.",
                   "Az a webcím, ahol ugyanez a mappa látható, például https://img.example.com/shots. Csak a "
                   "link összeállításához kell. Nélküle is működik a feltöltés, de link nem kerül a "
                   "vágólapra, és az előzmények sem mutatnak linket.",
                   "Die Webadresse, unter der derselbe Ordner zu sehen ist, zum Beispiel "
                   "https://img.example.com/shots. Sie dient nur dazu, den Link zu bilden. Ohne sie "
                   "funktionieren Uploads trotzdem, aber es wird kein Link kopiert, und der Verlauf zeigt "
                   "keinen."))}),
        section(
            T("What gets copied after an upload", "Mi kerül a vágólapra feltöltés után?",
              "Was nach einem Upload kopiert wird"),
            {T("Settings → Upload → Where the files go → After upload, copy. A successful upload shows the "
               "link in a toast as well.",
               "Beállítások → Feltöltés → Hova kerüljenek a fájlok → Feltöltés után a vágólapra. A sikeres "
               "feltöltés a linket egy értesítésben is megmutatja.",
               "Einstellungen → Hochladen → Wohin die Dateien gehen → Nach dem Hochladen kopieren. Ein "
               "erfolgreicher Upload zeigt den Link auch in einem Hinweis.")},
            {row("link", T("Link", "Link", "Link"), none(),
                 T("Only the address, for example "
                   "https://img.example.com/shots/Kaptorix%202026-10-09%2014.32.05.png",
                   "Csak a cím, például https://img.example.com/shots/Kaptorix%202026-10-09%2014.32.05.png",
                   "Nur die Adresse, zum Beispiel "
                   "https://img.example.com/shots/Kaptorix%202026-10-09%2014.32.05.png")),
             row("curlybraces", T("Markdown", "Markdown", "Markdown"), none(),
                 T("![Kaptorix 2026-10-09 14.32.05](address), for Markdown documents, wikis and chat tools "
                   "that render it. The alt text is the file name without its extension.",
                   "![Kaptorix 2026-10-09 14.32.05](cím), Markdown-dokumentumokhoz, wikikhez és az ezt "
                   "megjelenítő csevegőeszközökhöz. Az alternatív szöveg a fájlnév kiterjesztés nélkül.",
                   "![Kaptorix 2026-10-09 14.32.05](Adresse), für Markdown-Dokumente, Wikis und "
                   "Chat-Werkzeuge, die es darstellen. Der Alt-Text ist der Dateiname ohne Endung.")),
             row("chevron.left.forwardslash.chevron.right", T("HTML <img>", "HTML <img>", "HTML <img>"),
                 none(),
                 T("An <img> tag with the address and the file name as alt text, for web pages and blog "
                   "editors.",
                   "<img> tag a címmel és a fájlnévvel mint alternatív szöveggel, weboldalakhoz és "
                   "blogszerkesztőkhöz.",
                   "Ein <img>-Tag mit der Adresse und dem Dateinamen als Alt-Text, für Webseiten und "
                   "Blog-Editoren."))}),
        section(T("Test connection", "Kapcsolat tesztelése", "Verbindung testen"),
                {T("The Test connection button checks the server, the login and the folder without uploading "
                   "anything. The result appears next to the button: “Connected – the folder is reachable.” "
                   "or the error that the server returned. Test once before you rely on uploads.",
                   "A Kapcsolat tesztelése gomb feltöltés nélkül ellenőrzi a szervert, a bejelentkezést és a "
                   "mappát. Az eredmény a gomb mellett jelenik meg: „Kapcsolódva – a mappa elérhető.” vagy a "
                   "szerver által visszaadott hiba. Mielőtt a feltöltésekre hagyatkozol, tesztelj egyszer.",
                   "Die Schaltfläche Verbindung testen prüft Server, Anmeldung und Ordner, ohne etwas "
                   "hochzuladen. Das Ergebnis erscheint neben der Schaltfläche: „Verbunden – der Ordner ist "
                   "erreichbar.“ oder der Fehler, den der Server zurückgab. Teste einmal, bevor du dich auf "
                   "Uploads verlässt.")},
                {}),
        section(
            T("When uploads happen", "Mikor történik feltöltés?", "Wann hochgeladen wird"),
            {T("Every upload is a full-resolution PNG, whatever the Format setting says. The file name "
               "follows the File name pattern on the Capture & save tab.",
               "Minden feltöltés teljes felbontású PNG, bármit is mond a Formátum beállítás. A fájlnév a "
               "Rögzítés és mentés lap Fájlnév mintáját követi.",
               "Jeder Upload ist ein PNG in voller Auflösung, egal was die Einstellung Format sagt. Der "
               "Dateiname folgt dem Dateinamensmuster im Tab Aufnahme & Ablage.")},
            {row("pencil.and.outline", T("From the editor", "A szerkesztőből", "Aus dem Editor"), none(),
                 T("The Upload button in the header. Sends the finished image with your annotations and "
                   "backdrop, and copies the link if a public URL is set.",
                   "A fejléc Feltöltés gombja. A kész képet a jegyzeteiddel és a háttérrel küldi el, és ha "
                   "van nyilvános URL, kimásolja a linket.",
                   "Die Schaltfläche Hochladen in der Kopfleiste. Sendet das fertige Bild mit deinen "
                   "Anmerkungen und dem Hintergrund und kopiert den Link, wenn eine öffentliche URL gesetzt "
                   "ist.")),
             row("clock.arrow.circlepath", T("From history", "Az előzményekből", "Aus dem Verlauf"), none(),
                 T("Right-click a card → Upload.", "Jobb kattintás egy kártyán → Feltöltés.",
                   "Rechtsklick auf eine Karte → Hochladen.")),
             row("eye", T("From the quick preview", "A gyors előnézetből", "Aus der Schnellvorschau"), none(),
                 T("The Upload button, which appears only when a server is set up.",
                   "A Feltöltés gomb, amely csak beállított szerver esetén jelenik meg.",
                   "Die Schaltfläche Hochladen, die nur erscheint, wenn ein Server eingerichtet ist.")),
             row("bolt.fill", T("Automatically", "Automatikusan", "Automatisch"), none(),
                 T("Settings → Capture & save → After every capture → Upload to your server. Off by default. "
                   "When it is on, every capture is uploaded as soon as it is taken.",
                   "Beállítások → Rögzítés és mentés → Minden képernyőkép után → Feltöltés a saját "
                   "szerverre. Alapból kikapcsolva. Ha be van kapcsolva, minden kép azonnal feltöltődik, "
                   "amint elkészül.",
                   "Einstellungen → Aufnahme & Ablage → Nach jeder Aufnahme → Auf deinen Server hochladen. "
                   "Standardmäßig aus. Ist es an, wird jede Aufnahme hochgeladen, sobald sie entsteht."))}),
        section(
            T("Upload queue", "Feltöltési sor", "Upload-Warteschlange"), {},
            {row("tray.full",
                 T("Failed uploads are kept", "A sikertelen feltöltések megmaradnak",
                   "Fehlgeschlagene Uploads bleiben erhalten"),
                 none(),
                 T("If an upload fails, its PNG is kept in ~/.local/share/Kaptorix/UploadQueue and the toast "
                   "says “Upload failed – saved for a retry”. The queue survives restarts.",
                   "Ha egy feltöltés nem sikerül, a PNG-je a ~/.local/share/Kaptorix/UploadQueue mappában "
                   "marad, és az értesítés ezt írja: „A feltöltés nem sikerült – újrapróbálásra mentve”. A "
                   "sor újraindítás után is megmarad.",
                   "Schlägt ein Upload fehl, bleibt sein PNG in ~/.local/share/Kaptorix/UploadQueue, und der "
                   "Hinweis meldet „Hochladen fehlgeschlagen – zum erneuten Versuch gespeichert“. Die "
                   "Warteschlange übersteht Neustarts.")),
             row("arrow.clockwise",
                 T("Automatic retry", "Automatikus újrapróbálás", "Automatischer neuer Versuch"), none(),
                 T("Every successful upload also retries the queued ones, oldest first.",
                   "Minden sikeres feltöltés a sorban várakozókat is újrapróbálja, a legrégebbivel kezdve.",
                   "Jeder erfolgreiche Upload versucht auch die wartenden erneut, die ältesten zuerst.")),
             row("arrow.clockwise", T("Retry all", "Mind újrapróbálása", "Alle erneut versuchen"), none(),
                 T("Settings → Upload → Upload queue. Tries every item again and reports the result, for "
                   "example “2 of 3 sent.”",
                   "Beállítások → Feltöltés → Feltöltési sor. Minden elemet újrapróbál, és jelenti az "
                   "eredményt, például „2 / 3 elküldve.”",
                   "Einstellungen → Hochladen → Upload-Warteschlange. Versucht jedes Element erneut und "
                   "meldet das Ergebnis, zum Beispiel „2 von 3 gesendet.“")),
             row("trash", T("Delete an item", "Elem törlése", "Ein Element löschen"), none(),
                 T("Each item shows its file name, the number of attempts and the last error. Delete removes "
                   "the item and its PNG for good.",
                   "Minden elem mutatja a fájlnevét, a próbálkozások számát és az utolsó hibát. A Törlés "
                   "végleg eltávolítja az elemet és a PNG-jét.",
                   "Jedes Element zeigt seinen Dateinamen, die Zahl der Versuche und den letzten Fehler. "
                   "Löschen entfernt das Element und sein PNG endgültig."))}),
        section(
            T("Security and privacy", "Biztonság és adatvédelem", "Sicherheit und Datenschutz"), {},
            {row("lock.shield", T("Plain http and FTP", "Sima http és FTP", "Einfaches http und FTP"), none(),
                 T("They send the password unencrypted. Avoid them on untrusted networks; use https or SFTP "
                   "instead.",
                   "Titkosítatlanul küldik a jelszót. Nem megbízható hálózaton kerüld őket; használj "
                   "helyettük https-t vagy SFTP-t.",
                   "Sie senden das Passwort unverschlüsselt. Meide sie in nicht vertrauenswürdigen Netzen; "
                   "nutze stattdessen https oder SFTP.")),
             row("checkmark.shield", T("SFTP host keys", "SFTP-gépkulcsok", "SFTP-Hostschlüssel"), none(),
                 T("On the first connection SFTP accepts the new server and records it in "
                   "~/.ssh/known_hosts. If its key changes later, SFTP refuses the server.",
                   "Az első kapcsolódáskor az SFTP elfogadja az új szervert, és felírja a ~/.ssh/known_hosts "
                   "fájlba. Ha később megváltozik a kulcsa, az SFTP elutasítja a szervert.",
                   "Bei der ersten Verbindung akzeptiert SFTP den neuen Server und trägt ihn in "
                   "~/.ssh/known_hosts ein. Ändert sich sein Schlüssel später, lehnt SFTP den Server ab.")),
             row("link",
                 T("Anyone with the link can see the image", "A linkkel bárki láthatja a képet",
                   "Jeder mit dem Link kann das Bild sehen"),
                 none(),
                 T("Default file names contain the date and time, so they can be guessed; protect the folder "
                   "on the server for sensitive screenshots. A {title} token in the file name also puts the "
                   "app or window name into the public address.",
                   "Az alapértelmezett fájlnevek tartalmazzák a dátumot és az időt, így kitalálhatók; "
                   "érzékeny képernyőképeknél védd a mappát a szerveren. A fájlnévben lévő {title} token az "
                   "alkalmazás vagy az ablak nevét is a nyilvános címbe teszi.",
                   "Standard-Dateinamen enthalten Datum und Uhrzeit und lassen sich daher erraten; schütze "
                   "für vertrauliche Bildschirmfotos den Ordner auf dem Server. Ein Platzhalter {title} im "
                   "Dateinamen bringt zudem den App- oder Fensternamen in die öffentliche Adresse.")),
             row("exclamationmark.triangle",
                 T("Automatic upload skips redaction", "Az automatikus feltöltés kihagyja a kitakarást",
                   "Automatischer Upload überspringt das Schwärzen"),
                 none(),
                 T("With automatic upload on, the plain capture leaves your computer before you can blur or "
                   "redact it. Keep it off for sensitive work.",
                   "Bekapcsolt automatikus feltöltésnél a sima kép elhagyja a gépedet, mielőtt elmoshatnád "
                   "vagy kitakarhatnád. Érzékeny munkához hagyd kikapcsolva.",
                   "Mit automatischem Upload verlässt die schlichte Aufnahme deinen Computer, bevor du sie "
                   "weichzeichnen oder schwärzen kannst. Lass ihn bei vertraulicher Arbeit aus."))}),
    };
    return t;
}

}  // namespace

QList<HelpTopic> HelpTopicsB::topics()
{
    return {tools(), pins(), history(), exportTopic(), upload()};
}

}  // namespace kx
