// Captures recorded from real applications (xterm, Firefox ESR) through the real session,
// replayed into the stitcher: every call as the session made it, the frames as grabbed.
#include "RecordedCapture.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstring>
#include <functional>

using namespace kx::test;
using Outcome = kx::VerticalStitcher::Outcome;

namespace {

QString framesDir(const char* name)
{
    return qEnvironmentVariable("KX_SOURCE_DIR") + QStringLiteral("/tests/capture/scroll/frames/") +
           QString::fromLatin1(name);
}

// A pager's status line shows once, at the bottom of the result.
void statusOnceAtBottom(const QImage& image)
{
    const std::vector<int> at = statusLines(image);
    ASSERT_EQ(at.size(), 1u) << "status lines at " << ::testing::PrintToString(at);
    EXPECT_GT(at.front(), image.height() - 40);
}

// No row above the last view shows a photo's grey placeholder (#888888, 20 pixels or more in
// a row): the last view may still wait for its photos, rows taken earlier must not.
void noPlaceholderAboveTheLastView(const QImage& image)
{
    constexpr int kView = 480, kRun = 20;
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int rows = 0, first = -1;
    for (int y = 0; y < rgb.height() - kView; ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0, run = 0; x < rgb.width(); ++x)
            if ((run = (p[x] & 0xffffff) == 0x888888 ? run + 1 : 0) == kRun) {
                first = first < 0 ? y : first;
                ++rows;
                break;
            }
    }
    EXPECT_EQ(rows, 0) << "placeholder rows from row " << first;
}

// Each pulsing banner (a red bar, one colour at any moment) shows one state: its background
// down column 62 is one colour from its top to its foot.
void bannersWhole(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int banners = 0, torn = 0;
    QRgb colour = 0;
    bool inBanner = false, mixed = false;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb p = rgb.pixel(62, y);
        const bool red = qRed(p) > 150 && qGreen(p) < 170 && qRed(p) - qGreen(p) > 40;
        if (red && !inBanner) {
            colour = p;
            mixed = false;
            ++banners;
        } else if (red) {
            mixed = mixed || p != colour;
        } else if (inBanner) {
            torn += mixed;
        }
        inBanner = red;
    }
    EXPECT_GE(banners, 2);
    EXPECT_EQ(torn, 0) << "of " << banners << " banners";
}

// The table's sticky header (a green bar) shows once.
void headerOnce(const QImage& image)
{
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int bands = 0;
    bool inBand = false;
    for (int y = 0; y < rgb.height(); ++y) {
        const bool green = (rgb.pixel(62, y) & 0xffffff) == 0x2e7d32;
        bands += green && !inBand;
        inBand = green;
    }
    EXPECT_EQ(bands, 1);
}

// The page rectangle `part` (a canvas redrawn for every frame) shows in the result as one
// recorded frame showed it: its rows are rows of one frame, one after the other.
std::function<void(const QImage&)> asOneFrameShowedIt(const char* folder, QRect part)
{
    return [folder, part](const QImage& image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        ASSERT_GT(rgb.height(), part.top());
        const int rows = std::min(part.bottom() + 1, rgb.height()) - part.top();
        auto same = [&](const QImage& f, int fy, int y) {
            return std::memcmp(f.constScanLine(fy) + 4 * part.left(), rgb.constScanLine(y) + 4 * part.left(),
                               std::size_t(4 * part.width())) == 0;
        };
        const QDir dir(framesDir(folder));
        for (const QString& name : dir.entryList({QStringLiteral("[0-9]*.png")})) {
            const QImage f = QImage(dir.filePath(name)).convertToFormat(QImage::Format_RGB32);
            for (int o = 0; o + rows <= f.height(); ++o) {
                int y = 0;
                while (y < rows && same(f, o + y, part.top() + y))
                    ++y;
                if (y == rows)
                    return;
            }
        }
        ADD_FAILURE() << "rows " << part.top() << "-" << part.top() + rows << " show no single frame";
    };
}

// Photos (at `left`, their tops and heights given) show as one recorded frame showed each,
// and none is its grey placeholder: a photo fading in is taken in one state of its fade.
std::function<void(const QImage&)> photosAsOneFrameShowedThem(const char* folder, int left,
                                                              std::vector<std::pair<int, int>> photos)
{
    return [=](const QImage& image) {
        noPlaceholderAboveTheLastView(image);
        for (const auto& [top, height] : photos) {
            SCOPED_TRACE(top);
            asOneFrameShowedIt(folder, QRect(left, top, image.width() - left, height))(image);
        }
    };
}

// A sticky header that shrinks with a transition once the page scrolls: the result's top is
// the first frame's, its big header whole, and the bar shows once.
std::function<void(const QImage&)> firstHeaderOnce(const char* folder, QRgb bar, int rows)
{
    return [=](const QImage& image) {
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        const QImage first = QImage(framesDir(folder) + "/000.png").convertToFormat(QImage::Format_RGB32);
        ASSERT_EQ(first.width(), rgb.width());
        for (int y = 0; y < rows; ++y)
            ASSERT_EQ(std::memcmp(rgb.constScanLine(y), first.constScanLine(y), std::size_t(4 * rgb.width())),
                      0)
                << "row " << y;
        int bands = 0;
        for (int y = 0, inBar = 0; y < rgb.height(); ++y) {
            const int now = (rgb.pixel(rgb.width() - 10, y) & 0xffffff) == (bar & 0xffffff);
            bands += now && !inBar;
            inBar = now;
        }
        EXPECT_EQ(bands, 1);
    };
}

struct Recording {
    const char* folder;
    int minSteps;  // accepted steps the replay must reach
    std::function<void(const QImage&)> check;
};

class RecordedFrames : public ::testing::TestWithParam<Recording> {};

}  // namespace

TEST_P(RecordedFrames, StitchWithoutWrongRows)
{
    const Recording rec = GetParam();
    const std::vector<StitchCall> calls = readCalls(framesDir(rec.folder));
    ASSERT_FALSE(calls.empty()) << rec.folder;
    const Replay r = replay(calls);
    ASSERT_FALSE(r.image.isNull());
    const auto steps = std::count_if(r.outcomes.begin(), r.outcomes.end(),
                                     [](const Outcome& o) { return o.kind == Outcome::Kind::appended; });
    EXPECT_GE(steps, rec.minSteps);
    rec.check(r.image);
}

INSTANTIATE_TEST_SUITE_P(Real, RecordedFrames,
                         ::testing::Values(
                             // less -M in xterm scrolled by hand, the pointer resting on its status line.
                             Recording{"pager-status-by-hand", 5, statusOnceAtBottom},
                             // Firefox ESR: photos that get their source 300 ms after they scroll in,
                             // auto-scrolled (the frames cut to the left half of the page).
                             Recording{"lazy-images-auto", 10, noPlaceholderAboveTheLastView},
                             // Firefox ESR: banners whose background pulses in steps, auto-scrolled.
                             Recording{"pulsing-banners-auto", 3, bannersWhole},
                             // Another run: a banner across the end of the kept rows, masked at its
                             // new place in the frame before too, so that it looked fixed on screen.
                             Recording{"pulsing-banners-seam", 3, bannersWhole},
                             // Another run: a banner scrolls up to where the first screen showed
                             // another one pulsing, which made it look fixed on screen.
                             Recording{"pulsing-banners-passing", 6, bannersWhole},
                             // Firefox ESR as it comes, smooth scrolling on, from here down: a canvas
                             // 300 rows tall redrawn for every frame, which the grey signatures of two
                             // of its states show alike in a few rows at its top.
                             Recording{"canvas-redrawn-smooth", 5,
                                       asOneFrameShowedIt("canvas-redrawn-smooth", QRect(60, 983, 300, 300))},
                             // Another canvas run, whole: after the miss past its top, the halved step is
                             // placed on the rows above it that the last frame shows under the pointer
                             // (the frame before showed them freely); masked at other rows in each frame
                             // it is no band fixed on screen; and the rows of its stripes that look alike
                             // in grey split it into no two parts, one taken again alone.
                             Recording{"canvas-whole-smooth", 8,
                                       asOneFrameShowedIt("canvas-whole-smooth", QRect(60, 986, 300, 300))},
                             // Photos that get their source 200-500 ms after they show, right after the
                             // page was loaded afresh.
                             Recording{"lazy-photos-fresh-smooth", 8, noPlaceholderAboveTheLastView},
                             // Three banners pulsing on the page.
                             Recording{"pulsing-banners-smooth", 5, bannersWhole},
                             // A table under a sticky header row whose text says which rows show.
                             Recording{"sticky-header-smooth", 6, headerOnce},
                             // Smooth scrolling off: a banner across the end of the kept rows, whose lower
                             // part the settlings had seen pulse at that place on screen before (another
                             // banner), over the page's own white ground.
                             Recording{"pulsing-banners-seam-smooth-off", 6, bannersWhole},
                             // At a usual window size (1076 x 960, the frames cut to 400 columns):
                             // photographs that get their source 0.2-0.5 s after they show and then
                             // fade in over 0.6 s, right after a fresh load.
                             Recording{"photos-fading-in-fresh", 15,
                                       photosAsOneFrameShowedThem("photos-fading-in-fresh", 60,
                                                                  {{199, 300},
                                                                   {642, 400},
                                                                   {1221, 540},
                                                                   {1904, 300},
                                                                   {2369, 400},
                                                                   {2948, 540},
                                                                   {3631, 300},
                                                                   {4088, 400},
                                                                   {4630, 540},
                                                                   {5313, 300},
                                                                   {5815, 400},
                                                                   {6357, 540},
                                                                   {7077, 300},
                                                                   {7519, 400},
                                                                   {8084, 540}})},
                             // A 90-px sticky header that shrinks to 44 px over 0.3 s once the page
                             // scrolls.
                             Recording{"header-shrinking", 7,
                                       firstHeaderOnce("header-shrinking", 0x1a237e, 96)}),
                         [](const auto& info) {
                             std::string n = info.param.folder;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });
