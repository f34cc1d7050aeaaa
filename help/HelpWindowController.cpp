#include "help/HelpWindowController.h"

#include "core/Localisation.h"
#include "help/HelpNav.h"
#include "help/HelpView.h"
#include "ui/WindowPolicy.h"

#include <QVBoxLayout>
#include <QWidget>

namespace kx {

HelpNav& HelpNav::shared()
{
    static HelpNav* nav = new HelpNav;
    return *nav;
}

void HelpNav::setTopic(const QString& id)
{
    if (id == topic_)
        return;
    topic_ = id;
    Q_EMIT topicChanged(id);
}

HelpWindowController& HelpWindowController::shared()
{
    static HelpWindowController controller;
    return controller;
}

void HelpWindowController::show(const std::optional<QString>& topic)
{
    if (topic)
        HelpNav::shared().setTopic(*topic);
    if (!window_) {
        auto* window = new QWidget(nullptr, Qt::Window);
        window->setWindowTitle(kx::tr("Kaptorix Help", "Kaptorix súgó", "Kaptorix-Hilfe"));
        window->setMinimumSize(720, 460);
        window->resize(940, 680);
        auto* layout = new QVBoxLayout(window);
        layout->setContentsMargins(0, 0, 0, 0);
        view_ = new HelpView(HelpNav::shared(), window);
        layout->addWidget(view_);
        WindowPolicy::centre(window);
        window_ = window;
    }
    WindowPolicy::bringToFront(window_);
}

}  // namespace kx
