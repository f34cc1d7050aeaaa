#pragma once
// One place to hear that a setting changed: every Prefs write in this process that changes a
// stored value is announced here, on the thread the notifier lives on (the UI thread), so owners
// (hot keys, history limits, language, copy mode, taskbar policy...) react without being called.
#include <QObject>
#include <QString>
#include <functional>

namespace kx {

class PrefsNotifier : public QObject {
    Q_OBJECT
public:
    static PrefsNotifier& shared();

    // Announces `key` on the notifier's thread: at once when called there, else queued.
    void announce(const QString& key);
    // Announces, the same way, that a change could not be written (Prefs does it once a run).
    void announceNotSaved();

Q_SIGNALS:
    void changed(const QString& key);
    // A change lasts only until quit: the settings file could not be written (Prefs::health()
    // says why).
    void notSaved();

private:
    void onOwnThread(std::function<void()> signal);
    PrefsNotifier() = default;
};

}  // namespace kx
