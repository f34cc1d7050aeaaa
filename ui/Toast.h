#pragma once
// The one transient notice: a borderless panel at the bottom-right corner of the visible
// area of the screen under the pointer that fades in while rising 14 pt and fades out
// after a time chosen by the caller. Presenting a new toast removes the previous one at
// once, so at most one is on screen.
//
//   Toast::present(new ToastView(kx::tr("Saved", ...), fileName, "checkmark.circle.fill"_sym), 3);
//
// Main thread only.

#include <QPoint>
#include <QRect>
#include <QSize>

namespace kx {

class FloatingPanel;
class SurfaceWidget;

class Toast {
public:
    static constexpr int edgeMargin = 16;    // from the right and bottom of the visible area
    static constexpr int riseDistance = 14;  // the toast rises this far while fading in
    static constexpr int sinkDistance = 10;  // and sinks this far while fading out
    static constexpr int fadeInMs = 240;
    static constexpr int fadeOutMs = 220;

    // Shows `view` (a ToastView or a QuickPreviewView; the toast takes ownership) for
    // `seconds`; 0 or less keeps it until it is dismissed or replaced.
    static void present(SurfaceWidget* view, double seconds);
    // Re-arms the automatic dismissal of the current toast, or disarms it with 0 or less.
    static void schedule(double seconds);
    // Fades the current toast out; nothing when none shows. A second call does nothing.
    static void dismiss();

    // Where a toast of `size` rests on a screen whose visible area is `visible`.
    static QPoint restPosition(const QRect& visible, const QSize& size);

    // The toast on screen now (none while nothing shows or the last one fades out).
    static FloatingPanel* current();
    // The armed dismissal in milliseconds, or -1 when none is armed.
    static int pendingDismissMs();
};

}  // namespace kx
