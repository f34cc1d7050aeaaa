#pragma once
// The help window's content: sidebar (logo, version, search field, topic list) and the
// selected page with its sections, row cards, pictures and link buttons.
#include "help/HelpModel.h"

#include <QWidget>

class QLineEdit;
class QScrollArea;
class QVBoxLayout;

namespace kx {

class HelpNav;

class HelpView : public QWidget {
    Q_OBJECT
public:
    explicit HelpView(HelpNav& nav, QWidget* parent = nullptr);

    QLineEdit* searchField() const { return search_; }
    QString query() const;
    // Ids of the sidebar rows, in order.
    QStringList sidebarIds() const;
    // The row drawn as selected; empty when the selected page is not listed.
    QString highlightedId() const;
    // The page in the detail; empty when the search matches nothing.
    QString pageId() const { return pageId_; }

    // The topics the search lets through, in list order (the search test of the sidebar).
    static QList<HelpTopic> shownTopics(const QString& query);

protected:
    void showEvent(QShowEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void refresh(bool rebuildPage);
    void buildSidebar(const QList<HelpTopic>& shown);
    void buildPage(const HelpTopic* topic);
    QWidget* sectionView(const HelpSection& section);
    QWidget* rowView(const HelpRow& row);

    HelpNav& nav_;
    QLineEdit* search_ = nullptr;
    QVBoxLayout* topicList_ = nullptr;
    QScrollArea* detail_ = nullptr;
    QString pageId_;
    bool pageBuilt_ = false;
};

}  // namespace kx
