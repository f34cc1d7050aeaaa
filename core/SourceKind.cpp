#include "core/SourceKind.h"

#include "core/Localisation.h"

namespace kx {

namespace {
struct LabelPair {
    const char* en;
    const char* hu;
};
constexpr LabelPair kLabels[] = {
    {"Area", "Terület"},       {"Fullscreen", "Teljes képernyő"}, {"Window", "Ablak"},
    {"Scrolling", "Görgetős"}, {"Clipboard", "Vágólap"},          {"File", "Fájl"},
    {"Color", "Szín"},
};
}  // namespace

QString labelIn(SourceKind kind, const QString& lang)
{
    const LabelPair& p = kLabels[static_cast<int>(kind)];
    return trIn(lang, QString::fromUtf8(p.en), QString::fromUtf8(p.hu));
}

QString label(SourceKind kind)
{
    return labelIn(kind, Lang::current());
}

}  // namespace kx
