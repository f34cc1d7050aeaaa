// The English-to-German table of interface texts. Keys are whole English texts, compared
// exactly. Add a row here for every kx::tr call whose German is not passed as an argument.
#include "core/Localisation.h"

#include <iterator>

namespace kx {

namespace {
struct Pair {
    const char* en;
    const char* de;
};

// clang-format off
constexpr Pair kPairs[] = {
    // menus and capture modes
    {"1. Capture", "1. Aufnahme"},
    {"Area", "Bereich"},
    {"Fullscreen", "Vollbild"},
    {"Scrolling", "Scrollen"},
    {"Window", "Fenster"},
    {"Clipboard", "Zwischenablage"},
    {"Color", "Farbe"},
    {"File", "Ablage"},
    {"View", "Darstellung"},
    {"Save", "Sichern"},
    {"Undo", "Widerrufen"},
    {"Paste", "Einsetzen"},
    {"Timed capture", "Zeitgesteuerte Aufnahme"},
    {"History…", "Verlauf…"},
    {"Quit Kaptorix", "Kaptorix beenden"},
    {"Color copied", "Farbe kopiert"},
    {"s", "s"},
    {"AI", "KI"},
    {"Pin area on screen", "Bereich auf dem Bildschirm anheften"},
    // capture results and notices
    {"Capture failed", "Aufnahme fehlgeschlagen"},
    {"Copied to clipboard", "In die Zwischenablage kopiert"},
    {"Saved", "Gesichert"},
    {"Save failed", "Sichern fehlgeschlagen"},
    // style inspector and backdrop popover
    {"Drag an area to crop, then press Return", "Ziehe einen Bereich zum Zuschneiden und drücke dann Return"},
    {"Click an object to select it · Delete removes · arrows nudge", "Klicke auf ein Objekt, um es auszuwählen · Delete löscht · Pfeiltasten verschieben"},
    {"Custom color", "Eigene Farbe"},
    {"No fill", "Keine Füllung"},
    {"Tinted fill", "Getönte Füllung"},
    {"Solid fill", "Volle Füllung"},
    {"Strength", "Stärke"},
    {"Magnification", "Vergrößerung"},
    {"Round lens", "Runde Lupe"},
    {"Rounded-square lens", "Abgerundete quadratische Lupe"},
    {"Cancel", "Abbrechen"},
    {"Apply crop", "Zuschnitt anwenden"},
    {"Backdrop & frame", "Hintergrund & Rahmen"},
    {"Applies to copy, save, pin and upload.", "Gilt für Kopieren, Sichern, Anheften und Hochladen."},
    {"Frame", "Rahmen"},
    {"Background", "Hintergrund"},
    {"Transparent", "Transparent"},
    {"Gradient background", "Farbverlauf-Hintergrund"},
    {"Padding", "Abstand"},
    {"Corners", "Ecken"},
    {"Edge size", "Kantengröße"},
    {"Shadow", "Schatten"},
    {"New pattern", "Neues Muster"},
    {"Generates a different random torn / burnt edge.", "Erzeugt einen anderen zufälligen gerissenen / verbrannten Rand."},
    {"Transparent background: save as PNG or paste into another app – JPEG cannot store transparency.", "Transparenter Hintergrund: als PNG sichern oder in eine andere App einfügen – JPEG kann keine Transparenz speichern."},
    {"Rounded corners with a soft shadow.", "Abgerundete Ecken mit weichem Schatten."},
    {"Ripped paper edge with a pale fibre rim.", "Zerrissener Papierrand mit hellem Faserrand."},
    {"Scorched, glowing burnt paper edge.", "Angesengter, glühender Papierrand."},
    {"Saw-tooth edge, like a receipt or ticket.", "Sägezahnrand, wie bei einem Kassenbon oder Ticket."},
    {"Postage stamp with perforated edges.", "Briefmarke mit gezähnten Rändern."},
    {"Instant-photo frame with a wide bottom.", "Sofortbild-Rahmen mit breitem unterem Rand."},
    {"macOS-style window with traffic lights.", "Fenster im macOS-Stil mit den drei Ampelknöpfen."},
};
// clang-format on
}  // namespace

QList<QPair<QString, QString>> German::pairs()
{
    QList<QPair<QString, QString>> out;
    out.reserve(qsizetype(std::size(kPairs)));
    for (const Pair& p : kPairs)
        out.append({QString::fromUtf8(p.en), QString::fromUtf8(p.de)});
    return out;
}

const QHash<QString, QString>& German::table()
{
    static const QHash<QString, QString> table = [] {
        QHash<QString, QString> t;
        t.reserve(qsizetype(std::size(kPairs)));
        for (const Pair& p : kPairs)
            t.insert(QString::fromUtf8(p.en), QString::fromUtf8(p.de));
        return t;
    }();
    return table;
}

}  // namespace kx
