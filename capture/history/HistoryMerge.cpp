#include "capture/history/HistoryMerge.h"

#include <QSet>

#include <algorithm>

namespace kx {

namespace {

bool sameText(const std::optional<QString>& a, const std::optional<QString>& b)
{
    if (a.has_value() != b.has_value())
        return false;
    return !a || a->isSharedWith(*b) || *a == *b;
}

void takeFields(HistoryEntry& to, const HistoryEntry& from, quint8 fields)
{
    if (fields & changeStar)
        to.favorite = from.favorite;
    if (fields & changeText) {
        to.ocrText = from.ocrText;
        to.textFailed = from.textFailed;
    }
    if (fields & changeLink)
        to.uploadURL = from.uploadURL;
    if (fields & changeSummary)
        to.aiSummary = from.aiSummary;
    if (fields & changeImage) {
        to.width = from.width;
        to.height = from.height;
        to.scale = from.scale;
    }
}

QHash<QUuid, qsizetype> positions(const QList<HistoryEntry>& list)
{
    QHash<QUuid, qsizetype> at;
    at.reserve(list.size());
    for (qsizetype i = 0; i < list.size(); ++i)
        at.insert(list[i].id, i);
    return at;
}

}  // namespace

bool sameEntry(const HistoryEntry& a, const HistoryEntry& b)
{
    return a.id == b.id && a.date == b.date && a.width == b.width && a.height == b.height &&
           a.scale == b.scale && a.kind == b.kind && a.favorite == b.favorite &&
           a.textFailed == b.textFailed && sameText(a.title, b.title) && sameText(a.ocrText, b.ocrText) &&
           sameText(a.uploadURL, b.uploadURL) && sameText(a.aiSummary, b.aiSummary);
}

bool sameEntries(const QList<HistoryEntry>& a, const QList<HistoryEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (!sameEntry(a[i], b[i]))
            return false;
    }
    return true;
}

void shareTexts(QList<HistoryEntry>& fresh, const QList<HistoryEntry>& known)
{
    const QHash<QUuid, qsizetype> at = positions(known);
    for (HistoryEntry& e : fresh) {
        const auto it = at.constFind(e.id);
        if (it == at.cend())
            continue;
        const HistoryEntry& k = known[*it];
        for (auto field : {&HistoryEntry::title, &HistoryEntry::ocrText, &HistoryEntry::uploadURL,
                           &HistoryEntry::aiSummary}) {
            if (e.*field && k.*field && *(e.*field) == *(k.*field))
                e.*field = k.*field;
        }
    }
}

QList<HistoryEntry> mergeHistory(const QList<HistoryEntry>& disk, const QList<HistoryEntry>& mine,
                                 const LocalChanges& changes,
                                 const std::function<bool(const QUuid&)>& deletedElsewhere)
{
    const QHash<QUuid, qsizetype> inMine = positions(mine);
    QList<HistoryEntry> out;
    out.reserve(disk.size() + mine.size());
    QSet<QUuid> onDisk;
    onDisk.reserve(disk.size());
    for (const HistoryEntry& d : disk) {
        onDisk.insert(d.id);
        const auto change = changes.constFind(d.id);
        if (change == changes.cend()) {
            out.append(d);
            continue;
        }
        if (change->fields & changeRemoved)
            continue;
        const auto m = inMine.constFind(d.id);
        if (m == inMine.cend()) {
            out.append(d);
        } else if (change->fields & changeAdded) {
            out.append(mine[*m]);
        } else {
            HistoryEntry merged = d;
            takeFields(merged, mine[*m], change->fields);
            out.append(std::move(merged));
        }
    }

    // Entries of this process the index does not have, each put before the next entry of
    // `mine` that is there, and ahead of older entries of other processes just before it;
    // among themselves in the order of `mine`.
    const QHash<QUuid, qsizetype> at = positions(out);
    QList<QPair<qsizetype, qsizetype>> inserts;  // (place in `out`, index in `mine`)
    qsizetype anchor = out.size();               // where the next entry of `mine` in `out` is
    qsizetype latest = out.size();               // no later than the entry of `mine` after it
    for (qsizetype i = mine.size() - 1; i >= 0; --i) {
        const HistoryEntry& e = mine[i];
        if (const auto it = at.constFind(e.id); it != at.cend()) {
            anchor = *it;
            latest = std::min(latest, anchor);
            continue;
        }
        if (onDisk.contains(e.id))
            continue;  // removed here
        const LocalChange change = changes.value(e.id);
        if (change.fields & changeRemoved)
            continue;
        if (!(change.fields & changeAdded) && deletedElsewhere && deletedElsewhere(e.id))
            continue;
        qsizetype pos = std::min(anchor, latest);
        while (pos > 0 && !inMine.contains(out[pos - 1].id) && out[pos - 1].date < e.date)
            --pos;
        latest = pos;
        inserts.append({pos, i});
    }
    if (inserts.isEmpty())
        return out;
    std::reverse(inserts.begin(), inserts.end());
    QList<HistoryEntry> placed;
    placed.reserve(out.size() + inserts.size());
    qsizetype next = 0;
    for (qsizetype k = 0; k <= out.size(); ++k) {
        while (next < inserts.size() && inserts[next].first == k)
            placed.append(mine[inserts[next++].second]);
        if (k < out.size())
            placed.append(std::move(out[k]));
    }
    return placed;
}

}  // namespace kx
