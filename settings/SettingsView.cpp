#include "settings/SettingsView.h"

#include "core/Localisation.h"
#include "help/HelpWindowController.h"
#include "settings/AITab.h"
#include "settings/CaptureTab.h"
#include "settings/GeneralTab.h"
#include "settings/ShortcutsTab.h"
#include "settings/UploadTab.h"
#include "ui/Brand.h"
#include "ui/ChromeParts.h"
#include "ui/Theme.h"

#include <QAbstractButton>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QResizeEvent>
#include <QShortcut>
#include <QVBoxLayout>
#include <QVariantAnimation>
#include <algorithm>

namespace kx {

namespace {

// One row of the sidebar: badge, title and the faint rounded background when selected.
class SidebarRow : public QAbstractButton {
public:
    SidebarRow(const QString& symbol, const QColor& tint, const QString& title, QWidget* parent)
        : QAbstractButton(parent), symbol_(symbol), tint_(tint)
    {
        setText(title);
        setFixedHeight(36);
        setCursor(Qt::PointingHandCursor);
        // A Tab stop for the keyboard; a click leaves the focus where it was.
        setFocusPolicy(Qt::TabFocus);
    }
    void setSelected(bool on)
    {
        selected_ = on;
        update();
    }
    bool selected() const { return selected_; }
    QFont titleFont() const { return Theme::font(13, selected_ ? QFont::DemiBold : QFont::Medium); }
    QRect titleRect() const { return rect().adjusted(8 + 24 + 10, 0, -8, 0); }
    QSize sizeHint() const override
    {
        return {8 + 24 + 10 + QFontMetrics(Theme::font(13, QFont::DemiBold)).horizontalAdvance(text()) + 8,
                36};
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        if (selected_) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), 9, 9);
            p.fillPath(path, Theme::primary(palette(), 0.09));
        }
        IconBadge::paint(p, QRectF(8, (height() - 24) / 2.0, 24, 24), symbol_, tint_);
        p.setFont(titleFont());
        p.setPen(isEnabled() ? Theme::primary(palette()) : Theme::tertiary(palette()));
        p.drawText(titleRect(), Qt::AlignVCenter | Qt::AlignLeft, text());
        if (hasFocus() && window()->testAttribute(Qt::WA_KeyboardFocusChange)) {
            QPainterPath ring;
            ring.addRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 8, 8);
            p.setPen(QPen(Theme::accent(palette()), 2));
            p.setBrush(Qt::NoBrush);
            p.drawPath(ring);
        }
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        // Space (the button's own key) and Enter choose the row.
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && e->modifiers() == Qt::NoModifier) {
            click();
            return;
        }
        QAbstractButton::keyPressEvent(e);
    }

private:
    QString symbol_;
    QColor tint_;
    bool selected_ = false;
};

class Hairline : public QWidget {
public:
    explicit Hairline(QWidget* parent) : QWidget(parent) { setFixedWidth(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), Theme::primary(palette(), 0.08));
    }
};

class Sidebar : public QWidget {
public:
    explicit Sidebar(QWidget* parent) : QWidget(parent) { setFixedWidth(214); }
    // The header's room above and below it: 46 and 16 pt where the window is tall enough, less
    // where a short screen and a tall title bar leave less, so the header is never squeezed.
    void setHeader(QLayout* header) { header_ = header; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), Theme::primary(palette(), 0.035));
    }
    void resizeEvent(QResizeEvent* e) override
    {
        QWidget::resizeEvent(e);
        if (!header_ || !layout())
            return;
        const QMargins m = header_->contentsMargins();
        const int roomy = layout()->sizeHint().height() - m.top() - m.bottom() + kTop + kBottom;
        int over = std::max(0, roomy - height());
        const int top = std::max(kLeastTop, kTop - over);
        over -= kTop - top;
        const int bottom = std::max(kLeastBottom, kBottom - over);
        if (top != m.top() || bottom != m.bottom())
            header_->setContentsMargins(m.left(), top, m.right(), bottom);
    }

private:
    static constexpr int kTop = 46, kBottom = 16, kLeastTop = 8, kLeastBottom = 4;
    QLayout* header_ = nullptr;
};

// Focus moved by a key other than Tab: shown as Tab shows it (Qt marks only Tab's moves).
void focusByKeyboard(QWidget* w)
{
    w->window()->setAttribute(Qt::WA_KeyboardFocusChange);
    w->setFocus(Qt::TabFocusReason);
}

QLabel* textLabel(const QString& text, qreal points, QFont::Weight weight, QColor color, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setFont(Theme::font(points, weight));
    if (color.isValid()) {
        QPalette pal = label->palette();
        pal.setColor(QPalette::WindowText, color);
        label->setPalette(pal);
    }
    return label;
}

}  // namespace

QWidget* SettingsView::makePage(SettingsTab tab)
{
    switch (tab) {
        case SettingsTab::general:
            return new GeneralTab;
        case SettingsTab::shortcuts:
            return new ShortcutsTab;
        case SettingsTab::capture:
            return new CaptureTab;
        case SettingsTab::upload:
            return new UploadTab;
        case SettingsTab::ai:
            return new AITab;
    }
    return new QWidget;
}

SettingsView::SettingsView(SettingsNav& nav, QWidget* parent) : QWidget(parent), nav_(nav)
{
    // As wide as the window, which is narrower than 760 pt where the screen is.
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    auto* sidebar = new Sidebar(this);
    sidebar_ = sidebar;
    auto* side = new QVBoxLayout(sidebar_);
    // 8 rather than 12 at the sides: Linux interface fonts run wider than the 214 pt sidebar
    // was drawn for, and "Billentyűparancsok" must not be cut.
    side->setContentsMargins(8, 0, 8, 12);
    side->setSpacing(4);
    auto* header = new QWidget(sidebar_);
    auto* hv = new QVBoxLayout(header);
    hv->setContentsMargins(8, 46, 8, 16);
    hv->setSpacing(3);
    auto* logo = new MakerLogo(24, header);
    logo->setObjectName(QStringLiteral("sidebarLogo"));
    logo->setMinimumHeight(logo->sizeHint().height());
    hv->addWidget(logo, 0, Qt::AlignLeft);
    QLabel* headerText =
        textLabel(QStringLiteral("Kaptorix · ") + kx::tr("Settings", "Beállítások", "Einstellungen"), 11.5,
                  QFont::Normal, Theme::secondary(palette()), header);
    headerText->setObjectName(QStringLiteral("sidebarHeader"));
    hv->addWidget(headerText);
    side->addWidget(header);
    sidebar->setHeader(hv);
    for (SettingsTab tab : SettingsTabs::all) {
        auto* row = new SidebarRow(SettingsTabs::symbol(tab), SettingsTabs::tint(tab),
                                   SettingsTabs::title(tab), sidebar_);
        row->setObjectName(QStringLiteral("tab-%1").arg(int(tab)));
        connect(row, &QAbstractButton::clicked, this, [this, tab] { nav_.setTab(tab); });
        row->installEventFilter(this);
        side->addWidget(row);
    }
    side->addStretch(1);
    auto* help = new SidebarRow(QStringLiteral("questionmark"), QColor(142, 142, 147),
                                kx::tr("Help", "Súgó", "Hilfe"), sidebar_);
    // Opens or raises the help on the page it last showed; this window stays as it is.
    connect(help, &QAbstractButton::clicked, this, [] { HelpWindowController::shared().show(); });
    help_ = help;
    help->installEventFilter(this);
    side->addWidget(help);
    auto* footer = new QWidget(sidebar_);
    auto* fh = new QHBoxLayout(footer);
    fh->setContentsMargins(8, 0, 8, 4);
    fh->setSpacing(6);
    auto* smallLogo = new MakerLogo(11, footer);
    smallLogo->setOpacity(0.5);
    fh->addWidget(smallLogo);
    fh->addWidget(textLabel(QStringLiteral("v") + AppInfo::version(), 10.5, QFont::Normal,
                            Theme::tertiary(palette()), footer));
    fh->addStretch(1);
    side->addWidget(footer);
    root->addWidget(sidebar_);
    root->addWidget(new Hairline(this));

    auto* detail = new QWidget(this);
    detail_ = new QVBoxLayout(detail);
    detail_->setContentsMargins(0, 0, 0, 0);
    detail_->setSpacing(0);
    headerBox_ = new QWidget(detail);
    auto* headerRow = new QHBoxLayout(headerBox_);
    headerRow->setContentsMargins(24, 22, 24, 6);
    headerRow->setSpacing(10);
    title_ = textLabel(QString(), 18, QFont::Bold, QColor(), headerBox_);
    headerRow->addWidget(title_, 1);
    detail_->addWidget(headerBox_);
    root->addWidget(detail, 1);

    // The keys Qt's tabbed windows switch pages with, from anywhere in the window.
    const QList<QPair<QKeySequence, int>> keys{{QKeySequence(QKeySequence::NextChild), 1},
                                               {QKeySequence(Qt::CTRL | Qt::Key_PageDown), 1},
                                               {QKeySequence(QKeySequence::PreviousChild), -1},
                                               {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Tab), -1},
                                               {QKeySequence(Qt::CTRL | Qt::Key_PageUp), -1}};
    for (const auto& [sequence, step] : keys) {
        auto* shortcut = new QShortcut(sequence, this);
        shortcut->setContext(Qt::WidgetWithChildrenShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, step = step] { stepTab(step); });
    }

    connect(&nav_, &SettingsNav::tabChanged, this, &SettingsView::showTab);
    showTab(nav_.tab());
}

void SettingsView::stepTab(int step)
{
    const int count = int(SettingsTabs::all.size());
    const int next = ((int(nav_.tab()) + step) % count + count) % count;
    nav_.setTab(SettingsTabs::all[next]);
    // The page is built anew: the keyboard goes on from the new tab's row.
    focusByKeyboard(sidebarRow(nav_.tab()));
}

bool SettingsView::eventFilter(QObject* watched, QEvent* event)
{
    // Up and Down walk the sidebar as a list: a tab row reached is chosen, Help only focused.
    if (event->type() != QEvent::KeyPress)
        return QWidget::eventFilter(watched, event);
    auto* e = static_cast<QKeyEvent*>(event);
    if ((e->key() != Qt::Key_Up && e->key() != Qt::Key_Down) || e->modifiers() != Qt::NoModifier)
        return QWidget::eventFilter(watched, event);
    QList<QWidget*> rows;
    for (SettingsTab t : SettingsTabs::all)
        rows << sidebarRow(t);
    rows << help_;
    const int at = int(rows.indexOf(static_cast<QWidget*>(watched)));
    const int to = std::clamp(at + (e->key() == Qt::Key_Down ? 1 : -1), 0, int(rows.size()) - 1);
    focusByKeyboard(rows[to]);
    if (to < int(SettingsTabs::all.size()))
        nav_.setTab(SettingsTabs::all[to]);
    return true;
}

QWidget* SettingsView::sidebarRow(SettingsTab tab) const
{
    return sidebar_->findChild<QWidget*>(QStringLiteral("tab-%1").arg(int(tab)));
}

void SettingsView::showTab(SettingsTab tab)
{
    for (SettingsTab t : SettingsTabs::all)
        static_cast<SidebarRow*>(sidebarRow(t))->setSelected(t == tab);
    delete badge_;
    badge_ = new IconBadge(SettingsTabs::symbol(tab), SettingsTabs::tint(tab), 28, headerBox_);
    static_cast<QHBoxLayout*>(headerBox_->layout())->insertWidget(0, badge_);
    title_->setText(SettingsTabs::title(tab));
    // A page's pending work is tied to the page object: deleting it cancels every
    // continuation that would have touched it.
    const bool switching = page_ != nullptr;
    QWidget* focused = window()->focusWidget();
    const bool pageHadFocus = page_ && focused && page_->isAncestorOf(focused);
    delete page_;
    page_ = makePage(tab);
    page_->setObjectName(QStringLiteral("page"));
    detail_->addWidget(page_, 1);
    if (pageHadFocus)
        focusByKeyboard(sidebarRow(tab));
    if (switching)
        fadeIn(page_);
}

void SettingsView::fadeIn(QWidget* page)
{
    // The new page comes in with a 0.15 s ease-out of its opacity; at rest it paints directly.
    auto* effect = new QGraphicsOpacityEffect(page);
    effect->setOpacity(0);
    page->setGraphicsEffect(effect);
    auto* fade = new QVariantAnimation(page);
    fade->setObjectName(QStringLiteral("pageFade"));
    fade->setDuration(kTabFadeMs);
    fade->setEasingCurve(QEasingCurve::OutQuad);
    fade->setStartValue(0.0);
    fade->setEndValue(1.0);
    connect(fade, &QVariantAnimation::valueChanged, effect,
            [effect](const QVariant& v) { effect->setOpacity(v.toDouble()); });
    connect(fade, &QVariantAnimation::finished, page, [page] { page->setGraphicsEffect(nullptr); });
    fade->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace kx
