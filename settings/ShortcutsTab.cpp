#include "settings/ShortcutsTab.h"

#include "core/Localisation.h"
#include "platform/HotKeyManager.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SettingsForm.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

namespace kx {

namespace {

class SymbolView : public QWidget {
public:
    SymbolView(const QString& name, const QColor& color, int width, QWidget* parent)
        : QWidget(parent), name_(name), color_(color)
    {
        setFixedSize(width, 18);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        Symbols::paint(p, QRectF(rect()).adjusted(2, 1, -2, -1), name_,
                       color_.isValid() ? color_ : Theme::secondary(palette()));
    }

private:
    QString name_;
    QColor color_;
};

class RowsCard : public QWidget {
public:
    explicit RowsCard(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        QPainterPath path;
        path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);
        p.fillPath(path, Theme::primary(palette(), 0.045));
        p.setPen(QPen(Theme::primary(palette(), 0.07), 0.5));
        p.drawPath(path);
    }
};

class Separator : public QWidget {
public:
    explicit Separator(QWidget* parent) : QWidget(parent) { setFixedHeight(1); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect().adjusted(46, 0, 0, 0), Theme::primary(palette(), 0.07));
    }
};

}  // namespace

ShortcutsTab::ShortcutsTab(QWidget* parent) : ShortcutsTab(HotKeyManager::shared(), parent)
{
}

ShortcutsTab::ShortcutsTab(HotKeyManager& manager, QWidget* parent) : QWidget(parent), manager_(manager)
{
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(24, 8, 24, 20);
    v->setSpacing(12);
    QLabel* intro = captionLabel(
        kx::tr("Click a field (or press Enter on it) and press the new key combination. Backspace "
               "clears it, Esc cancels.",
               "Kattints a mezőre (vagy nyomj rajta Entert), majd nyomd meg az új billentyűkombinációt. "
               "Backspace törli, Esc megszakítja.",
               "Klicke auf ein Feld (oder drücke darauf Enter) und drücke die neue Tastenkombination. "
               "Backspace löscht sie, Esc bricht ab."));
    intro->setFont(Theme::font(12.5));
    v->addWidget(intro);

    auto* scroll = new QScrollArea(this);
    // The fields inside take the focus, the scrolled area itself shows none.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->viewport()->setAutoFillBackground(false);
    auto* holder = new QWidget(scroll);
    rowsLayout_ = new QVBoxLayout(holder);
    rowsLayout_->setContentsMargins(0, 0, 0, 0);
    scroll->setWidget(holder);
    // After setWidget, which turns the fill on: a filled holder is opaque, so the window leaves the
    // pixels under it alone while the page fades in, and the previous page shows through.
    holder->setAutoFillBackground(false);
    v->addWidget(scroll, 1);

    auto* bottom = new QHBoxLayout;
    restore_ = new QPushButton(
        kx::tr("Restore defaults", "Alapértelmezések visszaállítása", "Standards wiederherstellen"), this);
    restore_->setFont(Theme::font(13));
    bottom->addWidget(restore_);
    bottom->addStretch(1);
    bottom->addWidget(
        captionLabel(kx::tr("Tip: the defaults avoid the desktop's Print Screen shortcuts.",
                            "Tipp: az alapértelmezések nem ütköznek az asztali környezet Print Screen "
                            "kombinációival.",
                            "Tipp: Die Standards vermeiden die Druck-Tastenkürzel der Arbeitsumgebung."),
                     true),
        1);
    v->addLayout(bottom);
    connect(restore_, &QPushButton::clicked, this, [this] {
        manager_.resetAll();
        buildRows();
    });
    buildRows();
    // A keyboard-map change can take keys away (or give them back): show the warnings anew.
    connect(&manager_, &HotKeyManager::regrabbedAll, this, [this] {
        if (!grabsReleased_)
            buildRows();
    });
}

ShortcutsTab::~ShortcutsTab()
{
    recordingChanged(false);
}

void ShortcutsTab::buildRows()
{
    // The keyboard stays on the row it was on when the rows are built anew.
    std::optional<HotKeyAction> focused;
    for (HotKeyAction action : allCases<HotKeyAction>())
        if (HotKeyRecorder* r = rows_ ? recorder(action) : nullptr; r && r->hasFocus())
            focused = action;
    // The old rows may be inside their own key handler: let them go on the next turn.
    if (rows_) {
        rows_->hide();
        rows_->deleteLater();
    }
    ++tick_;
    rows_ = new RowsCard(rowsLayout_->parentWidget());
    auto* v = new QVBoxLayout(rows_);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    bool first = true;
    for (HotKeyAction action : allCases<HotKeyAction>()) {
        if (!first)
            v->addWidget(new Separator(rows_));
        first = false;
        auto* row = new QWidget(rows_);
        row->setObjectName(rawValue(action) + QStringLiteral("-%1").arg(tick_));
        row->setFixedHeight(42);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(12, 0, 12, 0);
        h->setSpacing(10);
        h->addWidget(new SymbolView(symbol(action), QColor(), 22, row));
        auto* title = new QLabel(kx::title(action), row);
        title->setFont(Theme::font(13));
        // A narrow window wraps a long title rather than pushing the field out of sight.
        title->setWordWrap(true);
        h->addWidget(title, 1);
        if (manager_.failed().contains(action)) {
            auto* warn = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"),
                                        Theme::systemOrange(), 20, row);
            warn->setObjectName(QStringLiteral("warning"));
            // A key one of our own earlier actions holds is not another program's.
            const std::optional<HotKeyAction> holder = manager_.heldBy(action);
            warn->setToolTip(
                holder ? kx::tr("This key already starts “%1”.", "Ez a billentyű már ezt indítja: „%1”.",
                                "Diese Taste startet schon „%1“.")
                             .arg(kx::title(*holder))
                       : kx::tr("This shortcut is taken by another app or the system.",
                                "Ezt a kombinációt másik app vagy a rendszer már használja.",
                                "Dieses Tastenkürzel wird von einer anderen App oder dem System verwendet."));
            h->addWidget(warn);
        }
        auto* recorder = new HotKeyRecorder(manager_.combo(action), row);
        recorder->setObjectName(QStringLiteral("recorder"));
        recorder->onChange = [this, action](const std::optional<KeyCombo>& c) { changed(action, c); };
        connect(recorder, &HotKeyRecorder::recordingChanged, this, &ShortcutsTab::recordingChanged);
        h->addWidget(recorder);
        v->addWidget(row);
    }
    rowsLayout_->insertWidget(0, rows_);
    // New rows join the end of the Tab chain: they go back before Restore defaults.
    QWidget* last = recorder(allCases<HotKeyAction>().back());
    if (last && restore_)
        QWidget::setTabOrder(last, restore_);
    if (focused) {
        rows_->show();  // a hidden field could not take the focus
        recorder(*focused)->setFocus(Qt::OtherFocusReason);
    }
}

void ShortcutsTab::changed(HotKeyAction action, const std::optional<KeyCombo>& combo)
{
    recordingChanged(false);
    manager_.setCombo(combo, action);
    buildRows();
}

void ShortcutsTab::recordingChanged(bool recording)
{
    // While a field records, Kaptorix's own grabs are let go so their keys reach the field.
    if (recording == grabsReleased_)
        return;
    grabsReleased_ = recording;
    manager_.setGrabsSuspended(recording);
}

HotKeyRecorder* ShortcutsTab::recorder(HotKeyAction action) const
{
    QWidget* row = rows_->findChild<QWidget*>(rawValue(action) + QStringLiteral("-%1").arg(tick_));
    return row ? row->findChild<HotKeyRecorder*>(QStringLiteral("recorder")) : nullptr;
}

QWidget* ShortcutsTab::warning(HotKeyAction action) const
{
    QWidget* row = rows_->findChild<QWidget*>(rawValue(action) + QStringLiteral("-%1").arg(tick_));
    return row ? row->findChild<QWidget*>(QStringLiteral("warning")) : nullptr;
}

}  // namespace kx
