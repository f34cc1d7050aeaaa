#pragma once
// Start-up checks of the history folder against its index: when no index could be read the
// images themselves rebuild the entries.

#include "capture/history/HistoryEntry.h"
#include "capture/history/HistoryIndex.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QSet>
#include <QString>
#include <functional>
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
// The file is a PNG to its end chunk, every chunk whole and its checksum right: what a
// write cut short never leaves.
bool pngIsWhole(const QString& path);

// What a stop during a write left in `dir`: the temporary files of writeFileAtomically() among
// `names` (a listing of the folder). An image ("<UUID>.png") whose PNG is whole takes its place
// when that is free and the id is not in `removing`; files of ids in `live` (a running
// Kaptorix is writing them) are left alone; every other temporary file is removed. Returns the
// ids that got their image.
QSet<QUuid> settleTemporaryFiles(const QString& dir, const QStringList& names, const QSet<QUuid>& removing,
                                 const QSet<QUuid>& live = {});

// One entry per "<UUID>.png" among `names` (plain files of `dir`, no links) with a PNG header,
// dated by the file's modification time, most recent first. Nothing says where it came from:
// it is given kind "area" (a capture, which any reader of the index knows), not "file".
// Ids in `skip` are passed over unread (a start reads only the images its index does not name).
QList<HistoryEntry> entriesFromImages(const QString& dir, const QStringList& names,
                                      const QSet<QUuid>& skip = {});

// The localised notice that `count` entries were removed for want of their image file.
QString withoutImageNotice(int count);

// Every whole JSON object with an "id" in the bytes of a damaged index (cut short, a bad
// value, stray bytes), by id; the other keys as they are, good or not.
QHash<QUuid, QJsonObject> salvageRecords(const QByteArray& bytes);
// Takes from a damaged record what can still be read (date, kind, title, star, texts,
// link) into an entry rebuilt from its image; size and scale stay the image's.
void takeReadableFields(HistoryEntry& entry, const QJsonObject& record);

// Removes the "<UUID>.thumb.jpg" files of `dir` (plain files, no links) whose id is not in
// `named`, that have no "<UUID>.png" beside them and were last changed before `before`.
// Images themselves are never removed here.
void removeUnnamedThumbnails(const QString& dir, const QSet<QUuid>& named, const QDateTime& before);
// Writes the thumbnail of each id whose "<UUID>.png" is there and whose thumbnail is not.
void remakeMissingThumbnails(const QString& dir, const QList<QUuid>& ids);

// What the journals of the folder say at a start.
struct StartJournals {
    QHash<QUuid, HistoryEntry> records;  // left by processes that stopped
    QSet<QUuid> live;                    // captures a running Kaptorix is still writing
    bool settle = true;                  // false: temporary files and unnamed images are left as they are
};

// The history a start begins with, from the index as loaded and the folder.
struct StartState {
    QList<HistoryEntry> entries;
    bool sweep = false;    // an index was read whole: files it does not name may go
    bool rewrite = false;  // entries were rebuilt: the index must be written
    QSet<QUuid> rebuilt;   // entries that came back from their images
    QSet<QUuid> removing;  // removals a stop cut short ("<UUID>.png.removed"): to be finished
    // Localised notices for the user (title, text), none when all was well.
    QList<std::pair<QString, QString>> notices;
};
// Temporary files left by a stop are settled first. Every "<UUID>.png" the index does not
// name becomes an entry again (all of them without a readable index), with its date, kind and
// title from the journals and whatever the kept copy of a damaged index still says about it,
// placed among the others by date. `journals` is asked once the folder is listed: a running
// Kaptorix journals a capture before it writes its files, so each of its files in the listing
// is among the live ones, whose images and temporary files are left to it. `indexPath` names
// the index in the notice when a bad one could not be kept elsewhere.
StartState historyAtStart(LoadedIndex loaded, const QString& dir, const QString& indexPath,
                          const std::function<StartJournals()>& journals = {});

}  // namespace kx
