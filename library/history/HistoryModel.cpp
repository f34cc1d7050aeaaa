#include "library/history/HistoryModel.h"

#include "core/Enums.h"
#include "core/Localisation.h"

#include <QHash>
#include <QRegularExpression>
#include <QTimeZone>
#include <algorithm>
#include <cmath>

namespace kx {

namespace {

// The locale's long date format without its weekday ("dddd, MMMM d, yyyy" -> "MMMM d, yyyy").
QString longDateWithoutWeekday(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::LongFormat);
    static const QRegularExpression leading(QStringLiteral("^\\s*dddd[,\\s]*"));
    static const QRegularExpression elsewhere(QStringLiteral("[,\\s]*dddd\\.?"));
    if (format.contains(leading))
        format.remove(leading);
    else
        format.remove(elsewhere);
    return format.trimmed();
}

}  // namespace

QString dayTitle(const QDate& day, const QDate& today, const QLocale& locale)
{
    if (day == today)
        return kx::tr("Today", "Ma", "Heute");
    if (day == today.addDays(-1))
        return kx::tr("Yesterday", "Tegnap", "Gestern");
    return locale.toString(day, longDateWithoutWeekday(locale));
}

QList<HistorySection> sections(const QList<HistoryEntry>& results, const QDateTime& now,
                               const QLocale& locale)
{
    const QTimeZone zone = now.timeZone();
    // Results come newest first, so most entries fall into the day of the one before:
    // compare instants with that day's bounds and convert only at a day change.
    qint64 dayStart = 1, dayEnd = 0;
    QDate current;
    QHash<QDate, int> slot;
    QList<HistorySection> out;
    for (const HistoryEntry& e : results) {
        const qint64 t = e.date.toMSecsSinceEpoch();
        if (t < dayStart || t >= dayEnd) {
            current = e.date.toTimeZone(zone).date();
            dayStart = QDateTime(current, QTime(0, 0), zone).toMSecsSinceEpoch();
            dayEnd = QDateTime(current.addDays(1), QTime(0, 0), zone).toMSecsSinceEpoch();
        }
        auto it = slot.find(current);
        if (it == slot.end()) {
            it = slot.insert(current, int(out.size()));
            out.append(HistorySection{current, QString(), {}});
        }
        out[*it].items.append(e);
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const HistorySection& a, const HistorySection& b) { return a.day > b.day; });
    const QDate today = now.date();
    for (HistorySection& s : out)
        s.title = dayTitle(s.day, today, locale);
    return out;
}

GridLayout layoutGrid(const QList<HistorySection>& sections, qreal width)
{
    using M = GridMetrics;
    GridLayout g;
    const qreal inner = std::max<qreal>(width - 2 * M::sidePadding, M::minColumn);
    g.columns = std::max(1, int(std::floor((inner + M::spacing) / (M::minColumn + M::spacing))));
    g.columnWidth = std::min(M::maxColumn, (inner - (g.columns - 1) * M::spacing) / g.columns);
    qreal y = M::topPadding;
    for (int s = 0; s < sections.size(); ++s) {
        g.rows.append(GridRow{s, -1, 0, y, M::headerHeight});
        y += M::headerHeight + M::spacing;
        const int n = int(sections[s].items.size());
        for (int first = 0; first < n; first += g.columns) {
            g.rows.append(GridRow{s, first, std::min(g.columns, n - first), y, M::tileHeight});
            y += M::tileHeight + M::spacing;
        }
    }
    g.height = (g.rows.isEmpty() ? y : y - M::spacing) + M::bottomPadding;
    return g;
}

std::pair<int, int> GridLayout::visibleRows(qreal top, qreal bottom) const
{
    const auto first = std::lower_bound(rows.cbegin(), rows.cend(), top,
                                        [](const GridRow& r, qreal v) { return r.y + r.height <= v; });
    const auto last =
        std::lower_bound(first, rows.cend(), bottom, [](const GridRow& r, qreal v) { return r.y < v; });
    return {int(first - rows.cbegin()), int(last - rows.cbegin())};
}

QRectF GridLayout::tileRect(const GridRow& row, int column) const
{
    return QRectF(GridMetrics::sidePadding + column * (columnWidth + GridMetrics::spacing), row.y,
                  columnWidth, row.height);
}

std::optional<GridHit> GridLayout::hit(const QPointF& p) const
{
    const auto [first, last] = visibleRows(p.y(), p.y() + 0.001);
    for (int i = first; i < last; ++i) {
        const GridRow& row = rows[i];
        if (row.isHeader())
            continue;
        for (int c = 0; c < row.count; ++c) {
            const QRectF r = tileRect(row, c);
            if (r.contains(p))
                return GridHit{row.section, row.first + c, r};
        }
    }
    return std::nullopt;
}

QList<EntryMenuItem> entryMenu(const HistoryEntry& e)
{
    using A = EntryAction;
    QList<EntryMenuItem> m;
    m.append({A::open, kx::tr("Open in editor", "Megnyitás szerkesztőben", "Im Editor öffnen")});
    m.append({A::copyImage, kx::tr("Copy image", "Kép másolása", "Bild kopieren")});
    if (e.ocrText && !e.ocrText->isEmpty())
        m.append({A::copyText,
                  kx::tr("Copy recognized text", "Felismert szöveg másolása", "Erkannten Text kopieren")});
    m.append({A::pin, kx::tr("Pin on screen", "Kitűzés a képernyőre", "Auf dem Bildschirm anheften")});
    m.append({A::saveAs, kx::tr("Save as…", "Mentés másként…", "Sichern unter…")});
    bool divider = true;
    if (e.uploadURL) {
        m.append({A::copyLink,
                  kx::tr("Copy upload link", "Feltöltési link másolása", "Link zum Hochladen kopieren"),
                  true});
        m.append(
            {A::copyMarkdown, kx::tr("Copy as Markdown", "Másolás Markdownként", "Als Markdown kopieren")});
        m.append({A::copyHTML, kx::tr("Copy as HTML <img>", "Másolás HTML <img> kódként",
                                      "Als HTML-<img>-Code kopieren")});
        divider = false;
    }
    m.append({A::palette, kx::tr("Color palette…", "Színpaletta…", "Farbpalette…"), divider});
    m.append({A::upload, kx::tr("Upload", "Feltöltés", "Hochladen")});
    m.append({A::toggleStar,
              e.favorite ? kx::tr("Remove star", "Csillag eltávolítása", "Als Favorit entfernen")
                         : kx::tr("Star", "Csillagozás", "Als Favorit markieren"),
              true});
    m.append({A::reveal,
              kx::tr("Show in file manager", "Megjelenítés a fájlkezelőben", "Im Dateimanager anzeigen")});
    m.append({A::remove, kx::tr("Delete", "Törlés", "Löschen"), false, true});
    return m;
}

DeleteConfirmation deleteAllExceptStarredConfirmation(int count)
{
    const QString n = QString::number(count);
    DeleteConfirmation c;
    c.title =
        count == 1
            ? kx::tr("Delete 1 capture?", "Törlöd az 1 képernyőképet?", "1 Aufnahme löschen?")
            : kx::tr("Delete %1 captures?", "Törlöd a(z) %1 képernyőképet?", "%1 Aufnahmen löschen?").arg(n);
    c.detail = kx::tr(
        "Every capture that is not starred goes, with its recognized text. Starred captures stay. "
        "This cannot be undone.",
        "Minden nem csillagozott képernyőkép törlődik a felismert szövegével együtt. A "
        "csillagozottak megmaradnak. Ez nem vonható vissza.",
        "Jede Aufnahme ohne Favoritenstern wird mit ihrem erkannten Text gelöscht. Favoriten "
        "bleiben. Das kann nicht rückgängig gemacht werden.");
    c.action = count == 1
                   ? kx::tr("Delete 1 capture", "1 képernyőkép törlése", "1 Aufnahme löschen")
                   : kx::tr("Delete %1 captures", "%1 képernyőkép törlése", "%1 Aufnahmen löschen").arg(n);
    c.cancel = kx::tr("Cancel", "Mégse", "Abbrechen");
    return c;
}

QString altText(const HistoryEntry& e)
{
    return e.title ? *e.title : kx::tr("screenshot", "képernyőkép", "Screenshot");
}

QString markdownText(const HistoryEntry& e)
{
    return e.uploadURL ? uploadCopyText(UploadCopyFormat::markdown, *e.uploadURL, altText(e)) : QString();
}

QString htmlText(const HistoryEntry& e)
{
    return e.uploadURL ? uploadCopyText(UploadCopyFormat::html, *e.uploadURL, altText(e)) : QString();
}

}  // namespace kx
