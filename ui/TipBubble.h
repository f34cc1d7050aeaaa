#pragma once
// The hover tip's bubble: a semibold title with an optional key cap beside it and an
// optional secondary explanation wrapped within 250 pt, on the floating surface.

#include "ui/FloatingSurface.h"

namespace kx {

class TipBubble : public SurfaceWidget {
public:
    TipBubble(const QString& title, const QString& detail, const QString& key, QWidget* parent = nullptr);

    QSize sizeHint() const override;
    QPainterPath surfacePath() const override;

    static constexpr qreal maxTextWidth = 250;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout {
        QSizeF text;  // the text column
        qreal titleHeight;
        qreal detailWidth;
        qreal detailHeight;
    };
    Layout layout() const;

    QString title_;
    QString detail_;
    QString key_;
};

}  // namespace kx
