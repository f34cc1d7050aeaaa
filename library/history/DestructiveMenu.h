#pragma once
// A menu that draws the actions marked destructive (deleting captures) in the system red, so
// that the items that lose work stand apart from the rest.
#include <QMenu>

namespace kx {

class DestructiveMenu : public QMenu {
    Q_OBJECT
public:
    using QMenu::QMenu;

    static void setDestructive(QAction* action, bool on = true);
    static bool isDestructive(const QAction* action);

protected:
    void initStyleOption(QStyleOptionMenuItem* option, const QAction* action) const override;
};

}  // namespace kx
