#include "capture/scroll/RowDistance.h"
#include "capture/scroll/StitchSignature.h"
#include "capture/scroll/VerticalStitcher.h"

#include "SyntheticPage.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <random>
#include <vector>

using kx::VerticalStitcher;
using Outcome = VerticalStitcher::Outcome;
using namespace kx::test;

namespace kx {
void PrintTo(const VerticalStitcher::Outcome& o, std::ostream* os)
{
    static const char* names[] = {"appended", "noChange", "noMatch"};
    *os << names[int(o.kind)] << "(" << o.dy << (o.sure ? "" : ", unsure") << ")";
}
}  // namespace kx

namespace {

QImage stripOf(const QImage& source, int from, int rows)
{
    return source.copy(0, from, source.width(), std::max(rows, 1));
}

struct Scenario {
    const char* name;
    int header;
    int footer;
};

class StitcherScenario : public ::testing::TestWithParam<Scenario> {};

}  // namespace

// A page with optional sticky header and footer scrolled through uneven offsets (up to
// 1900 rows, steps up to 320) stitches back pixel for pixel, bands once each.
TEST_P(StitcherScenario, ReproducesThePageWithBandsOnce)
{
    const Scenario sc = GetParam();
    const QImage page = makePage(600, 6000);
    const QImage headerStrip = stripOf(makePage(600, std::max(sc.header, 1)), 0, sc.header);
    const QImage footerStrip = stripOf(makePage(600, std::max(sc.footer, 1) + 3), 3, sc.footer);
    const int offsets[] = {0, 180, 360, 590, 760, 1010, 1180, 1500, 1620, 1900};

    VerticalStitcher st(frameAt(page, 0, 500, headerStrip, sc.header, footerStrip, sc.footer));
    int previous = 0;
    for (int i = 1; i < 10; ++i) {
        const QImage frame = frameAt(page, offsets[i], 500, headerStrip, sc.header, footerStrip, sc.footer);
        EXPECT_EQ(st.add(frame), Outcome::appended(offsets[i] - previous)) << "offset " << offsets[i];
        EXPECT_EQ(st.add(frame), Outcome::noChange()) << "offset " << offsets[i];
        previous = offsets[i];
    }
    EXPECT_EQ(st.bottomStatic() >= sc.footer, true);

    const QImage result = st.finish();
    ASSERT_FALSE(result.isNull());
    ASSERT_EQ(result.height(), 2400);

    QImage expected(600, 2400, QImage::Format_ARGB32_Premultiplied);
    {
        QPainter p(&expected);
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(QPoint(0, 0), page, QRect(0, 0, 600, 2400));
        if (sc.header > 0)
            p.drawImage(QPoint(0, 0), headerStrip);
        if (sc.footer > 0)
            p.drawImage(QPoint(0, 2400 - sc.footer), footerStrip);
    }
    EXPECT_EQ(differingBytes(result, expected), 0);
}

INSTANTIATE_TEST_SUITE_P(Bands, StitcherScenario,
                         ::testing::Values(Scenario{"plain", 0, 0}, Scenario{"header", 70, 0},
                                           Scenario{"headerFooter", 70, 46}, Scenario{"footer", 0, 40}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(VerticalStitcher, RefusesFramesOfAnotherSizeWithoutChangingState)
{
    const QImage page = noisePage(300, 1200, 1);
    VerticalStitcher st(page.copy(0, 0, 300, 400));
    EXPECT_EQ(st.add(page.copy(0, 100, 300, 399)), Outcome::noMatch());
    EXPECT_EQ(st.add(page.copy(0, 100, 301 - 1, 401)), Outcome::noMatch());
    EXPECT_EQ(st.add(QImage()), Outcome::noMatch());
    EXPECT_EQ(st.acceptedSteps(), 0);
    // Nothing was taken from the refused frames: the next proper frame matches the first.
    EXPECT_EQ(st.add(page.copy(0, 100, 300, 400)), Outcome::appended(100));
}

TEST(VerticalStitcher, FinishWithoutStepsGivesTheFirstFrameItself)
{
    const QImage first = noisePage(200, 300, 2);
    VerticalStitcher st(first);
    EXPECT_EQ(st.add(first.copy()), Outcome::noChange());
    const QImage result = st.finish();
    EXPECT_EQ(result.cacheKey(), first.cacheKey());
}

TEST(VerticalStitcher, FramesOfOneOrTwoRowsNeverAppend)
{
    for (int h : {1, 2}) {
        const QImage page = noisePage(300, 50, 3);
        VerticalStitcher st(page.copy(0, 0, 300, h));
        EXPECT_EQ(st.add(page.copy(0, 0, 300, h)), Outcome::noChange());
        EXPECT_EQ(st.add(page.copy(0, 10, 300, h)), Outcome::noMatch());
        EXPECT_EQ(st.bottomStatic(), 0);
    }
}

// Narrow selections: samples must stay inside the row and the page must still stitch.
TEST(VerticalStitcher, NarrowFramesStitchExactly)
{
    for (int w : {1, 7, 40, 127}) {
        const QImage page = noisePage(w, 1400, 4);
        VerticalStitcher st(page.copy(0, 0, w, 300));
        int at = 0;
        for (int dy : {90, 120, 60, 200, 150}) {
            at += dy;
            ASSERT_EQ(st.add(page.copy(0, at, w, 300)), Outcome::appended(dy)) << "width " << w;
        }
        const QImage result = st.finish();
        EXPECT_EQ(differingBytes(result, page.copy(0, 0, w, 300 + at)), 0) << "width " << w;
    }
}

// On a page that repeats itself every 60 rows, shifts of 40, 100 and 160 all match
// exactly: with the expected distance a steady 100-row scroll is read as 100, without it
// the stitcher stops rather than guesses.
TEST(VerticalStitcher, SteadyScrollWinsOnARepeatingPage)
{
    const int W = 256;
    QImage page(W, 2000, QImage::Format_RGB32);
    const QImage noise = noisePage(W, 460, 5);
    for (int y = 0; y < page.height(); ++y)
        std::memcpy(page.scanLine(y), noise.constScanLine(y < 400 ? y : 400 + (y - 400) % 60), W * 4);

    VerticalStitcher st(page.copy(0, 0, W, 300));
    for (int off = 100; off <= 900; off += 100) {
        if (off >= 500) {
            ASSERT_EQ(st.add(page.copy(0, off, W, 300)), Outcome::noMatch()) << "offset " << off;
        }
        ASSERT_EQ(st.add(page.copy(0, off, W, 300), 100), Outcome::appended(100)) << "offset " << off;
    }
    EXPECT_EQ(differingBytes(st.finish(), page.copy(0, 0, W, 1200)), 0);
}

// Noise is the hardest content for the half-height search at odd shifts, so the steps are
// even here; the frame height makes the odd total.
TEST(VerticalStitcher, ResultIsCappedAtSixtyThousandRows)
{
    for (const int total : {VerticalStitcher::kMaxRows, VerticalStitcher::kMaxRows + 1}) {
        const int frameHeight = total % 2 ? 1001 : 1000;
        const QImage page = noisePage(128, total, 6);
        VerticalStitcher st(page.copy(0, 0, 128, frameHeight));
        int at = 0;
        while (at + frameHeight < total) {
            const int dy = std::min(450, total - frameHeight - at);
            at += dy;
            ASSERT_EQ(st.add(page.copy(0, at, 128, frameHeight)), Outcome::appended(dy));
        }
        ASSERT_EQ(st.stitchedHeight(), total);
        const QImage result = st.finish();
        if (total <= VerticalStitcher::kMaxRows) {
            ASSERT_EQ(result.height(), total);
            EXPECT_EQ(differingBytes(result, page), 0);
        } else {
            EXPECT_TRUE(result.isNull());
        }
    }
}

// Only the rows of the result are held, not every frame: for small steady steps the
// frames would add up to many times the result.
TEST(VerticalStitcher, KeepsOnlyTheRowsItUses)
{
    const QImage page = makePage(800, 4000);
    const QImage header = page.copy(0, 0, 800, 50);
    VerticalStitcher st(frameAt(page, 0, 600, header, 50, QImage(), 0));
    std::size_t framesBytes = 0;
    for (int off = 80; off <= 2400; off += 80) {
        const QImage frame = frameAt(page, off, 600, header, 50, QImage(), 0);
        framesBytes += std::size_t(frame.sizeInBytes());
        ASSERT_EQ(st.add(frame).kind, Outcome::Kind::appended);
    }
    const std::size_t held = st.retainedBytes();
    const QImage result = st.finish();
    ASSERT_EQ(result.height(), 3000);
    EXPECT_LE(held, std::size_t(result.sizeInBytes()) * 3 / 2);
    EXPECT_LT(held * 4, framesBytes);
}

TEST(RowDistance, VectorFormEqualsTheScalarLoop)
{
    std::mt19937 rng(42);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t rows : {1u, 2u, 7u, 8u, 9u, 63u, 300u}) {
        std::vector<std::uint8_t> a(rows * kx::kSignatureSamples), b(a.size());
        for (auto& v : a)
            v = std::uint8_t(byte(rng));
        for (auto& v : b)
            v = std::uint8_t(byte(rng));
        const std::uint64_t want = kx::rowsDistanceScalar(a.data(), b.data(), rows);
        EXPECT_EQ(kx::rowsDistance(a.data(), b.data(), rows), want) << rows;
        EXPECT_EQ(kx::rowsClipped(a.data(), b.data(), rows), kx::rowsClippedScalar(a.data(), b.data(), rows));
    }
    // The extremes: every sample 0 against 255 gives the largest row distance.
    std::vector<std::uint8_t> zeros(kx::kSignatureSamples, 0), full(kx::kSignatureSamples, 255);
    EXPECT_EQ(kx::rowsDistance(zeros.data(), full.data(), 1), 32640u);
    EXPECT_EQ(kx::rowsDistance(full.data(), zeros.data(), 1), 32640u);
}

// The signature against a plain per-pixel reference: the rounded grey of the mean colour
// of 128 blocks side by side over the whole row (narrower rows: one pixel per sample, spread
// over the row).
TEST(StitchSignature, MatchesThePlainDefinition)
{
    for (int w : {1664, 2890, 2944, 716, 130, 128, 127, 40}) {
        const QImage img = noisePage(w, 9, unsigned(w));
        const kx::StitchSignature sig = kx::StitchSignature::of(img);
        ASSERT_EQ(sig.rows.size(), 9u * 128);
        for (int y = 0; y < 9; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(img.constScanLine(y));
            for (int s = 0; s < 128; ++s) {
                int want;
                if (w >= 128) {
                    const int from = s * w / 128, n = (s + 1) * w / 128 - from;
                    int sum = 128 * n;
                    for (int i = 0; i < n; ++i) {
                        const QRgb p = line[from + i];
                        sum += 29 * qBlue(p) + 150 * qGreen(p) + 77 * qRed(p);
                    }
                    want = sum / (256 * n);
                } else {
                    want = kx::greyOf(line[s * w / 128]);
                }
                ASSERT_EQ(sig.row(y)[s], want) << "width " << w << " row " << y << " sample " << s;
            }
        }
    }
}

// Random frame pairs of each content kind, every step from 1 to the frame height: a shift
// other than the true one is never accepted, and most steps with enough overlap are found.
TEST(VerticalStitcher, RandomPairsNeverTakeAWrongShift)
{
    constexpr int W = 256, R = 120, kTries = 3;
    struct Kind {
        const char* name;
        Content content;
        int pitch;
        double found;  // share of steps up to 3/4 of the frame that must be found
    };
    const Kind kinds[] = {
        {"prose", Content::prose, 0, 0.95},         {"repeated13", Content::repeated, 13, 0.9},
        {"repeated26", Content::repeated, 26, 0.9}, {"uiRows", Content::uiRows, 0, 0.9},
        {"noise", Content::noise, 0, 0.95},         {"photo", Content::photo, 0, 0.95},
        {"gradient", Content::gradient, 0, 0.0}};
    std::mt19937 rng(7);
    for (const Kind& k : kinds) {
        const QImage page = contentPage(k.content, W, 2000, k.pitch);
        std::uniform_int_distribution<int> at(0, page.height() - 2 * R - 1);
        int wrong = 0, found = 0, reachable = 0;
        for (int d = 1; d <= R; ++d) {
            for (int t = 0; t < kTries; ++t) {
                const int o = at(rng);
                VerticalStitcher st(page.copy(0, o, W, R));
                // Repeating content: the session passes the distance it asked for.
                const Outcome out = st.add(page.copy(0, o + d, W, R), k.pitch ? d : 0);
                const bool right = out == Outcome::appended(d);
                wrong += out.kind == Outcome::Kind::appended && !right;
                if (d <= R * 3 / 4) {
                    ++reachable;
                    found += right;
                }
                if (out.kind == Outcome::Kind::appended && !right)
                    ADD_FAILURE() << k.name << ": step " << d << " at " << o << " read as " << out.dy;
            }
        }
        EXPECT_EQ(wrong, 0) << k.name;
        EXPECT_GE(found, k.found * reachable) << k.name << " found " << found << " of " << reachable;
    }
}

// What moves in place or stays put while the page scrolls: a still or animated box in the
// bottom corner, a hover tint at a fixed screen row, an animated banner on the page. The
// rows the session saw changing in place (animation, the pointer's spot) come as a mask.
// The page still stitches, nothing of it is repeated, and a frame where only the animation
// changed is "no change".
TEST(VerticalStitcher, SpotsThatDoNotScrollAreLeftOutOfTheMatch)
{
    constexpr int W = 640, R = 480;
    const QImage page = contentPage(Content::prose, W, 3000);
    enum Spot { stillBox, animatedBox, hover, banner };
    for (const Spot spot : {stillBox, animatedBox, hover, banner}) {
        int tick = 0;
        VerticalStitcher::RowMask mask;
        auto frame = [&](int offset) {
            QImage f = page.copy(0, offset, W, R);
            QPainter p(&f);
            const QColor c = QColor::fromHsv((tick++ * 47) % 360, 200, 200);
            mask.assign(R, 0);
            auto unstable = [&](int from, int to) {
                for (int y = std::max(from, 0); y < std::min(to, R); ++y)
                    mask[std::size_t(y)] = 1;
            };
            if (spot == stillBox) {
                p.fillRect(W - 130, R - 130, 120, 120, QColor(230, 80, 40));
            } else if (spot == animatedBox) {
                p.fillRect(W - 130, R - 130, 120, 120, c);
                unstable(R - 130, R - 10);
            } else if (spot == hover) {
                p.fillRect(0, 150, W, 26, QColor(0, 90, 255, 40));
                unstable(150, 176);
            } else if (900 - offset > -60 && 900 - offset < R) {
                p.fillRect(40, 900 - offset, W - 80, 60, c);  // banner rows 900..960 of the page
                unstable(900 - offset, 960 - offset);
            }
            return f;
        };
        const QImage first = frame(0);
        VerticalStitcher st(first, mask);
        int at = 0;
        for (const int dy : {240, 240, 101, 239, 57, 240, 240, 240, 240}) {
            at += dy;
            const QImage f = frame(at);
            ASSERT_EQ(st.add(f, dy, mask), Outcome::appended(dy)) << "spot " << spot << " at " << at;
            if (spot == animatedBox || spot == banner) {
                const QImage again = frame(at);
                ASSERT_EQ(st.add(again, dy, mask), Outcome::noChange()) << "spot " << spot << " at " << at;
            }
        }
        const QImage result = st.finish();
        ASSERT_EQ(result.height(), R + at);
        // Every row of the result is the page's row there, except where the spot was drawn.
        int differing = 0;
        for (int y = 0; y < result.height(); ++y) {
            const bool mayDiffer = (spot <= animatedBox && y >= result.height() - 130) ||
                                   (spot == hover && y >= 150 && y < 176) ||
                                   (spot == banner && y >= 900 && y < 960);
            if (!mayDiffer && std::memcmp(result.constScanLine(y), page.constScanLine(y), W * 4) != 0)
                ++differing;
        }
        EXPECT_EQ(differing, 0) << "spot " << spot << " width " << result.width() << " band "
                                << st.bottomStatic() << " cut " << st.rightCut();
    }
}

// An overlay scroll bar inside the selection: its thumb runs down while the content moves
// up. It is left out of the match and, once seen moving so, out of the result; without one
// the result keeps its width.
TEST(VerticalStitcher, AnOverlayScrollBarIsLeftOut)
{
    constexpr int W = 716, R = 400;
    const QImage page = makePage(W, 2400).convertToFormat(QImage::Format_RGB32);
    const int strip = W - VerticalStitcher::matchedColumns(W);
    ASSERT_GE(strip, 8);
    for (const bool thumb : {true, false}) {
        auto frame = [&](int offset) {
            QImage f = page.copy(0, offset, W, R);
            QPainter p(&f);
            if (thumb)
                p.fillRect(W - 9, offset * R / page.height(), 6, R * R / page.height(), QColor(90, 90, 90));
            return f;
        };
        VerticalStitcher st(frame(0));
        int at = 0;
        for (const int dy : {150, 170, 190, 200, 200}) {
            at += dy;
            ASSERT_EQ(st.add(frame(at)), Outcome::appended(dy)) << thumb << " at " << at;
        }
        const QImage result = st.finish();
        ASSERT_EQ(result.height(), R + at);
        if (thumb) {
            EXPECT_EQ(result.width(), W - strip);
            EXPECT_EQ(differingBytes(result, page.copy(0, 0, W - strip, R + at)), 0);
        } else {
            EXPECT_EQ(result.width(), W);
        }
    }
}

// Rows that become identical near the end: with the wheel's distance a step over them is
// taken, but only provisionally; taking it back leaves the page's own beginning.
TEST(VerticalStitcher, AGuessOverRepeatingRowsCanBeTakenBack)
{
    constexpr int W = 300, R = 300;
    QImage page = contentPage(Content::repeated, W, 1600, 20);
    QPainter(&page).drawImage(0, 0, noisePage(W, 700, 3));
    VerticalStitcher st(page.copy(0, 0, W, R));
    // While the overlap shows rows before 700, the pixels decide.
    for (const int at : {150, 300, 450, 600}) {
        const Outcome out = st.add(page.copy(0, at, W, R));
        ASSERT_EQ(out, Outcome::appended(150)) << at;
        EXPECT_FALSE(out.provisional) << at;
    }
    EXPECT_FALSE(st.lastStepProvisional());
    // Then only repeating rows overlap: without a distance the step is refused, with one it
    // is taken provisionally.
    EXPECT_EQ(st.add(page.copy(0, 750, W, R)).kind, Outcome::Kind::noMatch);
    const Outcome guess = st.add(page.copy(0, 750, W, R), 150);
    ASSERT_EQ(guess, Outcome::appended(150));
    EXPECT_TRUE(guess.provisional);
    EXPECT_FALSE(guess.sure);
    EXPECT_TRUE(st.lastStepProvisional());
    EXPECT_TRUE(st.dropProvisionalStep());
    EXPECT_FALSE(st.dropProvisionalStep());
    const QImage result = st.finish();
    ASSERT_EQ(result.height(), 600 + R);
    EXPECT_EQ(differingBytes(result, page.copy(0, 0, W, 600 + R)), 0);
}

// At the right shift a spot may differ (a caret, an animation settling missed), but no more
// than one in two hundred of the samples that tell: background samples do not count.
TEST(VerticalStitcher, AtMostOneInTwoHundredTellingSamplesMayDiffer)
{
    constexpr int W = 1024, R = 400, dy = 100;  // 8 pixels a sample; the right half is background
    QImage page = noisePage(W, R + dy, 7);
    QPainter(&page).fillRect(W / 2, 0, W / 2, R + dy, QColor(200, 200, 200));
    // 300 rows of 64 telling samples overlap: at most 96 may differ.
    const struct {
        int samples;  // in a block of 8 rows
        bool taken;
    } table[]{{0, true}, {8, true}, {11, true}, {13, false}, {20, false}};
    for (const auto& c : table) {
        SCOPED_TRACE(c.samples);
        VerticalStitcher st(page.copy(0, 0, W, R));
        QImage next = page.copy(0, dy, W, R);
        QPainter(&next).fillRect(64, 150, c.samples * 8, 8, Qt::black);
        EXPECT_EQ(st.add(next), c.taken ? Outcome::appended(dy) : Outcome::noMatch());
    }
}
