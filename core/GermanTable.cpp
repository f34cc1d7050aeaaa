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
