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
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace kx {

namespace {

// One row of the sidebar: badge, title and the faint rounded background when selected.
class SidebarRow : public QAbstractButton {
public:
    SidebarRow(const QString& symbol, const QColor& tint, const QString& title, QWidget* parent)
        : QAbstractButton(parent), m_symbol(symbol), m_tint(tint)
    {
        setText(title);
        setFixedHeight(36);
        setCursor(Qt::PointingHandCursor);
        setFocusPolicy(Qt::NoFocus);
    }
    void setSelected(bool on)
    {
        m_selected = on;
        update();
    }
    bool selected() const { return m_selected; }
    QFont titleFont() const { return Theme::font(13, m_selected ? QFont::DemiBold : QFont::Medium); }
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
        if (m_selected) {
            QPainterPath path;
            path.addRoundedRect(QRectF(rect()), 9, 9);
            p.fillPath(path, Theme::primary(palette(), 0.09));
        }
        IconBadge::paint(p, QRectF(8, (height() - 24) / 2.0, 24, 24), m_symbol, m_tint);
        p.setFont(titleFont());
        p.setPen(isEnabled() ? Theme::primary(palette()) : Theme::tertiary(palette()));
        p.drawText(titleRect(), Qt::AlignVCenter | Qt::AlignLeft, text());
    }

private:
    QString m_symbol;
    QColor m_tint;
    bool m_selected = false;
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

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter(this).fillRect(rect(), Theme::primary(palette(), 0.035));
    }
};

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

SettingsView::SettingsView(SettingsNav& nav, QWidget* parent) : QWidget(parent), m_nav(nav)
{
    setFixedWidth(760);
    auto* root = new QHBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);

    m_sidebar = new Sidebar(this);
    auto* side = new QVBoxLayout(m_sidebar);
    // 8 rather than 12 at the sides: Linux interface fonts run wider than the 214 pt sidebar
    // was drawn for, and "Billentyűparancsok" must not be cut.
    side->setContentsMargins(8, 0, 8, 12);
    side->setSpacing(4);
    auto* header = new QWidget(m_sidebar);
    auto* hv = new QVBoxLayout(header);
    hv->setContentsMargins(8, 46, 8, 16);
    hv->setSpacing(3);
    hv->addWidget(new MakerLogo(24, header), 0, Qt::AlignLeft);
    hv->addWidget(
        textLabel(QStringLiteral("Kaptorix · ") + kx::tr("Settings", "Beállítások", "Einstellungen"), 11.5,
                  QFont::Normal, Theme::secondary(palette()), header));
    side->addWidget(header);
    for (SettingsTab tab : SettingsTabs::all) {
        auto* row = new SidebarRow(SettingsTabs::symbol(tab), SettingsTabs::tint(tab),
                                   SettingsTabs::title(tab), m_sidebar);
        row->setObjectName(QStringLiteral("tab-%1").arg(int(tab)));
        connect(row, &QAbstractButton::clicked, this, [this, tab] { m_nav.setTab(tab); });
        side->addWidget(row);
    }
    side->addStretch(1);
    auto* help = new SidebarRow(QStringLiteral("questionmark"), QColor(142, 142, 147),
                                kx::tr("Help", "Súgó", "Hilfe"), m_sidebar);
    // Opens or raises the help on the page it last showed; this window stays as it is.
    connect(help, &QAbstractButton::clicked, this, [] { HelpWindowController::shared().show(); });
    m_help = help;
    side->addWidget(help);
    auto* footer = new QWidget(m_sidebar);
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
    root->addWidget(m_sidebar);
    root->addWidget(new Hairline(this));

    auto* detail = new QWidget(this);
    m_detail = new QVBoxLayout(detail);
    m_detail->setContentsMargins(0, 0, 0, 0);
    m_detail->setSpacing(0);
    m_headerBox = new QWidget(detail);
    auto* headerRow = new QHBoxLayout(m_headerBox);
    headerRow->setContentsMargins(24, 22, 24, 6);
    headerRow->setSpacing(10);
    m_title = textLabel(QString(), 18, QFont::Bold, QColor(), m_headerBox);
    headerRow->addWidget(m_title, 1);
    m_detail->addWidget(m_headerBox);
    root->addWidget(detail, 1);

    connect(&m_nav, &SettingsNav::tabChanged, this, &SettingsView::showTab);
    showTab(m_nav.tab());
}

QWidget* SettingsView::sidebarRow(SettingsTab tab) const
{
    return m_sidebar->findChild<QWidget*>(QStringLiteral("tab-%1").arg(int(tab)));
}

void SettingsView::showTab(SettingsTab tab)
{
    for (SettingsTab t : SettingsTabs::all)
        static_cast<SidebarRow*>(sidebarRow(t))->setSelected(t == tab);
    delete m_badge;
    m_badge = new IconBadge(SettingsTabs::symbol(tab), SettingsTabs::tint(tab), 28, m_headerBox);
    static_cast<QHBoxLayout*>(m_headerBox->layout())->insertWidget(0, m_badge);
    m_title->setText(SettingsTabs::title(tab));
    // A page's pending work is tied to the page object: deleting it cancels every
    // continuation that would have touched it.
    delete m_page;
    m_page = makePage(tab);
    m_page->setObjectName(QStringLiteral("page"));
    m_detail->addWidget(m_page, 1);
}

}  // namespace kx
