#pragma once
// One place to hear that a setting changed: every Prefs write in this process that changes a
// stored value is announced here, on the thread the notifier lives on (the UI thread), so owners
// (hot keys, history limits, language, copy mode, taskbar policy...) react without being called.
#include <QObject>
#include <QString>

namespace kx {

class PrefsNotifier : public QObject {
    Q_OBJECT
public:
    static PrefsNotifier& shared();

    // Announces `key` on the notifier's thread: at once when called there, else queued.
    void announce(const QString& key);

Q_SIGNALS:
    void changed(const QString& key);

private:
    PrefsNotifier() = default;
};

}  // namespace kx
