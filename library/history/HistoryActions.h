#pragma once
// The actions on one history entry and the browser's bulk delete, over a services record
// that tests fill with fakes. Image actions read the full image through the store at the
// moment of the action; an unreadable image ends in a toast and leaves the clipboard alone.

#include "capture/history/HistoryEntry.h"
#include "core/CaptureResult.h"
#include "library/history/HistoryModel.h"

#include <QImage>
#include <QString>
#include <QUuid>
#include <functional>
#include <optional>

class QMimeData;

namespace kx {

class HistoryStore;

struct HistoryServices {
    HistoryStore* store = nullptr;
    std::function<void(const QString& title, const QString& subtitle, const QString& symbol, double seconds)>
        toast;
    // Takes ownership of the data.
    std::function<void(QMimeData* data)> setClipboard;
    std::function<void(const CaptureResult& capture, const QUuid& entryID)> openEditor;
    std::function<void(const QImage& image, double scale)> pin;
    std::function<void(const QImage& image, double scale, SourceKind kind,
                       const std::optional<QString>& title)>
        saveAs;
    std::function<void(const QImage& image)> palette;
    std::function<void(const QImage& image, double scale, const HistoryEntry& entry)> upload;
    // Shows the file in the file manager (else its folder); `done(false)` when neither opened.
    std::function<void(const QString& path, std::function<void(bool shown)> done)> reveal;
    std::function<void(const QString& folder)> openFolder;
    // Asks the question; calls `accepted` only when the user chose the destructive button.
    std::function<void(const DeleteConfirmation& question, std::function<void()> accepted)> confirm;

    // The services of this process.
    static HistoryServices live();
};

// The question in a window-modal box over the active window; `accepted` runs only for its
// destructive button (Cancel is the default and the escape button).
void askInDialog(const DeleteConfirmation& question, std::function<void()> accepted);

// Runs one entry action; the entry is the value the grid holds.
void runEntryAction(EntryAction action, const HistoryEntry& entry, const HistoryServices& services);
// Deletes the entries; toasts the system's reason when some could not be deleted.
void deleteEntries(const QList<QUuid>& ids, const HistoryServices& services);
// Deletes every unstarred entry of the whole store, whatever the browser shows.
void deleteAllExceptStarred(const HistoryServices& services);
// The bulk menu's item: asks first, naming how many captures go; when the user agrees, deletes
// those of them that are still there and still unstarred. Nothing to delete: nothing is asked.
void confirmDeleteAllExceptStarred(const HistoryServices& services);

}  // namespace kx
