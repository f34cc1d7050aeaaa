#include "settings/SettingsWindowController.h"

#include "core/Localisation.h"
#include "settings/SettingsTab.h"
#include "settings/SettingsView.h"
#include "ui/WheelGuard.h"
#include "ui/WindowPolicy.h"

#include <QVBoxLayout>

namespace kx {

SettingsWindowController& SettingsWindowController::shared()
{
    static SettingsWindowController controller;
    return controller;
}

void SettingsWindowController::show(std::optional<int> tab)
{
    if (tab) {
        if (std::optional<SettingsTab> t = SettingsTabs::fromIndex(*tab))
            SettingsNav::shared().setTab(*t);
    }
    if (!window_) {
        auto* window = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window->setObjectName(QStringLiteral("KaptorixSettings"));
        window->setWindowTitle(kx::tr("Kaptorix Settings", "Kaptorix beállítások", "Kaptorix-Einstellungen"));
        window->setFixedSize(760, 580);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new SettingsView(SettingsNav::shared(), window);
        layout->addWidget(view_);
        // Scrolling a page with the pointer over a picker scrolls the page, not the setting.
        WheelGuard::install(window);
        // Centred once, when made; later shows keep the place the user left it at.
        WindowPolicy::centre(window);
        window_ = window;
    }
    WindowPolicy::bringToFront(window_);
}

}  // namespace kx
