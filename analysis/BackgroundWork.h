#pragma once
// Work nobody waits for (the history's text recognition): one job at a time on one thread of the
// batch CPU class (the idle I/O class for its reads), the reading itself in a process at
// niceness 19, so that it takes little from anything else yet is never starved on a busy
// machine. It does not start
// while anything holds it back (a capture in flight, its files being written, the user's own
// recognition), and a recognition already running pauses at its next word when a hold is taken.
#include <QFuture>
#include <QPromise>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrent>
#include <atomic>
#include <memory>
#include <type_traits>
#include <utility>

namespace kx {

class BackgroundWork {
public:
    // Background work waits while this token or a copy of it lives. Any thread.
    using Hold = std::shared_ptr<void>;
    [[nodiscard]] static Hold hold();
    static bool held();

    // The single thread background work runs on.
    static QThreadPool* pool();

    // Runs `work` on that thread, lowered, once no hold is left. Never on a thread that waits
    // for the future: QtConcurrent's tasks may be taken over by such a thread, which would then
    // stay in the idle class for good.
    template <typename Work>
    static auto run(Work work) -> QFuture<decltype(work())>
    {
        using Result = decltype(work());
        auto promise = std::make_shared<QPromise<Result>>();
        QFuture<Result> future = promise->future();
        promise->start();
        pool()->start([promise, work = std::move(work)]() mutable {
            lowerThisThread();
            waitWhileHeld();
            if (closing()) {
                // Too late: what the work would use may be gone soon.
                promise->future().cancel();
                promise->finish();
                return;
            }
            if constexpr (std::is_void_v<Result>) {
                work();
            } else {
                promise->addResult(work());
            }
            promise->finish();
        });
        return future;  // cancelled when the pool drops the job unrun
    }

    // True once the application object is being destroyed: work not started by then is
    // dropped, and long work ends at its next step. The running job is waited for there, for
    // a bounded time, so that it is not inside Qt while the process tears Qt's statics down.
    static bool closing();

    // Blocks the calling thread while a hold lives, or until `cancelled` is set or closing.
    static void waitWhileHeld(const std::atomic<bool>* cancelled = nullptr);
    // Threads blocked in waitWhileHeld() right now (tests).
    static int waiting();

    // The calling thread into the batch CPU class (SCHED_BATCH), for good. Threads it starts
    // inherit the class, so Qt's global pool (which image scaling and conversion spread over)
    // starts its threads in the normal class.
    static void lowerThisThread();
    // Whether the calling thread is in the batch class.
    static bool thisThreadLowered();
    // The calling process (the recognition process, at its start) into the batch CPU class at
    // niceness 19 and the idle I/O class: it yields to everything, yet is never starved.
    static void lowerThisProcess();
    static constexpr int kNiceness = 19;

    // The calling thread in the idle I/O class while this lives (the class is inherited by
    // threads started meanwhile, so it covers plain file reads only).
    class IdleIo {
    public:
        IdleIo();
        ~IdleIo();
        IdleIo(const IdleIo&) = delete;
        IdleIo& operator=(const IdleIo&) = delete;

    private:
        long before_;
    };
    // The calling thread's I/O class (3: idle).
    static int ioClass();
};

}  // namespace kx
