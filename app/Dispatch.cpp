#include "app/Dispatch.h"

#include <array>

namespace kx {

namespace {
struct Option {
    const char* text;
    LaunchMode mode;
    bool needsValue;
};
constexpr std::array<Option, 5> kOptions{{
    {"--self-test", LaunchMode::selfTest, false},
    {"--render-demo", LaunchMode::renderDemo, true},
    {"--snapshot-ui", LaunchMode::snapshotUi, true},
    {"--stress-settings", LaunchMode::stressSettings, false},
    {"--frame-test", LaunchMode::frameTest, true},
}};

// Qt's own options that take the next argument as their value; the =value forms take none.
constexpr std::array<const char*, 14> kQtValueOptions{
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "session",
    "display",         "geometry",           "name",          "title",
    "style",           "stylesheet"};

// "-platform" and "--platform" alike, as Qt reads them.
QString optionName(const QString& arg)
{
    if (!arg.startsWith(QLatin1Char('-')))
        return {};
    return arg.mid(arg.startsWith(QLatin1String("--")) ? 2 : 1);
}

bool takesValue(const QString& arg)
{
    const QString name = optionName(arg);
    for (const char* o : kQtValueOptions)
        if (name == QLatin1String(o))
            return true;
    return false;
}

// Where the options end: at the first "--" that is no Qt option's value (`-title --` names a
// title), else after the last argument. What follows the "--" are files, whatever they look like.
qsizetype optionsEnd(const QStringList& args)
{
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--"))
            return i;
        if (takesValue(args[i]))
            ++i;
    }
    return args.size();
}
}  // namespace

Launch dispatch(const QStringList& all)
{
    const QStringList args = all.mid(0, optionsEnd(all));
    for (const Option& o : kOptions) {
        const qsizetype at = args.indexOf(QLatin1String(o.text));
        if (at < 0)
            continue;
        if (!o.needsValue)
            return {o.mode, {}};
        if (at + 1 < args.size())
            return {o.mode, args.at(at + 1)};
    }
    return {};
}

QStringList fileArguments(const QStringList& args)
{
    const qsizetype end = optionsEnd(args);
    QStringList files;
    for (qsizetype i = 0; i < end; ++i) {
        if (takesValue(args[i]))
            ++i;
        else if (!args[i].startsWith(QLatin1Char('-')))
            files << args[i];
    }
    return files + args.mid(end + 1);
}

QString qtOptionValue(const QStringList& args, const QString& name)
{
    const qsizetype end = optionsEnd(args);
    for (qsizetype i = 0; i + 1 < end; ++i) {
        if (!takesValue(args[i]))
            continue;
        if (optionName(args[i]) == name)
            return args[i + 1];
        ++i;  // another option's value
    }
    return {};
}

QStringList x11Arguments(const QStringList& args)
{
    // Qt reads options anywhere: the files after "--" never reach it.
    const qsizetype end = optionsEnd(args);
    QStringList out;
    for (qsizetype i = 0; i < end; ++i) {
        if (optionName(args[i]) == QLatin1String("platform"))
            ++i;  // and its value
        else
            out << args[i];
    }
    return out << QStringLiteral("-platform") << QStringLiteral("xcb");
}

}  // namespace kx
