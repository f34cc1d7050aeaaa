// The document's whole-list and whole-picture edits: delete, reorder, crop, joining a
// further capture, adding a picture, and the final render.
#include "editor/document/EditorDocument.h"

#include "core/ImageUtils.h"
#include "editor/Exporter.h"

#include <QColorSpace>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace kx {

void EditorDocument::shift(Annotation& a, const QPointF& by)
{
    a.p1 += by;
    a.p2 += by;
    for (QPointF& p : a.points)
        p += by;
    a.lensCenter += by;
}

void EditorDocument::deleteSelected()
{
    if (selectedID_.isNull())
        return;
    pushUndo();
    remove(selectedID_);
    setSelectedID(QUuid());
}

void EditorDocument::bringToFront()
{
    const qsizetype i = selectedID_.isNull() ? -1 : indexOf(selectedID_);
    if (i < 0)
        return;
    pushUndo();
    QList<Annotation> list = annotations_;
    list.append(list.takeAt(i));
    setAnnotations(list);
}

void EditorDocument::sendToBack()
{
    const qsizetype i = selectedID_.isNull() ? -1 : indexOf(selectedID_);
    if (i < 0)
        return;
    pushUndo();
    QList<Annotation> list = annotations_;
    list.prepend(list.takeAt(i));
    setAnnotations(list);
}

void EditorDocument::applyCrop()
{
    if (!cropRect_) {
        setCropRect(std::nullopt);
        return;
    }
    const QRectF c = *cropRect_;
    if (!std::isfinite(c.x()) || !std::isfinite(c.y()) || !std::isfinite(c.width()) ||
        !std::isfinite(c.height())) {
        setCropRect(std::nullopt);
        return;
    }
    // Integral rectangle: the smallest whole-pixel rectangle containing the crop.
    const QRectF n = c.normalized();
    const double x0 = std::floor(n.left()), y0 = std::floor(n.top());
    const double x1 = std::ceil(n.right()), y1 = std::ceil(n.bottom());
    const QRectF integral =
        QRectF(x0, y0, x1 - x0, y1 - y0).intersected(QRectF(0, 0, base_.width(), base_.height()));
    const QRect r = integral.toRect();
    if (integral.width() < 2 || integral.height() < 2) {
        setCropRect(std::nullopt);
        return;
    }
    const QImage cropped = base_.copy(r);
    if (cropped.isNull()) {
        setCropRect(std::nullopt);
        return;
    }
    pushUndo();
    effects_.bumpVersion();
    setBase(cropped);
    QList<Annotation> list = annotations_;
    for (Annotation& a : list)
        shift(a, QPointF(-r.x(), -r.y()));
    setAnnotations(list);
    setCropRect(std::nullopt);
    setSelectedID(QUuid());
}

namespace {

// A scale that cannot be used (zero, negative, not finite) is taken as `fallback`.
double usableScaleOr(double s, double fallback)
{
    return std::isfinite(s) && s > 0 ? s : fallback;
}

// Copies `src` into `dst` at (x, y) pixel by pixel row; both premultiplied ARGB32.
void blit(QImage& dst, const QImage& src, int x, int y)
{
    const qsizetype bytes = qsizetype(src.width()) * 4;
    for (int row = 0; row < src.height(); ++row)
        std::memcpy(dst.scanLine(y + row) + qsizetype(x) * 4, src.constScanLine(row), size_t(bytes));
}

}  // namespace

void EditorDocument::append(const QImage& image, double scale, AddEdge edge)
{
    if (image.isNull() || base_.isNull())
        return;
    QImage added = image;
    const double s = usableScaleOr(scale, scale_);
    if (std::abs(s - scale_) > 0.01) {
        const QImage r = resized(image, QSizeF(scale_ * image.width() / s, scale_ * image.height() / s));
        if (!r.isNull())
            added = r;
    }
    const qint64 bw = base_.width(), bh = base_.height(), iw = added.width(), ih = added.height();
    const bool sideBySide = edge == AddEdge::right || edge == AddEdge::left;
    const qint64 w = sideBySide ? bw + iw : std::max(bw, iw);
    const qint64 h = sideBySide ? std::max(bh, ih) : bh + ih;
    if (w > INT_MAX || h > INT_MAX)
        return;
    // The joined picture first: when it cannot be made nothing else is touched.
    QImage joined = makeBitmapContext(int(w), int(h));
    if (joined.isNull())
        return;
    const QImage baseArgb = base_.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QImage addedArgb = added.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    if (baseArgb.isNull() || addedArgb.isNull())
        return;
    if (base_.colorSpace().isValid())
        joined.setColorSpace(base_.colorSpace());
    joined.setDotsPerMeterX(base_.dotsPerMeterX());
    joined.setDotsPerMeterY(base_.dotsPerMeterY());

    QPointF offset;  // how far the old picture moves
    switch (edge) {
        case AddEdge::right:
            blit(joined, baseArgb, 0, 0);
            blit(joined, addedArgb, int(bw), 0);
            break;
        case AddEdge::left:
            blit(joined, addedArgb, 0, 0);
            blit(joined, baseArgb, int(iw), 0);
            offset = QPointF(iw, 0);
            break;
        case AddEdge::below:
            blit(joined, baseArgb, 0, 0);
            blit(joined, addedArgb, 0, int(bh));
            break;
        case AddEdge::above:
            blit(joined, addedArgb, 0, 0);
            blit(joined, baseArgb, 0, int(ih));
            offset = QPointF(0, ih);
            break;
    }

    pushUndo();
    // Before the base changes, so nothing drawn at the change finds a patch of the old one.
    effects_.bumpVersion();
    setBase(joined);
    if (!offset.isNull()) {
        QList<Annotation> list = annotations_;
        for (Annotation& a : list)
            shift(a, offset);
        setAnnotations(list);
    }
    setCropRect(std::nullopt);
}

void EditorDocument::addPicture(const QImage& image, double scale)
{
    if (image.isNull())
        return;
    const double f = scale_ / usableScaleOr(scale, scale_);
    const double w = f * image.width(), h = f * image.height();
    const double bw = base_.width(), bh = base_.height();
    const double k = std::min({1.0, 0.42 * bw / std::max(w, 1.0), 0.42 * bh / std::max(h, 1.0)});
    const double m = 0.04 * std::min(bw, bh);
    const double x = bw - w * k - m, y = bh - h * k - m;

    Annotation a;
    a.kind = ToolKind::picture;
    a.p1 = QPointF(x, y);
    a.p2 = QPointF(x + w * k, y + h * k);
    a.style = style_;
    a.style.color = RGBA{1, 1, 1, 1};
    a.style.lineWidth = 3 * scale_;
    a.image = image;

    pushUndo();
    setTool(ToolKind::select);
    QList<Annotation> list = annotations_;
    list.append(a);
    setAnnotations(list);
    select(a.id);
}

QImage EditorDocument::renderFinal(bool includeBeautify)
{
    const QImage picture = annotations_.isEmpty() ? base_ : Exporter::flatten(base_, annotations_, effects_);
    return includeBeautify ? Exporter::beautify(picture, beautify_, scale_) : picture;
}

}  // namespace kx
