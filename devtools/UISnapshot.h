#pragma once
// The window-based developer modes: snapshots of the real windows, frame styles on a real
// screen capture, and a stress run of the settings window. They need an application object.
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

class QWidget;

namespace kx {

class UISnapshot {
public:
    // `--snapshot-ui`: one PNG per window state plus "frames.png" in `dir`. 1 when a shot
    // failed or "frames.png" could not be written; a missing window is only skipped.
    static int run(const QString& dir);

    // `--frame-test`: a real grab framed in every edge style, with a one-line note. 1 after an
    // "error:" note or a failed write; no screen access is only noted.
    static int frameTest(const QString& dir);

    // `--stress-settings`: 1500 tab switches, each drawn at once.
    static void stressSettings();

    // A made-up web dashboard, 800 x 500 points drawn at 1600 x 1000 pixels.
    static QImage mockScreenshot();

    // "frames.png": the mock in every edge style on a 1920 x 1410 sheet; false when not written.
    static bool frameSheet(const QImage& image, const QString& dir);

    // The image in each of the seven edge styles, each on its own backdrop (padding in points).
    static QList<QImage> framedInEveryEdge(const QImage& image, double padding, double scale);

    // The framed images on a checkerboard, cell i at column i mod 3, row i div 3.
    static QImage sheet(const QList<QImage>& framed, QSize size, QSize cell);

    // PNG written atomically; false on an encoding or write failure.
    static bool writePng(const QImage& image, const QString& path);

    // Turns the event loop for `seconds`, so windows lay out, animate and draw.
    static void pause(double seconds);

    // The status icons, the menu's logo header and the magnifier's hover tip (object name "tip")
    // in one small window, sized to show the tip whole.
    static QWidget* iconTipWindow();

private:
    static void seedHistory(const QImage& image);
    // "  <name> WxH", "skip <name>" or "failed <name>"; false only for a failure.
    static bool shoot(QWidget* window, const QString& name, const QString& dir);
};

}  // namespace kx
