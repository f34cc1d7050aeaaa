// A part of the page that changes by itself between frames (a photo that loads, a canvas
// redrawn, a banner) comes out as one frame showed it, whatever the masks said: taken again
// whole from the newest frame that shows it from its top, or the capture ends before it.
#include "capture/scroll/VerticalStitcher.h"

#include "SyntheticPage.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <cstring>
#include <optional>
#include <vector>

using kx::VerticalStitcher;
using Outcome = VerticalStitcher::Outcome;
using namespace kx::test;

namespace {

constexpr int kW = 400, kView = 400;

// The part in state `s`: stripes on a ground of colours of its own, so that no two states
// share a row.
void drawPart(QImage& frame, int top, int rows, int s)
{
    QPainter p(&frame);
    p.fillRect(40, top, 320, rows, QColor::fromHsv((s * 71 + 20) % 360, 60, 230 - (s * 13) % 60));
    for (int y = 0; y < rows; y += 12)
        p.fillRect(40, top + y, 320, 6, QColor::fromHsv((s * 53) % 360, 180, 90 + (s * 29) % 150));
    p.fillRect(40, top, 320, 2, Qt::black);  // its edge, the same in every state
}

struct Part {
    const char* name;
    int top, rows;            // page rows
    int dy;                   // rows a step
    std::vector<int> states;  // the part's state in frame i (the last one repeats)
    bool masked;              // the settling saw it change (its rows masked as animating)
    bool whole;               // the capture reaches the end
    int wantState;            // the state the result must show; -1: any single one
    bool toTheEnd = false;    // every step is placed, up to the page's end
};

int stateOf(const Part& c, int i)
{
    return c.states[std::size_t(std::min<int>(i, int(c.states.size()) - 1))];
}

class Witness : public ::testing::TestWithParam<Part> {};

}  // namespace

TEST_P(Witness, APartThatChangedComesOutAsOneFrameShowedIt)
{
    const Part c = GetParam();
    const QImage page = makePage(kW, 2400);
    auto frame = [&](int offset, int s, VerticalStitcher::RowMask* mask) {
        QImage f = page.copy(0, offset, kW, kView).convertToFormat(QImage::Format_RGB32);
        drawPart(f, c.top - offset, c.rows, s);
        mask->assign(kView, 0);
        if (c.masked)
            for (int y = std::max(0, c.top - offset); y < std::min(kView, c.top + c.rows - offset); ++y)
                (*mask)[std::size_t(y)] = VerticalStitcher::kAnimated;
        return f;
    };
    VerticalStitcher::RowMask mask;
    VerticalStitcher st(frame(0, stateOf(c, 0), &mask), mask);
    int at = 0, i = 0;
    bool changing = false;
    while (at + c.dy <= page.height() - kView) {
        ++i;
        const QImage f = frame(at + c.dy, stateOf(c, i), &mask);
        Outcome out = st.add(f, c.dy, mask);
        if (out.kind == Outcome::Kind::noMatch && !out.changing) {
            // As the session does after a miss: the view back where the last frame was taken,
            // then the step again.
            VerticalStitcher::RowMask back;
            st.maskAnimationIn(frame(at, stateOf(c, i), &back));
            out = st.add(frame(at + c.dy, stateOf(c, i), &mask), c.dy, mask);
        }
        if (out.kind != Outcome::Kind::appended) {
            changing = out.changing;
            break;
        }
        ASSERT_EQ(out.dy, c.dy) << c.name << " step " << i;
        at += c.dy;
    }
    // The last view again, once the part has changed once more (it loaded at the end).
    if (!changing) {
        const QImage still = frame(at, stateOf(c, ++i), &mask);
        ASSERT_EQ(st.add(still, c.dy, mask).kind, Outcome::Kind::noChange) << c.name;
    }
    EXPECT_EQ(changing, !c.whole) << c.name;
    if (c.toTheEnd) {
        EXPECT_GT(at + c.dy, page.height() - kView) << c.name << ": stopped at " << at;
    }
    const QImage result = st.finish().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(result.height(), at + kView) << c.name;
    // Outside the part, the page; inside it (as far as the result goes), one state throughout.
    std::optional<int> shown;
    for (int y = 0; y < result.height(); ++y) {
        const bool inPart = y >= c.top && y < c.top + c.rows;
        if (!inPart) {
            ASSERT_EQ(std::memcmp(result.constScanLine(y), page.constScanLine(y), kW * 4), 0)
                << c.name << ": page row " << y;
            continue;
        }
        std::optional<int> rowState;
        for (int s = 0; s < 64 && !rowState; ++s) {
            QImage one = page.copy(0, y - 1, kW, 3).convertToFormat(QImage::Format_RGB32);
            drawPart(one, c.top - (y - 1), c.rows, s);
            if (std::memcmp(result.constScanLine(y), one.constScanLine(1), kW * 4) == 0)
                rowState = s;
        }
        // A row every state shows alike (between the stripes) tells nothing.
        QImage a = page.copy(0, y - 1, kW, 3).convertToFormat(QImage::Format_RGB32), b = a;
        drawPart(a, c.top - (y - 1), c.rows, 1);
        drawPart(b, c.top - (y - 1), c.rows, 2);
        if (std::memcmp(a.constScanLine(1), b.constScanLine(1), kW * 4) == 0)
            continue;
        ASSERT_TRUE(rowState) << c.name << ": row " << y << " is in no state";
        if (!shown)
            shown = rowState;
        ASSERT_EQ(*rowState, *shown) << c.name << ": row " << y << " joins two states";
    }
    if (c.wantState >= 0 && shown) {
        EXPECT_EQ(*shown, c.wantState) << c.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Parts, Witness,
    ::testing::Values(
        // A photo's placeholder (state 0) in the first three frames, the photo (7) from then on,
        // never seen changing by a settling: taken again from the frame that shows it whole.
        Part{"loadsLate", 500, 120, 150, {0, 0, 0, 7}, false, true, 7},
        // It loads before the first step.
        Part{"loadsInTheFirstView", 200, 120, 150, {0, 7}, false, true, 7},
        // A canvas redrawn for every frame, 300 rows in a 400-row view, never seen changing by a
        // settling: whole from one frame.
        Part{"redrawnAndFits",
             700,
             300,
             100,
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25},
             false,
             true,
             -1},
        // A canvas 200 rows tall masked as animating in every frame that shows it (the
        // settlings saw it redrawn): masked at other rows of the view in each frame, it moves
        // with the page and is no band fixed on screen; every step is placed.
        Part{"redrawnMaskedAndFits",
             700,
             200,
             100,
             {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25},
             true,
             true,
             -1,
             true}),
    [](const auto& info) { return std::string(info.param.name); });
