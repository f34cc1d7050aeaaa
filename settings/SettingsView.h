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

    QWidget* page() const { return page_; }
    QLabel* headerTitle() const { return title_; }
    QWidget* sidebarRow(SettingsTab tab) const;
    QWidget* helpRow() const { return help_; }

    // A new page for a tab.
    static QWidget* makePage(SettingsTab tab);
    static constexpr int kTabFadeMs = 150;

    // Ctrl+Tab, Ctrl+PgDown and the others: the next (1) or previous (-1) tab, round the end.
    void stepTab(int step);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showTab(SettingsTab tab);
    static void fadeIn(QWidget* page);

    SettingsNav& nav_;
    QWidget* sidebar_;
    QVBoxLayout* detail_;
    IconBadge* badge_ = nullptr;
    QWidget* headerBox_;
    QLabel* title_;
    QPointer<QWidget> page_;
    QWidget* help_;
};

}  // namespace kx
