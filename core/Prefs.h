#pragma once
// The settings store: QSettings (INI) under $XDG_CONFIG_HOME/Kaptorix/Kaptorix.conf with a
// layer of registered defaults kept in memory (never written). The file and its folder are for
// their owner only (0600 in 0700). Reads are thread-safe.

#include "core/Enums.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>

namespace kx {

class Prefs {
public:
    // Registers the defaults of every known key and removes settings of earlier versions.
    // Called first thing at launch; repeating it is harmless.
    static void registerDefaults();

    // The value of a key: the stored one, else the registered default, else invalid.
    static QVariant value(const QString& key);
    // Only what the user stored (no defaults).
    static QVariant storedValue(const QString& key);
    static QVariant registeredDefault(const QString& key);
    static QString string(const QString& key);
    static bool boolean(const QString& key);
    // The least and greatest value Settings offers for a number key; none for other keys.
    // Numbers are read into it before anything acts on them (a hand-edited history.max=2 must
    // not prune to two). A retention limit below 1 stays "no limit", and one above the
    // greatest stays as it is: read down, it would delete captures the user chose to keep.
    struct Range {
        double least = 0, greatest = 0;
        bool offBelowOne = false;  // below 1 switches the rule off (read as 0)
        bool keptAbove = false;    // above `greatest` the value stands
    };
    static std::optional<Range> offeredRange(const QString& key);
    // Tests of the pruning and height logic with small limits: numbers read as stored (only
    // the int range bounds them). On by default.
    static void readIntoOfferedRangeForTests(bool on);
    // Out-of-range numbers are clamped to the int range and the offered range; no number
    // reads as 0.
    static int integer(const QString& key);
    // A value written by hand as 365, "365", 365.0 or 1e3 is 365 (clamped to the int range);
    // text that is no number and numbers with a fraction are no value.
    static std::optional<int> wholeNumber(const QString& key);
    static double real(const QString& key);
    static QStringList stringList(const QString& key);
    // Stored at once; written to the disk a moment later (or by sync()). A change that cannot be
    // written is announced once a run (PrefsNotifier::notSaved) and lasts until quit.
    static void set(const QString& key, const QVariant& value);
    static void remove(const QString& key);
    static bool contains(const QString& key);  // stored by the user
    // Writes the changes now; one that does not reach the disk marks the settings unsavable.
    static void sync();

    // Typed getters; each falls back to the enumeration's first case.
    static QString saveFolderURL();  // absolute folder path, not created here
    static ImageFormat imageFormat();
    static CopyMode copyMode();
    static RemoteProtocol remoteProtocol();
    static std::optional<qint64> remotePort();
    static AIProvider aiProvider();
    static UploadCopyFormat uploadCopyFormat();
    static ColorFormat colorFormat();
    static QStringList ocrLanguages();  // empty: automatic choice
    // Stored text with spaces and tabs (not line breaks) removed from both ends.
    static QString trimmed(const QString& key);

    // The registered keys in registration order.
    static QStringList registeredKeys();
    // Path of the settings file.
    static QString settingsPath();

    // Another Kaptorix of this user (a second display, one home) changed the settings file:
    // its changes are taken in, with this run's own not yet written kept on top, and every key
    // whose value changed is announced (PrefsNotifier::changed). Returns those keys.
    static QStringList takeChangesElsewhere();
    // Looks for such changes every `intervalMs` on the UI thread, tries a write that failed
    // again then, and writes what is left once more at quit.
    static void followChangesElsewhere(int intervalMs = 1000);

    // What the start found at settingsPath().
    struct Health {
        bool existed = false;   // something was at the path
        bool readable = true;   // it could be read (false: a folder, or not this user's to read)
        bool readWhole = true;  // false: it parsed only in part and was kept aside first
        bool writable = true;   // changes reach the disk
        QString keptAs;         // where the file that parsed only in part is kept
        // The settings path was a link to a file that holds no settings (it did not parse): the
        // link was replaced by a file of its own and the file it named, here, left unchanged.
        QString linkedTo;
        QString reason;  // the system's reason it cannot be read or written
    };
    static Health health();
    // A first start: the settings were read whole, can be saved, and never saw a start. Not when
    // they cannot be read (they exist) or cannot be saved (every start would be the first).
    static bool firstRun();
    // firstRun(), for the start itself: any start whose settings can be saved is remembered, also
    // one that found the file damaged (kept aside, it is written anew without the mark).
    static bool takeFirstRun();
    // Tests only: forget the open store so the next access re-reads the environment.
    static void reloadForTests();
};

// Spaces and tabs removed from both ends (line breaks stay).
QString trimBlanks(const QString& s);

}  // namespace kx
