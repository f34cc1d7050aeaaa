#pragma once
// The remote names this program gave its uploads, kept in a file beside the retry queue, so
// that no later upload (after a restart too) replaces another capture's file on the server:
// a link already copied or stored in the history keeps serving its own image. GUI thread only.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <optional>

namespace kx {

class UploadNames {
public:
    // Reads the file; one that does not parse is set aside and the list starts empty.
    explicit UploadNames(const QString& path);

    // A name for `base` + `extension` that no other capture's upload has: "base", then
    // "base 2", "base 3"... A name used before for the same history entry is used again, so a
    // capture uploaded twice keeps one file; `held` (names of queued items) stay taken whoever
    // owns them. Names compare without regard to case. The name is recorded at once.
    QString reserve(const QString& base, const QString& extension, const std::optional<QUuid>& entryID,
                    const QStringList& held);

    // Whether `name` was given to another capture's upload, or is one of `held`: a name the
    // server has free is still not for this upload.
    bool takenByOther(const QString& name, const std::optional<QUuid>& entryID,
                      const QStringList& held) const;
    // Records a name the upload of `entryID` moved to because the server had its first one.
    void record(const QString& name, const std::optional<QUuid>& entryID);

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
        QString name;
        std::optional<QUuid> entryID;
    };
    void save() const;

    QString path_;
    QList<Use> uses_;
    QHash<QString, qsizetype> byName_;  // case-folded name -> index in uses_
};

}  // namespace kx
