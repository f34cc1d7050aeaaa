#pragma once
// The remote names this program gave its uploads, kept in a file beside the retry queue, so
// that no later upload (after a restart too) replaces another capture's file on the server:
// a link already copied or stored in the history keeps serving its own image. GUI thread only.
//
// Another Kaptorix of this user (one runs per X display) shares the file: every name is given
// under the folder's lock ("uploaded-names.lock") from the file as it is then, and written back
// with the other's names in it, so neither gives a name the other gave nor drops one.

#include "core/FileLock.h"

#include <QHash>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace kx {

class UploadNames {
public:
    // Reads the file; one that does not parse is set aside and the list starts empty, one with
    // bad elements is copied aside first.
    explicit UploadNames(const QString& path);

    // A name for `base` + `extension` that no other capture's upload has: "base", then
    // "base 2", "base 3"... A name used before for the same history entry is used again, so a
    // capture uploaded twice keeps one file; `held` (names of queued items) stay taken whoever
    // owns them. Names compare without regard to case. The name is recorded at once.
    QString reserve(const QString& base, const QString& extension, const std::optional<QUuid>& entryID,
                    const QStringList& held);

    // Whether `name` was given to another capture's upload, or is one of `held`: a name the
    // server has free is still not for this upload.
    bool takenByOther(const QString& name, const std::optional<QUuid>& entryID, const QStringList& held);
    // Records a name the upload of `entryID` moved to because the server had its first one.
    // False when another capture's upload has it (given by the other Kaptorix meanwhile, say).
    bool record(const QString& name, const std::optional<QUuid>& entryID);

    // The captures `ids` were deleted: their names (made of window titles) and ids leave the
    // file. Each name stays taken as a digest only, so no later upload replaces the file a
    // link already handed out serves. With `keepOnly`, every capture not in `ids` goes instead
    // (the history as the start found it). False when the file could not be written.
    bool forget(const QSet<QUuid>& ids, bool keepOnly = false);

    const QString& path() const { return path_; }

    // "Shot 2.png" is "Shot", 2, ".png"; a name without a number has 1.
    struct Parts {
        QString base;
        int n = 1;
        QString extension;
    };
    static Parts split(const QString& name);

    // "base" for n = 1, else "base n", + extension, with base shortened to fit 255 UTF-8 bytes.
    static QString numbered(const QString& base, int n, const QString& extension);

private:
    struct Use {
        QString name;  // empty once forgotten: only `digest` is left
        std::optional<QUuid> entryID;
        QByteArray digest;
    };
    // Whether an upload has the name of this case-folded key, or had it before its capture
    // was deleted.
    bool has(const QString& folded) const;
    std::shared_ptr<void> lock() const;
    // With the lock held: the file as another process left it, plus the names this one gave
    // that are not in it yet.
    void takeIn();
    void add(const Use& use);
    // Puts `forgotten` (a digest) in place of the name it was made from.
    void forgetIn(const Use& forgotten);
    // With the lock held (or without when it could not be had: the names then wait).
    void save(bool locked);

    QString path_;
    QString lockPath_;
    QList<Use> uses_;
    QHash<QString, qsizetype> byName_;  // case-folded name -> index in uses_
    QSet<QByteArray> digests_;          // of the case-folded names of deleted captures
    QList<Use> unsaved_;                // given here, not yet in the file
    std::optional<FileIdentity> identity_;
    bool writable_ = true;
};

}  // namespace kx
