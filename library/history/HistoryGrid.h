#pragma once
// The history's virtual grid: one custom-painted scroll area that lays out day sections
// and tiles, and draws and hit-tests only what is visible (no widget per tile). Thumbnails
// come from a ThumbnailLoader; until one lands the tile shows "photo".

#include "library/history/HistoryModel.h"

#include <QAbstractScrollArea>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QPixmap>
#include <QUuid>
#include <QVariantAnimation>
#include <functional>
#include <optional>

namespace kx {

class ThumbnailLoader;

class HistoryGrid : public QAbstractScrollArea {
    Q_OBJECT
public:
    // The hover buttons of a tile, right to left from the corner.
    enum class Button { none, star, palette, open, copy };

    explicit HistoryGrid(ThumbnailLoader* thumbnails, QWidget* parent = nullptr);

    void setSections(QList<HistorySection> sections);
    const QList<HistorySection>& sections() const { return sections_; }
    const GridLayout& gridLayout() const { return layout_; }
    QUuid selected() const { return selected_; }

    // The entry under a viewport point, and which hover button (if any) it is on.
    std::optional<HistoryEntry> entryAt(const QPoint& viewportPos, Button* button = nullptr) const;
    // Where a tile is in viewport coordinates (empty when it is not laid out).
    QRect tileRect(const QUuid& id) const;
    // The hover buttons of a tile at `tile` (viewport coordinates), per entry state.
    static QList<std::pair<Button, QRectF>> buttonRects(const QRectF& tile, const HistoryEntry& entry,
                                                        bool hover);
    // How far a tile is lifted by the pointer over it: 0 at rest, 1 hovered; it eases between.
    double lift(const QUuid& id) const { return lifts_.value(id).level; }
    // The scale a tile is drawn at for a lift.
    static double liftScale(double lift) { return 1 + 0.0025 * lift; }

    // The action a tile asks for (the view runs it).
    std::function<void(EntryAction, const HistoryEntry&)> onAction;
    // A secondary click: the view shows the entry's menu at a global point.
    std::function<void(const HistoryEntry&, const QPoint&)> onMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool viewportEvent(QEvent* event) override;

private:
    void relayout();
    void setHover(const QUuid& id);
    void liftTo(const QUuid& id, double target);
    void paintShadow(QPainter& p, const QRectF& card, double lift);
    void paintTile(QPainter& p, const QRectF& r, const HistoryEntry& e, QList<QUuid>& wanted);
    const HistoryEntry* entryOf(const GridHit& hit) const;

    // Painted tiles: a frame mostly copies these; a tile is painted again only when its
    // entry, state, thumbnail or width changes.
    struct TileImage {
        QPixmap pixmap;
        HistoryEntry entry;
        bool hover = false;
        bool selected = false;
        qint64 thumb = 0;  // cacheKey() of the thumbnail it shows; 0: the placeholder
        qreal width = 0;
    };
    const QPixmap& tileImage(const QRectF& r, const HistoryEntry& e, QList<QUuid>& wanted);

    ThumbnailLoader* thumbnails_;
    QCache<QUuid, TileImage> tiles_;
    QPixmap uncached_;
    QList<HistorySection> sections_;
    GridLayout layout_;
    QUuid hover_;
    QUuid selected_;

    struct Lift {
        double level = 0;
        QVariantAnimation* animation = nullptr;
    };
    QHash<QUuid, Lift> lifts_;
    // The card's shadow at rest and lifted, for the current column width and pixel ratio.
    struct Shadows {
        qreal width = 0;
        qreal dpr = 0;
        QImage rest, lifted;
        qreal restMargin = 0, liftedMargin = 0;
    };
    Shadows shadows_;
};

}  // namespace kx
