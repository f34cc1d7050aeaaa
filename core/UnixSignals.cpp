#include "core/UnixSignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <sys/socket.h>
#include <unistd.h>
#include <csignal>

namespace kx {

namespace {
int g_fds[2] = {-1, -1};

void onSignal(int)
{
    const char b = 1;
    // Only async-signal-safe work here.
    [[maybe_unused]] const ssize_t n = ::write(g_fds[0], &b, 1);
}
}  // namespace

void installQuitOnTerminationSignals()
{
    if (g_fds[0] >= 0 || !QCoreApplication::instance())
        return;
    // Non-blocking: a signal handler must never wait, even if a flood of signals filled the buffer.
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_fds) != 0)
        return;
    auto* notifier = new QSocketNotifier(g_fds[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char b;
        [[maybe_unused]] const ssize_t n = ::read(g_fds[1], &b, 1);
        QCoreApplication::quit();
    });
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGHUP, &sa, nullptr);  // the terminal or the session went away
}

}  // namespace kx
