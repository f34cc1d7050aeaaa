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
}  // namespace

Launch dispatch(const QStringList& args)
{
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
    QStringList files;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (takesValue(args[i]))
            ++i;
        else if (!args[i].startsWith(QLatin1Char('-')))
            files << args[i];
    }
    return files;
}

QString qtOptionValue(const QStringList& args, const QString& name)
{
    for (qsizetype i = 0; i + 1 < args.size(); ++i) {
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
    QStringList out;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (optionName(args[i]) == QLatin1String("platform"))
            ++i;  // and its value
        else
            out << args[i];
    }
    return out << QStringLiteral("-platform") << QStringLiteral("xcb");
}

}  // namespace kx
