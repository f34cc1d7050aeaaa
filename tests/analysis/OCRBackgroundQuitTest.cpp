// Quitting while the history's recognition holds the background thread: that thread is of the
// idle class, which a busy machine does not run, so the quit must not wait for it; the
// recognition process is ended all the same. In its own binary: the application quits.
#include "analysis/BackgroundWork.h"
#include "analysis/OCRService.h"
#include "analysis/RecognizerProcess.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPainter>
#include <QThread>
#include <QTimer>

using namespace kx;

TEST(OCRBackgroundQuit, TheQuitEndsTheRecognitionProcessWithoutWaitingForTheIdleThread)
{
    QImage page(400, 60, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).drawText(10, 40, QStringLiteral("Shipment 7003"));
    const QFuture<OCRResult> first = OCRService::backgroundObservations(page);
    ASSERT_TRUE(test::waitFor([&] { return first.isFinished(); }, 120000));
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_GT(pid, 0) << "no recognition process: " << first.result().error.toStdString();

    // The thread stays busy until the quit is over, or for 20 s when the quit waits for it.
    std::atomic<bool> started{false}, quitOver{false}, sawQuitOver{false};
    const QFuture<void> busy = BackgroundWork::run([&] {
        started = true;
        const QDeadlineTimer patience(20000);
        while (!quitOver && !patience.hasExpired())
            QThread::msleep(5);
        sawQuitOver = quitOver.load();
    });
    const QFuture<OCRResult> queued = OCRService::backgroundObservations(page);
    ASSERT_TRUE(test::waitFor([&] { return started.load(); }, 120000));

    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();  // emits aboutToQuit
    quitOver = true;

    ASSERT_TRUE(test::waitFor([&] { return busy.isFinished(); }, 60000));
    EXPECT_TRUE(sawQuitOver) << "the quit waited for the background thread";
    EXPECT_TRUE(queued.isCanceled()) << "a queued recognition was not dropped";
    EXPECT_TRUE(test::waitFor([pid] { return ::kill(pid_t(pid), 0) != 0; }, 30000))
        << "the recognition process outlived the quit";
}
