#include "editor/ToolKind.h"

#include "core/Localisation.h"

namespace kx {

QList<ToolKind> allToolKinds()
{
    return allCases<ToolKind>();
}

QList<ToolKind> tools()
{
    QList<ToolKind> out = allToolKinds();
    out.removeAll(ToolKind::picture);
    return out;
}

QString key(ToolKind kind)
{
    static const char* const keys[] = {"v", "c", "a", "l", "r", "o", "p", "h",
                                       "t", "n", "b", "x", "s", "z", "m", ""};
    return QString::fromLatin1(keys[int(kind)]);
}

QString symbol(ToolKind kind)
{
    static const char* const names[] = {"cursorarrow",
                                        "crop",
                                        "arrow.up.right",
                                        "line.diagonal",
                                        "rectangle",
                                        "circle",
                                        "scribble.variable",
                                        "highlighter",
                                        "textformat",
                                        "1.circle.fill",
                                        "drop.halffull",
                                        "squareshape.split.3x3",
                                        "circle.dashed.inset.filled",
                                        "plus.magnifyingglass",
                                        "ruler",
                                        "photo.on.rectangle"};
    return QString::fromLatin1(names[int(kind)]);
}

QString title(ToolKind kind)
{
    switch (kind) {
        case ToolKind::select:
            return tr("Select / move", "Kijelölés / mozgatás", "Auswählen / Verschieben");
        case ToolKind::crop:
            return tr("Crop", "Vágás", "Zuschneiden");
        case ToolKind::arrow:
            return tr("Arrow", "Nyíl", "Pfeil");
        case ToolKind::line:
            return tr("Line", "Vonal", "Linie");
        case ToolKind::rect:
            return tr("Rectangle", "Téglalap", "Rechteck");
        case ToolKind::ellipse:
            return tr("Ellipse", "Ellipszis", "Ellipse");
        case ToolKind::pen:
            return tr("Pen", "Toll", "Stift");
        case ToolKind::highlighter:
            return tr("Highlighter", "Kiemelő", "Textmarker");
        case ToolKind::text:
            return tr("Text", "Szöveg", "Text");
        case ToolKind::step:
            return tr("Numbered step", "Számozott lépés", "Nummerierter Schritt");
        case ToolKind::blur:
            return tr("Blur", "Elmosás", "Weichzeichnen");
        case ToolKind::pixelate:
            return tr("Pixelate", "Pixelezés", "Verpixeln");
        case ToolKind::spotlight:
            return tr("Spotlight", "Reflektor", "Spotlight");
        case ToolKind::magnifier:
            return tr("Magnifier", "Nagyító", "Lupe");
        case ToolKind::ruler:
            return tr("Measure", "Mérés", "Messen");
        case ToolKind::picture:
            return tr("Picture", "Kép", "Bild");
    }
    return {};
}

QString detail(ToolKind kind)
{
    switch (kind) {
        case ToolKind::select:
            return tr(
                "Click an object to select, move or resize it. Delete removes it.",
                "Kattints egy objektumra a kijelöléshez, mozgatáshoz vagy átméretezéshez. A Delete törli.",
                "Klicke auf ein Objekt, um es auszuwählen, zu verschieben oder seine Größe zu ändern. "
                "Entf löscht es.");
        case ToolKind::crop:
            return tr("Drag the area to keep, then press Return.",
                      "Jelöld ki a megtartandó területet, majd nyomd meg az Entert.",
                      "Ziehe den Bereich auf, der bleiben soll, und drücke dann die Eingabetaste.");
        case ToolKind::arrow:
            return tr("Drag to draw an arrow. Shift snaps to 45°.",
                      "Húzással nyilat rajzolsz. A Shift 45°-ra igazít.",
                      "Ziehen zeichnet einen Pfeil. Shift rastet auf 45° ein.");
        case ToolKind::line:
            return tr("Drag to draw a line. Shift snaps to 45°.",
                      "Húzással vonalat rajzolsz. A Shift 45°-ra igazít.",
                      "Ziehen zeichnet eine Linie. Shift rastet auf 45° ein.");
        case ToolKind::rect:
            return tr("Outline or filled box. Shift makes a square.",
                      "Körvonalas vagy kitöltött téglalap. A Shift négyzetet rajzol.",
                      "Umriss oder gefülltes Rechteck. Shift erzeugt ein Quadrat.");
        case ToolKind::ellipse:
            return tr("Outline or filled ellipse. Shift makes a circle.",
                      "Körvonalas vagy kitöltött ellipszis. A Shift kört rajzol.",
                      "Umriss oder gefüllte Ellipse. Shift erzeugt einen Kreis.");
        case ToolKind::pen:
            return tr("Freehand drawing. Shift draws a straight line.",
                      "Szabadkézi rajz. A Shift egyenes vonalat húz.",
                      "Freihandzeichnen. Shift zeichnet eine gerade Linie.");
        case ToolKind::highlighter:
            return tr("Marker that keeps the text readable. Shift draws a straight line.",
                      "Kiemelő, amely alatt a szöveg olvasható marad. A Shift egyenes vonalat húz.",
                      "Marker, unter dem der Text lesbar bleibt. Shift zeichnet eine gerade Linie.");
        case ToolKind::text:
            return tr(
                "Click and type. Double-click text to edit it. Ctrl+Return finishes.",
                "Kattints és gépelj. Dupla kattintással szerkesztheted a szöveget. A Ctrl+Return befejezi.",
                "Klicken und tippen. Doppelklick auf einen Text bearbeitet ihn. Ctrl+Return beendet.");
        case ToolKind::step:
            return tr("Click to place automatically numbered steps.",
                      "Kattintással automatikusan számozott lépéseket helyezel el.",
                      "Klicken setzt automatisch nummerierte Schritte.");
        case ToolKind::blur:
            return tr("Blurs the dragged area, e.g. to hide details.",
                      "Elmossa a kijelölt területet, pl. részletek elrejtéséhez.",
                      "Zeichnet den aufgezogenen Bereich weich, z. B. um Details zu verbergen.");
        case ToolKind::pixelate:
            return tr("Pixelates the dragged area. Safer than blur for secrets.",
                      "Pixelesíti a kijelölt területet. Titkokhoz biztonságosabb, mint az elmosás.",
                      "Verpixelt den aufgezogenen Bereich. Für Geheimnisse sicherer als Weichzeichnen.");
        case ToolKind::spotlight:
            return tr("Dims everything except the dragged area.",
                      "Mindent elsötétít a kijelölt terület kivételével.",
                      "Dunkelt alles außer dem aufgezogenen Bereich ab.");
        case ToolKind::magnifier:
            return tr(
                "Drag over a detail: it stays marked at its original size and a magnified copy appears next "
                "to it – drag that anywhere.",
                "Húzd egy részlet fölé: eredeti méretében megjelölve marad, mellette pedig megjelenik egy "
                "nagyított másolat – azt bárhová húzhatod.",
                "Ziehe über ein Detail: Es bleibt in Originalgröße markiert, daneben erscheint eine "
                "vergrößerte Kopie – die lässt sich beliebig verschieben.");
        case ToolKind::ruler:
            return tr("Measures distance in pixels between two points.", "Két pont távolságát méri pixelben.",
                      "Misst den Abstand zwischen zwei Punkten in Pixeln.");
        case ToolKind::picture:
            return tr("An added picture: drag to move, drag the corners to resize.",
                      "Hozzáadott kép: húzással mozgatod, a sarkainál fogva átméretezed.",
                      "Ein hinzugefügtes Bild: Ziehen verschiebt es, Ziehen an den Ecken ändert die Größe.");
    }
    return {};
}

bool isRectLike(ToolKind kind)
{
    switch (kind) {
        case ToolKind::rect:
        case ToolKind::ellipse:
        case ToolKind::blur:
        case ToolKind::pixelate:
        case ToolKind::spotlight:
        case ToolKind::magnifier:
        case ToolKind::crop:
            return true;
        default:
            return false;
    }
}

bool isLineLike(ToolKind kind)
{
    return kind == ToolKind::arrow || kind == ToolKind::line || kind == ToolKind::ruler;
}

}  // namespace kx
