// A future's result reaches its object on the object's thread, and never an object that went
// first, however the two race.
#include "TestSupport.h"
#include "core/Futures.h"

#include <gtest/gtest.h>
#include <QThread>
#include <QtConcurrent>
#include <random>

using namespace kx;

TEST(Futures, TheResultReachesTheLivingContextOnItsThreadAndCarriesOn)
{
    QObject context;
    QThread* ran = nullptr;
    const QFuture<int> doubled = continueIn(&context, QtConcurrent::run([] { return 21; }), [&](int v) {
        ran = QThread::currentThread();
        return v * 2;
    });
    ASSERT_TRUE(test::waitFor([&] { return doubled.isFinished(); }));
    EXPECT_EQ(doubled.result(), 42);
    EXPECT_EQ(ran, context.thread());

    // A cancelled future runs nothing and passes its cancellation on.
    bool called = false;
    QPromise<int> cancelled;
    cancelled.start();
    const QFuture<void> after = continueIn(&context, cancelled.future(), [&](int) { called = true; });
    cancelled.future().cancel();
    cancelled.finish();
    ASSERT_TRUE(test::waitFor([&] { return after.isFinished(); }));
    EXPECT_TRUE(after.isCanceled());
    EXPECT_FALSE(called);
    // Also one that carries no value.
    QPromise<void> stopped;
    stopped.start();
    const QFuture<void> afterStopped = continueIn(&context, stopped.future(), [&] { called = true; });
    stopped.future().cancel();
    stopped.finish();
    ASSERT_TRUE(test::waitFor([&] { return afterStopped.isFinished(); }));
    EXPECT_TRUE(afterStopped.isCanceled());
    EXPECT_FALSE(called);
}

// Contexts deleted while their work finishes on another thread, at every moment of it: none
// is called, and each chained future ends, cancelled (with then(context) it would wait for
// ever, or the late call would reach the dead object).
TEST(Futures, AContextThatGoesFirstIsNeverCalled)
{
    std::mt19937 random(77);
    int called = 0;
    QList<QFuture<void>> chained;
    for (int i = 0; i < 400; ++i) {
        auto* context = new QObject;
        const int spin = int(random() % 4000);
        chained << continueIn(context, QtConcurrent::run([spin] {
                                  volatile int x = 0;
                                  for (int k = 0; k < spin; ++k)
                                      x = x + k;
                              }),
                              [&called] { ++called; });
        if (i % 2)
            QThread::usleep(random() % 50);
        delete context;
    }
    EXPECT_TRUE(test::waitFor([&] {
        return std::all_of(chained.cbegin(), chained.cend(),
                           [](const QFuture<void>& f) { return f.isFinished(); });
    }));
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(called, 0);
    for (const QFuture<void>& f : chained)
        EXPECT_TRUE(f.isCanceled());
}
