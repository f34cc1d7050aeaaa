#include "analysis/OCRLanguages.h"

#include "core/Prefs.h"

#include <QDir>
#include <QLocale>
#include <QRegularExpression>

namespace kx {

namespace {

// Two-letter language codes and the Tesseract model that reads them.
struct CodePair {
    const char* iso;
    const char* tess;
};
constexpr CodePair kCodes[] = {
    {"en", "eng"}, {"de", "deu"}, {"hu", "hun"}, {"fr", "fra"}, {"es", "spa"}, {"it", "ita"},
    {"pt", "por"}, {"nl", "nld"}, {"pl", "pol"}, {"cs", "ces"}, {"sk", "slk"}, {"ro", "ron"},
    {"sv", "swe"}, {"da", "dan"}, {"fi", "fin"}, {"nb", "nor"}, {"no", "nor"}, {"ru", "rus"},
    {"uk", "ukr"}, {"tr", "tur"}, {"el", "ell"}, {"ja", "jpn"}, {"ko", "kor"}, {"zh", "chi_sim"},
    {"hr", "hrv"}, {"sl", "slv"}, {"sr", "srp"}, {"bg", "bul"}, {"et", "est"}, {"lv", "lav"},
    {"lt", "lit"},
};

QString tessForIso(const QString& iso)
{
    for (const CodePair& p : kCodes) {
        if (iso == QLatin1String(p.iso))
            return QString::fromLatin1(p.tess);
    }
    return {};
}

QString isoForTess(const QString& tess)
{
    for (const CodePair& p : kCodes) {
        if (tess == QLatin1String(p.tess))
            return QString::fromLatin1(p.iso);
    }
    return {};
}

void appendOnce(QStringList& list, const QString& code)
{
    if (!code.isEmpty() && !list.contains(code))
        list.append(code);
}

// English, German and Hungarian, whichever are installed; else every installed model.
QStringList productLanguages(const QStringList& installed)
{
    QStringList chosen;
    for (const char* code : {"eng", "deu", "hun"}) {
        if (installed.contains(QLatin1String(code)))
            chosen.append(QLatin1String(code));
    }
    return chosen.isEmpty() ? installed : chosen;
}

}  // namespace

QString OCRLanguages::dataDir()
{
    const QString env = qEnvironmentVariable("TESSDATA_PREFIX");
    if (!env.isEmpty())
        return env;
    return QStringLiteral("/usr/share/tesseract-ocr/5/tessdata");
}

QStringList OCRLanguages::installed(const QString& dataDir)
{
    QStringList out;
    const QStringList files =
        QDir(dataDir).entryList({QStringLiteral("*.traineddata")}, QDir::Files, QDir::Name);
    for (const QString& f : files) {
        const QString code = f.chopped(int(qstrlen(".traineddata")));
        if (code != "osd" && code != "equ")
            out.append(code);
    }
    return out;
}

QString OCRLanguages::tesseractCode(const QString& userCode, const QStringList& installed)
{
    const QString code = userCode.trimmed();
    if (code.isEmpty())
        return {};
    // A model name typed as it is ("deu", "chi_sim").
    if (installed.contains(code))
        return code;
    static const QRegularExpression sep(QStringLiteral("[-_.@]"));
    const QString lang = code.section(sep, 0, 0).toLower();
    if (installed.contains(lang))
        return lang;
    const QString tess = tessForIso(lang);
    return installed.contains(tess) ? tess : QString();
}

QStringList OCRLanguages::resolve(const QStringList& userCodes, const QStringList& preferred,
                                  const QStringList& installed)
{
    QStringList chosen;
    bool anyGiven = false;
    for (const QString& code : userCodes) {
        anyGiven = anyGiven || !code.trimmed().isEmpty();
        appendOnce(chosen, tesseractCode(code, installed));
    }
    if (!chosen.isEmpty())
        return chosen;
    // Languages were asked for but none is known: the product's own three, not a guess from
    // the system languages the user chose not to rely on.
    if (anyGiven)
        return productLanguages(installed);

    QStringList prefixes;
    for (const QString& p : preferred)
        appendOnce(prefixes, p.left(2).toLower());
    for (const QString& tess : installed) {
        const QString iso = isoForTess(tess);
        if (!iso.isEmpty() && prefixes.contains(iso))
            appendOnce(chosen, tess);
    }
    if (!chosen.isEmpty()) {
        if (installed.contains("eng"))
            appendOnce(chosen, QStringLiteral("eng"));
        return chosen;
    }

    // Nothing matched the preferred languages: read every language the product speaks.
    return productLanguages(installed);
}

QStringList OCRLanguages::current()
{
    return resolve(Prefs::ocrLanguages(), QLocale::system().uiLanguages(), installed());
}

}  // namespace kx
