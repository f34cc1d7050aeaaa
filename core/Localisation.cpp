#include "core/Localisation.h"

#include "core/Prefs.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMutex>
#include <QTranslator>
#include <atomic>

namespace kx {

namespace {
QMutex g_langMutex;
QString g_lang;  // guarded by g_langMutex; empty until decided

QStringList systemPreferredLanguages()
{
    // LANGUAGE / LC_* / LANG, in the user's order of preference.
    return QLocale::system().uiLanguages();
}
}  // namespace

QString Lang::resolve(const QString& stored, const QStringList& preferred)
{
    if (stored == "hu" || stored == "en" || stored == "de")
        return stored;
    const QString first = preferred.isEmpty() ? QStringLiteral("en") : preferred.first();
    if (first.startsWith("hu"))
        return QStringLiteral("hu");
    if (first.startsWith("de"))
        return QStringLiteral("de");
    return QStringLiteral("en");
}

QString Lang::current()
{
    QMutexLocker lock(&g_langMutex);
    if (g_lang.isEmpty()) {
        // Read straight from the store: the registered defaults may not exist yet, and
        // a missing value means "en".
        const QVariant v = Prefs::storedValue(QStringLiteral("language"));
        const QString stored = v.isValid() ? v.toString() : QStringLiteral("en");
        g_lang = resolve(stored, systemPreferredLanguages());
    }
    return g_lang;
}

void Lang::overrideForTests(const QString& lang)
{
    QMutexLocker lock(&g_langMutex);
    g_lang = lang;
}

bool installQtTranslations()
{
    static QTranslator* installed = nullptr;
    if (installed)
        return true;
    const QString lang = Lang::current();
    if (lang == "en" || !QCoreApplication::instance())
        return false;
    auto* qt = new QTranslator(QCoreApplication::instance());
    if (!qt->load(QStringLiteral("qtbase_") + lang, QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        delete qt;
        return false;
    }
    QCoreApplication::installTranslator(qt);
    installed = qt;
    return true;
}

QString trIn(const QString& lang, const QString& en, const QString& hu, const QString& de)
{
    if (lang == "hu")
        return hu;
    if (lang == "de") {
        if (!de.isNull())
            return de;
        const auto& t = German::table();
        const auto it = t.constFind(en);
        return it != t.constEnd() ? it.value() : en;
    }
    return en;
}

QString tr(const QString& en, const QString& hu, const QString& de)
{
    return trIn(Lang::current(), en, hu, de);
}

QString AppInfo::version()
{
#ifdef KX_VERSION
    return QStringLiteral(KX_VERSION);
#else
    return QStringLiteral("dev");
#endif
}

QString AppInfo::build()
{
#ifdef KX_BUILD
    return QStringLiteral(KX_BUILD);
#else
    return QStringLiteral("0");
#endif
}

}  // namespace kx
