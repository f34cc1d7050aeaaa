#include "help/HelpView.h"

#include "core/Localisation.h"
#include "core/PrefsNotifier.h"
#include "help/HelpNav.h"
#include "ui/Brand.h"
#include "ui/ChromeParts.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QTextLayout>
#include <QVBoxLayout>
#include <cmath>

namespace kx {

namespace {

constexpr int kSidebarWidth = 244;
constexpr int kPageWidth = 680;

// Wrapped plain text with extra leading, laid out once per width (cheaper than a rich label).
class WrapText : public QWidget {
public:
    WrapText(QString text, const QFont& font, qreal leading, bool secondary, QWidget* parent)
        : QWidget(parent), text_(std::move(text)), leading_(leading), secondary_(secondary)
    {
        setFont(font);
        setAccessibleName(text_);
        QSizePolicy sp(QSizePolicy::Preferred, QSizePolicy::Preferred);
        sp.setHeightForWidth(true);
        setSizePolicy(sp);
    }
    QString text() const { return text_; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override
    {
        if (w != cachedWidth_) {
            cachedWidth_ = w;
            const QMargins m = contentsMargins();
            cachedHeight_ = int(std::ceil(layOut(nullptr, w - m.left() - m.right()))) + m.top() + m.bottom();
        }
        return cachedHeight_;
    }
    QSize sizeHint() const override { return {kPageWidth, heightForWidth(kPageWidth)}; }
    QSize minimumSizeHint() const override { return {40, heightForWidth(std::max(width(), 40))}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(secondary_ ? Theme::secondary(palette()) : Theme::primary(palette()));
        const QRect r = contentsRect();
        p.translate(r.topLeft());
        layOut(&p, r.width());
    }

private:
    // Lays the text out at `width`; paints it when a painter is given. Returns the height.
    qreal layOut(QPainter* p, int width) const
    {
        QTextLayout layout(text_, font());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        qreal y = 0;
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            line.setPosition(QPointF(0, y));
            y += line.height() + leading_;
        }
        layout.endLayout();
        if (p)
            layout.draw(p, QPointF());
        return std::max<qreal>(0, y - leading_);
    }

    QString text_;
    qreal leading_;
    bool secondary_;
    mutable int cachedWidth_ = -1;
    mutable int cachedHeight_ = 0;
};

QWidget* label(const QString& text, qreal points, QFont::Weight weight, bool secondary, QWidget* parent,
               qreal lineSpacing = 0)
{
    return new WrapText(text, Theme::font(points, weight), lineSpacing, secondary, parent);
}

// One sidebar row: badge, title, rounded highlight when selected.
class TopicButton : public QAbstractButton {
public:
    TopicButton(const HelpTopic& topic, bool selected, QWidget* parent)
        : QAbstractButton(parent), symbol_(topic.symbol), tint_(topic.tint), selected_(selected)
    {
        setText(topic.title);
        setObjectName(QStringLiteral("topic:") + topic.id);
        setCursor(Qt::PointingHandCursor);
        // Long German and Hungarian titles take a second line rather than losing their end.
        height_ = heightFor(kSidebarWidth - 24);
        setFixedHeight(height_);
        // The width follows the list's viewport, which the scroll bar narrows.
        setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
        setAccessibleName(topic.title);
        setToolTip(topic.title);
    }
    bool selected() const { return selected_; }
    QSize sizeHint() const override { return {kSidebarWidth - 24, height_}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QRectF r = QRectF(rect());
        if (selected_) {
            p.setPen(Qt::NoPen);
            p.setBrush(Theme::primary(palette(), 0.09));
            p.drawRoundedRect(r, 9, 9);
        }
        const QRectF badge(8, (height() - 24) / 2.0, 24, 24);
        IconBadge::paint(p, badge, symbol_, tint_);
        p.setPen(Theme::primary(palette()));
        p.setFont(Theme::font(12.5, selected_ ? QFont::DemiBold : QFont::Medium));
        const QRectF textRect(badge.right() + 10, 0, width() - badge.right() - 18, height());
        p.drawText(textRect, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextWordWrap, text());
    }

private:
    void resizeEvent(QResizeEvent* event) override
    {
        QAbstractButton::resizeEvent(event);
        // The list's scroll bar can take some of the width: wrap for the width the row got.
        if (const int h = heightFor(width()); h != height_) {
            height_ = h;
            setFixedHeight(h);
        }
    }

    int heightFor(int rowWidth) const
    {
        // Badge (8 + 24), gap 10 and right padding 8 leave the rest to the title.
        // Measured in the unselected weight: a selected title a little wider still fits two lines.
        const QFontMetrics fm(Theme::font(12.5, QFont::Medium));
        const QRect text = fm.boundingRect(QRect(0, 0, rowWidth - 50, 1000), Qt::TextWordWrap, this->text());
        return text.height() > fm.lineSpacing() * 3 / 2 ? 2 * fm.lineSpacing() + 12 : 34;
    }

    int height_ = 34;
    QString symbol_;
    QColor tint_;
    bool selected_;
};

// A section picture: scaled to the width with its aspect kept, rounded, bordered, shadowed.
class PictureView : public QWidget {
public:
    PictureView(QImage image, QWidget* parent) : QWidget(parent), image_(std::move(image))
    {
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
        QSizePolicy sp = sizePolicy();
        sp.setHeightForWidth(true);
        setSizePolicy(sp);
    }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int w) const override
    {
        const int inner = std::min(w, image_.width());
        return image_.isNull() ? 0 : int(inner * qreal(image_.height()) / image_.width()) + 12;
    }
    QSize sizeHint() const override { return {kPageWidth, heightForWidth(kPageWidth)}; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        const qreal w = std::min<qreal>(width(), image_.width());
        const QRectF target(0, 6, w, w * image_.height() / image_.width());
        QPainterPath shape;
        shape.addRoundedRect(target, 12, 12);
        for (int i = 6; i > 0; --i) {  // a soft shadow, 4 down
            QPainterPath s;
            s.addRoundedRect(target.translated(0, 4).adjusted(-i, -i, i, i), 12 + i, 12 + i);
            p.fillPath(s, QColor(0, 0, 0, int(0.2 * 255 / 6 / (1 + i * 0.3))));
        }
        p.save();
        p.setClipPath(shape);
        p.drawImage(target, image_);
        p.restore();
        p.setPen(QPen(Theme::primary(palette(), 0.12), 0.5));
        p.setBrush(Qt::NoBrush);
        p.drawPath(shape);
    }

private:
    QImage image_;
};

// The rounded card behind a section's rows, with hairline separators between them.
class RowCard : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Theme::primary(palette(), 0.045));
        p.drawRoundedRect(QRectF(rect()), 12, 12);
        const auto* box = layout();
        for (int i = 1; box && i < box->count(); ++i) {
            const int y = box->itemAt(i)->geometry().top();
            p.fillRect(QRectF(14, y, width() - 14, 0.5), Theme::primary(palette(), 0.07));
        }
    }
};

// A symbol glyph in a fixed square.
class Glyph : public QWidget {
public:
    Glyph(QString name, qreal points, QColor color, int side, QWidget* parent)
        : QWidget(parent), name_(std::move(name)), points_(points), color_(std::move(color))
    {
        setFixedSize(side, side);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::paintGlyph(p, QRectF(rect()).center(), points_, name_, color_);
    }

private:
    QString name_;
    qreal points_;
    QColor color_;
};

}  // namespace

HelpView::HelpView(HelpNav& nav, QWidget* parent) : QWidget(parent), nav_(nav)
{
    setMinimumSize(720, 460);
    setAutoFillBackground(true);
    auto* outer = new QHBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* sidebar = new QWidget(this);
    sidebar->setObjectName(QStringLiteral("helpSidebar"));
    sidebar->setFixedWidth(kSidebarWidth);
    auto* side = new QVBoxLayout(sidebar);
    side->setContentsMargins(12, 0, 12, 12);
    side->setSpacing(4);

    auto* logo = new MakerLogo(24, sidebar);
    auto* logoRow = new QHBoxLayout;
    logoRow->setContentsMargins(8, 22, 8, 2);
    logoRow->addWidget(logo);
    logoRow->addStretch();
    side->addLayout(logoRow);

    auto* version = label(QStringLiteral("Kaptorix ") + AppInfo::version() + QStringLiteral(" · ") +
                              kx::tr("Help", "Súgó", "Hilfe"),
                          11.5, QFont::Normal, true, sidebar);
    version->setContentsMargins(8, 0, 8, 10);
    version->setObjectName(QStringLiteral("helpVersion"));
    side->addWidget(version);

    auto* searchBox = new QWidget(sidebar);
    searchBox->setObjectName(QStringLiteral("helpSearchBox"));
    searchBox->setFixedHeight(28);
    searchBox->setStyleSheet(QStringLiteral("#helpSearchBox { background: %1; border-radius: 14px; }")
                                 .arg(Theme::primary(palette(), 0.06).name(QColor::HexArgb)));
    auto* searchRow = new QHBoxLayout(searchBox);
    searchRow->setContentsMargins(10, 0, 10, 0);
    searchRow->setSpacing(6);
    searchRow->addWidget(
        new Glyph(QStringLiteral("magnifyingglass"), 11.5, Theme::secondary(palette()), 16, searchBox));
    search_ = new QLineEdit(searchBox);
    search_->setFrame(false);
    search_->setPlaceholderText(kx::tr("Search help", "Keresés a súgóban", "Hilfe durchsuchen"));
    search_->setFont(Theme::font(12.5));
    search_->setStyleSheet(QStringLiteral("QLineEdit { background: transparent; }"));
    searchRow->addWidget(search_, 1);
    side->addWidget(searchBox);
    side->addSpacing(8);

    auto* listArea = new QScrollArea(sidebar);
    listArea->setFrameShape(QFrame::NoFrame);
    listArea->setWidgetResizable(true);
    listArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* listHost = new QWidget(listArea);
    listHost->setAutoFillBackground(false);
    topicList_ = new QVBoxLayout(listHost);
    topicList_->setContentsMargins(0, 0, 0, 0);
    topicList_->setSpacing(2);
    topicList_->addStretch();
    listArea->setWidget(listHost);
    listArea->setStyleSheet(
        QStringLiteral("QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; }"));
    side->addWidget(listArea, 1);
    outer->addWidget(sidebar);

    auto* divider = new QWidget(this);
    divider->setFixedWidth(1);
    divider->setAutoFillBackground(true);
    QPalette dp = divider->palette();
    dp.setColor(QPalette::Window, Theme::primary(palette(), 0.08));
    divider->setPalette(dp);
    outer->addWidget(divider);

    detail_ = new QScrollArea(this);
    detail_->setObjectName(QStringLiteral("helpDetail"));
    detail_->setFrameShape(QFrame::NoFrame);
    detail_->setWidgetResizable(true);
    detail_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    outer->addWidget(detail_, 1);

    connect(search_, &QLineEdit::textChanged, this, [this] { refresh(false); });
    connect(&nav_, &HelpNav::topicChanged, this, [this] { refresh(false); });
    // A shortcut recorded while the help is open shows at once in its key caps.
    connect(&PrefsNotifier::shared(), &PrefsNotifier::changed, this, [this](const QString& key) {
        if (key.startsWith(QStringLiteral("hotkey.")) && isVisible())
            refresh(true);
    });
    refresh(true);
}

QString HelpView::query() const
{
    return search_->text();
}

QList<HelpTopic> HelpView::shownTopics(const QString& query)
{
    const QString q = HelpSearch::prepare(query);
    QList<HelpTopic> shown;
    for (HelpTopic& t : HelpContent::allTopics()) {
        if (HelpSearch::matches(t, q))
            shown.append(std::move(t));
    }
    return shown;
}

QStringList HelpView::sidebarIds() const
{
    QStringList ids;
    for (int i = 0; i < topicList_->count(); ++i) {
        if (auto* w = topicList_->itemAt(i)->widget())
            ids.append(w->objectName().mid(6));
    }
    return ids;
}

QString HelpView::highlightedId() const
{
    for (int i = 0; i < topicList_->count(); ++i) {
        if (auto* b = dynamic_cast<TopicButton*>(topicList_->itemAt(i)->widget()); b && b->selected())
            return b->objectName().mid(6);
    }
    return QString();
}

void HelpView::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Shortcuts may have changed while the window was hidden: build the page anew.
    refresh(true);
}

void HelpView::paintEvent(QPaintEvent* event)
{
    QWidget::paintEvent(event);
    QPainter p(this);
    p.fillRect(QRect(0, 0, kSidebarWidth, height()), Theme::primary(palette(), 0.035));
}

void HelpView::refresh(bool rebuildPage)
{
    const QList<HelpTopic> shown = shownTopics(search_->text());
    buildSidebar(shown);
    const HelpTopic* page = nullptr;
    for (const HelpTopic& t : shown) {
        if (t.id == nav_.topic()) {
            page = &t;
            break;
        }
    }
    if (!page && !shown.isEmpty())
        page = &shown.first();  // the fallback does not change the selection
    const QString id = page ? page->id : QString();
    if (rebuildPage || !pageBuilt_ || id != pageId_)
        buildPage(page);
}

void HelpView::buildSidebar(const QList<HelpTopic>& shown)
{
    while (topicList_->count() > 1) {
        QLayoutItem* item = topicList_->takeAt(0);
        delete item->widget();
        delete item;
    }
    int at = 0;
    for (const HelpTopic& t : shown) {
        auto* button = new TopicButton(t, t.id == nav_.topic(), topicList_->parentWidget());
        const QString id = t.id;
        connect(button, &QAbstractButton::clicked, this, [this, id] { nav_.setTopic(id); });
        topicList_->insertWidget(at++, button);
        button->show();  // a layout shows new children only on the next event-loop turn
    }
}

void HelpView::buildPage(const HelpTopic* topic)
{
    pageBuilt_ = true;
    pageId_ = topic ? topic->id : QString();
    auto* host = new QWidget;
    auto* centre = new QHBoxLayout(host);
    centre->setContentsMargins(32, 52, 32, 32);
    auto* column = new QWidget(host);
    column->setMaximumWidth(kPageWidth);
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->setSpacing(18);
    centre->addStretch();
    centre->addWidget(column, 100);
    centre->addStretch();

    if (!topic) {
        stack->addSpacing(60);
        auto* none = label(kx::tr("No results.", "Nincs találat.", "Keine Ergebnisse."), 13, QFont::Normal,
                           true, column);
        none->setObjectName(QStringLiteral("helpNoResults"));
        stack->addWidget(none);
    } else {
        auto* heading = new QHBoxLayout;
        heading->setSpacing(12);
        heading->addWidget(new IconBadge(topic->symbol, topic->tint, 38, column));
        auto* title = label(topic->title, 24, QFont::Bold, false, column);
        title->setObjectName(QStringLiteral("helpTitle"));
        heading->addWidget(title, 1);
        stack->addLayout(heading);
        stack->addWidget(label(topic->intro, 14, QFont::Normal, true, column));
        for (const HelpSection& s : topic->sections)
            stack->addWidget(sectionView(s));
        for (const HelpLink& link : topic->links) {
            auto* button =
                new QPushButton(Symbols::icon(link.symbol, Theme::accent(palette()), 16), link.title, column);
            button->setObjectName(QStringLiteral("helpLink"));
            button->setFlat(true);
            button->setFont(Theme::font(13.5, QFont::Medium));
            button->setCursor(Qt::PointingHandCursor);
            const QUrl url = link.url;
            connect(button, &QPushButton::clicked, button, [url] { QDesktopServices::openUrl(url); });
            stack->addWidget(button, 0, Qt::AlignLeft);
        }
    }
    stack->addStretch();
    detail_->setWidget(host);  // deletes the previous page
}

QWidget* HelpView::sectionView(const HelpSection& section)
{
    auto* box = new QWidget;
    auto* v = new QVBoxLayout(box);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(10);
    if (section.title) {
        v->addSpacing(4);
        v->addWidget(label(*section.title, 15, QFont::DemiBold, false, box));
    }
    for (const QString& p : section.paragraphs)
        v->addWidget(label(p, 13, QFont::Normal, false, box, 3));
    if (section.image) {
        if (const auto image = HelpImage::load(*section.image)) {
            auto* picture = new PictureView(*image, box);
            picture->setObjectName(QStringLiteral("helpPicture:") + *section.image);
            v->addWidget(picture);
        }
    }
    if (!section.rows.isEmpty()) {
        auto* card = new RowCard(box);
        auto* rows = new QVBoxLayout(card);
        rows->setContentsMargins(0, 0, 0, 0);
        rows->setSpacing(0);
        for (const HelpRow& r : section.rows)
            rows->addWidget(rowView(r));
        v->addWidget(card);
    }
    return box;
}

QWidget* HelpView::rowView(const HelpRow& row)
{
    auto* w = new QWidget;
    auto* h = new QHBoxLayout(w);
    h->setContentsMargins(14, 10, 14, 10);
    h->setSpacing(12);
    if (row.symbol)
        h->addWidget(new Glyph(*row.symbol, 14, Theme::accent(palette()), 24, w), 0, Qt::AlignTop);
    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    texts->addWidget(label(row.name, 13, QFont::DemiBold, false, w));
    if (!row.text.isEmpty())
        texts->addWidget(label(row.text, 12.5, QFont::Normal, true, w, 2));
    h->addLayout(texts, 1);
    h->addSpacing(8);
    if (row.keys) {
        auto* cap = new KeyCap(*row.keys, w);
        cap->setObjectName(QStringLiteral("helpKeyCap"));
        cap->setAccessibleName(*row.keys);
        h->addWidget(cap, 0, Qt::AlignTop);
    }
    return w;
}

}  // namespace kx
