#include "capture/scroll/ScrollCaptureSession.h"
// How each step of the scrolling capture goes and what its outcome means: scrolling on,
// giving up auto mode, the user taking over by hand, and how (with which note) it ends.

#include "capture/scroll/ScrollRowMasks.h"
#include "core/Localisation.h"

#include <algorithm>
#include <cmath>

namespace kx {

using namespace rowmask;

namespace {

constexpr double kMinStep = 40;
constexpr int kBlankSteps = 4;      // steps through blank frames before the capture stops
constexpr int kLookAgainTries = 4;  // grabs, at least, of a second look at a step that did not move
constexpr int kDwellTries = 7;      // grabs, at least, at a view whose placeholder the step scrolls out

}  // namespace

void ScrollCaptureSession::step()
{
    if (finished_) {
        end();
        return;
    }
    if (model_.autoScroll() && preload_ == Preload::running)
        preloadStep();
    else if (model_.autoScroll())
        autoStep();
    else
        manualStep();
}

void ScrollCaptureSession::autoStep()
{
    if (!chooseWheelPoint()) {
        wheelFoundNothing();
        return;
    }
    // A block of flat colour in the rows this step scrolls out of the view (a photo's
    // placeholder, the photo loading late): the view is watched a while longer, once, so that
    // a photo that loads there is taken loaded, not left grey once out of sight.
    const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
    if (!dwelt_ && wheelVerified_ && !lastAccepted_.isNull() &&
        flatBlock(lastAccepted_, 0, int(std::lround(scrollStep_ * scale)))) {
        dwelt_ = true;
        settledFrame(
            kDwellTries,
            [this](std::optional<QImage> frame, std::optional<CaptureError>) {
                if (!frame || finished_ || !model_.autoScroll()) {
                    afterStep();
                    return;
                }
                add(*frame, 0, [this](VerticalStitcher::Outcome) { afterStep(); });
            },
            kDwellTries + env_.settleTries);
        return;
    }
    dwelt_ = false;
    postScroll(scrollStep_);
    lookedAgain_ = false;
    const int clicks = lastClicks_;
    const int expected = expectedRows(clicks);
    settledFrame([this, clicks, expected](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            afterStep();
            return;
        }
        add(*frame, expected,
            [this, clicks](VerticalStitcher::Outcome outcome) { autoOutcome(outcome, clicks); });
    });
}

int ScrollCaptureSession::expectedRows(int clicks) const
{
    const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
    // After a miss the wheel went back by what it went back, which need not be what it went
    // forward: the distance from the last frame taken is then no longer known.
    return pointsPerClick_ > 0 && wheelTrusted_ ? int(std::lround(clicks * pointsPerClick_ * scale)) : 0;
}

void ScrollCaptureSession::autoOutcome(VerticalStitcher::Outcome outcome, int clicks)
{
    using Kind = VerticalStitcher::Outcome::Kind;
    lastOutcome_ = outcome.kind;
    trace("auto step: %d clicks, outcome %d, dy %d, height %lld", clicks, int(outcome.kind), outcome.dy,
          stitcher_ ? stitcher_->stitchedHeight() : 0LL);
    if (!model_.autoScroll()) {  // paused while the step was under way
        afterStep();
        return;
    }
    if (outcome.kind == Kind::appended) {
        model_.setStatus(kx::tr("Capturing… scrolling", "Rögzítés… görgetés", "Aufnahme… scrollt"));
        wheelVerified_ = true;
        wheelTrusted_ = true;
        misses_ = 0;
        changingMisses_ = 0;
        blankSteps_ = 0;
        crossedBlank_ = false;
        // Only a step that added rows shows the end is not reached yet.
        if (outcome.newRows > 0)
            repeats_ = 0;
        // What one click really moved (X11 wheel clicks have no unit of their own); a step
        // the expected distance had to choose must not set it, nor one cut short by the end.
        const double scale = screen_ ? screen_->devicePixelRatio() : 1.0;
        const double expected = clicks * pointsPerClick_ * scale;
        if (outcome.sure && (pointsPerClick_ <= 0 || outcome.dy >= 0.9 * expected)) {
            pointsPerClick_ = outcome.dy / scale / std::max(1, clicks);
        }
        afterStep();
    } else if (outcome.kind == Kind::noChange) {
        if (!outcome.blank && repeats_ == 0 && !lookedAgain_) {
            // A busy application may not have begun the step yet: taken for the end, or for a
            // point where nothing scrolls, it would move with the next step on top of it, two
            // steps at once, or two such steps would end the capture half-way. Look again,
            // longer, before counting it.
            lookedAgain_ = true;
            settledFrame(
                kLookAgainTries, [this, clicks](std::optional<QImage> frame, std::optional<CaptureError>) {
                    if (!frame) {
                        afterStep();
                        return;
                    }
                    add(*frame, expectedRows(clicks),
                        [this, clicks](VerticalStitcher::Outcome again) { autoOutcome(again, clicks); });
                });
            return;
        }
        if (!wheelVerified_) {
            // Nothing moved under this point (a toolbar, a static band): try the next one.
            ++wheelIndex_;
        } else if (outcome.blank) {
            // A blank view that stays blank may be a blank stretch of the page, not its end:
            // the wheel goes on, but whatever comes after cannot be placed.
            crossedBlank_ = true;
            if (++blankSteps_ >= kBlankSteps)
                stopEarly(blankNote());
        } else if (++repeats_ >= 2) {
            // The content stopped moving while the wheel went on: the end, unless the last
            // step was only the wheel's guess over repeating rows, which the end may have cut
            // short.
            if (dropProvisionalStep())
                stopEarly(followNote());
            else
                finished_ = true;
            if (note_.isEmpty())
                model_.setStatus(kx::tr("Reached the end", "Elérte a végét", "Ende erreicht"));
        }
        afterStep();
    } else if (outcome.stale) {
        lookBack();
    } else if (outcome.changing) {
        // A part of the page that keeps changing runs from above the view into the rows the
        // step adds: no frame shows it whole, and the image ends before it.
        stopEarly(changingNote());
        afterStep();
    } else if (crossedBlank_) {
        // The content moved on after a blank stretch by a distance nothing shows.
        stopEarly(blankNote());
        afterStep();
    } else {
        ++misses_;
        changingMisses_ += changingInView_;
        wheelTrusted_ = false;
        // A step the wheel's distance placed over repeating rows holds only if the content
        // moves on after it; once the wheel goes back, later moves no longer show that (the end
        // may have cut it short).
        dropProvisionalStep();
        postScroll(-scrollStep_);
        settledFrame([this](std::optional<QImage> frame, std::optional<CaptureError>) {
            // Back where the last frame was taken, the view may show what turned there while
            // the content moved and stood still whenever it was looked at (a spinner on the
            // page): known, it no longer stops the next step from fitting.
            if (frame && stitcher_) {
                record(StitchCall::Kind::maskAnimationIn, *frame);
                stitcher_->maskAnimationIn(*frame);
            }
            scrollStep_ = std::max(scrollStep_ * 0.5, kMinStep);
            if (misses_ >= 4)
                giveUp();
            afterStep();
        });
    }
}

void ScrollCaptureSession::lookBack()
{
    // A part of the page above the view changed since its rows were kept (a photo that loaded
    // late): back at the last frame's view it shows whole, as it is now, and is taken again
    // from there. Neither the step's size nor the wheel was the trouble, and the stitcher asks
    // for this once between two steps it takes: no miss.
    dropProvisionalStep();
    postScroll(-scrollStep_);
    settledFrame([this](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame || !stitcher_) {
            afterStep();
            return;
        }
        add(*frame, 0, [this](VerticalStitcher::Outcome) { afterStep(); });
    });
}

void ScrollCaptureSession::wheelFoundNothing()
{
    if (stitcher_ && stitcher_->acceptedSteps() > 0) {
        // Frames scrolled by hand are kept: the content stands still under the wheel, at its
        // end, unless the last of them could not be placed.
        finished_ = true;
        if (handOutcome_ == VerticalStitcher::Outcome::Kind::noMatch)
            stopEarly(followNote());
        else
            model_.setStatus(kx::tr("Reached the end", "Elérte a végét", "Ende erreicht"));
        afterStep();
    } else if (repeatsItself(firstFrame_)) {
        // Identical lines look the same after every click: the content may well move, but
        // nothing shows how far. The first screen is all that is sure.
        stopEarly(repeatNote());
        afterStep();
    } else if (viewChanged_) {
        // The view changed under the wheel over most of its rows, yet no step fits (text
        // scrolling over a fixed background photo): it scrolls, but cannot be followed.
        stopEarly(followNote());
        afterStep();
    } else {
        // Nowhere in the rectangle does the wheel reach an application that scrolls.
        fail(kx::tr(
            "Nothing in the selection scrolls. Select the content of a scrollable window.",
            "A kijelölésben semmi sem görgethető. Egy görgethető ablak tartalmát jelöld ki.",
            "In der Auswahl lässt sich nichts scrollen. Wähle den Inhalt eines scrollbaren Fensters."));
    }
}

QStringList ScrollCaptureSession::earlyEndNotes()
{
    return {changingNote(), changedAboveNote(), changingViewNote(), blankNote(), repeatNote(), followNote()};
}

QString ScrollCaptureSession::repeatNote()
{
    return kx::tr(
        "Could not follow the scroll: the content repeats itself, so the image is the first screen.",
        "Nem sikerült követni a görgetést: a tartalom ismétlődik, ezért a kép az első képernyő.",
        "Konnte dem Scrollen nicht folgen: Der Inhalt wiederholt sich, daher zeigt das Bild den "
        "ersten Bildschirm.");
}

QString ScrollCaptureSession::followNote()
{
    return kx::tr("Could not follow the scroll: the image ends where stitching stopped.",
                  "Nem sikerült követni a görgetést: a kép ott ér véget, ahol az összefűzés leállt.",
                  "Konnte dem Scrollen nicht folgen: Das Bild endet dort, wo das Zusammensetzen aufhörte.");
}

QString ScrollCaptureSession::changingNote()
{
    return kx::tr(
        "A part of the page kept changing while it scrolled past (a video or an animation taller than "
        "the view): the image ends there.",
        "Az oldal egy része görgetés közben folyamatosan változott (videó vagy a nézetnél magasabb "
        "animáció): a kép ott véget ér.",
        "Ein Teil der Seite änderte sich beim Scrollen ständig (ein Video oder eine Animation, höher "
        "als die Ansicht): Das Bild endet dort.");
}

QString ScrollCaptureSession::changedAboveNote()
{
    return kx::tr(
        "A part of the page changed after it scrolled past (a late photo or an animation): the image ends "
        "above it.",
        "Az oldal egy része a kigördülése után megváltozott (késő fénykép vagy animáció): a kép fölötte "
        "véget ér.",
        "Ein Teil der Seite änderte sich nach dem Vorbeiscrollen (ein spätes Foto oder eine Animation): Das "
        "Bild endet darüber.");
}

QString ScrollCaptureSession::changingViewNote()
{
    return kx::tr(
        "Could not follow the scroll past a part of the page that keeps changing (a canvas or a video): the "
        "image ends there.",
        "Nem sikerült a görgetést egy folyamatosan változó oldalrészen (vászon vagy videó) túl követni: "
        "a kép ott véget ér.",
        "Konnte dem Scrollen über einen Teil der Seite hinaus, der sich ständig ändert (eine Zeichenfläche "
        "oder ein Video), nicht folgen: Das Bild endet dort.");
}

QString ScrollCaptureSession::blankNote()
{
    return kx::tr(
        "A blank stretch taller than the selection could not be followed: the image ends before it.",
        "A kijelölésnél magasabb üres szakaszt nem sikerült követni: a kép előtte véget ér.",
        "Ein leerer Abschnitt, höher als die Auswahl, ließ sich nicht verfolgen: Das Bild endet davor.");
}

void ScrollCaptureSession::stopEarly(const QString& note)
{
    finished_ = true;
    if (note_.isEmpty())
        note_ = note;
}

void ScrollCaptureSession::giveUp()
{
    model_.setAutoScroll(false);
    model_.setStatus(
        kx::tr("Paused – scroll manually", "Szüneteltetve – görgess kézzel", "Pausiert – manuell scrollen"));
    model_.setWarning(kx::tr("Could not follow the scroll, stopped auto mode.",
                             "Nem sikerült követni a görgetést, az automatikus mód leállt.",
                             "Konnte dem Scrollen nicht folgen, Automatikmodus beendet."));
    // The wheel's guess over repeating rows is not known to hold.
    dropProvisionalStep();
    // The user may go on by hand for a while; without that, the capture ends with what it
    // has. Only content that really moves counts as the user taking over.
    gaveUp_ = true;
    movedSinceGiveUp_ = false;
    previousGrab_ = QImage();
    // Every step missed with most of the view changing in place: that part is why.
    const bool changing = misses_ > 0 && changingMisses_ >= misses_;
    after(env_.giveUpWaitMs, [this, changing] {
        if (!gaveUp_ || finished_)
            return;
        stopEarly(changing ? changingViewNote() : followNote());
    });
}

void ScrollCaptureSession::fail(const QString& message)
{
    failure_ = CaptureError::failed(message);
    finished_ = true;
    afterStep();
}

void ScrollCaptureSession::manualStep()
{
    grab([this](std::optional<QImage> frame, std::optional<CaptureError>) {
        if (!frame) {
            after(env_.settleMs, [this] { afterStep(); });
            return;
        }
        // Rows that keep changing while the user does not scroll are an animation: learnt
        // here, since manual frames are not settled.
        if (previousGrab_.size() == frame->size()) {
            VerticalStitcher::RowMask changed = changedContent(previousGrab_, *frame);
            // The tail of a smooth scroll changes few rows, the same ones each time: it is
            // content moving, not an animation; an animation changes just the rows it did
            // before (see settling).
            const bool moving = !sameRows(lastChange_, changed) && scrolled(previousGrab_, *frame, changed);
            std::optional<VerticalStitcher::RowMask> animated =
                moving ? std::nullopt : inPlace(lastChange_, changed);
            if (animated)
                animated_ = std::move(*animated);
            movedSinceGiveUp_ = movedSinceGiveUp_ || moving;
            // Content moved: rows changed beyond what animates in place.
            for (std::size_t r = 0; r < changed.size() && !animated; ++r)
                if (changed[r] && (r >= animated_.size() || !animated_[r])) {
                    movedSinceGiveUp_ = true;
                    break;
                }
            // A glide's rows are no animation (see settling).
            if (moving)
                lastChange_.clear();
            else
                lastChange_ = std::move(changed);
        }
        previousGrab_ = *frame;
        unstable_ = withPointer(animated_, pointerRows(frame->height()));
        // The user's hand gives no distance to expect: a step is taken only where rows that
        // are the very same pixels show one distance clearly. A view that moved without one
        // (over flat placeholders, repeating rows, a part that changed) waits for the next
        // frame; a view that mostly stayed goes on to the stitcher (a photo loaded in it).
        const int exact = lastAccepted_.size() == frame->size() ? exactShift(lastAccepted_, *frame) : 0;
        if (exact == 0 && lastAccepted_.size() == frame->size() && !identical(lastAccepted_, *frame) &&
            !mostlyAlike(lastAccepted_, *frame)) {
            trace("hand step: no distance stands out");
            lastOutcome_ = handOutcome_ = VerticalStitcher::Outcome::Kind::noMatch;
            if (!gaveUp_)
                model_.setWarning(kx::tr("Scroll slower or only downwards",
                                         "Görgess lassabban, vagy csak lefelé",
                                         "Langsamer oder nur nach unten scrollen"));
            after(env_.settleMs, [this] { afterStep(); });
            return;
        }
        add(
            *frame, exact,
            [this](VerticalStitcher::Outcome outcome) {
                using Kind = VerticalStitcher::Outcome::Kind;
                trace("hand step: outcome %d, dy %d, changing %d, changed above %d, height %lld",
                      int(outcome.kind), outcome.dy, int(outcome.changing), int(outcome.changedAbove),
                      stitcher_ ? stitcher_->stitchedHeight() : 0LL);
                lastOutcome_ = outcome.kind;
                if (outcome.kind != Kind::noChange)
                    handOutcome_ = outcome.kind;
                if (outcome.kind == Kind::appended && movedSinceGiveUp_) {
                    gaveUp_ = false;  // the user took over
                    model_.setWarning(std::nullopt);
                    model_.setStatus(kx::tr("Capturing… keep scrolling", "Rögzítés… görgess tovább",
                                            "Aufnahme… weiter scrollen"));
                } else if (outcome.changing) {
                    // By hand the stitcher never asks to look back (the user scrolls): a part
                    // that changed ends the image above it.
                    stopEarly(outcome.changedAbove ? changedAboveNote() : changingNote());
                } else if (outcome.kind == Kind::noMatch && !gaveUp_) {
                    model_.setWarning(kx::tr("Scroll slower or only downwards",
                                             "Görgess lassabban, vagy csak lefelé",
                                             "Langsamer oder nur nach unten scrollen"));
                }
                after(env_.settleMs, [this] { afterStep(); });
            },
            false);
    });
}

void ScrollCaptureSession::afterStep()
{
    if (stitcher_ && stitcher_->stitchedHeight() >= maxHeight_) {
        finished_ = true;
        model_.setWarning(
            kx::tr("Maximum height reached", "Elérte a maximális magasságot", "Maximale Höhe erreicht"));
        note_ = *model_.warning();
    }
    step();
}

void ScrollCaptureSession::end()
{
    if (ended_)
        return;
    // The last view's new rows were seen once: looked at again once it stands still (a photo
    // that was still fading in), unless two still frames have just shown it.
    if (!lookedAtLast_ && !cancelled_ && !failure_ && stitcher_ && !screenGone_ &&
        lastOutcome_ != VerticalStitcher::Outcome::Kind::noChange) {
        lookedAtLast_ = true;
        settledFrame([this](std::optional<QImage> frame, std::optional<CaptureError>) {
            if (!frame || cancelled_) {
                end();
                return;
            }
            add(*frame, 0, [this](VerticalStitcher::Outcome) { end(); });
        });
        return;
    }
    ended_ = true;
    Result result;
    if (cancelled_) {
        result.cancelled = true;
    } else if (failure_) {
        result.error = failure_;
    } else {
        // A step that only the wheel's guess placed, or a screen that shows what could not
        // be placed: the image ends before it, and says so.
        if (dropProvisionalStep())
            stopEarly(followNote());
        if (lastOutcome_ == VerticalStitcher::Outcome::Kind::noMatch)
            stopEarly(followNote());
        // The screen shows content the image does not: it moved on where nothing could be
        // placed (a column scrolling beside a fixed one looks like an animation by hand).
        if (!lastGrab_.isNull() && lastGrab_.size() == lastAccepted_.size() &&
            2 * count(differingRows(lastAccepted_, lastGrab_)) > lastGrab_.height())
            stopEarly(followNote());
        // Identical lines from the first screen on: nothing was placed because nothing could be.
        if (stitcher_ && stitcher_->acceptedSteps() == 0 && repeatsItself(firstFrame_))
            stopEarly(repeatNote());
        // Rows a single grab by hand showed, which the last look did not show again (a photo
        // still fading in as it came into view, the view moved on): the image ends above them.
        if (lookedAtLast_ && stitcher_ && stitcher_->stitchedHeight() > confirmedHeight_ &&
            confirmedHeight_ > 0) {
            stitcher_->cutAt(int(confirmedHeight_));
            stopEarly(followNote());
        }
        result.image = stitcher_ ? stitcher_->finish() : QImage();
        if (result.image.isNull())
            result.error = CaptureError::failed(
                kx::tr("The stitched image could not be made.", "Az összefűzött kép nem készült el.",
                       "Das zusammengesetzte Bild konnte nicht erstellt werden."));
        else
            result.note = note_;
    }
    teardown();
    if (done_)
        std::exchange(done_, nullptr)(result);
}

}  // namespace kx
