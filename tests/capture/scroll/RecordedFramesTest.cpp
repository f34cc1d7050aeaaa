// Captures recorded from real applications (xterm, Firefox ESR) through the real session,
// replayed into the stitcher: every call as the session made it, the frames as grabbed.
#include "RecordedCapture.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QImage>
#include <algorithm>
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
                             Recording{"pager-status-by-hand", 5, statusOnceAtBottom}),
                         [](const auto& info) {
                             std::string n = info.param.folder;
                             std::replace(n.begin(), n.end(), '-', '_');
                             return n;
                         });
