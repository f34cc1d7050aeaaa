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
    for (const QString& a : args)
        if (!a.startsWith(QLatin1Char('-')))
            files << a;
    return files;
}

}  // namespace kx
