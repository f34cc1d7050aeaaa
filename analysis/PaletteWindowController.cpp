#include "analysis/PaletteWindowController.h"

#include "core/Localisation.h"
#include "ui/FloatingSurface.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"
#include "ui/WindowPolicy.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 420;
constexpr int kPadding = 20;
constexpr int kMinColumn = 190;
constexpr int kGap = 10;
constexpr int kFooterTop = 14;
constexpr int kMinBody = 150;   // the title and about two rows of swatches
constexpr int kScrollBar = 16;  // room a vertical scroll bar may take from the swatches

void putText(const QString& text)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
}

QLabel* label(const QString& text, const QFont& font, const QColor& color)
{
    auto* l = new QLabel(text);
    l->setFont(font);
    QPalette pal = l->palette();
    pal.setColor(QPalette::WindowText, color);
    l->setPalette(pal);
    l->setWordWrap(true);
    return l;
}

// The window's content; rebuilt for every image. The swatches take as many columns as the
// width holds. The title and swatches scroll where a small screen leaves the window too short
// for them; the copy row stays in view below, unless the window is too narrow for it on one line
// or too short to leave the swatches room: then it stacks and scrolls with them.
class PaletteView : public QWidget {
public:
    explicit PaletteView(const QList<PaletteColor>& colors)
    {
        const QPalette pal = palette();
        auto* outer = new QVBoxLayout(this);
        outer->setContentsMargins(0, 0, 0, 0);
        outer->setSpacing(0);

        auto* body = new QWidget;
        body->setObjectName(QStringLiteral("paletteBody"));
        column_ = new QVBoxLayout(body);
        column_->setContentsMargins(kPadding, kPadding, kPadding, 0);
        column_->setSpacing(14);
        column_->addWidget(label(kx::tr(QStringLiteral("Dominant colors"), QStringLiteral("Domináns színek"),
                                        QStringLiteral("Dominante Farben")),
                                 Theme::font(15, QFont::DemiBold), Theme::primary(pal)));
        if (colors.isEmpty()) {
            column_->addWidget(
                label(kx::tr(QStringLiteral("No colors found – is the image fully transparent?"),
                             QStringLiteral("Nincs felismerhető szín – teljesen átlátszó a kép?"),
                             QStringLiteral("Keine Farben gefunden – ist das Bild vollständig transparent?")),
                      Theme::font(12.5), Theme::secondary(pal)));
        }
        grid_ = new QGridLayout;
        grid_->setSpacing(kGap);
        for (const PaletteColor& c : colors)
            swatches_.append(new SwatchView(c));
        column_->addLayout(grid_);
        column_->addStretch(1);

        auto* scroll = new QScrollArea;
        scroll->setFrameShape(QFrame::NoFrame);
        scroll->setWidgetResizable(true);
        scroll->setWidget(body);
        outer->addWidget(scroll, 1);

        footer_ = new QWidget;
        footer_->setObjectName(QStringLiteral("paletteFooter"));
        row_ = new QBoxLayout(QBoxLayout::LeftToRight, footer_);
        auto* all = new QPushButton(kx::tr(QStringLiteral("Copy all HEX codes"),
                                           QStringLiteral("Összes HEX-kód másolása"),
                                           QStringLiteral("Alle HEX-Codes kopieren")));
        all->setObjectName(QStringLiteral("copyAll"));
        all->setDefault(true);
        all->setEnabled(!colors.isEmpty());
        QObject::connect(all, &QPushButton::clicked, all,
                         [colors] { PaletteWindowController::copyAll(colors); });
        row_->addWidget(all, 0, Qt::AlignLeft);
        row_->addStretch(1);
        caption_ = label(kx::tr(QStringLiteral("Click a color to copy its code."),
                                QStringLiteral("Kattints egy színre a kódjának másolásához."),
                                QStringLiteral("Klicke auf eine Farbe, um ihren Code zu kopieren.")),
                         Theme::font(10), Theme::secondary(pal));
        row_->addWidget(caption_);
        caption_->setWordWrap(false);
        row_->setContentsMargins(kPadding, kFooterTop, kPadding, kPadding);
        // What the row needs on one line.
        rowNeed_ = footer_->minimumSizeHint();
        outer->addWidget(footer_);
        arrange(kWidth, kHeight);
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QWidget::resizeEvent(event);
        arrange(width(), height());
    }

private:
    void arrange(int width, int height)
    {
        const PaletteArrangement a = paletteArrangement(QSize(width, height), rowNeed_);
        if (a.columns != columns_) {
            columns_ = a.columns;
            for (SwatchView* s : std::as_const(swatches_))
                grid_->removeWidget(s);
            for (qsizetype i = 0; i < swatches_.size(); ++i)
                grid_->addWidget(swatches_[i], int(i / columns_), int(i % columns_));
        }
        if (a.stacked == stacked_)
            return;
        stacked_ = a.stacked;
        caption_->setWordWrap(stacked_);
        if (stacked_) {
            // Below the swatches, inside the padded column.
            row_->setDirection(QBoxLayout::TopToBottom);
            row_->setContentsMargins(0, kFooterTop - column_->spacing(), 0, kPadding);
            column_->insertWidget(column_->count() - 1, footer_);
        } else {
            row_->setDirection(QBoxLayout::LeftToRight);
            row_->setContentsMargins(kPadding, kFooterTop, kPadding, kPadding);
            layout()->addWidget(footer_);
        }
    }

    QVBoxLayout* column_ = nullptr;
    QGridLayout* grid_ = nullptr;
    QWidget* footer_ = nullptr;
    QBoxLayout* row_ = nullptr;
    QLabel* caption_ = nullptr;
    QList<SwatchView*> swatches_;
    QSize rowNeed_;
    int columns_ = 0;
    bool stacked_ = false;
};

}  // namespace

PaletteArrangement paletteArrangement(const QSize& view, const QSize& rowNeed)
{
    PaletteArrangement a;
    a.columns = std::max(1, (view.width() - 2 * kPadding - kScrollBar + kGap) / (kMinColumn + kGap));
    a.stacked = view.width() < rowNeed.width() || view.height() < rowNeed.height() + kMinBody;
    return a;
}

SwatchView::SwatchView(const PaletteColor& color, QWidget* parent) : QAbstractButton(parent), color_(color)
{
    setCursor(Qt::PointingHandCursor);
    setToolTip(color.hex());
    connect(this, &QAbstractButton::clicked, this, [this] { PaletteWindowController::copyOne(color_); });
}

QSize SwatchView::sizeHint() const
{
    return {kMinColumn, 44 + 16};
}

bool SwatchView::hitButton(const QPoint& pos) const
{
    return roundedRect(QRectF(rect()), 12).contains(pos);
}

void SwatchView::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QPalette& pal = palette();
    paintCard(p, QRectF(rect()), 12, Theme::primary(pal, 0.045), pal);

    const QRectF swatch(8, 8, 44, 44);
    const QPainterPath shape = roundedRect(swatch, 8);
    p.fillPath(shape, QColor(color_.r, color_.g, color_.b));
    strokeInside(p, shape, Theme::primary(pal, 0.12), 0.5);

    const qreal textX = swatch.right() + 10;
    p.setPen(Theme::primary(pal));
    p.setFont(Theme::monoFont(13, QFont::DemiBold));
    p.drawText(QRectF(textX, 10, width() - textX - 8, 22), Qt::AlignLeft | Qt::AlignVCenter, color_.hex());
    p.setPen(Theme::secondary(pal));
    p.setFont(Theme::font(11));
    p.drawText(QRectF(textX, 32, width() - textX - 8, 18), Qt::AlignLeft | Qt::AlignVCenter,
               color_.percent());
}

PaletteWindowController& PaletteWindowController::shared()
{
    static PaletteWindowController instance;
    return instance;
}

void PaletteWindowController::show(const QImage& image)
{
    const QList<PaletteColor> colors = Palette::dominant(image, 8);
    if (!window_) {
        // Title and close only: the window manager is asked for no minimise and no maximise.
        window_ = new QWidget(nullptr, Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
        window_->setObjectName(QStringLiteral("paletteWindow"));
        window_->setWindowTitle(kx::tr(QStringLiteral("Color palette"), QStringLiteral("Színpaletta"),
                                       QStringLiteral("Farbpalette")));
        window_->setFixedSize(kWidth, kHeight);
        auto* layout = new QVBoxLayout(window_);
        layout->setContentsMargins(0, 0, 0, 0);
        WindowPolicy::centre(window_);
    }
    // A fresh view replaces the old one; the window keeps its place.
    QLayout* layout = window_->layout();
    while (QLayoutItem* item = layout->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    layout->addWidget(new PaletteView(colors));
    WindowPolicy::bringToFront(window_);
}

void PaletteWindowController::copyOne(const PaletteColor& color)
{
    putText(color.hex());
    Toast::present(new ToastView(kx::tr(QStringLiteral("Color copied"), QStringLiteral("Szín másolva"),
                                        QStringLiteral("Farbe kopiert")),
                                 color.hex(), "eyedropper"_sym),
                   3.0);
}

void PaletteWindowController::copyAll(const QList<PaletteColor>& colors)
{
    QStringList codes;
    for (const PaletteColor& c : colors)
        codes.append(c.hex());
    putText(codes.join(QLatin1Char('\n')));
    Toast::present(new ToastView(kx::tr(QStringLiteral("Colors copied"), QStringLiteral("Színek másolva"),
                                        QStringLiteral("Farben kopiert")),
                                 codes.join(QStringLiteral("  ")), "eyedropper"_sym),
                   4.0);
}

}  // namespace kx
