#pragma once
// The standard toast content: a symbol in a tinted circle beside a title (at most two
// lines) and an optional second line (at most three), at most 360 pt wide.

#include "ui/FloatingSurface.h"

namespace kx {

class ToastView : public SurfaceWidget {
public:
    // An empty subtitle means one line only. Texts are already localised.
    ToastView(const QString& title, const QString& subtitle, const QString& symbol,
              QWidget* parent = nullptr);

    // Orange for any symbol containing "exclamation", blue for "icloud.and.arrow.up",
    // green otherwise.
    static QColor tintFor(const QString& symbol);
    // A warning (orange) must be read: the toast shows it for its whole time.
    static bool isWarningSymbol(const QString& symbol);
    bool isWarning() const { return isWarningSymbol(symbol_); }
    // Whether a toast shows these texts whole (two title lines, three of text), uncut.
    static bool showsWhole(const QString& title, const QString& subtitle);

    QString title() const { return title_; }
    QString subtitle() const { return subtitle_; }
    QString symbol() const { return symbol_; }

    QSize sizeHint() const override;
    QPainterPath surfacePath() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        QSizeF title;
        QSizeF subtitle;
        QSizeF content;  // icon and text column, without paddings
    };
    Layout layout() const;

    QString title_;
    QString subtitle_;
    QString symbol_;
};

}  // namespace kx
