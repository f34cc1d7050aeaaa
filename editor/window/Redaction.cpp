#include "editor/window/Redaction.h"

#include "core/Localisation.h"
#include "editor/document/EditorDocument.h"

#include <algorithm>

namespace kx {

namespace {

RedactionNotice failedNotice()
{
    return {kx::tr(QStringLiteral("Sensitive-data search failed"),
                   QStringLiteral("Az érzékeny adatok keresése nem sikerült"),
                   QStringLiteral("Suche nach sensiblen Daten fehlgeschlagen")),
            kx::tr(QStringLiteral("Text recognition did not run; nothing was pixelated."),
                   QStringLiteral("A szövegfelismerés nem futott le; semmi sem lett pixelesítve."),
                   QStringLiteral("Die Texterkennung ist nicht gelaufen; nichts wurde verpixelt.")),
            QStringLiteral("exclamationmark.triangle.fill"),  // symbol
            5};
}

QString pixelatedTitle(qsizetype count)
{
    const QString lang = Lang::current();
    const QString suffix = lang == QLatin1String("hu")   ? QStringLiteral(" elem pixelesítve")
                           : lang == QLatin1String("de") ? QStringLiteral(" Element(e) verpixelt")
                                                         : QStringLiteral(" item(s) pixelated");
    return QString::number(count) + suffix;
}

}  // namespace

double redactionBlockSize(double scale, double lineHeight)
{
    return std::max({scale * 8, 10.0, 3 * lineHeight});
}

RedactionNotice applyRedaction(EditorDocument& doc, const SensitiveData::Result& found)
{
    if (!found.ok)
        return failedNotice();
    if (found.matches.isEmpty()) {
        return {
            kx::tr(QStringLiteral("Nothing sensitive found"), QStringLiteral("Nem találtam érzékeny adatot"),
                   QStringLiteral("Nichts Sensibles gefunden")),
            QString(), QStringLiteral("eye.slash"), 3};  // symbol
    }
    doc.pushUndo();
    QList<Annotation> added;
    added.reserve(found.matches.size());
    for (const SensitiveData::Match& m : found.matches) {
        Annotation a;
        a.kind = ToolKind::pixelate;
        a.p1 = m.rect.topLeft();
        a.p2 = m.rect.bottomRight();
        a.style = doc.style();
        a.style.intensity = redactionBlockSize(doc.scale(), m.lineHeight);
        added.append(a);
    }
    doc.addUnselected(added);
    return {pixelatedTitle(found.matches.size()),
            kx::tr(QStringLiteral("Review the result before sharing."),
                   QStringLiteral("Megosztás előtt ellenőrizd az eredményt."),
                   QStringLiteral("Prüfe das Ergebnis vor dem Teilen.")),
            QStringLiteral("eye.slash"), 3};  // symbol
}

void applyWhenFound(EditorDocument* doc, QFuture<SensitiveData::Result> search,
                    std::function<void(const RedactionNotice&)> done)
{
    search.then(doc, [doc, done](const SensitiveData::Result& found) { done(applyRedaction(*doc, found)); })
        .onCanceled(doc, [doc, done] { done(applyRedaction(*doc, SensitiveData::Result{})); });
}

}  // namespace kx
