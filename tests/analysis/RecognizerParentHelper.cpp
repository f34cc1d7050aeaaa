// Stands for the tray process in the recognition process's tests: starts a background
// reading, holds background work back so that the recognition process is stopped (as while a
// capture is in flight), prints "READY <pid of the recognition process>" and waits to be killed.
#include "analysis/BackgroundWork.h"
#include "analysis/OCRService.h"
#include "analysis/RecognizerProcess.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <cstdio>

using namespace kx;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QImage page(1400, 1600, QImage::Format_RGB32);
    page.fill(Qt::white);
    {
        QPainter p(&page);
        for (int row = 0; row < 60; ++row)
            p.drawText(20, 30 + row * 25, QStringLiteral("Invoice %1 paid on time by Mallory").arg(row));
    }
    const QFuture<OCRResult> reading = OCRService::backgroundObservations(page);
    // Polled, not timed: the test's own time-out decides how long this may take.
    while (!ocr::recognizerProcessState().reading && !reading.isFinished())
        QThread::msleep(20);
    const BackgroundWork::Hold hold = BackgroundWork::hold();
    while (!ocr::recognizerProcessState().paused && !reading.isFinished())
        QThread::msleep(20);
    std::printf("READY %lld\n", static_cast<long long>(ocr::recognizerProcessState().pid));
    std::fflush(stdout);
    return app.exec();
}
