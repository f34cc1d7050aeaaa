// The history's recognition is background work: one engine on one idle-class thread, held back
// while anything the user waits for runs, and engines released once recognition has been idle.
#include "analysis/BackgroundWork.h"
#include "analysis/OCRService.h"
#include "analysis/PageLayout.h"
#include "analysis/TextRecognizer.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>

using namespace kx;

namespace {

// Two columns of text far apart: read as two blocks, so a foreground read uses two engines.
QImage twoColumns(int rows)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    const int step = QFontMetrics(font).height() + 6;
    QImage img(1400, 40 + rows * step, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    for (int row = 0; row < rows; ++row) {
        const int y = 30 + row * step;
        p.drawText(20, y, QStringLiteral("Invoice %1 paid on time by Mallory").arg(1000 + row));
        p.drawText(820, y, QStringLiteral("Shipment %1 left the harbour").arg(7000 + row * 3));
    }
    return img;
}

bool finishes(const QFuture<OCRResult>& f)
{
    return test::waitFor([&] { return f.isFinished(); }, 120000);
}

class BackgroundRecognition : public ::testing::Test {
protected:
    void SetUp() override { OCRService::setEngineIdleMs(-1); }
    void TearDown() override { OCRService::setEngineIdleMs(3000); }
};

}  // namespace

TEST_F(BackgroundRecognition, RunsOnOneEngineOnAnIdleClassThread)
{
    EXPECT_TRUE(BackgroundWork::run([] { return BackgroundWork::thisThreadLowered(); }).result());
    EXPECT_FALSE(BackgroundWork::thisThreadLowered());  // the caller's thread is left alone
    // A thread the background thread starts is not stuck in its class.
    EXPECT_FALSE(
        BackgroundWork::run([] {
            QThreadPool fresh;  // its thread starts from here, as a global pool thread may
            fresh.setThreadPriority(QThreadPool::globalInstance()->threadPriority());
            return QtConcurrent::run(&fresh, [] { return BackgroundWork::thisThreadLowered(); }).result();
        }).result());
    // Idle I/O only while a read asks for it.
    EXPECT_NE(BackgroundWork::ioClass(), 3);
    {
        const BackgroundWork::IdleIo io;
        EXPECT_EQ(BackgroundWork::ioClass(), 3);
    }
    EXPECT_NE(BackgroundWork::ioClass(), 3);

    const QImage page = twoColumns(12);
    ASSERT_EQ(ocr::textBlocks(ocr::prepared(page)).size(), 2);  // two parts to read
    const QFuture<OCRResult> fore = OCRService::observations(page);
    ASSERT_TRUE(finishes(fore));
    ASSERT_TRUE(fore.result().ok) << fore.result().error.toStdString();
    OCRService::engineCounts(true);

    const QFuture<OCRResult> back = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(back));
    ASSERT_TRUE(back.result().ok) << back.result().error.toStdString();
    EXPECT_EQ(OCRService::engineCounts(true).mostReading, 1);
    EXPECT_EQ(back.result().text(), fore.result().text());
    EXPECT_TRUE(back.result().text().contains(QStringLiteral("Shipment 7003")));
}

TEST_F(BackgroundRecognition, WaitsWhileHeldAndPausesAtTheNextWordWhenAHoldIsTaken)
{
    const QImage page = twoColumns(40);
    const QString expected = OCRService::recognize(page, {QStringLiteral("eng")}).text();
    ASSERT_FALSE(expected.isEmpty());

    // Held from before it starts: it does not begin reading.
    {
        BackgroundWork::Hold capture = BackgroundWork::hold();
        EXPECT_TRUE(BackgroundWork::held());
        const QFuture<OCRResult> waiting = OCRService::backgroundObservations(page);
        ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }));
        EXPECT_EQ(OCRService::engineCounts().reading, 0);
        EXPECT_FALSE(waiting.isFinished());
        capture.reset();
        EXPECT_FALSE(BackgroundWork::held());
        ASSERT_TRUE(finishes(waiting));
    }

    // Held while it reads: it stops inside the engine and goes on where it was afterwards.
    const QFuture<OCRResult> reading = OCRService::backgroundObservations(page);
    ASSERT_TRUE(test::waitFor([] { return OCRService::engineCounts().reading == 1; }, 60000));
    BackgroundWork::Hold capture = BackgroundWork::hold();
    ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }, 60000))
        << "the read finished without pausing";
    EXPECT_EQ(OCRService::engineCounts().reading, 1);
    EXPECT_FALSE(reading.isFinished());
    capture.reset();
    ASSERT_TRUE(finishes(reading));
    ASSERT_TRUE(reading.result().ok);
    EXPECT_EQ(reading.result().text(), OCRService::backgroundObservations(page).result().text());
}

TEST_F(BackgroundRecognition, TheUsersOwnRecognitionHoldsBackgroundWorkUntilItEnds)
{
    const QFuture<OCRResult> fore = OCRService::observations(twoColumns(4));
    EXPECT_TRUE(BackgroundWork::held());
    ASSERT_TRUE(finishes(fore));
    EXPECT_TRUE(test::waitFor([] { return !BackgroundWork::held(); }));
}

TEST_F(BackgroundRecognition, EnginesAreReleasedOnceRecognitionHasBeenIdle)
{
    const QImage page = twoColumns(6);
    ASSERT_TRUE(finishes(OCRService::observations(page)));
    EXPECT_GE(OCRService::engineCounts().alive, 1);

    OCRService::setEngineIdleMs(100);
    const QFuture<OCRResult> back = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(back));
    EXPECT_TRUE(test::waitFor([] { return OCRService::engineCounts().alive == 0; }, 30000))
        << OCRService::engineCounts().alive << " engines still loaded";

    // They load again for the next recognition.
    const QFuture<OCRResult> again = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(again));
    EXPECT_EQ(again.result().text(), back.result().text());
}
