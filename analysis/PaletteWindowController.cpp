#include "analysis/PaletteWindowController.h"

#include "core/Localisation.h"
#include "ui/FloatingSurface.h"
#include "ui/Symbols.h"
#include "ui/Theme.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"
#include "ui/WindowPolicy.h"

#include <QApplication>
#include <QClipboard>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

namespace kx {

namespace {

constexpr int kWidth = 460;
constexpr int kHeight = 420;
constexpr int kPadding = 20;
constexpr int kMinColumn = 190;
constexpr int kGap = 10;

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

// The window's content; rebuilt for every image. The title and swatches scroll where a small
// screen leaves the window too short for them; the copy button stays in view below.
QWidget* paletteView(const QList<PaletteColor>& colors)
{
    auto* view = new QWidget;
    const QPalette pal = view->palette();
    auto* outer = new QVBoxLayout(view);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->setSpacing(0);

    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("paletteBody"));
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(kPadding, kPadding, kPadding, 0);
    column->setSpacing(14);
    column->addWidget(label(kx::tr(QStringLiteral("Dominant colors"), QStringLiteral("Domináns színek"),
                                   QStringLiteral("Dominante Farben")),
                            Theme::font(15, QFont::DemiBold), Theme::primary(pal)));
    if (colors.isEmpty()) {
        column->addWidget(
            label(kx::tr(QStringLiteral("No colors found – is the image fully transparent?"),
                         QStringLiteral("Nincs felismerhető szín – teljesen átlátszó a kép?"),
                         QStringLiteral("Keine Farben gefunden – ist das Bild vollständig transparent?")),
                  Theme::font(12.5), Theme::secondary(pal)));
    }
    // Adaptive columns of at least 190 pt across the padded width.
    const int columns = std::max(1, (kWidth - 2 * kPadding + kGap) / (kMinColumn + kGap));
    auto* grid = new QGridLayout;
    grid->setSpacing(kGap);
    for (qsizetype i = 0; i < colors.size(); ++i)
        grid->addWidget(new SwatchView(colors[i]), int(i / columns), int(i % columns));
    column->addLayout(grid);
    column->addStretch(1);

    auto* scroll = new QScrollArea;
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(body);
    outer->addWidget(scroll, 1);

    auto* row = new QHBoxLayout;
    row->setContentsMargins(kPadding, 14, kPadding, kPadding);
    auto* all = new QPushButton(kx::tr(QStringLiteral("Copy all HEX codes"),
                                       QStringLiteral("Összes HEX-kód másolása"),
                                       QStringLiteral("Alle HEX-Codes kopieren")));
    all->setObjectName(QStringLiteral("copyAll"));
    all->setDefault(true);
    all->setEnabled(!colors.isEmpty());
    QObject::connect(all, &QPushButton::clicked, all, [colors] { PaletteWindowController::copyAll(colors); });
    row->addWidget(all);
    row->addStretch(1);
    QFont caption = Theme::font(10);
    row->addWidget(label(kx::tr(QStringLiteral("Click a color to copy its code."),
                                QStringLiteral("Kattints egy színre a kódjának másolásához."),
                                QStringLiteral("Klicke auf eine Farbe, um ihren Code zu kopieren.")),
                         caption, Theme::secondary(pal)));
    row->itemAt(row->count() - 1)->widget()->setProperty("wordWrap", false);
    outer->addLayout(row);
    return view;
}

}  // namespace

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
    layout->addWidget(paletteView(colors));
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
