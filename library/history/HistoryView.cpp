#include "library/history/HistoryView.h"

#include "capture/history/HistoryStore.h"
#include "core/Localisation.h"
#include "library/history/DestructiveMenu.h"
#include "library/history/FilterChip.h"
#include "library/history/HistoryGrid.h"
#include "library/history/ThumbnailLoader.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QShowEvent>
#include <QStackedWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>
#include <utility>

namespace kx {

namespace {

// The header: its children over a hairline at the bottom.
class HeaderBar : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(QRectF(0, height() - 0.5, width(), 0.5), Theme::primary(palette(), 0.08));
    }
};

// A capsule behind the search row.
class Capsule : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect()).adjusted(0.25, 0.25, -0.25, -0.25);
        p.setBrush(Theme::primary(palette(), 0.06));
        p.setPen(QPen(Theme::primary(palette(), 0.08), 0.5));
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }
};

class EmptyView : public QWidget {
public:
    using QWidget::QWidget;
    void setState(const HistoryView::EmptyState& s)
    {
        state_ = s;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPalette& pal = palette();
        const QFont titleFont = Theme::font(15, QFont::DemiBold);
        const QFont lineFont = Theme::font(12.5);
        const qreal lineW = std::min<qreal>(width() - 40, 420);
        const QRectF lineBox = QFontMetricsF(lineFont).boundingRect(
            QRectF(0, 0, lineW, 1000), Qt::AlignHCenter | Qt::TextWordWrap, state_.line);
        const qreal titleH = QFontMetricsF(titleFont).height();
        const qreal total = 72 + 14 + titleH + 14 + lineBox.height();
        qreal y = (height() - total) / 2;
        const QRectF circle(width() / 2.0 - 36, y, 72, 72);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(pal, 0.05));
        p.drawEllipse(circle);
        Symbols::paintGlyph(p, circle.center(), 30, state_.symbol, Theme::secondary(pal),
                            SymbolWeight::light);
        y += 72 + 14;
        p.setFont(titleFont);
        p.setPen(pal.color(QPalette::WindowText));
        p.drawText(QRectF(0, y, width(), titleH), Qt::AlignHCenter, state_.title);
        y += titleH + 14;
        p.setFont(lineFont);
        p.setPen(Theme::secondary(pal));
        p.drawText(QRectF((width() - lineW) / 2, y, lineW, lineBox.height() + 2),
                   Qt::AlignHCenter | Qt::TextWordWrap, state_.line);
    }

private:
    HistoryView::EmptyState state_;
};

}  // namespace

HistoryView::HistoryView(HistoryServices services, std::function<QDateTime()> now, QWidget* parent)
    : QWidget(parent),
      services_(std::move(services)),
      now_(now ? std::move(now) : [] { return QDateTime::currentDateTime(); })
{
    setAutoFillBackground(true);
    thumbnails_ = new ThumbnailLoader(services_.store->dir(), {}, 96 * 1024, this);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    stack_ = new QStackedWidget(this);
    grid_ = new HistoryGrid(thumbnails_, stack_);
    auto* empty = new EmptyView(stack_);
    empty_ = empty;
    stack_->addWidget(grid_);
    stack_->addWidget(empty_);
    column->addWidget(stack_, 1);

    grid_->onAction = [this](EntryAction a, const HistoryEntry& e) { runAction(a, e); };
    grid_->onMenu = [this](const HistoryEntry& e, const QPoint& at) {
        QMenu* menu = menuFor(e);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(at);
    };
    connect(services_.store, &HistoryStore::entriesChanged, this, &HistoryView::refresh);
    connect(services_.store, &HistoryStore::thumbnailChanged, this, [this](const QUuid& id) {
        thumbnails_->invalidate(id);
        grid_->viewport()->update();
    });
    // Another Kaptorix writing an edited image of the same size changes no entry here, only
    // the file; a hidden view looks when it shows again.
    connect(services_.store, &HistoryStore::filesChanged, this, [this] {
        if (!hidden_)
            thumbnails_->revalidate();
    });
    refresh();
}

HistoryView::~HistoryView() = default;

QWidget* HistoryView::buildHeader()
{
    auto* header = new HeaderBar(this);
    header->setFixedHeight(52);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(16, 0, 16, 0);
    row->setSpacing(10);

    auto* field = new Capsule(header);
    field->setFixedHeight(32);
    auto* fieldRow = new QHBoxLayout(field);
    fieldRow->setContentsMargins(12, 0, 12, 0);
    fieldRow->setSpacing(8);
    auto* glass = new QLabel(field);
    glass->setPixmap(Symbols::icon("magnifyingglass"_sym, Theme::secondary(palette()), 14).pixmap(14, 14));
    search_ = new QLineEdit(field);
    search_->setFrame(false);
    search_->setFont(Theme::font(13));
    search_->setStyleSheet(QStringLiteral("QLineEdit{background:transparent;border:none}"));
    search_->setPlaceholderText(kx::tr("Search text inside screenshots, titles, types…",
                                       "Keresés a képernyőképek szövegében, címében, típusában…",
                                       "Text in Screenshots, Titeln, Typen durchsuchen…"));
    clear_ = new QToolButton(field);
    clear_->setAutoRaise(true);
    clear_->setIcon(Symbols::icon("xmark.circle.fill"_sym, Theme::tertiary(palette()), 14));
    clear_->setStyleSheet(QStringLiteral("QToolButton{border:none;background:transparent}"));
    clear_->setVisible(false);
    fieldRow->addWidget(glass);
    fieldRow->addWidget(search_, 1);
    fieldRow->addWidget(clear_);
    row->addWidget(field, 1);
    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        clear_->setVisible(!text.isEmpty());
        refresh();
    });
    connect(clear_, &QToolButton::clicked, search_, &QLineEdit::clear);

    auto* chips = new Capsule(header);
    chips->setFixedHeight(30);
    auto* chipRow = new QHBoxLayout(chips);
    chipRow->setContentsMargins(2, 2, 2, 2);
    chipRow->setSpacing(2);
    allChip_ = new FilterChip(kx::tr("All", "Mind", "Alle"), "square.grid.2x2"_sym, chips);
    starredChip_ = new FilterChip(kx::tr("Starred", "Csillagozott", "Favoriten"), "star.fill"_sym, chips);
    allChip_->setChecked(true);
    chipRow->addWidget(allChip_);
    chipRow->addWidget(starredChip_);
    row->addWidget(chips);
    connect(allChip_, &QPushButton::clicked, this, [this] { setFavoritesOnly(false); });
    connect(starredChip_, &QPushButton::clicked, this, [this] { setFavoritesOnly(true); });

    countLabel_ = new QLabel(header);
    countLabel_->setFont(Theme::font(11, QFont::DemiBold));
    countLabel_->setFixedHeight(20);
    countLabel_->setAlignment(Qt::AlignCenter);
    countLabel_->setStyleSheet(
        QStringLiteral("QLabel{color:%1;background:%2;border-radius:10px;padding:0 8px}")
            .arg(Theme::secondary(palette()).name(QColor::HexArgb),
                 Theme::primary(palette(), 0.06).name(QColor::HexArgb)));
    row->addWidget(countLabel_);

    auto* more = new QToolButton(header);
    more->setFixedWidth(28);
    more->setAutoRaise(true);
    more->setIcon(Symbols::icon("ellipsis"_sym, palette().color(QPalette::WindowText), 16));
    more->setPopupMode(QToolButton::InstantPopup);
    more->setStyleSheet(QStringLiteral("QToolButton{border:none}QToolButton::menu-indicator{image:none}"));
    auto* menu = new DestructiveMenu(more);
    menu->setObjectName(QStringLiteral("bulkMenu"));
    DestructiveMenu::setDestructive(
        menu->addAction(kx::tr("Delete all except starred", "Minden törlése a csillagozottak kivételével",
                               "Alle außer Favoriten löschen"),
                        this, [this] { confirmDeleteAllExceptStarred(services_); }));
    menu->addAction(
        kx::tr("Open history folder", "Előzmények mappájának megnyitása", "Verlaufsordner öffnen"), this,
        [this] {
            if (services_.openFolder)
                services_.openFolder(services_.store->dir());
        });
    more->setMenu(menu);
    row->addWidget(more);
    return header;
}

QString HistoryView::query() const
{
    return search_->text();
}

void HistoryView::setQuery(const QString& query)
{
    search_->setText(query);
}

void HistoryView::setFavoritesOnly(bool on)
{
    favoritesOnly_ = on;
    allChip_->setChecked(!on);
    starredChip_->setChecked(on);
    refresh();
}

HistoryView::EmptyState HistoryView::emptyStateFor(bool storeHasEntries)
{
    if (storeHasEntries)
        return {"magnifyingglass"_sym, kx::tr("No results", "Nincs találat", "Keine Ergebnisse"),
                kx::tr("Try a different word, or turn off the starred filter.",
                       "Próbálj másik szót, vagy kapcsold ki a csillagozott szűrőt.",
                       "Versuche einen anderen Suchbegriff oder schalte den Favoriten-Filter aus.")};
    return {"camera.viewfinder"_sym,
            kx::tr("No captures yet", "Még nincs képernyőkép", "Noch keine Aufnahmen"),
            kx::tr("Press Ctrl+Alt+1 to capture an area – it will show up here.",
                   "Nyomd meg a Ctrl+Alt+1-et egy terület rögzítéséhez – itt fog megjelenni.",
                   "Drücke Ctrl+Alt+1, um einen Bereich aufzunehmen – er erscheint dann hier.")};
}

std::optional<HistoryView::EmptyState> HistoryView::emptyState() const
{
    return emptyState_;
}

void HistoryView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (std::exchange(hidden_, false))
        refresh();
    thumbnails_->revalidate();
    // Right after the first paint: at 50,000 entries making the texts takes tens of ms, which
    // the first keystroke should not wait for.
    QTimer::singleShot(0, this, [this] {
        if (isVisible())
            services_.store->prepareSearch();
    });
}

void HistoryView::hideEvent(QHideEvent* event)
{
    QWidget::hideEvent(event);
    // The tray keeps no search texts while no history shows, and a closed window is brought
    // up to date when it shows again, not at every capture.
    hidden_ = true;
    services_.store->releaseSearch();
}

void HistoryView::refresh()
{
    if (hidden_)
        return;
    const QList<HistoryEntry> results = services_.store->search(search_->text(), favoritesOnly_);
    count_ = int(results.size());
    countLabel_->setText(QString::number(count_));
    if (results.isEmpty()) {
        emptyState_ = emptyStateFor(!services_.store->entries().isEmpty());
        static_cast<EmptyView*>(empty_)->setState(*emptyState_);
        grid_->setSections({});
        stack_->setCurrentWidget(empty_);
        return;
    }
    emptyState_.reset();
    grid_->setSections(sections(results, now_()));
    stack_->setCurrentWidget(grid_);
}

QMenu* HistoryView::menuFor(const HistoryEntry& entry)
{
    auto* menu = new DestructiveMenu(this);
    for (const EntryMenuItem& item : entryMenu(entry)) {
        if (item.separatorBefore)
            menu->addSeparator();
        const EntryAction a = item.action;
        QAction* action = menu->addAction(item.title, this, [this, a, entry] { runAction(a, entry); });
        action->setData(int(a));
        DestructiveMenu::setDestructive(action, item.destructive);
    }
    return menu;
}

void HistoryView::runAction(EntryAction action, const HistoryEntry& entry)
{
    runEntryAction(action, entry, services_);
}

}  // namespace kx
