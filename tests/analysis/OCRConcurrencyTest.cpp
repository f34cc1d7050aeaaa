// Recognitions side by side on the pool must not slow each other down beyond the cores they
// share. Tesseract's OpenMP teams once made four at once 8x slower than one: each recognising
// thread started a team of its own, and the teams spun against each other. What is checked is
// that cause, the threads the process runs, never how long anything takes.
#include "analysis/OCRService.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QPainter>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrent>

using namespace kx;

namespace {

int threadsOfThisProcess()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

}  // namespace

TEST(OCRConcurrency, PoolWidthAtOnceRunsOnThePoolsThreadsAlone)
{
    QImage img(900, 420, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    {
        QPainter p(&img);
        p.setFont(QFont(QStringLiteral("DejaVu Sans"), 10));
        p.setPen(QColor(20, 20, 20));
        for (int row = 0; row < 18; ++row)
            p.drawText(20, 30 + row * 21,
                       QStringLiteral("%1. Invoice 2026-%2 paid").arg(row + 1).arg(row * 7));
    }
    const QStringList eng{QStringLiteral("eng")};
    const int width = OCRService::pool()->maxThreadCount();
    auto many = [&] {
        QList<QFuture<OCRResult>> running;
        for (int i = 0; i < width; ++i)
            running.append(
                QtConcurrent::run(OCRService::pool(), [&] { return OCRService::recognize(img, eng); }));
        return running;
    };
    auto busy = [](const QList<QFuture<OCRResult>>& running) {
        return std::any_of(running.begin(), running.end(), [](const auto& f) { return !f.isFinished(); });
    };
    // Counted from before the first recognition: threads an OpenMP team starts stay for the
    // next parallel region of the same thread.
    const int before = threadsOfThisProcess();
    int most = before;
    auto watch = [&](const QList<QFuture<OCRResult>>& running) {
        while (busy(running)) {
            most = std::max(most, threadsOfThisProcess());
            QThread::msleep(1);
        }
        most = std::max(most, threadsOfThisProcess());
    };
    // Engines for the pool's width are loaded and the pool's threads started first.
    const auto first = many();
    watch(first);
    for (const auto& f : first)
        ASSERT_TRUE(f.result().ok);
    const OCRResult one = OCRService::recognize(img, eng);
    ASSERT_FALSE(one.lines.isEmpty());
    const auto running = many();
    watch(running);
    for (const auto& f : running)
        EXPECT_EQ(f.result().text(), one.text());
    // Recognition adds the threads of its pool and of the strip pool (one per core) and no
    // more; an OpenMP team per recognising thread adds several for each.
    EXPECT_LE(most, before + width + QThread::idealThreadCount())
        << "threads: " << before << " before, " << most << " while recognising " << width << " at once";
}
