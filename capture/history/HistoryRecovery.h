#pragma once
// Start-up checks of the history folder against its index: when no index could be read the
// images themselves rebuild the entries.

#include "capture/history/HistoryEntry.h"
#include "capture/history/HistoryIndex.h"

#include <QList>
#include <QSet>
#include <QString>
#include <optional>

namespace kx {

// What the header of a PNG file says: its pixel size and, from its resolution, the scale.
struct PngHeader {
    int width = 0;
    int height = 0;
    double scale = 1.0;
};
// Reads the chunks before the image data only; nothing when the file is no PNG.
std::optional<PngHeader> readPngHeader(const QString& path);

// One entry per "<UUID>.png" of `dir` with a PNG header (plain files, no links): kind
// "file", dated by the file's modification time, most recent first.
QList<HistoryEntry> entriesFromImages(const QString& dir);

// The localised notice that `count` entries were removed for want of their image file.
QString withoutImageNotice(int count);

// Removes the "<UUID>.png" and "<UUID>.thumb.jpg" files of `dir` (plain files, no links)
// whose id is not in `named` and that were last changed before `before`.
void removeUnnamedImages(const QString& dir, const QSet<QUuid>& named, const QDateTime& before);

// The history a start begins with, from the index as loaded and the folder.
struct StartState {
    QList<HistoryEntry> entries;
    bool sweep = false;    // an index was read whole: files it does not name may go
    bool rewrite = false;  // entries were rebuilt: the index must be written
    QString title;         // localised notice for the user, empty when all was well
    QString notice;
};
// Without a readable index the entries are rebuilt from the images. `indexPath` names the
// index in the notice when a bad one could not be kept elsewhere.
StartState historyAtStart(LoadedIndex loaded, const QString& dir, const QString& indexPath);

}  // namespace kx
