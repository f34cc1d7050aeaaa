// The whole help list, live key labels, picture lookup and the search test.
#include "core/Localisation.h"
#include "help/HelpBuild.h"
#include "help/HelpModel.h"
#include "platform/HotKeyManager.h"

#include <QFileInfo>
#include <QImageReader>
#include <QStringList>

namespace kx {

namespace help {

QColor tint(const char* name)
{
    // The standard named colours of the badges (light appearance).
    struct Named {
        const char* name;
        QRgb rgb;
    };
    static constexpr Named table[] = {
        {"purple", qRgb(175, 82, 222)}, {"blue", qRgb(0, 122, 255)},   {"indigo", qRgb(88, 86, 214)},
        {"pink", qRgb(255, 45, 85)},    {"orange", qRgb(255, 149, 0)}, {"yellow", qRgb(255, 204, 0)},
        {"green", qRgb(52, 199, 89)},   {"cyan", qRgb(50, 173, 230)},  {"gray", qRgb(142, 142, 147)},
        {"teal", qRgb(48, 176, 199)},   {"red", qRgb(255, 59, 48)},
    };
    for (const Named& n : table) {
        if (qstrcmp(n.name, name) == 0)
            return QColor(n.rgb);
    }
    return QColor(Qt::gray);
}

}  // namespace help

QList<HelpTopic> HelpContent::allTopics()
{
    QList<HelpTopic> all = HelpTopicsA::topics();
    all += HelpTopicsB::topics();
    all += HelpTopicsC::topics();
    return all;
}

QString HelpContent::versionLine()
{
    return QStringLiteral("Kaptorix ") + AppInfo::version() + QStringLiteral(" (build ") + AppInfo::build() +
           QStringLiteral(")");
}

QString HelpContent::liveKeys(HotKeyAction action)
{
    const std::optional<KeyCombo> combo = HotKeyManager::shared().combo(action);
    return combo ? combo->display() : QString(QChar(0x2013));
}

std::optional<QImage> HelpImage::load(const QString& name)
{
    // An empty variable counts as unset, as KAPTORIX_DATA_DIR does: never the file-system root.
    const QString folder = qEnvironmentVariable("KAPTORIX_RESOURCES");
    return load(name, Lang::current(), QStringLiteral(":/Help"), folder);
}

std::optional<QImage> HelpImage::load(const QString& name, const QString& lang, const QString& resourceRoot,
                                      const QString& folder)
{
    const auto read = [](const QString& path) -> std::optional<QImage> {
        if (!QFileInfo::exists(path))
            return std::nullopt;
        QImageReader reader(path);
        QImage image = reader.read();
        if (image.isNull())
            return std::nullopt;
        return image;
    };
    for (const QString& l : {lang, QStringLiteral("en")}) {
        for (const char* ext : {"jpg", "png"}) {
            const QString tail = QStringLiteral("/") + l + QStringLiteral("/") + name + QStringLiteral(".") +
                                 QLatin1String(ext);
            if (auto image = read(resourceRoot + tail))
                return image;
            if (!folder.isEmpty()) {
                if (auto image = read(folder + QStringLiteral("/Help") + tail))
                    return image;
            }
        }
    }
    return std::nullopt;
}

QString HelpSearch::fold(const QString& text)
{
    // Canonical decomposition letter by letter, combining marks dropped, then case folding.
    // Letter by letter keeps a keystroke's search over all pages within a few milliseconds.
    const auto isMark = [](QChar c) {
        const auto cat = c.category();
        return cat == QChar::Mark_NonSpacing || cat == QChar::Mark_SpacingCombining ||
               cat == QChar::Mark_Enclosing;
    };
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            out.append(c);
        } else if (isMark(c)) {
            continue;
        } else if (c.decompositionTag() == QChar::Canonical) {
            for (const QChar d : c.decomposition().normalized(QString::NormalizationForm_D)) {
                if (!isMark(d))
                    out.append(d);
            }
        } else {
            out.append(c);
        }
    }
    // Full folding of ß, so "grosse" finds "große".
    return out.toCaseFolded().replace(QChar(0x00DF), QStringLiteral("ss"));
}

QString HelpSearch::prepare(const QString& query)
{
    qsizetype begin = 0;
    qsizetype end = query.size();
    const auto blank = [](QChar c) { return c == u' ' || c == u'\t'; };
    while (begin < end && blank(query[begin]))
        ++begin;
    while (end > begin && blank(query[end - 1]))
        --end;
    return fold(query.mid(begin, end - begin));
}

bool HelpSearch::matches(const HelpTopic& topic, const QString& q)
{
    if (q.isEmpty())
        return true;
    const auto hit = [&q](const QString& s) { return !s.isEmpty() && fold(s).contains(q); };
    if (hit(topic.title) || hit(topic.intro))
        return true;
    for (const HelpSection& section : topic.sections) {
        if (section.title && hit(*section.title))
            return true;
        for (const QString& p : section.paragraphs) {
            if (hit(p))
                return true;
        }
        for (const HelpRow& row : section.rows) {
            if (hit(row.name) || hit(row.text) || (row.keys && hit(*row.keys)))
                return true;
        }
    }
    return false;
}

}  // namespace kx
