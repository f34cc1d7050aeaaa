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

    // A ToastView with the symbol, title and optional second line for `seconds`.
    static void show(const QString& title, const QString& subtitle, const QString& symbol, double seconds);
    // The same once no toast is on screen: a notice that a capture causes would else be
    // replaced at once by that capture's preview card.
    static void showWhenFree(const QString& title, const QString& subtitle, const QString& symbol,
                             double seconds);
    // "Capture failed" with the reason, 5 s.
    static void captureFailed(const QString& reason);
    // From now on, a capture the history could not keep (its image file could not be
    // written), an index that cannot be written and a capture that pruned many entries are
    // reported. Once per store.
    static void watchHistory(HistoryStore& store);

Q_SIGNALS:
    void shown(const QString& title, const QString& subtitle);
};

}  // namespace kx
