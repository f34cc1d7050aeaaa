#pragma once
// The pure parts of the history browser: day sections, their titles, the grid layout and
// its hit test, the entry menu and the texts copied for an uploaded entry. No widgets.

#include "capture/history/HistoryEntry.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <optional>

namespace kx {

struct HistorySection {
    QDate day;      // calendar day in the time zone of `now`
    QString title;  // "Today", "Yesterday" or the long date without weekday
    QList<HistoryEntry> items;
};

// Groups search results by calendar day in the time zone of `now`, newest day first; each
// section keeps the order of `results`.
QList<HistorySection> sections(const QList<HistoryEntry>& results, const QDateTime& now,
                               const QLocale& locale = QLocale());
// "Today", "Yesterday", else the locale's long date with the weekday left out.
QString dayTitle(const QDate& day, const QDate& today, const QLocale& locale = QLocale());

// Geometry of the grid, in points.
struct GridMetrics {
    static constexpr qreal sidePadding = 22;
    static constexpr qreal topPadding = 16;
    static constexpr qreal bottomPadding = 16;
    static constexpr qreal minColumn = 220;
    static constexpr qreal maxColumn = 300;
    static constexpr qreal spacing = 18;  // between columns and between rows
    static constexpr qreal cardHeight = 140;
    static constexpr qreal tileHeight = 180;  // card, 8 pt gap, title and detail lines
    static constexpr qreal headerHeight = 20;
};

struct GridRow {
    int section = 0;
    int first = -1;  // index of the first item in the section; -1 for the day header
    int count = 0;   // tiles in the row
    qreal y = 0;
    qreal height = 0;
    bool isHeader() const { return first < 0; }
};

struct GridHit {
    int section = 0;
    int item = 0;
    QRectF rect;  // the tile, content coordinates
};

struct GridLayout {
    int columns = 1;
    qreal columnWidth = GridMetrics::minColumn;
    qreal height = 0;  // of the whole content
    QList<GridRow> rows;

    // Indices [first, last) of the rows that meet the band top..bottom.
    std::pair<int, int> visibleRows(qreal top, qreal bottom) const;
    QRectF tileRect(const GridRow& row, int column) const;
    // The tile under a content point (gaps hit nothing).
    std::optional<GridHit> hit(const QPointF& p) const;
};

// Columns of 220-300 pt with 18 pt gaps in `width`; one header row per section, then its
// tiles row by row.
GridLayout layoutGrid(const QList<HistorySection>& sections, qreal width);

enum class EntryAction {
    open,
    copyWithToast,
    copyImage,
    copyText,
    pin,
    saveAs,
    copyLink,
    copyMarkdown,
    copyHTML,
    palette,
    upload,
    toggleStar,
    reveal,
    remove,
};

struct EntryMenuItem {
    EntryAction action;
    QString title;
    bool separatorBefore = false;
    bool destructive = false;
};

// The context menu of an entry, by its state (recognised text, upload link, star).
QList<EntryMenuItem> entryMenu(const HistoryEntry& entry);
// The question asked before "Delete all except starred", naming how many captures go.
struct DeleteConfirmation {
    QString title;   // "Delete 12 captures?"
    QString detail;  // what stays, and that it cannot be undone
    QString action;  // the destructive button
    QString cancel;
};
DeleteConfirmation deleteAllExceptStarredConfirmation(int count);

// The alt text of the copied forms: the title, else the localised "screenshot".
QString altText(const HistoryEntry& entry);
// "![alt](link)" and "<img src=… alt=…>"; empty when the entry has no link.
QString markdownText(const HistoryEntry& entry);
QString htmlText(const HistoryEntry& entry);

}  // namespace kx
