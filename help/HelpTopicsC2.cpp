// Third group of help pages, second half: privacy, trouble, contact.
#include "help/HelpBuild.h"
#include "help/HelpTopicsC.h"
#include "platform/HotKeys.h"

namespace kx::help {

namespace {

// Help links exist only in builds configured with the maker's addresses.
QString nothingElseText()
{
    if (HelpContent::contactWebsite().isEmpty() && HelpContent::contactEmail().isEmpty())
        return T("No analytics, no usage tracking, no account and no update check.",
                 "Nincs analitika, használatkövetés, fiók és frissítéskeresés.",
                 "Keine Analyse, keine Nutzungsverfolgung, kein Konto und keine Update-Prüfung.");
    return T(
        "No analytics, no usage tracking, no account and no update check. Help links open in your "
        "browser or mail app only when you click them.",
        "Nincs analitika, használatkövetés, fiók és frissítéskeresés. A súgó linkjei csak "
        "kattintásra nyílnak meg a böngésződben vagy a levelezőprogramodban.",
        "Keine Analyse, keine Nutzungsverfolgung, kein Konto und keine Update-Prüfung. Links der "
        "Hilfe öffnen sich nur beim Anklicken in deinem Browser oder Mailprogramm.");
}

}  // namespace

HelpTopic privacyTopic()
{
    HelpTopic t{
        "privacy",
        "lock.shield",
        tint("teal"),
        T("Privacy & your data", "Adatvédelem és adataid", "Datenschutz & deine Daten"),
        T("Kaptorix has no account, no analytics and no telemetry. Screenshots stay on your computer unless "
          "you send them yourself: to the AI provider you chose, or to your own upload server.",
          "A Kaptorixnak nincs fiókja, analitikája és telemetriája. A képernyőképek a gépeden maradnak, "
          "hacsak te magad el nem küldöd őket: a választott AI-szolgáltatónak vagy a saját feltöltési "
          "szerveredre.",
          "Kaptorix hat kein Konto, keine Analyse und keine Telemetrie. Bildschirmfotos bleiben auf deinem "
          "Computer, außer du sendest sie selbst: an den gewählten AI-Anbieter oder an deinen eigenen "
          "Upload-Server."),
        {},
        {}};
    t.sections = {
        section(
            T("What stays on your computer", "Mi marad a gépeden?", "Was auf deinem Computer bleibt"), {},
            {row("clock.arrow.circlepath",
                 T("Captures and history", "Képek és előzmények", "Aufnahmen und Verlauf"), none(),
                 T("Every capture is kept in the History folder on your computer and listed in the History "
                   "window.",
                   "Minden kép a géped Előzmények mappájában marad, és az Előzmények ablakban látszik.",
                   "Jede Aufnahme bleibt im Verlaufsordner auf deinem Computer und steht im "
                   "Verlaufsfenster.")),
             row("text.viewfinder",
                 T("Text recognition and QR codes", "Szövegfelismerés és QR-kódok",
                   "Texterkennung und QR-Codes"),
                 none(),
                 T("OCR uses Tesseract and QR code and barcode reading uses ZXing, both on your computer. "
                   "Nothing is uploaded for them.",
                   "Az OCR a Tesseractot, a QR- és vonalkódolvasás a ZXinget használja, mindkettő a gépeden "
                   "fut. Ehhez semmi sem kerül feltöltésre.",
                   "OCR nutzt Tesseract, das Lesen von QR-Codes und Barcodes ZXing, beide auf deinem "
                   "Computer. Dafür wird nichts hochgeladen.")),
             row("eye.slash",
                 T("Smart redact and palette", "Intelligens eltakarás és paletta",
                   "Intelligentes Schwärzen und Palette"),
                 none(),
                 T("The pattern search for e-mail addresses, phone numbers, card numbers and tokens, and the "
                   "color palette, run locally.",
                   "Az e-mail-címek, telefonszámok, kártyaszámok és tokenek mintakeresése, valamint a "
                   "színpaletta helyben fut.",
                   "Die Mustersuche nach E-Mail-Adressen, Telefonnummern, Kartennummern und Tokens sowie die "
                   "Farbpalette laufen lokal.")),
             row("eyedropper",
                 T("Color picker, backdrop, frames and pins", "Színválasztó, háttér, keretek és kitűzések",
                   "Farbpipette, Hintergrund, Rahmen und Pins"),
                 none(),
                 T("Everything is processed and drawn on your computer.",
                   "Minden a gépeden dolgozódik fel és rajzolódik ki.",
                   "Alles wird auf deinem Computer verarbeitet und gezeichnet.")),
             row("gearshape.fill", T("Settings", "Beállítások", "Einstellungen"), none(),
                 T("Preferences are stored in ~/.config/Kaptorix/Kaptorix.conf on your computer.",
                   "A beállítások a gépeden, a ~/.config/Kaptorix/Kaptorix.conf fájlban tárolódnak.",
                   "Die Einstellungen liegen auf deinem Computer in ~/.config/Kaptorix/Kaptorix.conf."))}),
        section(
            T("What leaves your computer, and when", "Mi hagyja el a gépedet, és mikor?",
              "Was deinen Computer verlässt, und wann"),
            {},
            {row("sparkles", T("AI analysis", "AI-elemzés", "AI-Analyse"), none(),
                 T("Only when you press Analyze: the image you are editing (scaled to at most 1568 px, "
                   "without backdrop and frame) and the preset or question go to the chosen provider, to "
                   "api.anthropic.com for Anthropic Claude or to api.openai.com for OpenAI ChatGPT.",
                   "Csak ha megnyomod az Elemzés gombot: a szerkesztett kép (legfeljebb 1568 px-re "
                   "méretezve, háttér és keret nélkül) és a sablon vagy kérdés a választott szolgáltatóhoz "
                   "megy, Anthropic Claude esetén az api.anthropic.com, OpenAI ChatGPT esetén az "
                   "api.openai.com címre.",
                   "Nur wenn du Analysieren drückst: Das bearbeitete Bild (auf höchstens 1568 px skaliert, "
                   "ohne Hintergrund und Rahmen) und die Vorlage oder Frage gehen an den gewählten Anbieter, "
                   "an api.anthropic.com für Anthropic Claude oder an api.openai.com für OpenAI ChatGPT.")),
             row("icloud.and.arrow.up", T("Upload", "Feltöltés", "Hochladen"), none(),
                 T("Only when an upload runs: the capture you upload, or every capture if Upload to your "
                   "server is on. It goes to the WebDAV, FTP or SFTP server you set in Settings → Upload.",
                   "Csak feltöltéskor: a feltöltött kép, vagy minden kép, ha a Feltöltés a saját szerverre "
                   "be van kapcsolva. A Beállítások → Feltöltés lapon megadott WebDAV-, FTP- vagy "
                   "SFTP-szerverre megy.",
                   "Nur wenn ein Upload läuft: die hochgeladene Aufnahme oder jede Aufnahme, wenn Auf deinen "
                   "Server hochladen an ist. Sie geht an den WebDAV-, FTP- oder SFTP-Server aus "
                   "Einstellungen → Hochladen.")),
             row("hand.raised.fill", T("Nothing else", "Semmi más", "Sonst nichts"), none(),
                 nothingElseText())}),
        section(
            T("Where your data is stored", "Hol tárolódnak az adataid?", "Wo deine Daten liegen"), {},
            {row("folder", T("Captures", "Képek", "Aufnahmen"), none(),
                 T("~/.local/share/Kaptorix/History: one PNG per capture, a thumbnail, and index.json with "
                   "titles, recognized text, upload links and AI summaries.",
                   "~/.local/share/Kaptorix/History: képenként egy PNG, egy bélyegkép és az index.json a "
                   "címekkel, a felismert szöveggel, a feltöltési linkekkel és az AI-összefoglalókkal.",
                   "~/.local/share/Kaptorix/History: ein PNG pro Aufnahme, ein Vorschaubild und index.json "
                   "mit Titeln, erkanntem Text, Upload-Links und AI-Zusammenfassungen.")),
             row("doc.on.doc",
                 T("The history's other files", "Az előzmények további fájljai",
                   "Weitere Dateien des Verlaufs"),
                 none(),
                 T("Beside them: index.lock, which each Kaptorix of your user takes in turn; "
                   "index.<x>.journal, date, kind and title of captures index.json does not name yet; "
                   "<id>.png.removed, a deleted capture's image until index.json no longer names it; "
                   "index.json.bad-<time> and index.<x>.journal.bad-<time>, copies of a file that could not "
                   "be "
                   "read in full, kept for the records the program could not read; index.purge, the ids of "
                   "deleted captures still to be taken out of those copies.",
                   "Mellettük: index.lock, amelyet a felhasználód minden Kaptorixa felváltva zárol; "
                   "index.<x>.journal: azoknak a képeknek a dátuma, típusa és címe, amelyeket az index.json "
                   "még "
                   "nem említ; <id>.png.removed: egy törölt kép, amíg az index.json már nem említi; "
                   "index.json.bad-<idő> és index.<x>.journal.bad-<idő>: egy nem teljesen olvasható fájl "
                   "másolata, azokért a bejegyzésekért, amelyeket a program nem tudott beolvasni; "
                   "index.purge: a törölt képek azonosítói, amelyeket még ki kell venni ezekből a "
                   "másolatokból.",
                   "Daneben: index.lock, das jedes Kaptorix deines Benutzers abwechselnd sperrt; "
                   "index.<x>.journal, Datum, Art und Titel von Aufnahmen, die index.json noch nicht nennt; "
                   "<id>.png.removed, das Bild einer gelöschten Aufnahme, bis index.json sie nicht mehr "
                   "nennt; "
                   "index.json.bad-<Zeit> und index.<x>.journal.bad-<Zeit>, Kopien einer Datei, die nicht "
                   "ganz "
                   "gelesen werden konnte, aufbewahrt für die Einträge, die das Programm nicht lesen "
                   "konnte; index.purge, die Kennungen gelöschter Aufnahmen, die noch aus diesen Kopien "
                   "zu entfernen sind.")),
             row("trash", T("Deleting", "Törlés", "Löschen"), none(),
                 T("A capture you delete, or that the history's limits remove, goes from all of these files: "
                   "its "
                   "image, its thumbnail, its journal line and its records in the kept copies. A kept copy "
                   "is "
                   "removed once everything readable in it is back in index.json.",
                   "Az általad törölt vagy az előzmények korlátai miatt kikerülő kép mindezekből a fájlokból "
                   "eltűnik: a képe, a bélyegképe, a naplósora és a bejegyzései a megőrzött másolatokban. "
                   "Egy "
                   "megőrzött másolat törlődik, amint minden olvasható része újra az index.json-ban van.",
                   "Eine Aufnahme, die du löschst oder die die Grenzen des Verlaufs entfernen, verschwindet "
                   "aus "
                   "all diesen Dateien: ihr Bild, ihr Vorschaubild, ihre Journalzeile und ihre Einträge in "
                   "den "
                   "aufbewahrten Kopien. Eine aufbewahrte Kopie wird entfernt, sobald alles Lesbare darin "
                   "wieder "
                   "in index.json steht.")),
             row("tray.full", T("Failed uploads", "Sikertelen feltöltések", "Fehlgeschlagene Uploads"),
                 none(),
                 T("~/.local/share/Kaptorix/UploadQueue: the PNG files waiting to be sent, until they are "
                   "sent or deleted; queue.json, their list with each one's remote name (made of the window "
                   "title), capture and last error; uploaded-names.json, the remote names given so far, so "
                   "that no upload replaces another capture's file (once a capture is deleted, its name is "
                   "kept only as a digest); queue.lock and uploaded-names.lock, empty files that let two "
                   "running Kaptorix take turns.",
                   "~/.local/share/Kaptorix/UploadQueue: a küldésre váró PNG-fájlok, amíg el nem mennek vagy "
                   "törlöd őket; queue.json, a listájuk, mindegyik távoli nevével (az ablak címéből), "
                   "képével "
                   "és utolsó hibájával; uploaded-names.json, az eddig adott távoli nevek, hogy egy "
                   "feltöltés "
                   "se írja felül egy másik kép fájlját (egy törölt kép neve csak kivonatként marad meg); "
                   "queue.lock és uploaded-names.lock, üres fájlok, amelyekkel két futó Kaptorix sorra "
                   "kerül.",
                   "~/.local/share/Kaptorix/UploadQueue: die PNG-Dateien, die auf das Senden warten, bis sie "
                   "gesendet oder gelöscht sind; queue.json, ihre Liste mit dem entfernten Namen jeder Datei "
                   "(aus dem Fenstertitel), der Aufnahme und dem letzten Fehler; uploaded-names.json, die "
                   "bisher vergebenen entfernten Namen, damit kein Upload die Datei einer anderen Aufnahme "
                   "ersetzt (von einer gelöschten Aufnahme bleibt nur ein Prüfwert des Namens); queue.lock "
                   "und uploaded-names.lock, leere Dateien, mit denen zwei laufende Kaptorix sich "
                   "abwechseln.")),
             row("square.and.arrow.down", T("Saved images", "Mentett képek", "Gesicherte Bilder"), none(),
                 T("The folder set in Settings → Capture & save, by default ~/Pictures/Kaptorix. Files are "
                   "written only when saving is on or you press Save.",
                   "A Beállítások → Rögzítés és mentés lapon megadott mappa, alapból ~/Pictures/Kaptorix. "
                   "Fájl csak akkor íródik, ha a mentés be van kapcsolva, vagy megnyomod a Mentés gombot.",
                   "Der Ordner aus Einstellungen → Aufnahme & Ablage, standardmäßig ~/Pictures/Kaptorix. "
                   "Dateien werden nur geschrieben, wenn Sichern an ist oder du Sichern drückst.")),
             row("key.fill",
                 T("Passwords and API keys", "Jelszavak és API-kulcsok", "Passwörter und API-Schlüssel"),
                 none(),
                 T("The Anthropic and OpenAI keys and the upload password are stored in the keyring (Secret "
                   "Service) under the service name org.kaptorix.Kaptorix. Clearing a field in Settings "
                   "deletes its entry.",
                   "Az Anthropic- és OpenAI-kulcsok és a feltöltési jelszó a kulcstartóban (Secret Service) "
                   "tárolódnak, az org.kaptorix.Kaptorix szolgáltatásnév alatt. Ha a Beállításokban "
                   "kiürítesz egy mezőt, a bejegyzése törlődik.",
                   "Die Schlüssel für Anthropic und OpenAI und das Upload-Passwort liegen im Schlüsselbund "
                   "(Secret Service) unter dem Dienstnamen org.kaptorix.Kaptorix. Leeren eines Feldes in den "
                   "Einstellungen löscht seinen Eintrag.")),
             row("network", T("SFTP host keys", "SFTP-gépkulcsok", "SFTP-Hostschlüssel"), none(),
                 T("Trusted SFTP servers are listed in ~/.ssh/known_hosts, the same file OpenSSH uses.",
                   "A megbízható SFTP-szerverek a ~/.ssh/known_hosts fájlban szerepelnek, ugyanabban, "
                   "amelyet az OpenSSH használ.",
                   "Vertrauenswürdige SFTP-Server stehen in ~/.ssh/known_hosts, derselben Datei, die OpenSSH "
                   "nutzt."))}),
        section(T("Permissions", "Engedélyek", "Berechtigungen"), {},
                {row("record.circle",
                     T("Screen Recording (required)", "Képernyőfelvétel (kötelező)",
                       "Bildschirmaufnahme (erforderlich)"),
                     none(),
                     T("An X11 session lets Kaptorix see the screen without a permission; a Wayland session "
                       "without X11 cannot be captured. Kaptorix captures only when you start a capture: "
                       "with a shortcut, a menu item or a timer.",
                       "Egy X11-munkamenetben a Kaptorix engedély nélkül látja a képernyőt; X11 nélküli "
                       "Wayland-munkamenetről nem tud képet készíteni. A Kaptorix csak akkor készít képet, "
                       "ha te indítod: billentyűparanccsal, menüből vagy időzítővel.",
                       "In einer X11-Sitzung sieht Kaptorix den Bildschirm ohne Freigabe; eine "
                       "Wayland-Sitzung ohne X11 lässt sich nicht aufnehmen. Kaptorix nimmt nur auf, wenn du "
                       "eine Aufnahme startest: per Kurzbefehl, Menüeintrag oder Timer.")),
                 row("accessibility",
                     T("Accessibility (optional)", "Kisegítő lehetőségek (nem kötelező)",
                       "Bedienungshilfen (optional)"),
                     none(),
                     T("The X server's XTEST extension is used only to scroll automatically during a "
                       "scrolling capture. Nothing else is controlled.",
                       "Az X-szerver XTEST kiterjesztését csak a görgetett kép automatikus görgetéséhez "
                       "használja. Semmi mást nem vezérel.",
                       "Die XTEST-Erweiterung des X-Servers dient nur zum automatischen Scrollen bei einer "
                       "scrollenden Aufnahme. Sonst wird nichts gesteuert."))}),
        section(
            T("Keeping sensitive content safe", "Az érzékeny tartalom védelme",
              "Vertrauliche Inhalte schützen"),
            {T("Smart redact finds e-mail addresses, phone numbers, card numbers (checked with the Luhn "
               "test), IBANs, IP addresses, key-like tokens and long random strings. It works from patterns, "
               "so names, addresses and unusual data can be missed. Check the result and cover the rest by "
               "hand.",
               "Az Intelligens eltakarás megtalálja az e-mail-címeket, telefonszámokat, (Luhn-próbával "
               "ellenőrzött) "
               "kártyaszámokat, IBAN-okat, IP-címeket, kulcsszerű tokeneket és hosszú véletlen "
               "karakterláncokat. Mintákból dolgozik, így nevek, címek és szokatlan adatok kimaradhatnak. "
               "Ellenőrizd az eredményt, a többit takard le kézzel.",
               "Intelligentes Schwärzen findet E-Mail-Adressen, Telefonnummern, Kartennummern (mit dem "
               "Luhn-Test "
               "geprüft), IBANs, IP-Adressen, schlüsselartige Tokens und lange Zufallszeichenketten. Es "
               "arbeitet mit Mustern, Namen, Adressen und ungewöhnliche Daten können also übersehen werden. "
               "Prüfe das Ergebnis und decke den Rest von Hand ab."),
             T("Blur can sometimes be reversed; for secrets, Pixelate is the safer choice.",
               "Az elmosás néha visszafordítható; titkokhoz a Pixelezés a biztonságosabb választás.",
               "Weichzeichnen lässt sich manchmal umkehren; für Geheimnisse ist Verpixeln die sicherere "
               "Wahl."),
             T("Before you upload or analyze, look at the whole image: a capture shows everything on screen, "
               "including notifications and open tabs.",
               "Feltöltés vagy elemzés előtt nézd meg az egész képet: a kép mindent mutat, ami a képernyőn "
               "volt, az értesítéseket és a nyitott lapokat is.",
               "Bevor du hochlädst oder analysierst, sieh dir das ganze Bild an: Eine Aufnahme zeigt alles "
               "auf dem Bildschirm, auch Benachrichtigungen und offene Tabs."),
             T("Use HTTPS for WebDAV and SFTP for uploads. Plain http and FTP send passwords unencrypted.",
               "WebDAV-hoz HTTPS-t, feltöltéshez SFTP-t használj. A sima http és az FTP titkosítatlanul "
               "küldi a jelszavakat.",
               "Nutze HTTPS für WebDAV und SFTP für Uploads. Einfaches http und FTP senden Passwörter "
               "unverschlüsselt.")},
            {}),
    };
    return t;
}

HelpTopic troubleTopic()
{
    HelpTopic t{"trouble",
                "lifepreserver",
                tint("red"),
                T("Troubleshooting", "Hibaelhárítás", "Fehlerbehebung"),
                T("Quick fixes for the most common problems, with the exact messages Kaptorix shows.",
                  "Gyors megoldások a leggyakoribb problémákra, a Kaptorix pontos üzeneteivel.",
                  "Schnelle Lösungen für die häufigsten Probleme, mit den genauen Meldungen von Kaptorix."),
                {},
                {}};
    t.sections = {
        section(T("Screenshots", "Képernyőképek", "Bildschirmfotos"), {},
                {row("rectangle.dashed",
                     T("Screenshots are black or empty", "A képernyőképek feketék vagy üresek",
                       "Bildschirmfotos sind schwarz oder leer"),
                     none(),
                     T("Kaptorix reads the screen through X11. In a Wayland session without X11 a capture "
                       "shows a dialog explaining that Kaptorix needs an X11 session: log in to an X11 "
                       "session and start Kaptorix again.",
                       "A Kaptorix X11-en keresztül olvassa a képernyőt. X11 nélküli Wayland-munkamenetben a "
                       "képkészítés egy párbeszédablakot mutat, amely elmagyarázza, hogy a Kaptorixnak "
                       "X11-munkamenet kell: jelentkezz be X11-munkamenetbe, és indítsd újra a Kaptorixot.",
                       "Kaptorix liest den Bildschirm über X11. In einer Wayland-Sitzung ohne X11 zeigt eine "
                       "Aufnahme einen Dialog, der erklärt, dass Kaptorix eine X11-Sitzung braucht: Melde "
                       "dich in einer X11-Sitzung an und starte Kaptorix neu.")),
                 row("pin",
                     T("A pin ignores clicks", "Egy kitűzés nem reagál a kattintásra",
                       "Ein Pin ignoriert Klicks"),
                     none(),
                     T("The pin is in click-through mode, so clicks pass through it. Restore clicks from the "
                       "tray menu with Pins → Make pins clickable.",
                       "A kitűzés átkattintás módban van, így a kattintások átmennek rajta. A tálcamenü "
                       "Kitűzések → Kattinthatóvá tétel pontjával állíthatod vissza.",
                       "Der Pin ist im Durchklick-Modus, Klicks gehen also durch ihn hindurch. Stelle Klicks "
                       "im Tray-Menü mit Angeheftet → Angeheftete Bilder anklickbar machen wieder her."))}),
        section(
            T("Shortcuts and automatic scrolling", "Billentyűparancsok és automatikus görgetés",
              "Kurzbefehle und automatisches Scrollen"),
            {},
            {row("keyboard",
                 T("A shortcut does nothing", "Egy billentyűparancs nem csinál semmit",
                   "Ein Kurzbefehl bewirkt nichts"),
                 none(),
                 T("A warning triangle in Settings → Shortcuts means another app or the system already "
                   "uses the combination, so record a different one. Check that Kaptorix is running (its "
                   "tray icon is visible). A cleared shortcut is switched off, so record a new "
                   "combination for it. Restore defaults brings back Ctrl+Alt+1 to Ctrl+Alt+0.",
                   "A Beállítások → Billentyűparancsok lapon a figyelmeztető háromszög azt jelenti, hogy "
                   "egy másik alkalmazás vagy a rendszer már használja a kombinációt, ezért rögzíts "
                   "másikat. Ellenőrizd, hogy fut-e a Kaptorix (látszik-e a tálcaikonja). A törölt "
                   "billentyűparancs ki van kapcsolva, rögzíts hozzá új kombinációt. Az Alapértelmezések "
                   "visszaállítása visszahozza a Ctrl+Alt+1 – Ctrl+Alt+0 kombinációkat.",
                   "Ein Warndreieck unter Einstellungen → Tastenkürzel bedeutet, dass eine andere App "
                   "oder das System die Kombination schon verwendet – nimm eine andere auf. Prüfe, ob "
                   "Kaptorix läuft (sein Tray-Symbol ist sichtbar). Ein gelöschter Kurzbefehl ist "
                   "ausgeschaltet, nimm dafür eine neue Kombination auf. Standards wiederherstellen "
                   "bringt Ctrl+Alt+1 bis Ctrl+Alt+0 zurück.")),
             row("arrow.up.and.down.text.horizontal",
                 T("Auto-scroll does not scroll", "Az automatikus görgetés nem görget",
                   "Auto-Scroll scrollt nicht"),
                 none(),
                 T("Auto-scroll needs the X server's XTEST extension. The notice “Allow Accessibility "
                   "for auto-scroll, then try again.” means it is missing. Until then, scroll by hand: "
                   "the capture keeps working.",
                   "Az automatikus görgetéshez az X-szerver XTEST kiterjesztése kell. Az „Engedélyezd az "
                   "akadálymentesítést az automatikus görgetéshez, majd próbáld újra.” értesítés azt "
                   "jelenti, hogy hiányzik. Addig görgess kézzel: a rögzítés tovább működik.",
                   "Auto-Scroll braucht die XTEST-Erweiterung des X-Servers. Der Hinweis „Erlaube die "
                   "Bedienungshilfen für Auto-Scroll und versuche es erneut.“ bedeutet, dass sie fehlt. "
                   "Bis dahin scrolle von Hand: Die Aufnahme läuft weiter.")),
             row("exclamationmark.triangle",
                 T("Auto-scroll stops", "Az automatikus görgetés leáll", "Auto-Scroll hält an"), none(),
                 T("“Could not follow the scroll, stopped auto mode.” means the page moved in a way the "
                   "app could not track. Scroll slower, and only downwards, or continue by hand. "
                   "“Reached the end” and “Maximum height reached” are normal stops.",
                   "A „Nem sikerült követni a görgetést, az automatikus mód leállt.” azt jelenti, hogy "
                   "az oldal úgy mozdult, ahogy az alkalmazás nem tudta követni. Görgess lassabban és "
                   "csak lefelé, vagy folytasd kézzel. Az „Elérte a végét” és az „Elérte a maximális "
                   "magasságot” szabályos leállás.",
                   "„Konnte dem Scrollen nicht folgen, Automatikmodus beendet.“ bedeutet, dass sich die "
                   "Seite so bewegt hat, dass die App nicht folgen konnte. Scrolle langsamer und nur "
                   "nach unten oder mach von Hand weiter. „Ende erreicht“ und „Maximale Höhe erreicht“ "
                   "sind normale Stopps.")),
             row("exclamationmark.triangle",
                 T("Scrolling capture ended early", "A görgetős rögzítés korán véget ért",
                   "Scroll-Aufnahme vorzeitig beendet"),
                 none(),
                 T("The capture keeps what it stitched so far and names the reason under this title. "
                   "“A part of the page kept changing while it scrolled past (a video or an animation "
                   "taller than the view): the image ends there.” and “Could not follow the scroll past a "
                   "part of the page that keeps changing (a canvas or a video): the image ends there.” "
                   "mean something moving stopped the stitching: pause the video or animation, or "
                   "capture the page below it separately. “A part of the page changed after it scrolled past "
                   "(a late photo or an animation): the image ends above it.” comes when "
                   "scrolling by hand "
                   "outran a photo still loading: scroll more slowly, or use Auto-scroll, which lets the "
                   "page load first. “A blank stretch taller than the selection "
                   "could not be followed: the image ends before it.” means there was nothing to match "
                   "across it: select a taller area, or scroll past the blank part by hand. “Could not "
                   "follow the scroll: the content repeats itself, so the image is the first screen.” "
                   "comes with pages whose rows all look alike, and “Could not follow the scroll: the "
                   "image ends where stitching stopped.” with a page that jumped: scroll slower, only "
                   "downwards.",
                   "A rögzítés megtartja az eddig összefűzött képet, és e cím alatt megnevezi az okot. "
                   "Az „Az oldal egy része görgetés közben folyamatosan változott (videó vagy a nézetnél "
                   "magasabb animáció): a kép ott véget ér.” és a „Nem sikerült a görgetést egy "
                   "folyamatosan változó oldalrészen (vászon vagy videó) túl követni: a kép ott véget "
                   "ér.” azt jelenti, hogy valami mozgó megállította az összefűzést: állítsd meg a "
                   "videót vagy az animációt, vagy rögzítsd külön az alatta lévő részt. „Az oldal egy része "
                   "a kigördülése után megváltozott (késő fénykép vagy animáció): a kép fölötte véget ér.” "
                   "akkor jön, ha a kézi görgetés megelőzött egy még töltődő fényképet: "
                   "görgess lassabban, vagy használd az automatikus görgetést, amely előbb betölti az "
                   "oldalt. „A kijelölésnél "
                   "magasabb üres szakaszt nem sikerült követni: a kép előtte véget ér.” azt jelenti, "
                   "hogy nem volt mihez igazítani: jelölj ki magasabb területet, vagy görgess át kézzel "
                   "az üres részen. „Nem sikerült követni a görgetést: a tartalom ismétlődik, ezért a "
                   "kép az első képernyő.” az egyforma sorokból álló oldalaknál jön, a „Nem sikerült "
                   "követni a görgetést: a kép ott ér véget, ahol az összefűzés leállt.” pedig ugró "
                   "oldalnál: görgess lassabban, csak lefelé.",
                   "Die Aufnahme behält, was bis dahin zusammengesetzt wurde, und nennt unter diesem "
                   "Titel den Grund. „Ein Teil der Seite änderte sich beim Scrollen ständig (ein Video "
                   "oder eine Animation, höher als die Ansicht): Das Bild endet dort.“ und „Konnte dem "
                   "Scrollen über einen Teil der Seite hinaus, der sich ständig ändert (eine "
                   "Zeichenfläche oder ein Video), nicht folgen: Das Bild endet dort.“ bedeuten, dass "
                   "etwas Bewegtes das Zusammensetzen aufhielt: Halte das Video oder die Animation an "
                   "oder nimm den Teil darunter getrennt auf. „Ein Teil der Seite änderte sich nach dem "
                   "Vorbeiscrollen (ein spätes Foto oder eine Animation): Das Bild endet darüber.“ kommt, "
                   "wenn das Scrollen von Hand einem noch ladenden Foto voraus war: "
                   "Scrolle langsamer oder nutze Auto-Scroll, das die Seite zuerst lädt. „Ein leerer "
                   "Abschnitt, höher als die "
                   "Auswahl, ließ sich nicht verfolgen: Das Bild endet davor.“ bedeutet, dass es nichts "
                   "zum Abgleichen gab: Wähle einen höheren Bereich oder scrolle von Hand über den leeren "
                   "Teil. „Konnte dem Scrollen nicht folgen: Der Inhalt wiederholt sich, daher zeigt das "
                   "Bild den ersten Bildschirm.“ kommt bei Seiten, deren Zeilen alle gleich aussehen, "
                   "„Konnte dem Scrollen nicht folgen: Das Bild endet dort, wo das Zusammensetzen "
                   "aufhörte.“ bei einer Seite, die gesprungen ist: Scrolle langsamer und nur nach "
                   "unten."))}),
        section(
            T("Finding your files", "A fájljaid megtalálása", "Deine Dateien finden"), {},
            {row("folder", T("Where are my files?", "Hol vannak a fájljaim?", "Wo sind meine Dateien?"),
                 none(),
                 T("Captures are saved to a folder only when “Save to the folder below” is on, which is off "
                   "by default. Every capture is always kept in History: open the History window, then ⋯ → "
                   "Open history folder. Saved images go to the folder in Settings → Capture & save, by "
                   "default ~/Pictures/Kaptorix.",
                   "A képek csak akkor kerülnek mappába, ha a „Mentés az alábbi mappába” be van kapcsolva, "
                   "ami alapból ki van kapcsolva. Minden kép mindig megmarad az Előzményekben: nyisd meg az "
                   "Előzmények ablakot, majd ⋯ → Előzmények mappájának megnyitása. A mentett képek a "
                   "Beállítások → Rögzítés és mentés lapon megadott mappába kerülnek, alapból a "
                   "~/Pictures/Kaptorix mappába.",
                   "Aufnahmen werden nur dann in einem Ordner gesichert, wenn „Im Ordner unten sichern“ an "
                   "ist, was standardmäßig aus ist. Jede Aufnahme bleibt immer im Verlauf: Öffne das "
                   "Verlaufsfenster, dann ⋯ → Verlaufsordner öffnen. Gesicherte Bilder landen im Ordner aus "
                   "Einstellungen → Aufnahme & Ablage, standardmäßig ~/Pictures/Kaptorix.")),
             row("clock.arrow.circlepath",
                 T("Old captures disappeared", "Eltűntek a régi képek", "Alte Aufnahmen sind verschwunden"),
                 none(),
                 T("History keeps at most 300 captures and deletes those older than 30 days by default. "
                   "Change both under Settings → General, or star a capture to keep it.",
                   "Az előzmények alapból legfeljebb 300 képet tartanak meg, és törlik a 30 napnál "
                   "régebbieket. Mindkettőt a Beállítások → Általános lapon módosíthatod, vagy csillagozd "
                   "meg a megtartandó képet.",
                   "Der Verlauf behält standardmäßig höchstens 300 Aufnahmen und löscht die, die älter als "
                   "30 Tage sind. Ändere beides unter Einstellungen → Allgemein oder markiere eine Aufnahme "
                   "als "
                   "Favorit, um sie zu behalten.")),
             row("pencil.and.outline",
                 T("The editor did not open", "Nem nyílt meg a szerkesztő",
                   "Der Editor hat sich nicht geöffnet"),
                 none(),
                 T("Open in the editor is off, so the quick preview is shown instead, if that is on. Turn "
                   "the option on under Settings → Capture & save.",
                   "A Megnyitás a szerkesztőben ki van kapcsolva, ezért helyette a gyors előnézet látszik, "
                   "ha az be van kapcsolva. Kapcsold be a beállítást a Beállítások → Rögzítés és mentés "
                   "lapon.",
                   "Im Editor öffnen ist aus, stattdessen erscheint die Schnellvorschau, sofern sie an ist. "
                   "Schalte die Option unter Einstellungen → Aufnahme & Ablage ein.")),
             row("doc.on.doc",
                 T("The copied image is too large", "Túl nagy a kimásolt kép",
                   "Das kopierte Bild ist zu groß"),
                 none(),
                 T("On HiDPI displays the full resolution is copied. Use ⋯ → Copy @1x in the editor for a "
                   "smaller copy, or enable “Downscale HiDPI captures to 1x when saving” for the files you "
                   "save.",
                   "HiDPI-kijelzőn a teljes felbontás kerül a vágólapra. Kisebb másolathoz használd a "
                   "szerkesztőben a ⋯ → Másolás @1x pontot, a mentett fájlokhoz pedig kapcsold be a „HiDPI "
                   "képek mentése 1x méretre” beállítást.",
                   "Auf HiDPI-Bildschirmen wird die volle Auflösung kopiert. Nutze im Editor ⋯ → @1x "
                   "kopieren "
                   "für eine kleinere Kopie oder schalte für gesicherte Dateien „HiDPI-Aufnahmen beim "
                   "Sichern auf 1x verkleinern“ ein."))}),
        section(
            T("AI analysis", "AI-elemzés", "AI-Analyse"), {},
            {row("key.fill", T("No API key yet", "Még nincs API-kulcs", "Noch kein API-Schlüssel"), none(),
                 T("Add the key of the provider selected under Settings → AI. Each provider has its own key, "
                   "so check that the right provider is selected.",
                   "Add meg a Beállítások → AI lapon kiválasztott szolgáltató kulcsát. Minden szolgáltatónak "
                   "saját kulcsa van, ezért ellenőrizd, hogy a megfelelő van-e kiválasztva.",
                   "Trage den Schlüssel des unter Einstellungen → AI gewählten Anbieters ein. Jeder Anbieter "
                   "hat seinen eigenen Schlüssel – prüfe also, ob der richtige gewählt ist.")),
             row("exclamationmark.triangle",
                 T("API HTTP 401 or 403", "API HTTP 401 vagy 403", "API HTTP 401 oder 403"), none(),
                 T("The provider refused the key. Check that it was copied in full, has not been revoked, "
                   "and that your account has access to the model.",
                   "A szolgáltató elutasította a kulcsot. Ellenőrizd, hogy teljes egészében másoltad-e, nem "
                   "vonták-e vissza, és hogy a fiókod hozzáfér-e a modellhez.",
                   "Der Anbieter hat den Schlüssel abgelehnt. Prüfe, ob er vollständig kopiert wurde, nicht "
                   "widerrufen ist und dein Konto Zugriff auf das Modell hat.")),
             row("magnifyingglass", T("API HTTP 404", "API HTTP 404", "API HTTP 404"), none(),
                 T("The model name is unknown or not available to your account. Correct it under Settings → "
                   "AI → Model; the name is used exactly as typed.",
                   "A modellnév ismeretlen, vagy nem érhető el a fiókodnak. Javítsd a Beállítások → AI → "
                   "Modell mezőben; a nevet pontosan úgy használja, ahogy beírtad.",
                   "Der Modellname ist unbekannt oder für dein Konto nicht verfügbar. Korrigiere ihn unter "
                   "Einstellungen → AI → Modell; der Name wird genau so verwendet, wie getippt.")),
             row("clock", T("API HTTP 429", "API HTTP 429", "API HTTP 429"), none(),
                 T("Too many requests, or the usage limit is reached. Wait a moment, or check the limits and "
                   "billing on the provider's account page.",
                   "Túl sok kérés, vagy elérted a használati korlátot. Várj egy kicsit, vagy nézd meg a "
                   "korlátokat és a számlázást a szolgáltató fiókoldalán.",
                   "Zu viele Anfragen, oder das Nutzungslimit ist erreicht. Warte einen Moment oder prüfe "
                   "Limits und Abrechnung auf der Kontoseite des Anbieters.")),
             row("exclamationmark.bubble",
                 T("Other API HTTP errors", "Egyéb API HTTP-hibák", "Andere API-HTTP-Fehler"), none(),
                 T("The text after the code is the provider's own message and explains the cause. "
                   "Server-side errors (5xx) are usually temporary, so try again later.",
                   "A kód utáni szöveg a szolgáltató saját üzenete, és megmagyarázza az okot. A "
                   "szerveroldali hibák (5xx) általában átmenetiek, ezért próbáld újra később.",
                   "Der Text nach dem Code ist die eigene Meldung des Anbieters und erklärt die Ursache. "
                   "Serverseitige Fehler (5xx) sind meist vorübergehend, versuche es später erneut.")),
             row("doc.text.magnifyingglass", T("Empty response", "Üres válasz", "Leere Antwort"), none(),
                 T("The provider returned no text. Run the analysis again, or try another preset or model.",
                   "A szolgáltató nem adott vissza szöveget. Futtasd újra az elemzést, vagy próbálj másik "
                   "sablont vagy modellt.",
                   "Der Anbieter hat keinen Text geliefert. Starte die Analyse erneut oder versuche eine "
                   "andere Vorlage oder ein anderes Modell.")),
             row("wifi.exclamationmark", T("No connection", "Nincs kapcsolat", "Keine Verbindung"), none(),
                 T("A network error shows the system message, for example when you are offline. Requests are "
                   "stopped after 120 seconds.",
                   "Hálózati hibánál a rendszer üzenete látszik, például ha nincs internetkapcsolat. A "
                   "kérések 120 másodperc után leállnak.",
                   "Ein Netzwerkfehler zeigt die Meldung des Systems, etwa wenn du offline bist. Anfragen "
                   "werden nach 120 Sekunden beendet."))}),
        section(
            T("Upload problems", "Feltöltési problémák", "Probleme beim Hochladen"), {},
            {row("icloud.slash",
                 T("Upload is not configured", "A feltöltés nincs beállítva",
                   "Hochladen ist nicht eingerichtet"),
                 none(),
                 T("Enter the server address under Settings → Upload. Until then, Upload does nothing and "
                   "shows this notice.",
                   "Add meg a szerver címét a Beállítások → Feltöltés lapon. Addig a Feltöltés nem csinál "
                   "semmit, csak ezt az értesítést mutatja.",
                   "Gib die Serveradresse unter Einstellungen → Hochladen ein. Bis dahin tut Hochladen "
                   "nichts und zeigt diesen Hinweis.")),
             row("exclamationmark.bubble",
                 T("Invalid server address", "Érvénytelen szervercím", "Ungültige Serveradresse"), none(),
                 T("Check the address. WebDAV needs the full address, while FTP and SFTP need only the host "
                   "name.",
                   "Ellenőrizd a címet. A WebDAV-hoz a teljes cím kell, az FTP-hez és az SFTP-hez csak a "
                   "gépnév.",
                   "Prüfe die Adresse. WebDAV braucht die vollständige Adresse, FTP und SFTP nur den "
                   "Hostnamen.")),
             row("folder",
                 T("The folder does not exist on the server", "A mappa nem létezik a szerveren",
                   "Der Ordner existiert nicht auf dem Server"),
                 none(),
                 T("Test connection reports this when the folder is missing. Create it on the server and "
                   "test again. WebDAV never creates folders.",
                   "A Kapcsolat tesztelése ezt jelzi, ha hiányzik a mappa. Hozd létre a szerveren, és "
                   "tesztelj újra. A WebDAV sosem hoz létre mappát.",
                   "Verbindung testen meldet das, wenn der Ordner fehlt. Lege ihn auf dem Server an und "
                   "teste erneut. WebDAV legt nie Ordner an.")),
             row("xmark.octagon",
                 T("The file did not arrive on the server", "A fájl nem jelent meg a szerveren",
                   "Die Datei ist nicht auf dem Server angekommen"),
                 none(),
                 T("SFTP checked for the uploaded file and did not find it. Check the folder permissions on "
                   "the server, then try again.",
                   "Az SFTP kereste a feltöltött fájlt, de nem találta. Ellenőrizd a mappa jogosultságait a "
                   "szerveren, majd próbáld újra.",
                   "SFTP hat nach der hochgeladenen Datei gesucht und sie nicht gefunden. Prüfe die "
                   "Ordnerrechte auf dem Server und versuche es erneut.")),
             row("terminal",
                 T("Failed (exit code N)", "Sikertelen (kilépési kód: N)", "Fehlgeschlagen (Exit-Code N)"),
                 none(),
                 T("The SFTP command failed; the number is its exit code. Check the host, port, user, "
                   "password and key file, and that the server is reachable.",
                   "Az SFTP-parancs sikertelen volt; a szám a kilépési kódja. Ellenőrizd a gépnevet, a "
                   "portot, a felhasználót, a jelszót és a kulcsfájlt, valamint hogy a szerver elérhető-e.",
                   "Der SFTP-Befehl ist fehlgeschlagen; die Zahl ist sein Exit-Code. Prüfe Host, Port, "
                   "Benutzer, Passwort und Schlüsseldatei und ob der Server erreichbar ist.")),
             row("tray.full",
                 T("Upload failed – saved for a retry", "A feltöltés nem sikerült – újrapróbálásra mentve",
                   "Hochladen fehlgeschlagen – zum erneuten Versuch gespeichert"),
                 none(),
                 T("The image waits in the upload queue. When the server is reachable again, open Settings → "
                   "Upload and press Retry all. A later successful upload also retries the queue.",
                   "A kép a feltöltési sorban vár. Ha a szerver újra elérhető, nyisd meg a Beállítások → "
                   "Feltöltés lapot, és nyomd meg a Mind újrapróbálása gombot. Egy későbbi sikeres "
                   "feltöltés is újrapróbálja a sort.",
                   "Das Bild wartet in der Upload-Warteschlange. Ist der Server wieder erreichbar, öffne "
                   "Einstellungen → Hochladen und drücke Alle erneut versuchen. Ein späterer erfolgreicher "
                   "Upload versucht die Warteschlange ebenfalls.")),
             row("person.badge.key", T("Login fails", "Sikertelen bejelentkezés", "Anmeldung schlägt fehl"),
                 none(),
                 T("Check the user name and password under Settings → Upload. The password is saved to the "
                   "keyring as you type; the server's own error text appears in the notice.",
                   "Ellenőrizd a felhasználónevet és a jelszót a Beállítások → Feltöltés lapon. A jelszó "
                   "gépelés közben a kulcstartóba mentődik; a szerver saját hibaszövege az értesítésben "
                   "jelenik meg.",
                   "Prüfe Benutzername und Passwort unter Einstellungen → Hochladen. Das Passwort wird beim "
                   "Tippen im Schlüsselbund gespeichert; der eigene Fehlertext des Servers erscheint im "
                   "Hinweis."))},
            "settings-upload"),
        section(
            T("Language and help", "Nyelv és súgó", "Sprache und Hilfe"), {},
            {row("character.book.closed",
                 T("The language did not change", "Nem változott a nyelv",
                   "Die Sprache hat sich nicht geändert"),
                 none(),
                 T("Language changes need a restart: quit Kaptorix and open it again.",
                   "A nyelvváltáshoz újraindítás kell: lépj ki a Kaptorixból, és nyisd meg újra.",
                   "Sprachänderungen brauchen einen Neustart: Beende Kaptorix und öffne es wieder.")),
             row("questionmark.circle",
                 T("What does this icon do?", "Mit csinál ez az ikon?", "Was macht dieses Symbol?"), none(),
                 T("Hover over the icon and keep the pointer still for about 3 seconds; a short help bubble "
                   "appears.",
                   "Vidd a mutatót az ikon fölé, és tartsd egy helyben körülbelül 3 másodpercig; megjelenik "
                   "egy rövid súgóbuborék.",
                   "Fahre über das Symbol und halte den Zeiger etwa 3 Sekunden still; eine kurze Hilfeblase "
                   "erscheint.")),
             row("questionmark.bubble", T("Finding a topic", "Téma keresése", "Ein Thema finden"), none(),
                 T("Type in “Search help” at the top of the Help sidebar. It searches titles, texts and "
                   "shortcut keys.",
                   "Gépelj a Súgó oldalsávjának tetején lévő „Keresés a súgóban” mezőbe. Címekben, "
                   "szövegekben és billentyűparancsokban keres.",
                   "Tippe oben in der Seitenleiste der Hilfe in „Hilfe durchsuchen“. Es durchsucht Titel, "
                   "Texte und Tastenkürzel."))},
            "icon-tip"),
        section(T("Text and redaction", "Szöveg és kitakarás", "Text und Schwärzen"), {},
                {row("text.viewfinder",
                     T("No text found, or wrong text", "Nem talált szöveget, vagy hibás a szöveg",
                       "Kein Text gefunden oder falscher Text"),
                     none(),
                     T("Add the language under Settings → General → OCR languages, for example hu-HU or "
                       "en-US. Select a larger area that contains clear text.",
                       "Add hozzá a nyelvet a Beállítások → Általános → OCR nyelvek mezőben, például hu-HU "
                       "vagy en-US. Jelölj ki nagyobb, jól olvasható szöveget tartalmazó területet.",
                       "Füge die Sprache unter Einstellungen → Allgemein → OCR-Sprachen hinzu, zum Beispiel "
                       "hu-HU oder en-US. Wähle einen größeren Bereich mit klarem Text.")),
                 row("eye.slash",
                     T("Smart redact misses something", "Az Intelligens eltakarás kihagy valamit",
                       "Intelligentes Schwärzen übersieht etwas"),
                     none(),
                     T("It finds patterns only. Names, addresses and unusual data are not detected, so check "
                       "the result and cover the rest with Pixelate or Blur.",
                       "Csak mintákat talál meg. A neveket, címeket és szokatlan adatokat nem ismeri fel, "
                       "ezért ellenőrizd az eredményt, a többit takard le Pixelezéssel vagy Elmosással.",
                       "Es findet nur Muster. Namen, Adressen und ungewöhnliche Daten werden nicht erkannt – "
                       "prüfe also das Ergebnis und decke den Rest mit Verpixeln oder Weichzeichnen ab."))}),
    };
    return t;
}

HelpTopic contactTopic()
{
    HelpTopic t{"contact",
                "envelope.fill",
                tint("teal"),
                T("Contact & version", "Kapcsolat és verzió", "Kontakt & Version"),
                T("Questions, bug reports and feature requests are welcome.",
                  "Kérdéseket, hibajelentéseket és funkciókéréseket szívesen fogadunk.",
                  "Fragen, Fehlerberichte und Funktionswünsche sind willkommen."),
                {},
                {}};
    t.sections = {
        section(QStringLiteral("Orvelle Raruda"),
                {T("Kaptorix is made by Orvelle Raruda.", "A Kaptorixot az Orvelle Raruda készíti.",
                   "Kaptorix wird von Orvelle Raruda entwickelt.")},
                {}),
        section(T("Version", "Verzió", "Version"), {HelpContent::versionLine()}, {}),
        section(T("Reporting a problem", "Hiba bejelentése", "Ein Problem melden"),
                {T("Include the version and build above, your Linux distribution and desktop, the steps you "
                   "took, what you expected, and the exact message or a screenshot. That makes the problem "
                   "much quicker to find.",
                   "Írd meg a fenti verziót és buildszámot, a Linux-disztribúciódat és az asztali "
                   "környezetedet, a lépéseidet, azt, amire számítottál, és a pontos üzenetet vagy egy "
                   "képernyőképet. Így a hiba sokkal gyorsabban megtalálható.",
                   "Nenne die Version und den Build oben, deine Linux-Distribution und Arbeitsumgebung, "
                   "deine Schritte, was du erwartet hast, und die genaue Meldung oder ein Bildschirmfoto. So "
                   "ist das Problem viel schneller gefunden.")},
                {}),
        section(
            T("Help in the app", "Súgó az alkalmazásban", "Hilfe in der App"),
            {T("Open Kaptorix Help from the tray menu, or with Ctrl+? or F1. The search field in the sidebar "
               "finds any topic, and Troubleshooting covers the most common problems.",
               "A Kaptorix súgót a tálcamenüből, a Ctrl+? billentyűkkel vagy az F1-gyel nyithatod meg. Az "
               "oldalsáv "
               "keresőmezője bármelyik témát megtalálja, a Hibaelhárítás pedig a leggyakoribb "
               "problémákkal foglalkozik.",
               "Öffne die Kaptorix-Hilfe über das Tray-Menü, mit Ctrl+? oder mit F1. Das Suchfeld in der "
               "Seitenleiste findet jedes Thema, und Fehlerbehebung behandelt die häufigsten Probleme.")},
            {}),
    };
    t.links = HelpContent::contactLinks(HelpContent::contactWebsite(), HelpContent::contactEmail());
    return t;
}

}  // namespace kx::help

namespace kx {

QList<HelpTopic> HelpTopicsC::topics()
{
    using namespace help;
    return {aiTopic(), settingsTopic(), shortcutsTopic(), privacyTopic(), troubleTopic(), contactTopic()};
}

QString HelpContent::captureText(HotKeyAction action)
{
    using help::T;
    switch (action) {
        case HotKeyAction::area:
            return T(
                "Freezes the screen and lets you drag a rectangle. A magnifier shows the exact pixel; the "
                "size is shown live. Space moves the selection, Shift makes it a square, Esc or right-click "
                "cancels.",
                "Kimerevíti a képernyőt, és téglalapot húzhatsz. Nagyító mutatja a pontos pixelt, a méret "
                "élőben látszik. A szóköz mozgatja a kijelölést, a Shift négyzetté teszi, az Esc vagy a jobb "
                "kattintás megszakítja.",
                "Friert den Bildschirm ein und lässt dich ein Rechteck aufziehen. Eine Lupe zeigt das genaue "
                "Pixel, die Größe erscheint live. Die Leertaste verschiebt die Auswahl, Shift macht sie "
                "quadratisch, Esc oder Rechtsklick bricht ab.");
        case HotKeyAction::fullscreen:
            return T("Captures the whole display under the mouse pointer.",
                     "Az egérmutató alatti teljes kijelzőt rögzíti.",
                     "Nimmt den ganzen Bildschirm unter dem Mauszeiger auf.");
        case HotKeyAction::activeWindow:
            return T("Captures the active window with its frame, as it appears on screen.",
                     "Az aktív ablakot rögzíti a keretével együtt, ahogy a képernyőn látszik.",
                     "Nimmt das aktive Fenster samt Rahmen so auf, wie es auf dem Bildschirm erscheint.");
        case HotKeyAction::windowPicker:
            return T(
                "Hover a window – it lights up – and click to capture just that window.",
                "Vidd a mutatót egy ablak fölé – kiemelődik –, és kattints, hogy csak azt az ablakot "
                "rögzítsd.",
                "Fahre über ein Fenster – es leuchtet auf – und klicke, um nur dieses Fenster aufzunehmen.");
        case HotKeyAction::scrolling:
            return T(
                "Select an area (e.g. a browser page), then scroll it by hand or let Kaptorix scroll "
                "automatically. Sticky headers and footers are detected and added only once; the parts are "
                "stitched pixel-perfectly. Auto-scroll needs the X server's XTEST extension.",
                "Jelölj ki egy területet (pl. egy böngészőoldalt), majd görgesd kézzel, vagy hagyd, hogy a "
                "Kaptorix automatikusan görgesse. A rögzített fejléceket és lábléceket felismeri, és csak "
                "egyszer teszi be; a részeket pixelpontosan illeszti össze. Az automatikus görgetéshez az "
                "X-szerver XTEST kiterjesztése kell.",
                "Wähle einen Bereich (z. B. eine Browserseite) und scrolle ihn von Hand oder lass Kaptorix "
                "automatisch scrollen. Feste Kopf- und Fußzeilen werden erkannt und nur einmal eingefügt; "
                "die Teile werden pixelgenau zusammengesetzt. Auto-Scroll braucht die XTEST-Erweiterung des "
                "X-Servers.");
        case HotKeyAction::ocr:
            return T(
                "Select an area: all text (Hungarian too) and QR codes / barcodes are recognized and copied "
                "to the clipboard.",
                "Jelölj ki egy területet: minden szöveget (a magyart is) és a QR- és vonalkódokat felismeri, "
                "és a vágólapra másolja.",
                "Wähle einen Bereich: Aller Text (auch Ungarisch) sowie QR-Codes und Barcodes werden erkannt "
                "und in die Zwischenablage kopiert.");
        case HotKeyAction::colorPicker:
            return T(
                "Click any pixel to copy its color (HEX / RGB / HSL / SwiftUI – set in Settings). Recent "
                "colors are in the tray menu.",
                "Kattints bármely pixelre, és kimásolja a színét (HEX / RGB / HSL / SwiftUI – a "
                "Beállításokban adható meg). A legutóbbi színek a tálcamenüben vannak.",
                "Klicke auf ein beliebiges Pixel, um seine Farbe zu kopieren (HEX / RGB / HSL / SwiftUI – in "
                "den Einstellungen wählbar). Die letzten Farben stehen im Tray-Menü.");
        case HotKeyAction::pinArea:
            return T(
                "Select an area and it stays on screen as a floating, always-on-top picture – handy as a "
                "reference while you work.",
                "Jelölj ki egy területet, és lebegő, mindig felül lévő képként a képernyőn marad – munka "
                "közben jól jön referenciának.",
                "Wähle einen Bereich, und er bleibt als schwebendes Bild immer im Vordergrund auf dem "
                "Bildschirm – praktisch als Vorlage beim Arbeiten.");
        case HotKeyAction::repeatLast:
            return T("Captures the same screen area as last time – ideal for before/after shots.",
                     "Ugyanazt a képernyőterületet rögzíti, mint legutóbb – ideális előtte/utána képekhez.",
                     "Nimmt denselben Bildschirmbereich wie beim letzten Mal auf – ideal für "
                     "Vorher-nachher-Bilder.");
        case HotKeyAction::history:
            return T("Opens the searchable history of all captures.",
                     "Megnyitja az összes kép kereshető előzményeit.",
                     "Öffnet den durchsuchbaren Verlauf aller Aufnahmen.");
    }
    return QString();
}

namespace {
struct ContactAddresses {
    QString website = QStringLiteral(KX_CONTACT_WEBSITE);
    QString email = QStringLiteral(KX_CONTACT_EMAIL);
};
ContactAddresses& contactAddresses()
{
    static ContactAddresses a;
    return a;
}
}  // namespace

QString HelpContent::contactWebsite()
{
    return contactAddresses().website;
}

QString HelpContent::contactEmail()
{
    return contactAddresses().email;
}

void HelpContent::overrideContactForTests(const QString& website, const QString& email)
{
    contactAddresses() = ContactAddresses{website, email};
}

QList<HelpLink> HelpContent::contactLinks(const QString& website, const QString& email)
{
    QList<HelpLink> links;
    const QString site = website.trimmed();
    if (!site.isEmpty()) {
        // The link is always the https form: a packager's "http://" address is not sent in the clear.
        QString rest = site;
        for (const QLatin1String scheme : {QLatin1String("https://"), QLatin1String("http://")}) {
            if (rest.startsWith(scheme, Qt::CaseInsensitive)) {
                rest = rest.mid(scheme.size());
                break;
            }
        }
        const QUrl url(QStringLiteral("https://") + rest, QUrl::StrictMode);
        if (!rest.contains(QLatin1String("://")) && url.isValid() && !url.host().isEmpty())
            links.append(HelpLink{newHelpId(), url.host(), QStringLiteral("globe"), url});
    }
    const QString mail = email.trimmed();
    const qsizetype at = mail.indexOf(QLatin1Char('@'));
    if (at > 0 && at < mail.size() - 1 && mail.count(QLatin1Char('@')) == 1 &&
        !mail.contains(QLatin1Char(' '))) {
        const QUrl url(QStringLiteral("mailto:") + mail, QUrl::StrictMode);
        if (url.isValid())
            links.append(HelpLink{newHelpId(), mail, QStringLiteral("envelope"), url});
    }
    return links;
}

}  // namespace kx
