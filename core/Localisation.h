#pragma once
// Interface texts live in the code as English + Hungarian (+ German) at the call site.
// Inside a QObject subclass, always call kx::tr qualified: plain tr() there is QObject::tr.

#include <QHash>
#include <QString>
#include <QStringList>

namespace kx {

// The text for the current interface language. A null `de` means "not given": German
// then comes from the English-to-German table, else the English text.
QString tr(const QString& en, const QString& hu, const QString& de = QString());

// The same rule for an explicit language code ("en", "hu", "de").
QString trIn(const QString& lang, const QString& en, const QString& hu, const QString& de = QString());

struct Lang {
    // "en", "hu" or "de"; decided on first use from the `language` setting and fixed after.
    static QString current();
    // Pure rule behind current(): the stored setting and the system's preferred languages.
    static QString resolve(const QString& stored, const QStringList& preferred);
    // Tests and developer modes only: replace the decided language.
    static void overrideForTests(const QString& lang);
};

// Loads Qt's own translations of the texts in the dialogs Qt draws (the colour dialog, the
// file dialogs' buttons) for the interface language, once. English needs none; a missing
// translation leaves Qt's English. Returns whether one was loaded.
bool installQtTranslations();

struct German {
    // English text -> German text, built once from the compiled-in list.
    static const QHash<QString, QString>& table();
    // The compiled-in pairs in list order (for checks of the list itself).
    static QList<QPair<QString, QString>> pairs();
};

struct AppInfo {
    static QString version();
    static QString build();
};

}  // namespace kx
