// Third group of help pages, first half: ai, settings, shortcuts.
#include "help/HelpTopicsC.h"
#include "editor/ToolKind.h"
#include "help/HelpBuild.h"
#include "platform/HotKeys.h"
#include "ui/MenuKeys.h"

namespace kx::help {

HelpTopic aiTopic()
{
    HelpTopic t{
        "ai",
        "sparkles",
        tint("purple"),
        T("AI analysis", "AI-elemzés", "AI-Analyse"),
        T("Ask Claude or ChatGPT about a screenshot: describe it, review the design, find bugs, extract "
          "text, or write alt text and SEO data. You use your own API key, and nothing leaves your computer "
          "until you press Analyze.",
          "Kérdezd Claude-ot vagy a ChatGPT-t egy képernyőképről: írja le, értékelje a dizájnt, keressen "
          "hibákat, nyerje ki a szöveget, vagy írjon alternatív szöveget és SEO-adatokat. A saját "
          "API-kulcsodat használod, és amíg meg nem nyomod az Elemzés gombot, semmi sem hagyja el a gépedet.",
          "Frag Claude oder ChatGPT zu einem Bildschirmfoto: beschreiben, das Design bewerten, Fehler "
          "finden, Text extrahieren oder Alt-Text und SEO-Daten schreiben. Du nutzt deinen eigenen "
          "API-Schlüssel, und nichts verlässt deinen Computer, bevor du Analysieren drückst."),
        {},
        {}};
    t.sections = {
        section(T("Opening the panel", "A panel megnyitása", "Das Feld öffnen"),
                {T("In the editor header, click the AI button with the sparkles icon. A panel opens on the "
                   "right and shows the model in use. Close it with the × button or by clicking AI again. "
                   "The analysis uses the image you are editing, so your annotations and crop are included.",
                   "A szerkesztő fejlécében kattints a csillogás ikonos AI gombra. Jobb oldalt megnyílik egy "
                   "panel, és megmutatja a használt modellt. A × gombbal vagy az AI gombra újra kattintva "
                   "zárhatod be. Az elemzés a szerkesztett képet használja, így a jegyzeteid és a vágás is "
                   "benne vannak.",
                   "Klicke in der Kopfleiste des Editors auf die AI-Schaltfläche mit dem Funkeln. Rechts "
                   "öffnet sich ein Feld und zeigt das verwendete Modell. Schließe es mit × oder einem "
                   "erneuten Klick auf AI. Die Analyse nutzt das Bild, das du bearbeitest, deine Anmerkungen "
                   "und der Zuschnitt sind also enthalten.")},
                {}, "editor-ai"),
        section(
            T("Provider, key and model", "Szolgáltató, kulcs és modell", "Anbieter, Schlüssel und Modell"),
            {},
            {row("sparkles", T("Analysis by", "Elemzést végzi", "Analyse durch"), none(),
                 T("Settings → AI: Anthropic Claude (the default) or OpenAI ChatGPT. Only the selected "
                   "provider is used, and the panel header shows its model.",
                   "Beállítások → AI: Anthropic Claude (alapértelmezés) vagy OpenAI ChatGPT. Csak a "
                   "kiválasztott szolgáltatót használja, a panel fejléce a modelljét mutatja.",
                   "Einstellungen → AI: Anthropic Claude (Standard) oder OpenAI ChatGPT. Nur der gewählte "
                   "Anbieter wird genutzt, und der Kopf des Feldes zeigt sein Modell.")),
             row("key.fill", T("API key", "API-kulcs", "API-Schlüssel"), none(),
                 T("Your own key from the provider's account page. There is one key per provider, stored in "
                   "the keyring and never in a settings file. Clearing the field deletes it. Without a key "
                   "the panel shows “No API key yet”, and Analyze reports an error.",
                   "A saját kulcsod a szolgáltató fiókoldaláról. Szolgáltatónként egy kulcs van, a "
                   "kulcstartóban tárolva, sosem beállításfájlban. A mező törlése törli a kulcsot. Kulcs "
                   "nélkül a panel azt mutatja: „Még nincs API-kulcs”, az Elemzés pedig hibát jelez.",
                   "Dein eigener Schlüssel von der Kontoseite des Anbieters. Es gibt einen Schlüssel pro "
                   "Anbieter, gespeichert im Schlüsselbund und nie in einer Einstellungsdatei. Leeren des "
                   "Feldes löscht ihn. Ohne Schlüssel zeigt das Feld „Noch kein API-Schlüssel“, und "
                   "Analysieren meldet einen Fehler.")),
             row("cpu", T("Model", "Modell", "Modell"), none(),
                 T("Defaults: claude-sonnet-5-5 for Claude and gpt-5.5 for ChatGPT. The name is sent exactly "
                   "as you type it, so a wrong or unavailable name makes the provider return an error. Check "
                   "the exact OpenAI model name in your own account.",
                   "Alapértelmezés: claude-sonnet-5-5 a Claude-hoz és gpt-5.5 a ChatGPT-hez. A nevet "
                   "pontosan úgy küldi el, ahogy beírtad, így hibás vagy elérhetetlen névre a szolgáltató "
                   "hibát ad. A pontos OpenAI-modellnevet a saját fiókodban ellenőrizd.",
                   "Standard: claude-sonnet-5-5 für Claude und gpt-5.5 für ChatGPT. Der Name wird genau so "
                   "gesendet, wie du ihn tippst; ein falscher oder nicht verfügbarer Name führt also zu "
                   "einem Fehler des Anbieters. Prüfe den genauen OpenAI-Modellnamen in deinem eigenen "
                   "Konto.")),
             row("character.book.closed", T("Answer language", "Válasz nyelve", "Antwortsprache"), none(),
                 T("A free-text field. The default is English, or Hungarian or German while the app language "
                   "is Hungarian or German. The built-in presets ask for the answer in this language. A "
                   "custom question is sent exactly as you write it, so name the language in the question if "
                   "you need it.",
                   "Szabad szöveges mező. Az alapértelmezés angol, illetve magyar vagy német, ha az "
                   "alkalmazás nyelve magyar vagy német. A beépített sablonok ezen a nyelven kérik a "
                   "választ. A saját kérdést pontosan úgy küldi el, ahogy megírtad, ezért ha kell, nevezd "
                   "meg a nyelvet a kérdésben.",
                   "Ein Freitextfeld. Standard ist Englisch, oder Ungarisch bzw. Deutsch, solange die "
                   "App-Sprache Ungarisch oder Deutsch ist. Die eingebauten Vorlagen bitten um eine Antwort "
                   "in dieser Sprache. Eine eigene Frage wird genau so gesendet, wie du sie schreibst – "
                   "nenne die Sprache also in der Frage, wenn du sie brauchst."))},
            "settings-ai"),
        section(
            T("Presets", "Sablonok", "Vorlagen"), {},
            {row("eye", T("Describe", "Leírás", "Beschreiben"), none(),
                 T("Says which application or website is shown, what the user is doing and the key details, "
                   "in short paragraphs or bullet points. Describe and SEO results are also saved as the AI "
                   "summary of that capture in the History, so you can search for them.",
                   "Megmondja, melyik alkalmazás vagy weboldal látszik, mit csinál a felhasználó, és mik a "
                   "fő részletek, rövid bekezdésekben vagy felsorolásban. A Leírás és a SEO eredménye a kép "
                   "AI-összefoglalójaként az Előzményekbe is mentődik, így kereshetsz rájuk.",
                   "Sagt, welche Anwendung oder Website zu sehen ist, was der Nutzer tut und die wichtigsten "
                   "Details, in kurzen Absätzen oder Stichpunkten. Ergebnisse von Beschreiben und SEO werden "
                   "auch als AI-Zusammenfassung der Aufnahme im Verlauf gespeichert, damit du danach suchen "
                   "kannst.")),
             row("rectangle.3.group", T("UI / UX review", "UI/UX-értékelés", "UI/UX-Review"), none(),
                 T("Reviews the screenshot like a senior UI/UX designer: visual hierarchy, spacing, "
                   "typography, color and contrast, consistency, calls to action and usability. The most "
                   "important suggestions come first.",
                   "Tapasztalt UI/UX-tervezőként értékeli a képernyőképet: vizuális hierarchia, térközök, "
                   "tipográfia, szín és kontraszt, következetesség, cselekvésre ösztönző elemek és "
                   "használhatóság. A legfontosabb javaslatok jönnek elöl.",
                   "Bewertet das Bildschirmfoto wie ein erfahrener UI/UX-Designer: visuelle Hierarchie, "
                   "Abstände, Typografie, Farbe und Kontrast, Konsistenz, Handlungsaufforderungen und "
                   "Bedienbarkeit. Die wichtigsten Vorschläge kommen zuerst.")),
             row("ladybug",
                 T("Bugs & accessibility", "Hibák és akadálymentesség", "Fehler & Barrierefreiheit"), none(),
                 T("Looks for visible problems: broken layout, cut-off or overlapping text, error messages, "
                   "wrong or placeholder data, low contrast and other WCAG issues. Each finding gets its "
                   "location and a fix.",
                   "Látható hibákat keres: szétesett elrendezés, levágott vagy egymásra csúszó szöveg, "
                   "hibaüzenetek, hibás vagy helykitöltő adatok, gyenge kontraszt és más WCAG-problémák. "
                   "Minden találathoz megadja a helyét és a javítást.",
                   "Sucht sichtbare Probleme: zerbrochenes Layout, abgeschnittener oder überlappender Text, "
                   "Fehlermeldungen, falsche oder Platzhalterdaten, geringer Kontrast und andere "
                   "WCAG-Probleme. Jeder Befund bekommt seine Stelle und eine Lösung.")),
             row("doc.text.magnifyingglass",
                 T("Extract text & data", "Szöveg és adatok kinyerése", "Text & Daten extrahieren"), none(),
                 T("Copies out all meaningful text and data in its original structure: tables as Markdown "
                   "tables, code in fenced blocks, and no commentary. The Copy button keeps this raw "
                   "Markdown.",
                   "Minden értelmes szöveget és adatot eredeti szerkezetében ír ki: a táblázatokat "
                   "Markdown-táblázatként, a kódot kódblokkban, megjegyzés nélkül. A Másolás gomb ezt a "
                   "nyers Markdownt másolja.",
                   "Gibt allen sinnvollen Text und alle Daten in ihrer ursprünglichen Struktur aus: Tabellen "
                   "als Markdown-Tabellen, Code in Codeblöcken, ohne Kommentar. Die Schaltfläche Kopieren "
                   "behält dieses rohe Markdown.")),
             row("tag",
                 T("SEO: alt text, caption, filename", "SEO: alternatív szöveg, képaláírás, fájlnév",
                   "SEO: Alt-Text, Bildunterschrift, Dateiname"),
                 none(),
                 T("Gives an alt text of up to 125 characters, a short caption, a lowercase file name with "
                   "hyphens and no extension, and three keywords.",
                   "Legfeljebb 125 karakteres alternatív szöveget, rövid képaláírást, kisbetűs, kötőjeles, "
                   "kiterjesztés nélküli fájlnevet és három kulcsszót ad.",
                   "Liefert einen Alt-Text mit bis zu 125 Zeichen, eine kurze Bildunterschrift, einen "
                   "kleingeschriebenen Dateinamen mit Bindestrichen ohne Endung und drei Schlüsselwörter.")),
             row("questionmark.bubble", T("Custom question", "Saját kérdés", "Eigene Frage"), none(),
                 T("Type your own question or instruction in the text box that appears. An empty question "
                   "does nothing.",
                   "Írd be a saját kérdésedet vagy utasításodat a megjelenő szövegmezőbe. Az üres kérdés nem "
                   "csinál semmit.",
                   "Tippe deine eigene Frage oder Anweisung in das erscheinende Textfeld. Eine leere Frage "
                   "bewirkt nichts."))}),
        section(
            T("What is sent", "Mi megy el?", "Was gesendet wird"),
            {T("Nothing is sent until you press Analyze. Then the image as you see it in the editor "
               "(annotations and crop included, backdrop and frame not) is scaled so that its longer side is "
               "at most 1568 px, encoded as PNG, or as JPEG at 85% quality when the PNG is over 3.5 MB, and "
               "sent with the preset or question straight to the chosen provider: api.anthropic.com for "
               "Claude, api.openai.com for ChatGPT.",
               "Amíg meg nem nyomod az Elemzés gombot, semmi sem megy el. Ezután a kép, ahogy a "
               "szerkesztőben látod (jegyzetekkel és vágással, háttér és keret nélkül), úgy méreteződik, "
               "hogy hosszabbik oldala legfeljebb 1568 px legyen, PNG-ként kódolódik, vagy 85%-os minőségű "
               "JPEG-ként, ha a PNG 3,5 MB-nál nagyobb, és a sablonnal vagy kérdéssel együtt közvetlenül a "
               "választott szolgáltatóhoz megy: Claude esetén az api.anthropic.com, ChatGPT esetén az "
               "api.openai.com címre.",
               "Nichts wird gesendet, bevor du Analysieren drückst. Dann wird das Bild, wie du es im Editor "
               "siehst (mit Anmerkungen und Zuschnitt, ohne Hintergrund und Rahmen), so skaliert, dass seine "
               "längere Seite höchstens 1568 px misst, als PNG kodiert oder als JPEG mit 85% Qualität, wenn "
               "das PNG größer als 3,5 MB ist, und mit der Vorlage oder Frage direkt an den gewählten "
               "Anbieter gesendet: an api.anthropic.com für Claude, an api.openai.com für ChatGPT."),
             T("Kaptorix does not send it through any server of its own. The provider's terms and data "
               "policies apply to the request. Only one analysis runs at a time: the button is disabled "
               "while a request is running, and a request is abandoned after 120 seconds.",
               "A Kaptorix nem küldi saját szerveren keresztül. A kérésre a szolgáltató feltételei és "
               "adatkezelési szabályai vonatkoznak. Egyszerre csak egy elemzés futhat: kérés közben a gomb "
               "le van tiltva, és 120 másodperc után a kérés megszakad.",
               "Kaptorix sendet es über keinen eigenen Server. Für die Anfrage gelten die Bedingungen und "
               "Datenrichtlinien des Anbieters. Es läuft immer nur eine Analyse: Während einer Anfrage ist "
               "die Schaltfläche deaktiviert, und nach 120 Sekunden wird eine Anfrage aufgegeben.")},
            {}),
        section(
            T("Results, copy and limits", "Eredmények, másolás és korlátok",
              "Ergebnisse, Kopieren und Grenzen"),
            {T("The answer appears in the panel, where you can select and copy it. Bold text and links are "
               "formatted, while Markdown tables and code show as plain text. The Copy button copies the raw "
               "result. A new analysis replaces the result on screen.",
               "A válasz a panelen jelenik meg, ahol kijelölheted és másolhatod. A félkövér szöveg és a "
               "linkek formázottak, a Markdown-táblázatok és a kód egyszerű szövegként látszanak. A Másolás "
               "gomb a nyers eredményt másolja. Egy új elemzés felülírja a képernyőn lévő eredményt.",
               "Die Antwort erscheint im Feld, wo du sie markieren und kopieren kannst. Fetter Text und "
               "Links sind formatiert, Markdown-Tabellen und Code erscheinen als reiner Text. Die "
               "Schaltfläche Kopieren kopiert das rohe Ergebnis. Eine neue Analyse ersetzt das Ergebnis auf "
               "dem Bildschirm."),
             T("One answer is capped at 2048 tokens, so very long results can end early; narrow the question "
               "if that happens.",
               "Egy válasz legfeljebb 2048 token lehet, így a nagyon hosszú eredmények idő előtt véget "
               "érhetnek; ilyenkor szűkítsd a kérdést.",
               "Eine Antwort ist auf 2048 Tokens begrenzt, sehr lange Ergebnisse können also vorzeitig "
               "enden; grenze dann die Frage ein."),
             T("Every analysis is a paid API request, billed by Anthropic or OpenAI to your own account. "
               "Kaptorix has no subscription and does not count your usage. AI can be wrong, so check names, "
               "numbers and suggestions before you rely on them.",
               "Minden elemzés fizetős API-kérés, amelyet az Anthropic vagy az OpenAI a saját fiókodnak "
               "számláz. A Kaptorixnak nincs előfizetése, és nem számolja a használatodat. Az AI tévedhet, "
               "ezért a neveket, számokat és javaslatokat ellenőrizd, mielőtt támaszkodsz rájuk.",
               "Jede Analyse ist eine kostenpflichtige API-Anfrage, die Anthropic oder OpenAI deinem eigenen "
               "Konto berechnet. Kaptorix hat kein Abo und zählt deine Nutzung nicht. AI kann sich irren – "
               "prüfe Namen, Zahlen und Vorschläge, bevor du dich darauf verlässt.")},
            {}),
        section(T("Keep sensitive data out", "Tartsd távol az érzékeny adatokat",
                  "Vertrauliche Daten heraushalten"),
                {T("Before you press Analyze, cover passwords, card numbers and personal details with Smart "
                   "redact, Pixelate or Blur. Only the image as you see it is sent, so anything you cover is "
                   "not sent either.",
                   "Mielőtt megnyomod az Elemzés gombot, takard le a jelszavakat, kártyaszámokat és "
                   "személyes adatokat az Intelligens eltakarás funkcióval, a Pixelezéssel vagy az "
                   "Elmosással. Csak a kép "
                   "megy el úgy, ahogy látod, így amit letakartál, az sem megy el.",
                   "Bevor du Analysieren drückst, decke Passwörter, Kartennummern und persönliche Angaben "
                   "mit „Intelligentes Schwärzen“, Verpixeln oder Weichzeichnen ab. Gesendet wird nur das "
                   "Bild, wie "
                   "du es siehst – was du abdeckst, wird also auch nicht gesendet.")},
                {}),
    };
    return t;
}

HelpTopic settingsTopic()
{
    HelpTopic t{"settings",
                "gearshape.fill",
                tint("gray"),
                T("Settings reference", "Beállítások áttekintése", "Einstellungen im Überblick"),
                T("Every option in Settings, tab by tab, with its default. Open it with Settings… in the "
                  "tray menu or with Ctrl+,. Most changes apply at once; only the language needs a restart.",
                  "A Beállítások minden lehetősége, lapról lapra, az alapértékével. Megnyitás: a tálcamenü "
                  "Beállítások… pontja vagy a Ctrl+,. A legtöbb változás azonnal érvényes; csak a nyelvhez "
                  "kell újraindítás.",
                  "Jede Option der Einstellungen, Tab für Tab, mit ihrem Standardwert. Öffne sie mit "
                  "Einstellungen… im Tray-Menü oder mit Ctrl+,. Die meisten Änderungen gelten sofort; nur "
                  "die Sprache braucht einen Neustart."),
                {},
                {}};
    t.sections = {
        section(
            T("General – application", "Általános – alkalmazás", "Allgemein – Programm"),
            {T("The sidebar lists the tabs General, Shortcuts, Capture & save, Upload and AI. The Help "
               "button at its bottom opens this help.",
               "Az oldalsáv sorolja fel a lapokat: Általános, Billentyűparancsok, Rögzítés és mentés, "
               "Feltöltés és AI. Az alján lévő Súgó gomb ezt a súgót nyitja meg.",
               "Die Seitenleiste listet die Tabs Allgemein, Tastenkürzel, Aufnahme & Ablage, Hochladen und "
               "AI. Die Schaltfläche Hilfe unten öffnet diese Hilfe.")},
            {row("power", T("Launch at login", "Indítás bejelentkezéskor", "Beim Anmelden starten"), none(),
                 T("Starts Kaptorix when you log in. Off by default. It adds Kaptorix to the desktop's "
                   "autostart (~/.config/autostart/kaptorix.desktop), where you can also remove it.",
                   "Bejelentkezéskor elindítja a Kaptorixot. Alapból kikapcsolva. A Kaptorixot az asztali "
                   "környezet automatikus indításai közé veszi fel (~/.config/autostart/kaptorix.desktop), "
                   "ahonnan el is távolíthatod.",
                   "Startet Kaptorix, wenn du dich anmeldest. Standardmäßig aus. Es trägt Kaptorix in den "
                   "Autostart der Arbeitsumgebung ein (~/.config/autostart/kaptorix.desktop), wo du es auch "
                   "entfernen kannst.")),
             row("dock.rectangle",
                 T("Show taskbar icon", "Tálcaikon megjelenítése", "Taskleistensymbol anzeigen"), none(),
                 T("Off by default, so Kaptorix lives only in the tray. Turn it on to show the app in the "
                   "taskbar as well; Kaptorix's windows then also show menus at their top (File, Edit, View, "
                   "Capture, Window, Help).",
                   "Alapból kikapcsolva, így a Kaptorix csak a tálcán él. Kapcsold be, hogy az alkalmazás a "
                   "feladatsávon is megjelenjen; a Kaptorix ablakai ekkor menüsort is kapnak (Fájl, "
                   "Szerkesztés, Nézet, Rögzítés, Ablak, Súgó).",
                   "Standardmäßig aus, Kaptorix lebt dann nur im Tray. Schalte es ein, damit die App auch in "
                   "der Taskleiste erscheint; die Kaptorix-Fenster bekommen dann eine Menüleiste (Ablage, "
                   "Bearbeiten, Darstellung, Aufnahme, Fenster, Hilfe).")),
             row("character.book.closed",
                 T("Language (restart needed)", "Nyelv (újraindítás kell)", "Sprache (Neustart nötig)"),
                 none(),
                 T("English by default. Automatic follows your system language: Hungarian, German or "
                   "English, and English for any other. The other choices force one language. The change "
                   "needs a restart.",
                   "Alapból angol. Az Automatikus a rendszer nyelvét követi: magyar, német vagy angol, "
                   "bármely más nyelvnél angol. A többi választás egy nyelvet rögzít. A változáshoz "
                   "újraindítás kell.",
                   "Standardmäßig Englisch. Automatisch folgt deiner Systemsprache: Ungarisch, Deutsch oder "
                   "Englisch, bei jeder anderen Englisch. Die übrigen Einträge legen eine Sprache fest. Die "
                   "Änderung braucht einen Neustart.")),
             row("speaker.wave.2", T("Shutter sound", "Zárhang", "Auslösegeräusch"), none(),
                 T("Plays a shutter sound after each capture. On by default.",
                   "Minden képkészítés után zárhangot játszik le. Alapból bekapcsolva.",
                   "Spielt nach jeder Aufnahme ein Auslösegeräusch. Standardmäßig an.")),
             row("plus.magnifyingglass",
                 T("Magnifier while selecting", "Nagyító kijelölés közben", "Lupe beim Auswählen"), none(),
                 T("Shows a magnifier with the exact pixel while you select an area or pick a color. On by "
                   "default.",
                   "Terület kijelölése vagy színfelvétel közben nagyítót mutat a pontos pixellel. Alapból "
                   "bekapcsolva.",
                   "Zeigt beim Auswählen eines Bereichs oder Aufnehmen einer Farbe eine Lupe mit dem genauen "
                   "Pixel. Standardmäßig an."))},
            "settings-general"),
        section(
            T("General – OCR, colors and history", "Általános – OCR, színek és előzmények",
              "Allgemein – OCR, Farben und Verlauf"),
            {},
            {row("text.viewfinder", T("OCR languages", "OCR nyelvek", "OCR-Sprachen"), none(),
                 T("“auto” (default) uses your system languages that the text recognizer supports, plus "
                   "English. Enter codes such as hu-HU or en-US, separated by commas, to choose exactly. An "
                   "empty field also means auto.",
                   "Az „auto” (alapértelmezés) a rendszernyelveid közül a szövegfelismerő által "
                   "támogatottakat és az angolt használja. Pontos választáshoz írj be kódokat, például hu-HU "
                   "vagy en-US, vesszővel elválasztva. Az üres mező is auto-t jelent.",
                   "„auto“ (Standard) nutzt deine Systemsprachen, die die Texterkennung unterstützt, und "
                   "Englisch. Gib Codes wie hu-HU oder en-US durch Kommas getrennt ein, um genau zu wählen. "
                   "Ein leeres Feld bedeutet ebenfalls auto.")),
             row("eyedropper",
                 T("Copied color format", "Másolt szín formátuma", "Format der kopierten Farbe"), none(),
                 T("The format of the color code the color picker copies: HEX #A1B2C3 (default), lowercase "
                   "hex, RGB, HSL, or a SwiftUI Color(red:…) line.",
                   "A színválasztó által másolt színkód formátuma: HEX #A1B2C3 (alapértelmezés), kisbetűs "
                   "hex, RGB, HSL vagy egy SwiftUI Color(red:…) sor.",
                   "Das Format des Farbcodes, den die Farbpipette kopiert: HEX #A1B2C3 (Standard), Hex in "
                   "Kleinbuchstaben, RGB, HSL oder eine SwiftUI-Zeile Color(red:…).")),
             row("clock.arrow.circlepath",
                 T("Keep at most N captures", "Legfeljebb N kép megtartása",
                   "Höchstens N Aufnahmen behalten"),
                 none(),
                 T("Default 300, adjustable from 20 to 5000 in steps of 20. When the limit is exceeded, the "
                   "oldest captures that are not starred are deleted. The limit is applied at launch and "
                   "whenever a new capture is added.",
                   "Alapból 300, 20 és 5000 között, 20-as lépésekben állítható. Ha a korlát túllépődik, a "
                   "legrégebbi csillag nélküli képek törlődnek. A korlát induláskor és minden új kép "
                   "hozzáadásakor érvényesül.",
                   "Standard 300, einstellbar von 20 bis 5000 in Schritten von 20. Wird die Grenze "
                   "überschritten, werden die ältesten Aufnahmen gelöscht, die keine Favoriten sind. Die "
                   "Grenze gilt "
                   "beim Start und bei jeder neuen Aufnahme.")),
             row("trash", T("Delete after N days", "Törlés N nap után", "Nach N Tagen löschen"), none(),
                 T("Default 30 days (0 to 365). With 0, captures are never deleted by age. Starred captures "
                   "are never deleted automatically, neither by age nor by count.",
                   "Alapból 30 nap (0–365). 0 esetén a képek sosem törlődnek kor szerint. A csillagozott "
                   "képek sosem törlődnek automatikusan, sem kor, sem darabszám miatt.",
                   "Standard 30 Tage (0 bis 365). Bei 0 werden Aufnahmen nie nach Alter gelöscht. Favoriten "
                   "werden nie automatisch gelöscht, weder nach Alter noch nach Anzahl."))}),
        section(
            T("Shortcuts tab", "Billentyűparancsok lap", "Tab Tastenkürzel"),
            {T("Lists the ten capture actions with their current shortcut. The editor and menu shortcuts are "
               "fixed; see the shortcut cheat sheet.",
               "Felsorolja a tíz képkészítési műveletet az aktuális billentyűparancsukkal. A szerkesztő és a "
               "menük billentyűparancsai rögzítettek; lásd a billentyűparancs-puskát.",
               "Listet die zehn Aufnahmeaktionen mit ihrem aktuellen Kurzbefehl. Die Kurzbefehle von Editor "
               "und Menüs sind fest; siehe die Kurzbefehl-Übersicht.")},
            {row("keyboard",
                 T("Recording a shortcut", "Billentyűparancs rögzítése", "Einen Kurzbefehl aufnehmen"),
                 none(),
                 T("Click the field and press the new combination; it is saved at once. A combination needs "
                   "Ctrl, Alt, Shift or Super, except for the function keys F1–F12. Esc cancels recording, "
                   "and Backspace or Delete clears the field.",
                   "Kattints a mezőre, és nyomd le az új kombinációt; azonnal mentődik. A kombinációhoz "
                   "Ctrl, Alt, Shift vagy Super kell, kivéve az F1–F12 funkcióbillentyűket. Az Esc "
                   "megszakítja a rögzítést, a Backspace vagy a Delete törli a mezőt.",
                   "Klicke in das Feld und drücke die neue Kombination; sie wird sofort gespeichert. Eine "
                   "Kombination braucht Ctrl, Alt, Shift oder Super, außer bei den Funktionstasten "
                   "F1–F12. Esc bricht die Aufnahme ab, Rücktaste oder Entf leeren das Feld.")),
             row("exclamationmark.triangle", T("Warning triangle", "Figyelmeztető háromszög", "Warndreieck"),
                 none(),
                 T("Another app or the system already uses this combination, so the action may not respond. "
                   "Record a different combination.",
                   "Egy másik alkalmazás vagy a rendszer már használja ezt a kombinációt, így a művelet nem "
                   "biztos, hogy reagál. Rögzíts másik kombinációt.",
                   "Eine andere App oder das System verwendet diese Kombination bereits, die Aktion reagiert "
                   "dann womöglich nicht. Nimm eine andere Kombination auf.")),
             row("xmark.circle", T("Cleared shortcut", "Törölt billentyűparancs", "Gelöschter Kurzbefehl"),
                 none(),
                 T("A cleared action is switched off until you record a new combination. The cheat sheet "
                   "shows “–” for it.",
                   "A törölt művelet ki van kapcsolva, amíg új kombinációt nem rögzítesz. A puska „–” jelet "
                   "mutat mellette.",
                   "Eine gelöschte Aktion ist ausgeschaltet, bis du eine neue Kombination aufnimmst. Die "
                   "Übersicht zeigt dafür „–“.")),
             row("arrow.counterclockwise",
                 T("Restore defaults", "Alapértelmezések visszaállítása", "Standards wiederherstellen"),
                 K("Ctrl+Alt+1 … Ctrl+Alt+0"),
                 T("Resets all ten capture shortcuts, from Ctrl+Alt+1 for the area capture to Ctrl+Alt+0 for "
                   "the history. The defaults avoid the desktop's Print Screen shortcuts.",
                   "Mind a tíz képkészítési billentyűparancsot visszaállítja, a területkijelölés "
                   "Ctrl+Alt+1-étől az előzmények Ctrl+Alt+0-jáig. Az alapértelmezések nem ütköznek az "
                   "asztali környezet Print Screen kombinációival.",
                   "Setzt alle zehn Aufnahme-Kurzbefehle zurück, von Ctrl+Alt+1 für die Bereichsaufnahme bis "
                   "Ctrl+Alt+0 für den Verlauf. Die Standards meiden die Druck-Kurzbefehle der "
                   "Arbeitsumgebung."))}),
        section(
            T("Capture & save – after every capture", "Rögzítés és mentés – minden képernyőkép után",
              "Aufnahme & Ablage – nach jeder Aufnahme"),
            {},
            {row("pencil.and.outline",
                 T("Open in the editor", "Megnyitás a szerkesztőben", "Im Editor öffnen"), none(),
                 T("On by default. Opens every capture in the editor. When it is off, the quick preview "
                   "appears instead, if that is on.",
                   "Alapból bekapcsolva. Minden képet megnyit a szerkesztőben. Ha ki van kapcsolva, helyette "
                   "a gyors előnézet jelenik meg, ha az be van kapcsolva.",
                   "Standardmäßig an. Öffnet jede Aufnahme im Editor. Ist es aus, erscheint stattdessen die "
                   "Schnellvorschau, sofern sie an ist.")),
             row("eye", T("Show a quick preview", "Gyors előnézet", "Schnellvorschau zeigen"), none(),
                 T("On by default. A small floating preview with Edit, Copy, Pin, Save and Close buttons. It "
                   "appears only when the editor is off.",
                   "Alapból bekapcsolva. Kis lebegő előnézet Szerkesztés, Másolás, Kitűzés, Mentés és "
                   "Bezárás gombbal. Csak akkor jelenik meg, ha a szerkesztő ki van kapcsolva.",
                   "Standardmäßig an. Eine kleine schwebende Vorschau mit den Schaltflächen Bearbeiten, "
                   "Kopieren, Anpinnen, Sichern und Schließen. Sie erscheint nur, wenn der Editor aus ist.")),
             row("doc.on.doc",
                 T("Copy to clipboard", "Másolás a vágólapra", "In die Zwischenablage kopieren"), none(),
                 T("On by default. Copies the image right after the capture, even when the editor opens.",
                   "Alapból bekapcsolva. A képet rögtön a képkészítés után másolja, akkor is, ha a "
                   "szerkesztő megnyílik.",
                   "Standardmäßig an. Kopiert das Bild direkt nach der Aufnahme, auch wenn sich der Editor "
                   "öffnet.")),
             row("square.and.arrow.down",
                 T("Save to the folder below", "Mentés az alábbi mappába", "Im Ordner unten sichern"), none(),
                 T("Off by default, so files are written only when you turn this on or press Save. It uses "
                   "the folder and file name settings below.",
                   "Alapból kikapcsolva, így fájl csak akkor íródik, ha ezt bekapcsolod vagy megnyomod a "
                   "Mentés gombot. Az alábbi mappa- és fájlnév-beállításokat használja.",
                   "Standardmäßig aus, Dateien werden also nur geschrieben, wenn du dies einschaltest oder "
                   "Sichern drückst. Es nutzt die Ordner- und Dateinamen-Einstellungen unten.")),
             row("icloud.and.arrow.up",
                 T("Upload to your server", "Feltöltés a saját szerverre", "Auf deinen Server hochladen"),
                 none(),
                 T("Off by default. Uploads every capture to the server set on the Upload tab. Failed "
                   "uploads wait in the upload queue.",
                   "Alapból kikapcsolva. Minden képet feltölt a Feltöltés lapon beállított szerverre. A "
                   "sikertelen feltöltések a feltöltési sorban várnak.",
                   "Standardmäßig aus. Lädt jede Aufnahme auf den im Tab Hochladen eingerichteten Server. "
                   "Fehlgeschlagene Uploads warten in der Upload-Warteschlange.")),
             row("cursorarrow",
                 T("Include the mouse cursor (fullscreen / window)",
                   "Egérkurzor is látszódjon (teljes képernyő / ablak)",
                   "Mauszeiger einschließen (Vollbild / Fenster)"),
                 none(),
                 T("Off by default. Adds the pointer to fullscreen and window captures.",
                   "Alapból kikapcsolva. Az egérmutatót a teljes képernyős és az ablakképekre is ráteszi.",
                   "Standardmäßig aus. Fügt den Mauszeiger zu Vollbild- und Fensteraufnahmen hinzu."))},
            "settings-capture"),
        section(
            T("Capture & save – files", "Rögzítés és mentés – fájlok", "Aufnahme & Ablage – Dateien"), {},
            {row("folder", T("Folder", "Mappa", "Ordner"), none(),
                 T("Where saved images go. Leave it empty for ~/Pictures/Kaptorix, or choose another folder "
                   "with Choose…. The folder is created if it is missing.",
                   "Ide kerülnek a mentett képek. Hagyd üresen a ~/Pictures/Kaptorix mappához, vagy válassz "
                   "másikat a Választ… gombbal. A mappa létrejön, ha hiányzik.",
                   "Hierhin gehen gesicherte Bilder. Leer lassen für ~/Pictures/Kaptorix oder mit Auswählen… "
                   "einen anderen Ordner wählen. Der Ordner wird angelegt, wenn er fehlt.")),
             row("textformat", T("File name", "Fájlnév", "Dateiname"), none(),
                 T("A pattern with the tokens {YYYY} {MM} {DD} {hh} {mm} {ss} for date and time, {title} for "
                   "the app or window the capture came from (or the capture type if unknown), and {kind} for "
                   "the capture type. Default: Kaptorix {YYYY}-{MM}-{DD} {hh}.{mm}.{ss}. Slashes, colons, "
                   "question marks, asterisks, pipes, quotes and angle brackets are replaced with a hyphen. "
                   "A name already in use gets a number.",
                   "Minta a következő tokenekkel: {YYYY} {MM} {DD} {hh} {mm} {ss} a dátumhoz és az időhöz, "
                   "{title} az alkalmazáshoz vagy ablakhoz, ahonnan a kép származik (ha nem ismert, a kép "
                   "típusa), és {kind} a kép típusához. Alapértelmezés: Kaptorix {YYYY}-{MM}-{DD} "
                   "{hh}.{mm}.{ss}. A perjelek, kettőspontok, kérdőjelek, csillagok, függőleges vonalak, "
                   "idézőjelek és csúcsos zárójelek helyére kötőjel kerül. A már használt név számot kap.",
                   "Ein Muster mit den Platzhaltern {YYYY} {MM} {DD} {hh} {mm} {ss} für Datum und Uhrzeit, "
                   "{title} für die App oder das Fenster, aus dem die Aufnahme stammt (oder den Aufnahmetyp, "
                   "wenn unbekannt), und {kind} für den Aufnahmetyp. Standard: Kaptorix {YYYY}-{MM}-{DD} "
                   "{hh}.{mm}.{ss}. Schrägstriche, Doppelpunkte, Fragezeichen, Sternchen, senkrechte "
                   "Striche, Anführungszeichen und spitze Klammern werden durch einen Bindestrich ersetzt. "
                   "Ein bereits vergebener Name bekommt eine Nummer.")),
             row("photo.on.rectangle", T("Format", "Formátum", "Format"), none(),
                 T("PNG (default; lossless and keeps transparency), JPEG or HEIC. Uploads are always PNG, "
                   "whatever you choose here.",
                   "PNG (alapértelmezés; veszteségmentes és megtartja az átlátszóságot), JPEG vagy HEIC. A "
                   "feltöltések mindig PNG-k, bármit választasz itt.",
                   "PNG (Standard; verlustfrei und mit Transparenz), JPEG oder HEIC. Uploads sind immer PNG, "
                   "egal was du hier wählst.")),
             row("slider.horizontal.3", T("Quality", "Minőség", "Qualität"), none(),
                 T("Shown for JPEG and HEIC only: 40 to 100%, default 90%. Higher is sharper and gives a "
                   "larger file.",
                   "Csak JPEG-nél és HEIC-nél látszik: 40–100%, alapból 90%. A magasabb élesebb, és nagyobb "
                   "fájlt ad.",
                   "Nur bei JPEG und HEIC sichtbar: 40 bis 100%, Standard 90%. Höher ist schärfer und ergibt "
                   "eine größere Datei.")),
             row("minus.magnifyingglass",
                 T("Downscale HiDPI captures to 1x when saving", "HiDPI képek mentése 1x méretre",
                   "HiDPI-Aufnahmen beim Sichern auf 1x verkleinern"),
                 none(),
                 T("Off by default. Saves HiDPI screenshots at their logical size (at 200 %, half the width "
                   "and height) instead of full resolution. It applies to files you save, not to copies.",
                   "Alapból kikapcsolva. A HiDPI-képernyőképeket logikai méretükben menti (200 %-nál fele "
                   "akkora szélességgel és magassággal) a teljes felbontás helyett. A mentett fájlokra "
                   "vonatkozik, a másolatokra nem.",
                   "Standardmäßig aus. Sichert HiDPI-Bildschirmfotos in ihrer logischen Größe (bei 200 % "
                   "halbe Breite und Höhe) statt in voller Auflösung. Gilt für gesicherte Dateien, nicht für "
                   "Kopien."))}),
        section(
            T("Capture & save – scrolling capture", "Rögzítés és mentés – görgetős képernyőkép",
              "Aufnahme & Ablage – Scroll-Aufnahme"),
            {},
            {row("arrow.up.and.down.text.horizontal",
                 T("Maximum height", "Maximális magasság", "Maximale Höhe"), none(),
                 T("Default 30,000 px, adjustable from 4,000 to 60,000 px in steps of 2,000. A scrolling "
                   "capture stops at this height and shows “Maximum height reached”.",
                   "Alapból 30 000 px, 4000 és 60 000 px között, 2000-es lépésekben állítható. A görgetős "
                   "képernyőkép ennél a magasságnál leáll, és ezt mutatja: „Elérte a maximális magasságot”.",
                   "Standard 30.000 px, einstellbar von 4.000 bis 60.000 px in Schritten von 2.000. Eine "
                   "Scroll-Aufnahme endet bei dieser Höhe und zeigt „Maximale Höhe erreicht“.")),
             row("accessibility",
                 T("Accessibility status", "Kisegítő lehetőségek állapota", "Status der Bedienungshilfen"),
                 none(),
                 T("Shows whether Kaptorix can scroll for you (auto-scroll), which needs the X server's "
                   "XTEST extension. Without it, scroll by hand.",
                   "Megmutatja, hogy a Kaptorix görgethet-e helyetted (automatikus görgetés), amihez az "
                   "X-szerver XTEST kiterjesztése kell. Nélküle görgess kézzel.",
                   "Zeigt, ob Kaptorix für dich scrollen kann (Auto-Scroll), wofür die XTEST-Erweiterung des "
                   "X-Servers nötig ist. Ohne sie scrollst du von Hand."))}),
        section(
            T("Upload – server", "Feltöltés – szerver", "Hochladen – Server"), {},
            {row("network", T("Protocol", "Protokoll", "Protokoll"), none(),
                 T("WebDAV (default), FTP or SFTP. WebDAV and FTP use the system's curl; SFTP uses the "
                   "system's OpenSSH sftp.",
                   "WebDAV (alapértelmezés), FTP vagy SFTP. A WebDAV és az FTP a rendszer curl programját "
                   "használja, az SFTP a rendszer OpenSSH sftp programját.",
                   "WebDAV (Standard), FTP oder SFTP. WebDAV und FTP nutzen das curl des Systems, SFTP das "
                   "OpenSSH-sftp des Systems.")),
             row("server.rack",
                 T("WebDAV address or Host", "WebDAV cím vagy gépnév", "WebDAV-Adresse oder Host"), none(),
                 T("For WebDAV the full address of the server folder, for example "
                   "https://example.org/remote.php/dav/files/me; for FTP and SFTP the host name only. "
                   "Without a scheme WebDAV uses https, and plain http only when you type it.",
                   "WebDAV-nál a szervermappa teljes címe, például "
                   "https://example.org/remote.php/dav/files/me; FTP-nél és SFTP-nél csak a gépnév. Séma "
                   "nélkül a WebDAV https-t használ, sima http-t csak akkor, ha beírod.",
                   "Bei WebDAV die vollständige Adresse des Serverordners, zum Beispiel "
                   "https://example.org/remote.php/dav/files/me; bei FTP und SFTP nur der Hostname. Ohne "
                   "Schema nutzt WebDAV https, einfaches http nur, wenn du es eintippst.")),
             row("externaldrive.connected.to.line.below", T("Port", "Port", "Port"), none(),
                 T("FTP and SFTP only. Empty means the default: 21 for FTP, 22 for SFTP.",
                   "Csak FTP-nél és SFTP-nél. Üresen az alapértelmezés: FTP-nél 21, SFTP-nél 22.",
                   "Nur FTP und SFTP. Leer bedeutet Standard: 21 für FTP, 22 für SFTP.")),
             row("person.badge.key", T("User and password", "Felhasználó és jelszó", "Benutzer und Passwort"),
                 none(),
                 T("The login name and password. The password is kept in the keyring, not in the settings "
                   "file. For SFTP without a key file, the password is used to sign in.",
                   "A bejelentkezési név és a jelszó. A jelszót a kulcstartó őrzi, nem a beállításfájl. "
                   "Kulcsfájl nélküli SFTP-nél a jelszóval jelentkezik be.",
                   "Anmeldename und Passwort. Das Passwort liegt im Schlüsselbund, nicht in der "
                   "Einstellungsdatei. Bei SFTP ohne Schlüsseldatei dient das Passwort zur Anmeldung.")),
             row("key.fill", T("SSH key file (SFTP)", "SSH kulcsfájl (SFTP)", "SSH-Schlüsseldatei (SFTP)"),
                 none(),
                 T("Optional path to a private key, for example ~/.ssh/id_ed25519, chosen with Choose…. When "
                   "it is set, the password field becomes the key passphrase, which is also kept in the "
                   "keyring.",
                   "Nem kötelező útvonal egy privát kulcshoz, például ~/.ssh/id_ed25519, a Választ… gombbal "
                   "kiválasztva. Ha meg van adva, a jelszómező a kulcs jelmondata lesz, amelyet szintén a "
                   "kulcstartó őriz.",
                   "Optionaler Pfad zu einem privaten Schlüssel, zum Beispiel ~/.ssh/id_ed25519, gewählt mit "
                   "Auswählen…. Ist er gesetzt, wird das Passwortfeld zur Passphrase des Schlüssels, die "
                   "ebenfalls im Schlüsselbund liegt."))}),
        section(
            T("Upload – folder, links and queue", "Feltöltés – mappa, linkek és sor",
              "Hochladen – Ordner, Links und Warteschlange"),
            {},
            {row("folder", T("Folder on the server", "Mappa a szerveren", "Ordner auf dem Server"), none(),
                 T("Where the files go. WebDAV does not create it, so make it on the server first. FTP and "
                   "SFTP create missing folders. On SFTP a leading / means an absolute path; otherwise the "
                   "path is relative to your home folder.",
                   "Ide kerülnek a fájlok. A WebDAV nem hozza létre, ezért előbb hozd létre a szerveren. Az "
                   "FTP és az SFTP létrehozza a hiányzó mappákat. SFTP-n a kezdő / abszolút útvonalat "
                   "jelent, egyébként az útvonal a saját mappádhoz képest értendő.",
                   "Wohin die Dateien gehen. WebDAV legt ihn nicht an, erstelle ihn also zuerst auf dem "
                   "Server. FTP und SFTP legen fehlende Ordner an. Bei SFTP bedeutet ein führendes / einen "
                   "absoluten Pfad; sonst ist der Pfad relativ zu deinem Benutzerordner.")),
             row("link",
                 T("Public URL of that folder", "A mappa nyilvános URL-je", "Öffentliche URL des Ordners"),
                 none(),
                 T("The web address where the same folder is visible, for example "
                   "https://img.example.com/shots. Kaptorix adds the file name to it to build the link. "
                   "Without it nothing is copied as a link and the notice only says “Uploaded”.",
                   "Az a webcím, ahol ugyanez a mappa látható, például https://img.example.com/shots. A "
                   "Kaptorix ehhez fűzi a fájlnevet, így áll össze a link. Nélküle link nem kerül a "
                   "vágólapra, és az értesítés csak annyit mond: „Feltöltve”.",
                   "Die Webadresse, unter der derselbe Ordner sichtbar ist, zum Beispiel "
                   "https://img.example.com/shots. Kaptorix hängt den Dateinamen an, um den Link zu bilden. "
                   "Ohne sie wird kein Link kopiert, und der Hinweis sagt nur „Hochgeladen“.")),
             row("text.quote",
                 T("After upload, copy", "Feltöltés után a vágólapra", "Nach dem Hochladen kopieren"), none(),
                 T("Link (default), a Markdown image line with the alt text, or an HTML img tag. It decides "
                   "what goes to the clipboard after each successful upload.",
                   "Link (alapértelmezés), Markdown-képsor alternatív szöveggel, vagy HTML img tag. Ez dönti "
                   "el, mi kerül a vágólapra minden sikeres feltöltés után.",
                   "Link (Standard), eine Markdown-Bildzeile mit Alt-Text oder ein HTML-img-Tag. Bestimmt, "
                   "was nach jedem erfolgreichen Upload in die Zwischenablage kommt.")),
             row("checkmark.circle", T("Test connection", "Kapcsolat tesztelése", "Verbindung testen"),
                 none(),
                 T("Checks that the server answers, the login works and the folder exists. The result "
                   "appears next to the button, for example “Connected – the folder is reachable.”",
                   "Ellenőrzi, hogy a szerver válaszol-e, a bejelentkezés működik-e, és létezik-e a mappa. "
                   "Az eredmény a gomb mellett jelenik meg, például: „Kapcsolódva – a mappa elérhető.”",
                   "Prüft, ob der Server antwortet, die Anmeldung klappt und der Ordner existiert. Das "
                   "Ergebnis erscheint neben der Schaltfläche, zum Beispiel „Verbunden – der Ordner ist "
                   "erreichbar.“")),
             row("tray.full", T("Upload queue", "Feltöltési sor", "Upload-Warteschlange"), none(),
                 T("A failed upload is kept as a PNG and listed here. Retry all sends the list again, and "
                   "every successful upload also retries the queue. Delete removes an item for good.",
                   "A sikertelen feltöltés PNG-ként megmarad, és itt látszik. A Mind újrapróbálása újra "
                   "elküldi a listát, és minden sikeres feltöltés is újrapróbálja a sort. A Törlés végleg "
                   "eltávolít egy elemet.",
                   "Ein fehlgeschlagener Upload bleibt als PNG erhalten und steht hier. Alle erneut "
                   "versuchen sendet die Liste noch einmal, und jeder erfolgreiche Upload versucht die "
                   "Warteschlange ebenfalls. Löschen entfernt ein Element endgültig.")),
             row("lock.shield", T("Security", "Biztonság", "Sicherheit"), none(),
                 T("HTTPS WebDAV and SFTP are encrypted. Plain http and FTP send the password unencrypted, "
                   "so avoid them on untrusted networks. On the first SFTP connection the server is trusted "
                   "and saved in ~/.ssh/known_hosts; the connection is refused later if its key changes.",
                   "A HTTPS-es WebDAV és az SFTP titkosított. A sima http és az FTP titkosítatlanul küldi a "
                   "jelszót, ezért nem megbízható hálózaton kerüld őket. Az első SFTP-kapcsolódáskor a "
                   "szerver megbízhatónak számít, és a ~/.ssh/known_hosts fájlba kerül; ha később "
                   "megváltozik a kulcsa, a kapcsolódás elutasításra kerül.",
                   "HTTPS-WebDAV und SFTP sind verschlüsselt. Einfaches http und FTP senden das Passwort "
                   "unverschlüsselt, meide sie also in nicht vertrauenswürdigen Netzen. Bei der ersten "
                   "SFTP-Verbindung wird dem Server vertraut und er wird in ~/.ssh/known_hosts gespeichert; "
                   "ändert sich später sein Schlüssel, wird die Verbindung abgelehnt."))}),
        section(
            T("AI tab", "AI lap", "Tab AI"),
            {T("A summary of the four options. The AI analysis topic explains the presets and what is sent.",
               "A négy beállítás összefoglalása. Az AI-elemzés téma elmagyarázza a sablonokat és azt, hogy "
               "mi megy el.",
               "Eine Übersicht der vier Optionen. Das Thema AI-Analyse erklärt die Vorlagen und was gesendet "
               "wird.")},
            {row("sparkles", T("Analysis by", "Elemzést végzi", "Analyse durch"), none(),
                 T("Anthropic Claude (default) or OpenAI ChatGPT. Each has its own API key, stored in the "
                   "keyring.",
                   "Anthropic Claude (alapértelmezés) vagy OpenAI ChatGPT. Mindegyiknek saját API-kulcsa "
                   "van, a kulcstartóban tárolva.",
                   "Anthropic Claude (Standard) oder OpenAI ChatGPT. Jeder hat seinen eigenen API-Schlüssel, "
                   "gespeichert im Schlüsselbund.")),
             row("key.fill", T("API key", "API-kulcs", "API-Schlüssel"), none(),
                 T("Entered in the secure field. It is saved while you type; an empty field removes it.",
                   "A biztonságos mezőbe kell beírni. Gépelés közben mentődik; az üres mező eltávolítja.",
                   "Wird im geschützten Feld eingegeben. Es wird beim Tippen gespeichert; ein leeres Feld "
                   "entfernt es.")),
             row("cpu", T("Model", "Modell", "Modell"), none(),
                 T("Used exactly as typed. Defaults: claude-sonnet-5-5 and gpt-5.5.",
                   "Pontosan úgy használja, ahogy beírtad. Alapértelmezés: claude-sonnet-5-5 és gpt-5.5.",
                   "Wird genau so verwendet, wie getippt. Standard: claude-sonnet-5-5 und gpt-5.5.")),
             row("character.book.closed", T("Answer language", "Válasz nyelve", "Antwortsprache"), none(),
                 T("Free text used by the built-in presets. Default: English, or Hungarian or German, "
                   "depending on the current app language.",
                   "Szabad szöveg, amelyet a beépített sablonok használnak. Alapértelmezés: angol, illetve "
                   "magyar vagy német, az alkalmazás aktuális nyelvétől függően.",
                   "Freitext, den die eingebauten Vorlagen nutzen. Standard: Englisch, oder Ungarisch bzw. "
                   "Deutsch, je nach aktueller App-Sprache."))}),
    };
    return t;
}

HelpTopic shortcutsTopic()
{
    HelpTopic t{
        "shortcuts",
        "keyboard",
        tint("orange"),
        T("Shortcut cheat sheet", "Billentyűparancs-puska", "Kurzbefehl-Übersicht"),
        T("Every keyboard shortcut in one place. The capture shortcuts work from any app and can be changed "
          "in Settings → Shortcuts. The editor and menu shortcuts are fixed.",
          "Minden billentyűparancs egy helyen. A képkészítési billentyűparancsok bármely alkalmazásból "
          "működnek, és a Beállítások → Billentyűparancsok lapon módosíthatók. A szerkesztő és a menük "
          "billentyűparancsai rögzítettek.",
          "Alle Tastenkürzel an einem Ort. Die Aufnahme-Kurzbefehle wirken in jeder App und lassen sich "
          "unter Einstellungen → Tastenkürzel ändern. Die Kurzbefehle von Editor und Menüs sind fest."),
        {},
        {}};
    QList<HelpRow> capture;
    capture.reserve(10);
    for (int i = 0; i < 10; ++i) {
        const auto action = HotKeyAction(i);
        HelpRow r;
        r.symbol = symbol(action);
        r.name = title(action);
        r.keys = HelpContent::liveKeys(action);
        r.text = HelpContent::captureText(action);
        capture.append(r);
    }
    QList<HelpRow> letters;
    for (ToolKind kind : kx::tools())
        letters.append(
            row(symbol(kind).toUtf8().constData(), title(kind), key(kind).toUpper(), QStringLiteral("")));

    t.sections = {
        section(T("Global capture shortcuts", "Globális képkészítési billentyűparancsok",
                  "Globale Aufnahme-Kurzbefehle"),
                {T("They work while Kaptorix runs. A cleared shortcut is switched off and shows “–” here.",
                   "Amíg a Kaptorix fut, működnek. A törölt billentyűparancs ki van kapcsolva, és itt „–” "
                   "jelet mutat.",
                   "Sie wirken, solange Kaptorix läuft. Ein gelöschter Kurzbefehl ist ausgeschaltet und "
                   "zeigt hier „–“.")},
                capture, "settings-shortcuts"),
        section(T("Selecting an area", "Terület kijelölése", "Bereich auswählen"), {},
                {row("hand.draw", T("Drag", "Húzás", "Ziehen"), none(),
                     T("Draws the selection rectangle. The size is shown live.",
                       "Megrajzolja a kijelölő téglalapot. A méret élőben látszik.",
                       "Zieht das Auswahlrechteck auf. Die Größe wird live angezeigt.")),
                 row("square.dashed", T("Space (hold)", "Szóköz (nyomva tartva)", "Leertaste (halten)"),
                     K("Space"),
                     T("Moves the selection instead of resizing it. Let go to resize again.",
                       "Átméretezés helyett mozgatja a kijelölést. Elengedve újra méretezhetsz.",
                       "Verschiebt die Auswahl, statt ihre Größe zu ändern. Loslassen, um wieder die Größe "
                       "zu ändern.")),
                 row("shift", QStringLiteral("Shift"), K("Shift"),
                     T("Keeps the selection a square.", "Négyzet alakban tartja a kijelölést.",
                       "Hält die Auswahl quadratisch.")),
                 row("xmark.circle",
                     T("Esc or right-click", "Esc vagy jobb kattintás", "Esc oder Rechtsklick"), K("Esc"),
                     T("Cancels the capture.", "Megszakítja a képkészítést.", "Bricht die Aufnahme ab.")),
                 row("macwindow",
                     T("Window picker: click", "Ablakválasztó: kattintás", "Fensterauswahl: Klick"), none(),
                     T("Captures the highlighted window.", "A kiemelt ablakot rögzíti.",
                       "Nimmt das hervorgehobene Fenster auf.")),
                 row("eyedropper", T("Color picker: click", "Színválasztó: kattintás", "Farbpipette: Klick"),
                     none(),
                     T("Copies the color under the pointer. Esc cancels.",
                       "Kimásolja a mutató alatti színt. Az Esc megszakítja.",
                       "Kopiert die Farbe unter dem Zeiger. Esc bricht ab."))}),
        section(
            T("Scrolling capture", "Görgetős rögzítés", "Scroll-Aufnahme"),
            {T("While the capture runs, these keys work from any app.",
               "Amíg a rögzítés fut, ezek a billentyűk bármely alkalmazásból működnek.",
               "Während die Aufnahme läuft, wirken diese Tasten in jeder App.")},
            {row("checkmark.circle", T("Done", "Kész", "Fertig"), K("Enter"),
                 T("Keeps what has been captured so far and saves it. Keypad Enter works too.",
                   "Megtartja és menti az eddig rögzítetteket. A numerikus billentyűzet Enterje is működik.",
                   "Behält das bisher Aufgenommene und sichert es. Die Eingabetaste des Ziffernblocks geht "
                   "auch.")),
             row("xmark.octagon", T("Cancel", "Megszakítás", "Abbrechen"), K("Esc"),
                 T("Stops the capture and saves nothing.", "Leállítja a rögzítést, és semmit sem ment.",
                   "Beendet die Aufnahme und sichert nichts."))}),
        section(
            T("Editor – files and window", "Szerkesztő – fájlok és ablak", "Editor – Dateien und Fenster"),
            {},
            {row("doc.on.doc", T("Copy", "Másolás", "Kopieren"), menuKeyHint(MainItem::copy),
                 T("Copies the finished image. Repeats your last choice of Copy or Copy and close.",
                   "A kész képet másolja. A Másolás vagy a Másolás és bezárás közül a legutóbbi "
                   "választásodat ismétli.",
                   "Kopiert das fertige Bild. Wiederholt deine letzte Wahl zwischen Kopieren und Kopieren "
                   "und schließen.")),
             row("square.and.arrow.down",
                 T("Save / Save as…", "Mentés / Mentés másként…", "Sichern / Sichern unter…"),
                 keys(MainItem::save, MainItem::saveAs),
                 T("Saves the image to your screenshot folder, or lets you choose the place and format.",
                   "A képet a képernyőkép-mappádba menti, vagy hagyja, hogy kiválaszd a helyet és a "
                   "formátumot.",
                   "Sichert das Bild in deinem Bildschirmfoto-Ordner oder lässt dich Ort und Format "
                   "wählen.")),
             row("pin", T("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften"),
                 menuKeyHint(MainItem::pin),
                 T("Keeps the image floating above all windows.",
                   "A képet minden ablak fölött lebegve tartja.",
                   "Lässt das Bild über allen Fenstern schweben.")),
             row("arrow.uturn.backward", T("Undo / Redo", "Visszavonás / Újra", "Widerrufen / Wiederholen"),
                 keys(MainItem::undo, MainItem::redo),
                 T("Takes back or brings back the last change.",
                   "Visszavonja vagy visszahozza az utolsó változtatást.",
                   "Nimmt die letzte Änderung zurück oder stellt sie wieder her.")),
             row("folder", T("Open image…", "Kép megnyitása…", "Bild öffnen…"),
                 menuKeyHint(MainItem::openImage),
                 T("Opens an image file in the editor.", "Képfájlt nyit meg a szerkesztőben.",
                   "Öffnet eine Bilddatei im Editor.")),
             row("doc.on.clipboard",
                 T("Edit image from clipboard", "Kép szerkesztése a vágólapról",
                   "Bild aus der Zwischenablage bearbeiten"),
                 menuKeyHint(MainItem::openClipboard),
                 T("Opens the image that is on the clipboard in the editor.",
                   "A vágólapon lévő képet megnyitja a szerkesztőben.",
                   "Öffnet das Bild aus der Zwischenablage im Editor.")),
             row("clock.arrow.circlepath", T("History", "Előzmények", "Verlauf"),
                 menuKeyHint(MainItem::history),
                 T("Opens the History window.", "Megnyitja az Előzmények ablakot.",
                   "Öffnet das Verlaufsfenster.")),
             row("gearshape.fill", T("Settings…", "Beállítások…", "Einstellungen…"),
                 menuKeyHint(MainItem::settings),
                 T("Opens the Settings window.", "Megnyitja a Beállítások ablakot.",
                   "Öffnet das Einstellungsfenster.")),
             row("questionmark.circle", T("Kaptorix Help", "Kaptorix súgó", "Kaptorix-Hilfe"),
                 allKeys(MainItem::help),
                 T("Opens this help.", "Megnyitja ezt a súgót.", "Öffnet diese Hilfe.")),
             row("macwindow", T("Close window", "Ablak bezárása", "Fenster schließen"),
                 menuKeyHint(MainItem::close),
                 T("Closes the front window.", "Bezárja az elöl lévő ablakot.",
                   "Schließt das vordere Fenster.")),
             row(nullptr, T("Minimize", "Kis méret", "Minimieren"), menuKeyHint(MainItem::minimize),
                 QStringLiteral("")),
             row(nullptr, T("Hide / Quit", "Elrejtés / Kilépés", "Ausblenden / Beenden"),
                 keys(MainItem::hide, MainItem::quit), QStringLiteral(""))}),
        section(
            T("Editor – zoom and objects", "Szerkesztő – nagyítás és objektumok",
              "Editor – Zoom und Objekte"),
            {},
            {row("plus.magnifyingglass",
                 T("Zoom in / out", "Nagyítás / kicsinyítés", "Vergrößern / verkleinern"),
                 keys(MainItem::zoomIn, MainItem::zoomOut),
                 T("Hold Ctrl and scroll to zoom as well.",
                   "A Ctrl nyomva tartása melletti görgetés is nagyít.",
                   "Mit gedrückter Ctrl-Taste scrollen zoomt ebenfalls.")),
             row("arrow.up.left.and.down.right.magnifyingglass",
                 T("Fit / actual size", "Illesztés / eredeti méret", "Einpassen / Originalgröße"),
                 keys(MainItem::zoomFit, MainItem::zoomActual),
                 T("Fits the image to the window, or shows it at 100%.",
                   "A képet az ablakhoz illeszti, vagy 100%-on mutatja.",
                   "Passt das Bild ins Fenster ein oder zeigt es mit 100%.")),
             row("square.stack.3d.up",
                 T("Bring to front / send to back", "Előre hozás / hátra küldés", "Nach vorn / nach hinten"),
                 keys(MainItem::bringToFront, MainItem::sendToBack),
                 T("Changes the stacking order of the selected object.",
                   "Módosítja a kijelölt objektum helyét a rétegsorrendben.",
                   "Ändert die Stapelreihenfolge des ausgewählten Objekts.")),
             row("cursorarrow.click.2", T("Select an object", "Objektum kijelölése", "Objekt auswählen"),
                 K("Ctrl+click"),
                 T("Selects an object even while another tool is active.",
                   "Akkor is kijelöl egy objektumot, ha más eszköz aktív.",
                   "Wählt ein Objekt aus, auch wenn ein anderes Werkzeug aktiv ist.")),
             row("trash", T("Delete object", "Objektum törlése", "Objekt löschen"), K("Backspace"),
                 T("Removes the selected object. Esc deselects.",
                   "Eltávolítja a kijelölt objektumot. Az Esc megszünteti a kijelölést.",
                   "Entfernt das ausgewählte Objekt. Esc hebt die Auswahl auf.")),
             row("arrow.up.and.down.and.arrow.left.and.right",
                 T("Nudge the selection", "A kijelölés finom mozgatása", "Auswahl verschieben"), K("← → ↑ ↓"),
                 T("Moves the selected object 1 px; with Shift, 10 px.",
                   "A kijelölt objektumot 1 px-lel mozgatja; Shifttel 10 px-lel.",
                   "Verschiebt das ausgewählte Objekt um 1 px; mit Shift-Taste um 10 px.")),
             row("crop",
                 T("Apply or cancel a crop", "Vágás alkalmazása vagy elvetése",
                   "Zuschnitt anwenden oder abbrechen"),
                 K("Enter / Esc"),
                 T("Return applies an active crop; Esc cancels it.",
                   "Az Enter alkalmazza a folyamatban lévő vágást, az Esc elveti.",
                   "Eingabe wendet einen laufenden Zuschnitt an; Esc bricht ihn ab.")),
             row("textformat", T("Finish typing text", "Szövegírás befejezése", "Texteingabe beenden"),
                 K("Esc / Ctrl+Enter"),
                 T("Ends a text annotation and keeps it.", "Befejezi a szöveges jegyzetet, és megtartja.",
                   "Beendet eine Textanmerkung und behält sie.")),
             row("hand.raised.fill",
                 T("Shift while drawing", "Shift rajzolás közben", "Shift-Taste beim Zeichnen"), K("Shift"),
                 T("Lines snap to 45°, rectangles become squares, ellipses circles, and the pen and "
                   "highlighter draw straight.",
                   "A vonalak 45°-ra igazodnak, a téglalapokból négyzet, az ellipszisekből kör lesz, a toll "
                   "és a kiemelő egyenest húz.",
                   "Linien rasten bei 45° ein, Rechtecke werden zu Quadraten, Ellipsen zu Kreisen, und Stift "
                   "und Textmarker zeichnen gerade."))}),
        section(T("Editor – tool letters", "Szerkesztő – eszközbetűk", "Editor – Werkzeugbuchstaben"),
                {T("Press a letter without Ctrl, Alt or Super to switch tool.",
                   "Eszközváltáshoz nyomj meg egy betűt Ctrl, Alt és Super nélkül.",
                   "Drücke einen Buchstaben ohne Ctrl, Alt oder Super, um das Werkzeug zu wechseln.")},
                letters),
        section(
            T("Pins", "Kitűzések", "Pins"), {},
            {row("plus.magnifyingglass", T("Zoom", "Nagyítás", "Zoom"), K("+ / −"),
                 T("While a pin has focus, + and − zoom it in steps of about 10%.",
                   "Ha egy kitűzésen van a fókusz, a + és a − nagyjából 10%-os lépésekben nagyítja.",
                   "Hat ein Pin den Fokus, zoomen + und − ihn in Schritten von etwa 10%.")),
             row("circle.lefthalf.filled", T("Opacity", "Átlátszóság", "Deckkraft"),
                 K("Ctrl + Shift + scroll"),
                 T("Hold Ctrl and Shift while scrolling to fade the pin.",
                   "Görgetés közben tartsd lenyomva a Ctrl és a Shift billentyűt a kitűzés halványításához.",
                   "Halte beim Scrollen Ctrl und Shift gedrückt, um den Pin abzublenden.")),
             row("xmark.circle", T("Close", "Bezárás", "Schließen"), K("Esc"),
                 T("Closes the pin. Double-clicking it does the same.",
                   "Bezárja a kitűzést. Dupla kattintással is megy.",
                   "Schließt den Pin. Ein Doppelklick tut dasselbe."))}),
    };
    return t;
}

}  // namespace kx::help
