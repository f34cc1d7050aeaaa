// Parts of a page that change once (a photo that loads or fades in, a header that shrinks or
// sticks once the page scrolls) come out in one state, the state the page shows them in; a view
// that only looks still is never taken for the page's top.
#include "capture/scroll/ScrollRowMasks.h"
#include "capture/scroll/VerticalStitcher.h"

#include "SyntheticPage.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <cstring>

using kx::VerticalStitcher;
using Outcome = VerticalStitcher::Outcome;
using Mask = VerticalStitcher::RowMask;
using namespace kx::test;

namespace {

constexpr int kW = 480, kView = 400;

// Rows [from, to) of `a` and `b` hold the same pixels.
bool sameRows(const QImage& a, const QImage& b, int from, int to, int bFrom = -1)
{
    const QImage x = a.convertToFormat(QImage::Format_RGB32), y = b.convertToFormat(QImage::Format_RGB32);
    bFrom = bFrom < 0 ? from : bFrom;
    for (int r = from; r < to; ++r)
        if (std::memcmp(x.constScanLine(r), y.constScanLine(bFrom + r - from), std::size_t(4 * x.width())) !=
            0)
            return false;
    return true;
}

QImage photo(int w, int h, int seed)
{
    return contentPage(Content::photo, w, h, seed).convertToFormat(QImage::Format_RGB32);
}

}  // namespace

// Settling tells an animation fixed on screen by two settlings that saw the same picture change
// at the same place; two photos that faded in where two steps ended show two pictures.
TEST(StitchSettle, OnePictureInTwoStatesIsNotTwoPictures)
{
    QImage banner(kW, 48, QImage::Format_RGB32), brighter = banner;
    for (QImage* b : {&banner, &brighter}) {
        b->fill(b == &banner ? QColor(150, 60, 60) : QColor(200, 100, 100));
        QPainter(b).fillRect(24, 14, 200, 20, Qt::white);
    }
    const QImage a = photo(kW, 48, 1), moved = photo(kW, 80, 1).copy(0, 20, kW, 48);
    // A blur-up stand-in: a small copy scaled up, at full contrast; and the photo half faded in.
    const QImage blurred = a.scaled(kW / 4, 12, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                               .scaled(kW, 48, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImage faded = a;
    QPainter(&faded).fillRect(faded.rect(), QColor(255, 255, 255, 128));
    const QImage flat(kW, 48, QImage::Format_RGB32);
    QImage grey = flat, white = flat;
    grey.fill(QColor(136, 136, 136));
    white.fill(Qt::white);
    const struct {
        const char* what;
        QImage x, y;
        bool same;
    } cases[] = {{"a banner pulsing", banner, brighter, true},
                 {"two photos", a, photo(kW, 400, 2).copy(0, 180, kW, 48), false},
                 {"a photo and itself moved", a, moved, false},
                 {"a photo and its placeholder", a, grey, false},
                 {"two placeholders of two levels", grey, white, true},
                 {"a photo and its blurred stand-in", a, blurred, false},
                 {"a photo half faded in", a, faded, true}};
    for (const auto& c : cases)
        EXPECT_EQ(kx::rowmask::samePicture(c.x, c.y), c.same) << c.what;
}

// A sticky header that shrinks once the page scrolls shows in the first frame big, later small
// with its text at another size: the result keeps the first frame's header whole, never the
// small one's text over it.
TEST(StitchSettle, AHeaderThatShrankIsKeptAsTheFirstFrameShowsIt)
{
    const QImage page = makePage(kW, 1600).convertToFormat(QImage::Format_RGB32);
    {
        auto frame = [&](int offset, int bar, int text) {
            QImage f = page.copy(0, offset, kW, kView);
            QPainter p(&f);
            p.fillRect(0, 0, kW, bar, QColor(26, 35, 126));
            p.fillRect(24, bar / 4, text, bar / 2, Qt::white);
            return f;
        };
        const QImage first = frame(0, 90, 120);
        VerticalStitcher st(first);
        const int bar = 44;
        for (int at = 150, i = 1; at <= 1200; at += 150, ++i)
            ASSERT_EQ(st.add(frame(at, bar, 60 + 10 * i), 150), Outcome::appended(150)) << at;
        const QImage result = st.finish();
        ASSERT_EQ(result.height(), 1200 + kView);
        EXPECT_TRUE(sameRows(result, first, 0, 90 + 8)) << "the first frame's header, whole";
        EXPECT_TRUE(sameRows(result, page, 100, 1200 + kView)) << "the page below it";
    }
}

// A table's header row sticks to the top once the page scrolls past it, its text saying which
// rows show; the rows are plain text, with little to match on. The first step leaves the stuck
// header out of the match; the header shows once, at its own place, as the first frame has it.
TEST(StitchSettle, AHeaderThatStuckToTheTopIsLeftOutOfTheMatch)
{
    constexpr int kHeaderAt = 60, kHeader = 34;
    QImage page(kW, 3000, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        for (int y = kHeaderAt + kHeader, i = 0; y + 22 < page.height(); y += 22, ++i) {
            p.fillRect(8, y + 6, 20 + i % 7 * 3, 10, QColor(40, 40, 40));
            p.fillRect(60, y + 6, 90 + (i * 37) % 200, 10, QColor(40, 40, 40));
            p.fillRect(0, y + 21, kW, 1, QColor(221, 221, 221));
        }
    }
    auto header = [&](QImage& f, int y, int text) {
        QPainter p(&f);
        p.fillRect(0, y, kW * 3 / 4, kHeader, QColor(46, 125, 50));
        p.fillRect(10, y + 10, text, 14, Qt::white);
    };
    auto frame = [&](int offset) {
        QImage f = page.copy(0, offset, kW, kView);
        header(f, std::max(kHeaderAt - offset, 0), 80 + offset / 10);
        return f;
    };
    VerticalStitcher st(frame(0));
    int at = 0;
    for (const int dy : {114, 180, 180, 180}) {
        at += dy;
        ASSERT_EQ(st.add(frame(at), dy), Outcome::appended(dy)) << at;
    }
    const QImage result = st.finish();
    ASSERT_EQ(result.height(), at + kView);
    QImage want = page.copy(0, 0, kW, at + kView);
    header(want, kHeaderAt, 80);
    // Below the last frame's header the rows are the page's, the header once at its place.
    EXPECT_TRUE(sameRows(result, want, 0, at + kHeader));
}

// Lines that repeat exactly look still after a move by whole lines, but for the rows a pointer
// or a box covers: before the first step such a view never replaces the first one. A view that
// stood still while a block of the page changed (a photo loaded) does take that block.
TEST(StitchSettle, OnlyAViewThatChangedInItsFreeRowsRenewsTheFirstFrame)
{
    constexpr int kPitch = 20;
    QImage lines(kW, 1200, QImage::Format_RGB32);
    lines.fill(Qt::white);
    for (int y = 0; y < lines.height(); y += kPitch)
        QPainter(&lines).fillRect(40, y + 5, 300, 9, QColor(35, 35, 45));
    Mask pointer(kView, 0);
    std::fill(pointer.begin() + 40, pointer.begin() + 120, VerticalStitcher::kPointer);
    auto tinted = [&](int offset) {
        QImage f = lines.copy(0, offset, kW, kView);
        QPainter(&f).fillRect(0, 60 + offset % 7, kW, 26, QColor(40, 120, 255, 50));
        return f;
    };
    {
        const QImage first = tinted(0);
        VerticalStitcher st(first, pointer);
        EXPECT_EQ(st.add(tinted(3 * kPitch), 0, pointer).kind, Outcome::Kind::noChange);
        EXPECT_TRUE(sameRows(st.finish(), first, 0, kView)) << "the first frame, not a later view";
    }
    {
        // The pointer moved: its new rows, tinted now, were free in the first view.
        Mask moved(kView, 0);
        std::fill(moved.begin() + 240, moved.begin() + 320, VerticalStitcher::kPointer);
        const QImage first = tinted(0);
        QImage later = lines.copy(0, 3 * kPitch, kW, kView);
        QPainter(&later).fillRect(0, 260, kW, 26, QColor(40, 120, 255, 50));
        VerticalStitcher st(first, pointer);
        EXPECT_EQ(st.add(later, 0, moved).kind, Outcome::Kind::noChange);
        EXPECT_TRUE(sameRows(st.finish(), first, 0, kView)) << "the first frame, the pointer moved";
    }
    {
        const QImage first = makePage(kW, kView).convertToFormat(QImage::Format_RGB32);
        QImage loaded = first;
        QPainter(&loaded).drawImage(40, 200, photo(300, 120, 5));
        VerticalStitcher st(first, pointer);
        EXPECT_EQ(st.add(loaded, 0, pointer).kind, Outcome::Kind::noChange);
        EXPECT_TRUE(sameRows(st.finish(), loaded, 0, kView)) << "the block that loaded, taken";
    }
}

// A photo above the view that loaded after its rows were kept (its placeholder was still when
// they were): the step is refused as stale while the caller can look back at the last view,
// which, added, takes the photo again whole; then the step is taken. Without a look back (the
// user scrolls), the step is refused as a part that changed and the image ends above it.
TEST(StitchSettle, APhotoThatLoadedAboveTheViewIsLookedAtAgain)
{
    const QImage text = makePage(kW, 2400).convertToFormat(QImage::Format_RGB32);
    constexpr int kTall = 800, kFirst = 300;
    const QRect at(40, 500, 320, 120);  // page rows
    const QImage picture = photo(at.width(), at.height(), 9);
    constexpr int kNext = 600;
    auto frame = [&](int offset, bool loaded) {
        QImage f = text.copy(0, offset, kW, kTall);
        QPainter p(&f);
        p.fillRect(at.translated(0, -offset), QColor(136, 136, 136));
        if (loaded)
            p.drawImage(at.topLeft() - QPoint(0, offset), picture);
        return f;
    };
    for (const bool back : {true, false}) {
        SCOPED_TRACE(back ? "auto mode" : "by hand");
        VerticalStitcher st(frame(0, false));
        st.setLookBack(back);
        ASSERT_EQ(st.add(frame(kFirst, false), kFirst), Outcome::appended(kFirst));
        // The photo loads while the next view settles (its rows there change as the view
        // stands); that view shows its lowest rows only.
        Mask settled(kTall, 0);
        std::fill(settled.begin(), settled.begin() + at.bottom() + 1 - kNext + 3, VerticalStitcher::kSettled);
        const Outcome out = st.add(frame(kNext, true), kNext - kFirst, settled);
        ASSERT_EQ(out.kind, Outcome::Kind::noMatch);
        EXPECT_EQ(out.stale, back);
        EXPECT_EQ(out.changing, !back);
        EXPECT_EQ(out.changedAbove, !back);  // named as a late photo, not as a video
        if (back) {
            EXPECT_EQ(st.add(frame(kFirst, true), 0).kind, Outcome::Kind::noChange);
            ASSERT_EQ(st.add(frame(kNext, true), kNext - kFirst), Outcome::appended(kNext - kFirst));
            QImage want = text.copy(0, 0, kW, kNext + kTall);
            QPainter(&want).drawImage(at.topLeft(), picture);
            EXPECT_TRUE(sameRows(st.finish(), want, 0, kNext + kTall));
        } else {
            // It ends at the page's ground above the photo, no placeholder in it.
            const QImage result = st.finish();
            EXPECT_LE(result.height(), at.top());
            EXPECT_GT(result.height(), at.top() - 40);
        }
    }
}

// A photo's placeholder is a block of one flat colour inside the page; a bar at the top edge, the
// page's own ground, a block too short or too narrow, or text, is not.
TEST(StitchSettle, APlaceholderIsAFlatBlockInsideThePage)
{
    const QImage text = makePage(kW, kView).convertToFormat(QImage::Format_RGB32);
    QImage white(kW, kView, QImage::Format_RGB32);
    white.fill(Qt::white);
    auto with = [&](QRect block, bool onText = true) {
        QImage f = onText ? text : white;
        QPainter(&f).fillRect(block, QColor(136, 136, 136));
        return f;
    };
    const struct {
        const char* what;
        QImage frame;
        int from, to;
        bool flat;
    } cases[] = {{"a grey block", with(QRect(40, 100, 300, 120)), 0, 250, true},
                 {"the same, its rows mostly past the range", with(QRect(40, 100, 300, 120)), 0, 160, false},
                 {"at the top edge", with(QRect(40, 0, 300, 120)), 0, 250, false},
                 {"the width of the view", with(QRect(0, 100, kW, 120)), 0, 250, false},
                 {"64 rows", with(QRect(40, 100, 300, 64)), 0, 250, true},
                 {"63 rows", with(QRect(40, 100, 300, 63)), 0, 250, false},
                 {"a sixth of the width", with(QRect(40, 100, kW / 6, 120), false), 0, 250, true},
                 {"narrower than a sixth", with(QRect(40, 100, kW / 6 - 1, 120), false), 0, 250, false},
                 {"a blank view", white, 0, kView, false},
                 {"text", text, 0, kView, false}};
    for (const auto& c : cases)
        EXPECT_EQ(kx::rowmask::flatBlock(c.frame, c.from, c.to), c.flat) << c.what;
}

// Only parts of the view small enough to be an animation fixed on screen are remembered as
// sightings: a run as tall as the limit stays, one row more is cleared, wherever it lies.
TEST(StitchSettle, OnlySmallChangedPartsAreSightings)
{
    auto mask = [](std::initializer_list<std::pair<int, int>> runs) {
        Mask m(20, 0);
        for (const auto& [from, to] : runs)
            std::fill(m.begin() + from, m.begin() + to, 1);
        return m;
    };
    const struct {
        Mask in, out;
        const char* what;
    } cases[] = {
        {mask({{0, 4}, {6, 11}, {16, 20}}), mask({{0, 4}, {16, 20}}), "edges kept, a taller run cleared"},
        {mask({{3, 7}, {8, 9}}), mask({{3, 7}, {8, 9}}), "runs apart by one row are two"},
        {mask({{15, 20}}), mask({}), "a run to the last row, one too tall"},
        {mask({{0, 5}}), mask({}), "a run from the first row, one too tall"},
        {mask({}), mask({}), "nothing"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(kx::rowmask::smallParts(c.in, 4), c.out) << c.what;
}
