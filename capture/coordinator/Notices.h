#pragma once
// The capture pipeline's toasts, with one place to observe them (tests, the harness log).
#include <QObject>
#include <QString>

namespace kx {

class HistoryStore;

class Notices : public QObject {
    Q_OBJECT
public:
    static Notices& shared();

    // A ToastView with the symbol, title and optional second line for `seconds`; the toast's
    // queue decides when it shows (a warning waits for the one before it).
    static void show(const QString& title, const QString& subtitle, const QString& symbol, double seconds);
    // The second line of "Saved": the file's name, its middle elided when it would not fit.
    static QString savedName(const QString& path);
    // "Capture failed" with the reason, 5 s.
    static void captureFailed(const QString& reason);
    // From now on, a capture the history could not keep (its image file could not be
    // written), an index that cannot be written and a capture that pruned many entries are
    // reported. Once per store.
    static void watchHistory(HistoryStore& store);

Q_SIGNALS:
    // Told: handed to the toast, which may show it later (ToastEvents says when).
    void shown(const QString& title, const QString& subtitle);
};

}  // namespace kx
