#include "settings/SettingsTab.h"

#include "core/Localisation.h"
#include "ui/Theme.h"

namespace kx {

std::optional<SettingsTab> SettingsTabs::fromIndex(int index)
{
    if (unsigned(index) >= all.size())
        return std::nullopt;
    return all[size_t(index)];
}

QString SettingsTabs::title(SettingsTab tab)
{
    switch (tab) {
        case SettingsTab::general:
            return kx::tr("General", "Általános", "Allgemein");
        case SettingsTab::shortcuts:
            return kx::tr("Shortcuts", "Billentyűparancsok", "Tastenkürzel");
        case SettingsTab::capture:
            return kx::tr("Capture & save", "Rögzítés és mentés", "Aufnahme & Ablage");
        case SettingsTab::upload:
            return kx::tr("Upload", "Feltöltés", "Hochladen");
        case SettingsTab::ai:
            return QStringLiteral("AI");
    }
    return {};
}

QString SettingsTabs::symbol(SettingsTab tab)
{
    switch (tab) {
        case SettingsTab::general:
            return QStringLiteral("gearshape.fill");
        case SettingsTab::shortcuts:
            return QStringLiteral("keyboard.fill");
        case SettingsTab::capture:
            return QStringLiteral("camera.viewfinder");
        case SettingsTab::upload:
            return QStringLiteral("icloud.and.arrow.up.fill");
        case SettingsTab::ai:
            return QStringLiteral("sparkles");
    }
    return {};
}

QColor SettingsTabs::tint(SettingsTab tab)
{
    switch (tab) {
        case SettingsTab::general:
            return QColor::fromRgbF(0.5, 0.5, 0.5);
        case SettingsTab::shortcuts:
            return Theme::systemOrange();
        case SettingsTab::capture:
            return Theme::systemBlue();
        case SettingsTab::upload:
            return QColor(48, 176, 199);  // teal
        case SettingsTab::ai:
            return Theme::systemPurple();
    }
    return {};
}

SettingsNav& SettingsNav::shared()
{
    static SettingsNav* nav = new SettingsNav;
    return *nav;
}

void SettingsNav::setTab(SettingsTab tab)
{
    if (tab == tab_)
        return;
    tab_ = tab;
    Q_EMIT tabChanged(tab);
}

}  // namespace kx
