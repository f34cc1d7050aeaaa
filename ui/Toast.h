#pragma once
// The transient notices and the preview card: borderless panels at the bottom-right corner of
// the visible area of the screen under the pointer, each fading in while rising 14 pt and
// fading out after a time chosen by the caller.
//
//   Toast::present(new ToastView(kx::tr("Saved", ...), fileName, "checkmark.circle.fill"_sym), 3);
//
// Every notice goes through here, and ToastQueue decides what shows and where: the card stays
// until its own time or action ends it, a warning (a ToastView with an "exclamation" symbol) is
// shown for its whole time with later warnings waiting their turn (equal ones counted as one),
// and a confirmation (any other ToastView) replaces the confirmation before it. What shows
// together is stacked upwards from the corner: card, warning, confirmation, all of it inside
// the work area of the screen the stack started on, following that area when it changes.
//
// Main thread only.

#include "ui/ToastQueue.h"

#include <QList>
#include <QObject>
#include <QPoint>
#include <QRect>
#include <QSize>

namespace kx {

class FloatingPanel;
class SurfaceWidget;

// What the toast showed and how it ended (the notice log, tests).
class ToastEvents : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void noticeShown(const QString& title, const QString& subtitle);
    // `whole`: it stayed for all of its time (or as long as the pointer held it).
    void noticeEnded(const QString& title, const QString& subtitle, bool whole);
    void cardShown();
    void cardEnded(bool whole);
};

class Toast {
public:
    static constexpr int edgeMargin = ToastQueue::edgeMargin;  // from the right and bottom
    static constexpr int riseDistance = 14;                    // the toast rises this far while fading in
    static constexpr int sinkDistance = 10;                    // and sinks this far while fading out
    static constexpr int stackOverlap = ToastQueue::stackOverlap;
    static constexpr int fadeInMs = 240;
    static constexpr int fadeOutMs = 220;

    // Shows `view` for `seconds` (0 or less: until dismissed or replaced), or queues it; the
    // toast takes ownership. A ToastView is a notice; any other view is the preview card.
    static void present(SurfaceWidget* view, double seconds);
    // Re-arms the automatic dismissal of the current toast (or of `panel`, when it is on
    // screen), or disarms it with 0 or less.
    static void schedule(double seconds);
    static void schedule(const QWidget* panel, double seconds);
    // Fades the current toast (or `panel`) out; nothing when it does not show.
    static void dismiss();
    static void dismiss(const QWidget* panel);

    // Where a toast of `size` rests on a screen whose visible area is `visible`.
    static QPoint restPosition(const QRect& visible, const QSize& size);
    // Where panels of `sizes` rest when stacked upwards from that corner, in the same order.
    static QList<QPoint> stackPositions(const QRect& visible, const QList<QSize>& sizes);

    // The toast shown last that is still on screen (none while nothing shows).
    static FloatingPanel* current();
    // The preview card on screen, and everything on screen from the corner upwards.
    static FloatingPanel* card();
    static QList<FloatingPanel*> shown();
    // Titles of the notices waiting for their turn, in order.
    static QStringList waiting();
    // The armed dismissal of the current toast (or of `panel`) in milliseconds; -1 when none.
    static int pendingDismissMs();
    static int pendingDismissMs(const QWidget* panel);

    static ToastEvents& events();
};

}  // namespace kx
