#pragma once
// The history browser's content: a header (search field, All/Starred chips, count, bulk
// menu) over the virtual grid, or over an empty state when the search finds nothing.
// Reads the store live; every change of its entries redraws.

#include "library/history/HistoryActions.h"

#include <QDateTime>
#include <QWidget>
#include <functional>

class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStackedWidget;
class QToolButton;

namespace kx {

class HistoryGrid;
class ThumbnailLoader;

class HistoryView : public QWidget {
    Q_OBJECT
public:
    // `now` is the clock of the day headers (empty: the system's).
    explicit HistoryView(HistoryServices services, std::function<QDateTime()> now = {},
                         QWidget* parent = nullptr);
    ~HistoryView() override;

    QString query() const;
    void setQuery(const QString& query);
    bool favoritesOnly() const { return favoritesOnly_; }
    void setFavoritesOnly(bool on);
    int count() const { return count_; }

    struct EmptyState {
        QString symbol;
        QString title;
        QString line;
    };
    // The empty state shown now; no value while the grid shows.
    std::optional<EmptyState> emptyState() const;
    static EmptyState emptyStateFor(bool storeHasEntries);

    HistoryGrid* grid() const { return grid_; }
    ThumbnailLoader* thumbnails() const { return thumbnails_; }
    QLineEdit* searchField() const { return search_; }
    // The context menu of an entry (the caller owns it).
    QMenu* menuFor(const HistoryEntry& entry);
    const HistoryServices& services() const { return services_; }

    // Runs the search, the sections and the layout again; once the view has hidden, not
    // until it shows again.
    void refresh();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QWidget* buildHeader();
    void runAction(EntryAction action, const HistoryEntry& entry);

    HistoryServices services_;
    std::function<QDateTime()> now_;
    ThumbnailLoader* thumbnails_ = nullptr;
    HistoryGrid* grid_ = nullptr;
    QStackedWidget* stack_ = nullptr;
    QWidget* empty_ = nullptr;
    QLineEdit* search_ = nullptr;
    QToolButton* clear_ = nullptr;
    QPushButton* allChip_ = nullptr;
    QPushButton* starredChip_ = nullptr;
    QLabel* countLabel_ = nullptr;
    bool favoritesOnly_ = false;
    bool hidden_ = false;  // hidden after it showed: refreshed when it shows again
    int count_ = 0;
    std::optional<EmptyState> emptyState_;
};

}  // namespace kx
