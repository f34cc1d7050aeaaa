// A frame that changed in part (content redrawn under the scroll) is a miss, which raises the
// "scroll slower" warning; it is never stitched. Unmoved, it is the same view whose changed part
// is taken again (a photo that loaded while the view stood still).
#include "capture/scroll/VerticalStitcher.h"

#include "SyntheticPage.h"

#include <gtest/gtest.h>
#include <QPainter>

using kx::VerticalStitcher;
using namespace kx::test;

TEST(VerticalStitcherPartial, AFrameChangedInPartIsAMiss)
{
    const QImage page = noisePage(300, 1200, 11);
    const QImage other = noisePage(300, 1200, 12);
    // Unmoved with a large band redrawn, scrolled with a small or a large band redrawn.
    const struct {
        int scrolled, band;
    } cases[] = {{0, 120}, {100, 40}, {100, 120}};
    for (const auto& c : cases) {
        VerticalStitcher st(page.copy(0, 0, 300, 400));
        QImage changed = page.copy(0, c.scrolled, 300, 400);
        QPainter(&changed).drawImage(QPoint(0, 100), other.copy(0, 0, 300, c.band));
        EXPECT_EQ(st.add(changed, c.scrolled).kind, c.scrolled ? VerticalStitcher::Outcome::Kind::noMatch
                                                               : VerticalStitcher::Outcome::Kind::noChange)
            << c.scrolled << "/" << c.band;
        EXPECT_EQ(st.acceptedSteps(), 0) << c.scrolled << "/" << c.band;
        if (!c.scrolled) {
            EXPECT_EQ(st.finish(), changed);
        }
    }
}

// A view that stood still while photos loaded in a few places: up to four such parts are taken
// again from it; more are a view that changed too much to be trusted, and the kept rows stay.
TEST(VerticalStitcherPartial, AStillViewTakesUpToFourChangedPartsAgain)
{
    const QImage page = noisePage(300, 1200, 21);
    const QImage photos = noisePage(300, 400, 22);
    for (int parts = 1; parts <= 5; ++parts) {
        VerticalStitcher st(page.copy(0, 0, 300, 400));
        QImage loaded = page.copy(0, 0, 300, 400);
        QPainter p(&loaded);
        for (int i = 0; i < parts; ++i)  // 16-row photos, well apart
            p.drawImage(QRect(40, 20 + 75 * i, 200, 16), photos, QRect(40, 20 + 75 * i, 200, 16));
        p.end();
        EXPECT_EQ(st.add(loaded, 120).kind, VerticalStitcher::Outcome::Kind::noChange) << parts;
        EXPECT_EQ(st.finish(), parts <= 4 ? loaded : page.copy(0, 0, 300, 400)) << parts << " parts";
    }
}
