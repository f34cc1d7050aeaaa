// What stays at the view's edges while the content scrolls, and boxes just tall enough to
// float: each drawn once, never copied into the page.
#include "capture/scroll/VerticalStitcher.h"

#include "RealisticPages.h"
#include "SyntheticPage.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <cstring>
#include <string>

using kx::VerticalStitcher;
using Outcome = VerticalStitcher::Outcome;
using namespace kx::test;

namespace {

constexpr int kWidth = 640, kView = 480;

// Rows of `image` that differ from what `page` must give for a capture ending at its height.
int wrongRows(const RealisticPage& page, const QImage& image)
{
    const int offset = image.height() - page.viewHeight;
    const QImage want = page.expected(offset);
    const QImage got = image.convertToFormat(QImage::Format_RGB32);
    int wrong = 0;
    for (int y = 0; y < got.height(); ++y)
        for (int x = 0; x < got.width(); ++x)
            if (got.pixel(x, y) != want.pixel(x, y) && !page.allowed(x, y, offset)) {
                ++wrong;
                break;
            }
    return wrong;
}

}  // namespace

// A user's pointer resting at an edge of the view masks the rows around it in every frame: a
// footer's short shadow or a pager's status line under it, at the bottom or at the top, must
// still stay out of the page; so must a status line at the top with the pointer elsewhere.
TEST(StitcherEdges, BandsUnderARestingPointerAreDrawnOnce)
{
    const struct {
        PageKind kind;
        bool atTop;
        int pointerRows;
    } cases[] = {{PageKind::footerShadow, false, 70},
                 {PageKind::pagerStatus, false, 70},
                 {PageKind::pagerStatus, true, 70},
                 {PageKind::pagerStatus, true, 0}};
    for (const auto& c : cases) {
        RealisticPage page = makeRealisticPage(c.kind, kWidth, kView, 3.0, 7);
        page.statusAtTop = c.atTop;
        const std::string name = std::string(pageKindName(c.kind)) + (c.atTop ? " at the top" : "") +
                                 (c.pointerRows ? ", under the pointer" : "");
        VerticalStitcher::RowMask pointer(kView, 0);
        if (c.atTop)
            std::fill(pointer.begin(), pointer.begin() + c.pointerRows, VerticalStitcher::kPointer);
        else
            std::fill(pointer.end() - c.pointerRows, pointer.end(), VerticalStitcher::kPointer);
        VerticalStitcher st(page.view(0, 0), pointer);
        int at = 0;
        for (const int dy : {120, 150, 90, 200, 130}) {
            at += dy;
            ASSERT_EQ(st.add(page.view(at, 0), 0, pointer), Outcome::appended(dy)) << name;
        }
        const QImage result = st.finish();
        ASSERT_EQ(result.height(), kView + at) << name;
        EXPECT_EQ(wrongRows(page, result), 0) << name << ", band " << st.bottomStatic();
    }
}

// A box floating at one place on screen, just tall enough to be told from a line of text:
// the steps past it fit, and it shows once, where the first view had it.
TEST(StitcherEdges, ABoxSixteenRowsTallFloats)
{
    const QImage page = contentPage(Content::prose, kWidth, 3000);
    const QRect box(kWidth / 2 - 100, 200, 200, 16);
    auto view = [&](int offset) {
        QImage v = page.copy(0, offset, kWidth, kView);
        QPainter(&v).fillRect(box, QColor(230, 80, 40));
        return v;
    };
    VerticalStitcher st(view(0));
    int at = 0;
    for (const int dy : {140, 140, 95, 160}) {
        at += dy;
        ASSERT_EQ(st.add(view(at), dy), Outcome::appended(dy)) << "at " << at;
    }
    const QImage result = st.finish().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(result.height(), kView + at);
    QImage want = page.copy(0, 0, kWidth, kView + at);
    QPainter(&want).fillRect(box, QColor(230, 80, 40));
    int wrong = 0;
    for (int y = 0; y < result.height(); ++y)
        wrong += std::memcmp(result.constScanLine(y), want.constScanLine(y), std::size_t(kWidth) * 4) != 0;
    EXPECT_EQ(wrong, 0);
}

// A translucent band fixed low on screen over the text scrolling under it, masked as
// animating at its place in both frames (as two settlings that saw the text change under it
// mark it): the text under it moved with the page, yet the band keeps its own ground there. It
// is no animation of the page but the fixed bottom band, drawn once; the page above is untinted.
TEST(StitcherEdges, ATintFixedLowOverMovingTextIsTheBottomBand)
{
    const QImage page = makePage(kWidth, 3000);
    constexpr int kTintTop = 396, kTintRows = 44;
    auto view = [&](int offset) {
        QImage v = page.copy(0, offset, kWidth, kView).convertToFormat(QImage::Format_RGB32);
        QPainter(&v).fillRect(0, kTintTop, kWidth, kTintRows, QColor(30, 90, 200, 60));
        return v;
    };
    VerticalStitcher::RowMask mask(kView, 0);
    std::fill(mask.begin() + kTintTop - 3, mask.begin() + kTintTop + kTintRows + 3,
              VerticalStitcher::kAnimated);
    VerticalStitcher st(view(0), mask);
    int at = 0;
    // Steps shorter than the band, so that the page under it shows right above it next time.
    for (const int dy : {40, 45, 35, 40, 42}) {
        at += dy;
        ASSERT_EQ(st.add(view(at), dy, mask), Outcome::appended(dy)) << "at " << at;
        EXPECT_GE(st.bottomStatic(), kView - kTintTop) << "at " << at;
    }
    const QImage result = st.finish().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(result.height(), kView + at);
    int tinted = 0;
    for (int y = 0; y < at + kTintTop; ++y)
        tinted += std::memcmp(result.constScanLine(y), page.constScanLine(y), std::size_t(kWidth) * 4) != 0;
    EXPECT_EQ(tinted, 0);
    EXPECT_EQ(std::memcmp(result.constScanLine(at + kTintTop), view(at).constScanLine(kTintTop),
                          std::size_t(kWidth) * 4),
              0);
}

// The pointer rests over the rows a canvas below leaves to match: the last frame's rows under
// it, which a frame before showed away from the pointer, are compared where they show the page
// as that frame did. Tinted by a hover effect they stay out: the step is placed on the rows
// beside them, or not at all. Rows kept while under the pointer were tinted when taken: that
// the last frame shows them alike proves nothing, and they stay out too.
TEST(StitcherEdges, TheLastFramesRowsUnderThePointerCountWhereUntinted)
{
    const QImage page = makePage(kWidth, 2000);
    constexpr int kPointerTop = 80, kPointerRows = 80;
    VerticalStitcher::RowMask pointer(kView, 0);
    std::fill(pointer.begin() + kPointerTop, pointer.begin() + kPointerTop + kPointerRows,
              VerticalStitcher::kPointer);
    const struct {
        bool firstTinted;
        int step;  // the first step
        bool tinted;
        int free;  // rows at the top of the next step's frame above the canvas
        int dy;    // the next step
        bool placed;
    } cases[] = {{false, 100, false, 40, 120, true},
                 {false, 100, true, 80, 120, true},
                 {false, 100, true, 40, 120, false},
                 {true, 20, true, 80, 20, true}};
    for (const auto& c : cases) {
        auto view = [&](int offset, bool tint) {
            QImage v = page.copy(0, offset, kWidth, kView).convertToFormat(QImage::Format_RGB32);
            if (tint)
                QPainter(&v).fillRect(0, kPointerTop, kWidth, kPointerRows, QColor(40, 120, 255, 50));
            return v;
        };
        VerticalStitcher st(view(0, c.firstTinted), pointer);
        ASSERT_EQ(st.add(view(c.step, c.tinted), c.step, pointer), Outcome::appended(c.step));
        // Below its top rows the frame is a canvas redrawn in place: masked.
        VerticalStitcher::RowMask canvas = pointer;
        std::fill(canvas.begin() + c.free, canvas.end(), VerticalStitcher::kAnimated);
        EXPECT_EQ(st.add(view(c.step + c.dy, false), 0, canvas),
                  c.placed ? Outcome::appended(c.dy) : Outcome::noMatch())
            << "tinted " << c.firstTinted << c.tinted << ", " << c.free << " rows";
    }
}

// Under a sticky header the page scrolls through its shadow, which darkens rows that were kept
// unshaded: no part of the page changed there. Neither by hand (which would end the image
// above it) nor in auto mode is a step refused for it, a long dark shadow included.
TEST(StitcherEdges, ContentInAStickyHeadersShadowIsNoPartThatChanged)
{
    const struct {
        PageKind kind;
        int shadowRows, shadowAlpha;  // 0: the kind's own
    } cases[] = {{PageKind::sticky, 0, 0}, {PageKind::softShadow, 0, 0}, {PageKind::sticky, 24, 90}};
    for (const auto& c : cases)
        for (const bool lookBack : {false, true}) {
            const std::string name = std::string(pageKindName(c.kind)) + " shadow " +
                                     std::to_string(c.shadowRows) + (lookBack ? ", auto" : ", by hand");
            RealisticPage page = makeRealisticPage(c.kind, kWidth, kView, 3.0, 11);
            if (c.shadowRows) {
                page.shadowRows = c.shadowRows;
                page.shadowAlpha = c.shadowAlpha;
            }
            VerticalStitcher st(page.view(0, 0));
            st.setLookBack(lookBack);
            int at = 0;
            bool all = true;
            for (const int dy : {120, 150, 90, 110}) {
                at += dy;
                const Outcome out = st.add(page.view(at, 0), dy);
                EXPECT_EQ(out, Outcome::appended(dy))
                    << name << " at " << at << (out.changing ? ", changing" : "");
                if (!(all = out == Outcome::appended(dy)))
                    break;
            }
            if (!all)
                continue;
            const QImage result = st.finish();
            ASSERT_EQ(result.height(), kView + at) << name;
            EXPECT_EQ(wrongRows(page, result), 0) << name;
        }
}
