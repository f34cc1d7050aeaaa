#pragma once
// The standard toast content: a symbol in a tinted circle beside a title (at most two
// lines) and an optional second line (at most three), at most 360 pt wide.

#include "ui/FloatingSurface.h"

namespace kx {

class ToastView : public SurfaceWidget {
public:
    // Where the title and the second line wrap: 360 pt less the icon, its spacing and the
    // column's trailing room.
    static constexpr qreal textWidth = 360 - 34 - 12 - 4;

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

    // How a notice names a file, short enough that the sentence around it still fits: the
    // home folder as "~", and a long path cut in the middle at folder boundaries
    // ("/mnt/archive/…/Kaptorix/Kaptorix.conf"). The file's own name is kept as far as it goes.
    static QString shortPath(const QString& path, int maxChars = 40);
    // A file name longer than `maxChars` with its middle elided; its extension is kept.
    static QString shortName(const QString& name, int maxChars = 40);
    // The start of a longer text (what was copied) as a second line shows it: its first lines,
    // the last one ending in "…" where the text goes on.
    static QString excerpt(const QString& text);

    // The title of a notice that stands for `count` equal ones ("Capture failed – 20 times").
    static QString countedTitle(const QString& title, int count);
    void setCount(int count);
    // As given, and as shown (with its count).
    QString title() const { return title_; }
    QString shownTitle() const { return countedTitle(title_, count_); }
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
    int count_ = 1;
};

}  // namespace kx
