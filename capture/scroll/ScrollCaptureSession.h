#pragma once
// The scrolling capture: grabs one screen rectangle again and again while the content
// under it scrolls (by the user, or by wheel clicks the session posts itself), hands every
// frame to the stitcher off the GUI thread, and ends with the stitched tall image.
//
// While it runs, a dashed border marks the rectangle, a HUD beside it shows the progress
// with Auto-scroll, Done and Cancel, and Esc, Return and keypad Enter are global keys.
#include "capture/scroll/ScrollCaptureModel.h"
#include "capture/scroll/VerticalStitcher.h"
#include "platform/CaptureError.h"
#include "platform/ScreenCapturer.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QScreen>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace kx {

class HotKeyManager;
class Scroller;
class ScrollBorder;
class ScrollHud;

class ScrollCaptureSession : public QObject {
    Q_OBJECT
public:
    struct Result {
        QImage image;  // null when cancelled or failed
        bool cancelled = false;
        // Set when the capture ended without an image although nobody cancelled it: the
        // caller shows it in the "Capture failed" toast.
        std::optional<CaptureError> error;
        // Why a capture that has an image ended early (auto mode gave up, height limit):
        // the image is the part stitched until then.
        QString note;
    };
    using Completion = std::function<void(Result)>;

    // One call the session makes on its stitcher, as a recorder sees it.
    struct StitchCall {
        enum class Kind { first, add, maskAnimated, maskAnimationIn, dropProvisional };
        Kind kind = Kind::add;
        QImage frame;                    // first, add, maskAnimationIn
        int expectedDy = 0;              // add
        VerticalStitcher::RowMask rows;  // first and add: the unstable rows; maskAnimated: those rows
        bool lookBack = false;           // add: the session can scroll back (auto mode)
    };

    // Where frames, wheel clicks and keys come from; the defaults are the real ones.
    struct Environment {
        // Grabs the rectangle (points from the screen's top-left corner) without the pointer
        // and without Kaptorix's own windows.
        std::function<Captured<ScreenGrab>(QScreen*, const QRectF&)> grab;
        Scroller* scroller = nullptr;
        HotKeyManager* keys = nullptr;
        bool showUi = true;
        int settleFirstMs = 140;  // before the first grab of a settling
        int settleMs = 90;        // between settling grabs, and between manual steps
        int settleTries = 12;
        // After auto mode gives up, how long manual scrolling may take over before the
        // capture ends with what it has.
        int giveUpWaitMs = 8000;
        // Auto mode first takes the wheel through the page and back before it keeps a row, so
        // that what loads late (photos, their blurred stand-ins, slots that grow) has loaded.
        bool preload = true;
        // Sees every call on the stitcher, in order, so that a capture can be replayed.
        std::function<void(const StitchCall&)> record;
        static Environment real();
    };

    ScrollCaptureSession(QScreen* screen, const QRectF& rect, QObject* parent = nullptr);
    ScrollCaptureSession(QScreen* screen, const QRectF& rect, Environment environment,
                         QObject* parent = nullptr);
    ~ScrollCaptureSession() override;

    // The whole capture; `done` runs once at the end. A given `initial` image is the first
    // frame; otherwise the first frame is grabbed once the screen has settled.
    void run(const QImage& initial, Completion done);

    ScrollCaptureModel& model() { return model_; }
    QScreen* screen() const { return screen_; }
    QRectF rect() const { return rect_; }
    double scrollStep() const { return scrollStep_; }
    // Where auto mode turns the wheel, global points; null before a point was chosen.
    std::optional<QPoint> wheelPoint() const;
    int clicksPerStep(double points) const;
    const QList<quint32>& keyIds() const { return keyIds_; }
    ScrollHud* hud() const { return hud_; }
    ScrollBorder* border() const { return border_; }

    // The same pixels in the same layout.
    static bool identical(const QImage& a, const QImage& b);
    // Pixel rows that differ between two frames of one size (all when the sizes differ), in
    // their first `columns` columns (all when negative).
    static VerticalStitcher::RowMask differingRows(const QImage& a, const QImage& b, int columns = -1);
    // The rows whose content changed: the strip at the right edge, where an overlay scroll bar
    // fades in and out, is no content (the stitcher leaves it out of the match too).
    static VerticalStitcher::RowMask changedContent(const QImage& a, const QImage& b);
    // Where auto mode tries the wheel, as fractions of the rectangle: the upper part of the
    // middle first (a hover highlight under the pointer then stays above the rows a step
    // adds), then further down and to the sides.
    static QList<QPointF> wheelCandidates();
    // The stitched height at which the capture stops: the setting, at least 2000 rows, and
    // low enough that one more frame still fits under the stitcher's cap.
    static int heightLimit(int setting, int frameHeight);
    // Whether most of a frame is one stretch of rows repeating at a short period (identical
    // lines): a scroll by whole periods then looks like no scroll at all.
    static bool repeatsItself(const QImage& frame);
    // The same view: more than half of its rows as they were (a photo loading or a spinner
    // turning in it changes fewer, a move of text nearly all); where lines repeat, the same pixels.
    static bool sameView(const QImage& a, const QImage& b);
    // Whether the rows that differ are rows of `before` moved by one distance (not a photo that
    // loaded at its place, however large).
    static bool scrolledAway(const QImage& before, const QImage& after);
    // How many rows `later` shows the content moved up against `earlier`, by rows that are the
    // same pixels at one distance (blank rows aside); 0 when no distance stands out clearly.
    static int exactShift(const QImage& earlier, const QImage& later);
    // Whether the content moved between two views: most rows changed, or most rows that show
    // something, or the rows that changed are rows of the first moved by one distance.
    static bool contentMoved(const QImage& before, const QImage& after);
    // More than half of the rows that show something (blank rows aside) the very same pixels.
    static bool mostlyAlike(const QImage& a, const QImage& b);

    // The HUD's buttons and the global keys end up here.
    void toggleAuto();
    void requestDone();
    void requestCancel();

    // The reasons an early end is told with, in the current language (the help names them).
    static QStringList earlyEndNotes();

private:
    using FrameHandler = std::function<void(std::optional<QImage>, std::optional<CaptureError>)>;
    struct Settling;

    void showUi();
    void installKeys();
    void teardown();
    void screenRemoved(QScreen* screen);
    void begin(const QImage& first);
    void failFirst(const std::optional<CaptureError>& error);
    void step();
    void autoStep();
    void manualStep();
    void afterStep();
    void autoOutcome(VerticalStitcher::Outcome outcome, int clicks);
    // Auto mode: back to the last frame's view, to take again a part above it that changed since.
    void lookBack();
    void learnFixedAnimation(const QImage& frame);
    // Rows `clicks` wheel clicks are known to move the content; 0 when unknown.
    int expectedRows(int clicks) const;
    bool chooseWheelPoint();
    void giveUp();
    // The pass through the page before auto mode keeps a row (ScrollPreload.cpp).
    void preloadStep();
    void preloadLooked(const QImage& frame, int clicks);
    void preloadSeen(const QImage& frame, int clicks, int dy);
    void passFrame(int tries, FrameHandler handler, int minTries = 0);
    void preloadReturn();
    void preloadBack(const QImage& frame, bool atStart);
    void wheel(int clicks);
    // With KAPTORIX_LOG_SCROLL set, a line on stderr for each step and its outcome.
    static void trace(const char* format, ...);
    void stopEarly(const QString& note);
    static QString followNote();
    static QString blankNote();
    static QString changingNote();
    static QString changedAboveNote();
    static QString changingViewNote();
    static QString repeatNote();
    // The wheel moved nothing at any point: the end when frames were stitched, else a failure.
    void wheelFoundNothing();
    void fail(const QString& message);
    void end();
    VerticalStitcher::RowMask pointerRows(int frameHeight) const;
    void postScroll(double points);
    void grab(FrameHandler handler);
    void settledFrame(FrameHandler handler);
    // At least `minTries` grabs, at most `maxTries` (0: the environment's settling tries).
    void settledFrame(int minTries, FrameHandler handler, int maxTries = 0);
    void settleTry(std::shared_ptr<Settling> s);
    // Whether every row in `changed` lies where settlings before saw an animation fixed on screen.
    bool knownAnimation(const VerticalStitcher::RowMask& changed) const;
    // Remembers the runs of `sighted` rows of `frame` that changed in place while it settled;
    // where an earlier settling saw the same picture change at those rows, it animates there.
    void sight(const QImage& frame, const VerticalStitcher::RowMask& sighted);
    // `settled`: the frame is the last of grabs that showed the view alike (not one grab by hand).
    void add(const QImage& frame, int expectedDy, std::function<void(VerticalStitcher::Outcome)> handler,
             bool settled = true);
    void after(int ms, std::function<void()> next);
    void record(StitchCall::Kind kind, const QImage& frame = {}, int expectedDy = 0,
                const VerticalStitcher::RowMask& rows = {}, bool lookBack = false) const;
    // The stitcher's, recorded; false when there was no provisional step.
    bool dropProvisionalStep();

    QPointer<QScreen> screen_;  // null once the display is gone
    QRectF rect_;
    Environment env_;
    ScrollCaptureModel model_;
    ScrollBorder* border_ = nullptr;
    ScrollHud* hud_ = nullptr;
    QList<quint32> keyIds_;
    bool finished_ = false;
    bool cancelled_ = false;
    bool screenGone_ = false;
    std::shared_ptr<VerticalStitcher> stitcher_;
    double scrollStep_;
    int misses_ = 0;
    // Of the misses, those whose frame had most of the view masked as changing in place.
    int changingMisses_ = 0;
    bool changingInView_ = false;  // the frame last handed on had most of its rows so masked
    bool viewChanged_ = false;     // a view settled with most of its rows changed (moved, unplaced)
    int repeats_ = 0;
    int maxHeight_ = 0;
    int lastClicks_ = 0;
    double pointsPerClick_ = 0;   // 0 until a sure step has shown what one click moves
    int wheelIndex_ = 0;          // into wheelCandidates()
    bool wheelVerified_ = false;  // a step at the wheel point has moved the content
    bool wheelTrusted_ = true;    // no miss since the last frame taken
    bool lookedAgain_ = false;    // at this step, after it seemed not to move
    enum class Preload { notYet, running, done };
    Preload preload_ = Preload::notYet;
    int preloadClicks_ = 0;   // wheel clicks the pass sent down
    int preloadStill_ = 0;    // of them, those sent since the content last moved
    qint64 preloadRows_ = 0;  // rows the pass moved the content, as far as measured
    int preloadSteps_ = 0;
    bool preloadMoved_ = false;  // a step of the pass moved the content
    bool preloadLookedAgain_ = false;
    bool passStill_ = false;         // the pass's last look ended on two grabs alike
    bool preloadViewStill_ = true;   // so did the look at preloadView_ (the start is a settled view)
    double passPointsPerClick_ = 0;  // the pass's own measure; the capture measures anew
    QImage preloadView_;             // the pass's last view
    QImage preloadMovedFrom_;        // the view before the last step that moved
    int preloadMovedClicks_ = 0;     // and that step's clicks
    bool dwelt_ = false;             // the last view was watched longer for a placeholder leaving it
    std::optional<quint32> wheelClient_;
    VerticalStitcher::RowMask unstable_;  // of the frame the last settling returned
    // Rows settlings saw changing in place, as the frame showed them; the rows where two of
    // them saw the same picture change so.
    struct Sighting {
        int from;
        QImage rows;
    };
    std::vector<Sighting> sightings_;
    VerticalStitcher::RowMask fixedAnimation_;
    QImage previousGrab_;  // manual mode: the grab before
    VerticalStitcher::RowMask lastChange_, animated_;
    bool gaveUp_ = false;
    bool movedSinceGiveUp_ = false;
    bool crossedBlank_ = false;  // a blank view stayed blank while the wheel turned
    int blankSteps_ = 0;
    VerticalStitcher::Outcome::Kind lastOutcome_ = VerticalStitcher::Outcome::Kind::noChange;
    QImage firstFrame_, lastAccepted_, lastGrab_;
    // Of the last frame taken by hand.
    VerticalStitcher::Outcome::Kind handOutcome_ = VerticalStitcher::Outcome::Kind::noChange;
    QString note_;
    std::optional<CaptureError> failure_;
    bool ended_ = false;
    bool lookedAtLast_ = false;   // the last view was grabbed once more before the end
    qint64 confirmedHeight_ = 0;  // rows of the stitched image that two grabs showed alike
    Completion done_;
};

}  // namespace kx
