#include "library/history/HistoryGrid.h"

#include "core/Localisation.h"
#include "library/history/HistoryMotion.h"
#include "library/history/ThumbnailLoader.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QContextMenuEvent>
#include <QHelpEvent>
#include <QLocale>
#include <QPainter>
#include <QPainterPath>
#include <QRegularExpression>
#include <QScrollBar>
#include <QToolTip>
#include <QVariantAnimation>

namespace kx {

namespace {

using M = GridMetrics;
constexpr qreal kRadius = 12;
constexpr qreal kButton = 26;
constexpr qreal kInset = 8;

QString kindSymbol(SourceKind k)
{
    switch (k) {
        case SourceKind::area:
            return QStringLiteral("viewfinder");
        case SourceKind::fullscreen:
            return QStringLiteral("display");
        case SourceKind::window:
            return QStringLiteral("macwindow");
        case SourceKind::scrolling:
            return QStringLiteral("arrow.up.and.down.text.horizontal");
        case SourceKind::clipboard:
            return QStringLiteral("doc.on.clipboard");
        case SourceKind::file:
            return QStringLiteral("doc");
        case SourceKind::color:
            return QStringLiteral("eyedropper");
    }
    return QStringLiteral("viewfinder");
}

QString buttonSymbol(HistoryGrid::Button b, bool starred)
{
    switch (b) {
        case HistoryGrid::Button::copy:
            return QStringLiteral("doc.on.doc");
        case HistoryGrid::Button::open:
            return QStringLiteral("pencil.and.outline");
        case HistoryGrid::Button::palette:
            return QStringLiteral("paintpalette");
        case HistoryGrid::Button::star:
            return starred ? "star.fill"_sym : "star"_sym;
        case HistoryGrid::Button::none:
            break;
    }
    return QString();
}

QString buttonTip(HistoryGrid::Button b)
{
    switch (b) {
        case HistoryGrid::Button::copy:
            return kx::tr("Copy image", "Kép másolása", "Bild kopieren");
        case HistoryGrid::Button::open:
            return kx::tr("Open in editor", "Megnyitás szerkesztőben", "Im Editor öffnen");
        case HistoryGrid::Button::palette:
            return kx::tr("Color palette", "Színpaletta", "Farbpalette");
        case HistoryGrid::Button::star:
            return kx::tr("Star", "Csillagozás", "Als Favorit markieren");
        case HistoryGrid::Button::none:
            break;
    }
    return QString();
}

EntryAction buttonAction(HistoryGrid::Button b)
{
    switch (b) {
        case HistoryGrid::Button::copy:
            return EntryAction::copyWithToast;
        case HistoryGrid::Button::open:
            return EntryAction::open;
        case HistoryGrid::Button::palette:
            return EntryAction::palette;
        default:
            return EntryAction::toggleStar;
    }
}

QString timeText(const QDateTime& date)
{
    // Hours and minutes: some locales' short format carries seconds too.
    static const QString format = [] {
        QString f = QLocale().timeFormat(QLocale::ShortFormat);
        f.remove(QRegularExpression(QStringLiteral("[:.]ss?")));
        return f;
    }();
    return QLocale().toString(date.toLocalTime().time(), format);
}

}  // namespace

HistoryGrid::HistoryGrid(ThumbnailLoader* thumbnails, QWidget* parent)
    : QAbstractScrollArea(parent), thumbnails_(thumbnails), tiles_(64 * 1024)
{
    setFrameShape(QFrame::NoFrame);
    viewport()->setMouseTracking(true);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(40);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Updates coalesce: many thumbnails landing make few repaints.
    connect(thumbnails_, &ThumbnailLoader::loaded, viewport(), qOverload<>(&QWidget::update));
}

void HistoryGrid::setSections(QList<HistorySection> sections)
{
    sections_ = std::move(sections);
    relayout();
}

void HistoryGrid::relayout()
{
    layout_ = layoutGrid(sections_, viewport()->width());
    QScrollBar* bar = verticalScrollBar();
    bar->setPageStep(viewport()->height());
    bar->setRange(0, std::max(0, int(std::ceil(layout_.height)) - viewport()->height()));
    viewport()->update();
}

void HistoryGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void HistoryGrid::scrollContentsBy(int, int)
{
    viewport()->update();
}

const HistoryEntry* HistoryGrid::entryOf(const GridHit& hit) const
{
    if (hit.section < 0 || hit.section >= sections_.size() || hit.item < 0 ||
        hit.item >= sections_[hit.section].items.size())
        return nullptr;
    return &sections_[hit.section].items[hit.item];
}

QList<std::pair<HistoryGrid::Button, QRectF>> HistoryGrid::buttonRects(const QRectF& tile,
                                                                       const HistoryEntry& e, bool hover)
{
    QList<Button> shown;
    if (hover)
        shown = {Button::copy, Button::open, Button::palette};
    if (hover || e.favorite)
        shown.append(Button::star);
    QList<std::pair<Button, QRectF>> out;
    qreal right = tile.right() - kInset;
    for (qsizetype i = shown.size() - 1; i >= 0; --i) {
        out.prepend({shown[i], QRectF(right - kButton, tile.top() + kInset, kButton, kButton)});
        right -= kButton + 4;
    }
    return out;
}

std::optional<HistoryEntry> HistoryGrid::entryAt(const QPoint& pos, Button* button) const
{
    const qreal top = verticalScrollBar()->value();
    const auto hit = layout_.hit(QPointF(pos.x(), pos.y() + top));
    const HistoryEntry* e = hit ? entryOf(*hit) : nullptr;
    if (button)
        *button = Button::none;
    if (!e)
        return std::nullopt;
    if (button) {
        const QRectF r = hit->rect.translated(0, -top);
        // The pointer over a tile hovers it, so all its buttons are there.
        for (const auto& [b, rect] :
             buttonRects(QRectF(r.left(), r.top(), r.width(), M::cardHeight), *e, true)) {
            const QPointF d = QPointF(pos) - rect.center();
            if (d.x() * d.x() + d.y() * d.y() <= kButton * kButton / 4)
                *button = b;
        }
    }
    return *e;
}

QRect HistoryGrid::tileRect(const QUuid& id) const
{
    const qreal top = verticalScrollBar()->value();
    for (const GridRow& row : layout_.rows) {
        if (row.isHeader())
            continue;
        const auto& items = sections_[row.section].items;
        for (int c = 0; c < row.count; ++c) {
            if (items[row.first + c].id == id)
                return layout_.tileRect(row, c).translated(0, -top).toAlignedRect();
        }
    }
    return QRect();
}

void HistoryGrid::paintEvent(QPaintEvent*)
{
    QPainter p(viewport());
    p.setRenderHint(QPainter::Antialiasing);
    p.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    const qreal top = verticalScrollBar()->value();
    p.translate(0, -top);
    const auto [first, last] = layout_.visibleRows(top, top + viewport()->height());
    QList<QUuid> wanted;
    const QFont header = Theme::font(12, QFont::DemiBold);
    for (int i = first; i < last; ++i) {
        const GridRow& row = layout_.rows[i];
        const HistorySection& s = sections_[row.section];
        if (row.isHeader()) {
            p.setFont(header);
            p.setPen(Theme::secondary(palette()));
            p.drawText(
                QRectF(M::sidePadding, row.y + 4, viewport()->width() - 2 * M::sidePadding, row.height - 4),
                Qt::AlignLeft | Qt::AlignVCenter, s.title);
            continue;
        }
        // The row's shadows first, so that no shadow falls on a neighbouring card.
        for (int c = 0; c < row.count; ++c) {
            const QRectF r = layout_.tileRect(row, c);
            paintShadow(p, QRectF(r.left(), r.top(), r.width(), M::cardHeight),
                        lift(s.items[row.first + c].id));
        }
        for (int c = 0; c < row.count; ++c) {
            const QRectF r = layout_.tileRect(row, c);
            const HistoryEntry& e = s.items[row.first + c];
            const QPixmap& tile = tileImage(r, e, wanted);
            const double scale = liftScale(lift(e.id));
            if (scale == 1) {
                p.drawPixmap(r.topLeft(), tile);
                continue;
            }
            // The whole tile grows about its centre.
            p.save();
            p.setRenderHint(QPainter::SmoothPixmapTransform);
            p.translate(r.center());
            p.scale(scale, scale);
            p.translate(-r.center());
            p.drawPixmap(r.topLeft(), tile);
            p.restore();
        }
    }
    const qreal dpr = devicePixelRatioF();
    thumbnails_->want(wanted, QSize(int(layout_.columnWidth * dpr), int(M::cardHeight * dpr)));
}

const QPixmap& HistoryGrid::tileImage(const QRectF& r, const HistoryEntry& e, QList<QUuid>& wanted)
{
    const bool hover = e.id == hover_;
    const bool selected = e.id == selected_;
    // Every tile on screen: the loader knows which need a decode (none, another size, a file
    // replaced since).
    wanted.append(e.id);
    const qint64 thumb = thumbnails_->cached(e.id).cacheKey();
    TileImage* t = tiles_.object(e.id);
    if (t && t->hover == hover && t->selected == selected && t->thumb == thumb && t->width == r.width() &&
        t->entry == e)
        return t->pixmap;
    const qreal dpr = devicePixelRatioF();
    auto* made = new TileImage{QPixmap((r.size() * dpr).toSize()), e, hover, selected, thumb, r.width()};
    made->pixmap.setDevicePixelRatio(dpr);
    made->pixmap.fill(Qt::transparent);
    {
        QPainter p(&made->pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QList<QUuid> ignored;
        paintTile(p, QRectF(QPointF(), r.size()), e, ignored);
    }
    const int cost = int(made->pixmap.width() * made->pixmap.height() * 4 / 1024) + 1;
    uncached_ = made->pixmap;
    // Not kept when larger than the whole cache: then the copy serves this frame.
    return tiles_.insert(e.id, made, cost) ? tiles_.object(e.id)->pixmap : uncached_;
}

void HistoryGrid::paintTile(QPainter& p, const QRectF& r, const HistoryEntry& e, QList<QUuid>& wanted)
{
    const QPalette& pal = palette();
    const bool hover = e.id == hover_;
    const QRectF card(r.left(), r.top(), r.width(), M::cardHeight);
    QPainterPath shape;
    shape.addRoundedRect(card, kRadius, kRadius);
    p.setPen(Qt::NoPen);

    p.save();
    p.setClipPath(shape);
    p.fillRect(card, pal.color(QPalette::Window));
    p.fillRect(card, Theme::primary(pal, 0.05));
    const QImage thumb = thumbnails_->cached(e.id);
    if (!thumb.isNull()) {
        // Fill the card, cropping the longer side.
        const QSizeF fill = QSizeF(card.size()).scaled(QSizeF(thumb.size()), Qt::KeepAspectRatio);
        QRectF src(QPointF(), fill);
        src.moveCenter(QRectF(thumb.rect()).center());
        p.drawImage(card, thumb, src);
    } else {
        if (!thumbnails_->missing(e.id))
            wanted.append(e.id);
        Symbols::paintGlyph(p, card.center(), 28, "photo"_sym, Theme::tertiary(pal));
    }
    // Kind badge.
    const QString kind = label(e.kind);
    const QFont badgeFont = Theme::font(10.5, QFont::DemiBold);
    const qreal textW = QFontMetricsF(badgeFont).horizontalAdvance(kind);
    const qreal iconW = Symbols::glyphSide(9.5);
    const QRectF badge(card.left() + kInset, card.bottom() - kInset - 22, 8 + iconW + 4 + textW + 8, 22);
    p.setBrush(QColor(0, 0, 0, int(0.55 * 255)));
    p.drawRoundedRect(badge, 11, 11);
    Symbols::paintGlyph(p, QPointF(badge.left() + 8 + iconW / 2, badge.center().y()), 9.5, kindSymbol(e.kind),
                        Qt::white, SymbolWeight::semibold);
    p.setPen(Qt::white);
    p.setFont(badgeFont);
    p.drawText(QRectF(badge.left() + 8 + iconW + 4, badge.top(), textW + 1, badge.height()), Qt::AlignVCenter,
               kind);
    // Hover buttons.
    for (const auto& [b, rect] : buttonRects(card, e, hover)) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0, 0, 0, int(0.55 * 255)));
        p.drawEllipse(rect);
        const QColor tint = b == Button::star && e.favorite ? QColor(255, 204, 0) : QColor(Qt::white);
        Symbols::paintGlyph(p, rect.center(), 11, buttonSymbol(b, e.favorite), tint, SymbolWeight::semibold);
    }
    p.restore();
    // Selection ring.
    p.setBrush(Qt::NoBrush);
    if (e.id == selected_) {
        p.setPen(QPen(Theme::accent(pal), 2.5));
        p.drawRoundedRect(card.adjusted(1.25, 1.25, -1.25, -1.25), kRadius - 1.25, kRadius - 1.25);
    } else {
        p.setPen(QPen(Theme::primary(pal, 0.1), 0.5));
        p.drawRoundedRect(card.adjusted(0.25, 0.25, -0.25, -0.25), kRadius, kRadius);
    }
    // Info row.
    const QString time = timeText(e.date);
    const qreal textLeft = r.left() + 2;
    qreal textRight = r.right() - 2;
    if (e.uploadURL) {
        const qreal side = Symbols::glyphSide(11);
        Symbols::paintGlyph(p, QPointF(textRight - side / 2, card.bottom() + 8 + 15), 11, "icloud.fill"_sym,
                            Theme::accent(pal));
        textRight -= side + 6;
    }
    const QFont titleFont = Theme::font(12.5, QFont::DemiBold);
    p.setFont(titleFont);
    p.setPen(pal.color(QPalette::WindowText));
    const QString title = e.title && !e.title->isEmpty() ? *e.title : time;
    const qreal w = textRight - textLeft;
    p.drawText(QRectF(textLeft, card.bottom() + 8, w, 16), Qt::AlignLeft | Qt::AlignVCenter,
               QFontMetricsF(titleFont).elidedText(title, Qt::ElideRight, w));
    p.setFont(Theme::font(11));
    p.setPen(Theme::secondary(pal));
    p.drawText(QRectF(textLeft, card.bottom() + 8 + 17, w, 14), Qt::AlignLeft | Qt::AlignVCenter,
               time + QStringLiteral(" · ") + QString::number(e.width) + QStringLiteral(" × ") +
                   QString::number(e.height));
}

void HistoryGrid::paintShadow(QPainter& p, const QRectF& card, double level)
{
    const qreal dpr = devicePixelRatioF();
    if (shadows_.width != card.width() || shadows_.dpr != dpr) {
        const auto rest = motion::softShadow(card.size(), kRadius, 4, QColor(0, 0, 0, int(0.08 * 255)), dpr);
        const auto lifted =
            motion::softShadow(card.size(), kRadius, 14, QColor(0, 0, 0, int(0.28 * 255)), dpr);
        shadows_ = {card.width(), dpr, rest.image, lifted.image, rest.margin, lifted.margin};
    }
    // Resting: radius 4, 1 down; lifted: radius 14, 6 down; between, the two cross-fade.
    const double on = std::clamp(level, 0.0, 1.0);
    if (on < 1) {
        p.setOpacity(1 - on);
        p.drawImage(card.topLeft() - QPointF(shadows_.restMargin, shadows_.restMargin - 1), shadows_.rest);
    }
    if (on > 0) {
        p.setOpacity(on);
        p.drawImage(card.topLeft() - QPointF(shadows_.liftedMargin, shadows_.liftedMargin - 6),
                    shadows_.lifted);
    }
    p.setOpacity(1);
}

void HistoryGrid::setHover(const QUuid& id)
{
    if (id == hover_)
        return;
    liftTo(hover_, 0);
    hover_ = id;
    liftTo(hover_, 1);
    viewport()->update();
}

void HistoryGrid::liftTo(const QUuid& id, double target)
{
    if (id.isNull())
        return;
    Lift& l = lifts_[id];
    if (!l.animation) {
        l.animation = new QVariantAnimation(this);
        l.animation->setDuration(motion::kLiftMs);
        l.animation->setEasingCurve(motion::liftEasing());
        connect(l.animation, &QVariantAnimation::valueChanged, this, [this, id](const QVariant& v) {
            lifts_[id].level = v.toDouble();
            viewport()->update();
        });
        connect(l.animation, &QVariantAnimation::finished, this, [this, id] {
            // A tile back at rest needs no animation any more.
            const auto it = lifts_.find(id);
            if (it != lifts_.end() && it->level == 0) {
                it->animation->deleteLater();
                lifts_.erase(it);
            }
        });
    }
    l.animation->stop();
    l.animation->setStartValue(l.level);
    l.animation->setEndValue(target);
    l.animation->start();
}

void HistoryGrid::mouseMoveEvent(QMouseEvent* event)
{
    const auto e = entryAt(event->position().toPoint());
    setHover(e ? e->id : QUuid());
}

void HistoryGrid::leaveEvent(QEvent* event)
{
    QAbstractScrollArea::leaveEvent(event);
    setHover(QUuid());
}

void HistoryGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    Button b = Button::none;
    const auto e = entryAt(event->position().toPoint(), &b);
    if (!e)
        return;
    setHover(e->id);
    if (b != Button::none) {
        if (onAction)
            onAction(buttonAction(b), *e);
        return;
    }
    selected_ = e->id;
    viewport()->update();
}

void HistoryGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    Button b = Button::none;
    const auto e = entryAt(event->position().toPoint(), &b);
    if (e && b == Button::none && event->button() == Qt::LeftButton && onAction)
        onAction(EntryAction::open, *e);
}

void HistoryGrid::contextMenuEvent(QContextMenuEvent* event)
{
    const auto e = entryAt(event->pos());
    if (e && onMenu)
        onMenu(*e, event->globalPos());
}

bool HistoryGrid::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        Button b = Button::none;
        const auto e = entryAt(help->pos(), &b);
        QString tip;
        if (e && b != Button::none)
            tip = buttonTip(b);
        else if (e && e->uploadURL && help->pos().x() >= tileRect(e->id).right() - 20 &&
                 help->pos().y() >= tileRect(e->id).top() + M::cardHeight)
            tip = kx::tr("Uploaded", "Feltöltve", "Hochgeladen");
        if (tip.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), tip, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

}  // namespace kx
