#pragma once
// Where a Qt screen lies on the X server: its rectangle in Qt's global points and in the
// X screen's native pixels. Qt keeps a screen's top-left corner and divides its size by the
// device pixel ratio; points inside map linearly.
#include <QList>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

class QScreen;

namespace kx {

struct ScreenPlacement {
    int xScreen = 0;   // X screen number (0 unless the display has several)
    QString name;      // RandR output name, as QScreen::name() reports it
    QRect logical;     // Qt's geometry, global points
    QRect native;      // pixels on the X screen's root window
    double dpr = 1.0;  // pixels per point

    QPointF toNative(const QPointF& globalPoint) const;
    QPointF toLogical(const QPointF& nativePoint) const;
    // A rectangle in points from the screen's top-left corner as root pixels; edges rounded
    // half away from zero, at least 1 x 1.
    QRect nativeRectOf(const QRectF& localPoints) const;
};

// A monitor as the X server sees it.
struct NativeOutput {
    int xScreen = 0;
    QString name;
    QRect native;
};

// Pairs Qt screens (name, geometry, ratio, in Qt's order) with X outputs: same name and a
// native rectangle that fits the geometry; each output used once. A screen without a match
// is placed on X screen 0 at its geometry scaled by its ratio.
struct QtScreenFacts {
    QString name;
    QRect geometry;
    double dpr = 1.0;
};
QList<ScreenPlacement> placeScreens(const QList<QtScreenFacts>& screens, const QList<NativeOutput>& outputs);

}  // namespace kx
