#pragma once
// The settings window's content: the sidebar of tabs with Help and the version, a hairline,
// and the page of the current tab under its header. The page is built anew at every switch.
#include "settings/SettingsTab.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace kx {

class IconBadge;

class SettingsView : public QWidget {
    Q_OBJECT
public:
    explicit SettingsView(SettingsNav& nav, QWidget* parent = nullptr);

    QWidget* page() const { return m_page; }
    QLabel* headerTitle() const { return m_title; }
    QWidget* sidebarRow(SettingsTab tab) const;
    QWidget* helpRow() const { return m_help; }

    // A new page for a tab.
    static QWidget* makePage(SettingsTab tab);

private:
    void showTab(SettingsTab tab);

    SettingsNav& m_nav;
    QWidget* m_sidebar;
    QVBoxLayout* m_detail;
    IconBadge* m_badge = nullptr;
    QWidget* m_headerBox;
    QLabel* m_title;
    QPointer<QWidget> m_page;
    QWidget* m_help;
};

}  // namespace kx
