// The editor's springs: the curve swings past its target as a damped spring of its response
// and damping does and then settles; the AI panel and a selected swatch move by it. Animations
// are stepped to chosen times, never timed.
#include "../EditorTestPages.h"
#include "EditorFakes.h"
#include "TestSupport.h"

#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "editor/window/controls/StyleWidgets.h"
#include "ui/Spring.h"

#include <gtest/gtest.h>
#include <QVariantAnimation>
#include <cmath>
#include <numbers>

using namespace kx;

namespace {

// The first peak of a spring released at rest: its time and height above the target.
double peakSeconds(double response, double damping)
{
    return response / (2 * std::sqrt(1 - damping * damping));
}
double overshoot(double damping)
{
    return std::exp(-std::numbers::pi * damping / std::sqrt(1 - damping * damping));
}

}  // namespace

TEST(Motion, SpringCurvesSwingOncePastTheTargetAndSettle)
{
    const struct {
        const char* name;
        qreal (*curve)(qreal);
        int (*durationMs)();
        double response, damping;
    } springs[] = {
        {"AI panel", &spring::SpringMotion<250, 85>::curve, &spring::SpringMotion<250, 85>::durationMs, 0.25,
         0.85},
        {"swatch", &spring::SpringMotion<150, 85>::curve, &spring::SpringMotion<150, 85>::durationMs, 0.15,
         0.85},
    };
    for (const auto& s : springs) {
        SCOPED_TRACE(s.name);
        const double duration = s.durationMs() / 1000.0;
        EXPECT_DOUBLE_EQ(s.curve(0), 0.0);
        EXPECT_DOUBLE_EQ(s.curve(1), 1.0);
        // The highest point, by time.
        double top = 0, topAt = 0;
        for (int i = 0; i <= 10000; ++i) {
            const double v = s.curve(i / 10000.0);
            if (v > top)
                top = v, topAt = i / 10000.0 * duration;
        }
        EXPECT_NEAR(top - 1, overshoot(s.damping), 1e-4);
        EXPECT_NEAR(topAt, peakSeconds(s.response, s.damping), 0.002);
        // Near the end it rests within a thousandth of the target.
        EXPECT_LE(std::abs(s.curve(0.999) - 1), 0.001);
    }
}

TEST(Motion, TheAIPanelSpringsInPastItsWidthAndRestsAtIt)
{
    auto rec = std::make_shared<test::Recorded>();
    EditorServices services = test::fakeServices(rec);
    services.makeAIPanel = [](EditorDocument&, QWidget* parent) { return new QWidget(parent); };
    QPointer<EditorWindowController> c =
        EditorWindowController::open(test::plainCapture(1600, 1000, 2), QUuid(), services);
    ASSERT_TRUE(test::waitFor([&] { return c->window()->isVisible(); }));
    EditorRootView* root = c->root();
    c->doc().setShowAI(true);
    QVariantAnimation* slide = root->aiSlide();
    ASSERT_EQ(slide->state(), QAbstractAnimation::Running);
    slide->pause();
    const int peakMs = int(std::lround(peakSeconds(0.25, 0.85) * 1000));
    slide->setCurrentTime(peakMs / 3);
    EXPECT_GT(root->aiPanel()->width(), 0);
    EXPECT_LT(root->aiPanel()->width(), EditorRootView::kAIPanelWidth);
    slide->setCurrentTime(peakMs);
    EXPECT_EQ(root->aiPanel()->width(),
              int(std::lround(EditorRootView::kAIPanelWidth * (1 + overshoot(0.85)))));
    slide->setCurrentTime(slide->duration());
    EXPECT_EQ(root->aiPanel()->width(), EditorRootView::kAIPanelWidth);
    EXPECT_DOUBLE_EQ(root->aiPanelOpacity(), 1.0);
    delete c.data();
}

TEST(Motion, ASelectedSwatchSpringsToItsLargerSizeAndBack)
{
    QWidget host;
    auto* swatch = new SwatchButton(RGBA{1, 0.231, 0.188, 1}, &host);
    // Selected before it shows: drawn at the larger size at once.
    swatch->setSelected(true);
    EXPECT_DOUBLE_EQ(swatch->scale(), SwatchButton::kSelectedScale);
    swatch->setSelected(false);
    host.show();
    ASSERT_TRUE(test::waitFor([&] { return swatch->isVisible(); }));
    EXPECT_DOUBLE_EQ(swatch->scale(), 1.0);

    const int peakMs = int(std::lround(peakSeconds(0.15, 0.85) * 1000));
    swatch->setSelected(true);
    QVariantAnimation* spring = swatch->scaleSpring();
    ASSERT_EQ(spring->state(), QAbstractAnimation::Running);
    spring->pause();
    spring->setCurrentTime(peakMs / 3);
    EXPECT_GT(swatch->scale(), 1.0);
    EXPECT_LT(swatch->scale(), SwatchButton::kSelectedScale);
    spring->setCurrentTime(peakMs);
    EXPECT_NEAR(swatch->scale(), 1 + 0.08 * (1 + overshoot(0.85)), 1e-4);
    spring->setCurrentTime(spring->duration());
    EXPECT_DOUBLE_EQ(swatch->scale(), SwatchButton::kSelectedScale);

    swatch->setSelected(false);
    ASSERT_EQ(spring->state(), QAbstractAnimation::Running);
    spring->pause();
    spring->setCurrentTime(spring->duration());
    EXPECT_DOUBLE_EQ(swatch->scale(), 1.0);
}
