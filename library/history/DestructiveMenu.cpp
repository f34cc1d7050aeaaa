#include "library/history/DestructiveMenu.h"

#include "ui/Theme.h"

#include <QAction>
#include <QStyleOptionMenuItem>

namespace kx {

namespace {
constexpr const char* kProperty = "kx.destructive";
}

void DestructiveMenu::setDestructive(QAction* action, bool on)
{
    action->setProperty(kProperty, on);
}

bool DestructiveMenu::isDestructive(const QAction* action)
{
    return action && action->property(kProperty).toBool();
}

void DestructiveMenu::initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const
{
    QMenu::initStyleOption(option, action);
    if (!isDestructive(action) || !action->isEnabled())
        return;
    // Red text at rest; white on red while highlighted.
    const QColor red = Theme::systemRed();
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        option->palette.setColor(role, red);
    option->palette.setColor(QPalette::Highlight, red);
    option->palette.setColor(QPalette::HighlightedText, Qt::white);
}

}  // namespace kx
