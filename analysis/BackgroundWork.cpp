#include "analysis/BackgroundWork.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace kx {

namespace {

// linux/ioprio.h: who = 0 with IOPRIO_WHO_PROCESS is the calling thread.
constexpr int kIoprioWhoProcess = 1;
constexpr int kIoprioClassIdle = 3;
constexpr int kIoprioClassShift = 13;

struct Gate {
    std::mutex mutex;
    std::condition_variable opened;
    int holds = 0;
    int waiting = 0;
};

Gate& gate()
{
    // Never destroyed: holds may be dropped by threads still running at exit.
    static auto* g = new Gate;
    return *g;
}

std::atomic<bool> g_closing{false};

// Long enough for one full-size image to be read on a loaded machine; a job still running
// then is left to its fate rather than holding the quit.
constexpr int kExitWaitMs = 10000;

// Runs in the application object's destructor, before the process tears down Qt's statics (the
// image format plugins above all): a history image read still running then crashed inside the
// image reader.
void closeAtExit()
{
    Gate& g = gate();
    {
        std::lock_guard lock(g.mutex);
        g_closing = true;
    }
    g.opened.notify_all();
    QThreadPool* pool = BackgroundWork::pool();
    pool->clear();
    pool->waitForDone(kExitWaitMs);
}

}  // namespace

BackgroundWork::Hold BackgroundWork::hold()
{
    Gate& g = gate();
    {
        std::lock_guard lock(g.mutex);
        ++g.holds;
    }
    return Hold(nullptr, [](void*) {
        Gate& g = gate();
        {
            std::lock_guard lock(g.mutex);
            --g.holds;
        }
        g.opened.notify_all();
    });
}

bool BackgroundWork::held()
{
    Gate& g = gate();
    std::lock_guard lock(g.mutex);
    return g.holds > 0;
}

QThreadPool* BackgroundWork::pool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("kx-background"));
        p->setMaxThreadCount(1);
        // The thread lives as long as the process: a child it starts is killed when the thread
        // that started it ends (PR_SET_PDEATHSIG), not only when the process does.
        p->setExpiryTimeout(-1);
        // Pool threads first started from the background thread would stay in its idle class.
        QThreadPool::globalInstance()->setThreadPriority(QThread::NormalPriority);
        qAddPostRoutine(closeAtExit);
        return p;
    }();
    return pool;
}

void BackgroundWork::waitWhileHeld(const std::atomic<bool>* cancelled)
{
    Gate& g = gate();
    std::unique_lock lock(g.mutex);
    if (g.holds == 0)
        return;
    ++g.waiting;
    // Cancellation is a plain flag nobody signals: look at it now and then.
    while (g.holds > 0 && !g_closing && !(cancelled && cancelled->load()))
        g.opened.wait_for(lock, std::chrono::milliseconds(50));
    --g.waiting;
}

bool BackgroundWork::closing()
{
    return g_closing.load();
}

int BackgroundWork::waiting()
{
    Gate& g = gate();
    std::lock_guard lock(g.mutex);
    return g.waiting;
}

void BackgroundWork::lowerThisThread()
{
    thread_local bool lowered = false;
    if (lowered)
        return;
    lowered = true;
    // The batch class, not the idle one: that gets no CPU at all while any other process
    // wants it, so on a busy machine the text never came. No niceness here: the threads this
    // one starts would keep it for good, and the heavy part runs in the recognition process.
    sched_param param{};
    param.sched_priority = 0;
    pthread_setschedparam(pthread_self(), SCHED_BATCH, &param);
}

void BackgroundWork::lowerThisProcess()
{
    sched_param param{};
    ::sched_setscheduler(0, SCHED_BATCH, &param);
    ::setpriority(PRIO_PROCESS, 0, kNiceness);
    ::syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift);
}

bool BackgroundWork::thisThreadLowered()
{
    int policy = 0;
    sched_param param{};
    return pthread_getschedparam(pthread_self(), &policy, &param) == 0 && policy == SCHED_BATCH;
}

BackgroundWork::IdleIo::IdleIo() : before_(syscall(SYS_ioprio_get, kIoprioWhoProcess, 0))
{
    syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, kIoprioClassIdle << kIoprioClassShift);
}

BackgroundWork::IdleIo::~IdleIo()
{
    if (before_ >= 0)
        syscall(SYS_ioprio_set, kIoprioWhoProcess, 0, int(before_));
}

int BackgroundWork::ioClass()
{
    const long io = syscall(SYS_ioprio_get, kIoprioWhoProcess, 0);
    return io < 0 ? -1 : int(io >> kIoprioClassShift);
}

}  // namespace kx
