// Without a Secret Service the keyring calls give up instead of waiting for the bus's reply
// timeout (25 s): on a session bus address that leads nowhere, and on a live bus where nobody
// provides the service. Each call runs on a worker and must have ended well before that.
#include "platform/Keychain.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QProcess>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QThread>
#include <QtConcurrent>

namespace kx {
namespace {

// Well below the bus's own 25 s reply timeout: a call that waits for it does not end in time.
constexpr int bound = 15000;

template <typename F>
auto endsInTime(F call)
{
    auto done = QtConcurrent::run(call);
    EXPECT_TRUE(test::waitFor([&] { return done.isFinished(); }, bound));
    done.waitForFinished();
    return done.result();
}

void expectQuickFailure()
{
    EXPECT_FALSE(endsInTime([] { return Keychain::get("remote.password"); }));
    EXPECT_FALSE(endsInTime([] { return Keychain::set("remote.password", "secret"); }));
    EXPECT_FALSE(endsInTime([] { return Keychain::set("remote.password", ""); }));
}

// The asynchronous form hands the call to the keyring's own thread: it returns while the store
// is still busy, and the store never runs on the caller's thread. It touches no bus, and runs
// before the bus of the test below is killed (GLib ends the process when its bus goes).
class HeldStore : public SecretStore {
public:
    std::optional<QString> get(const QString&) override
    {
        thread = QThread::currentThread();
        release.tryAcquire(1, 30000);
        return QStringLiteral("s3cret");
    }
    bool set(const QString&, const QString&) override { return true; }
    QThread* thread = nullptr;
    QSemaphore release;
};

TEST(KeychainWithoutService, TheAsynchronousFormNeverRunsOnTheCallersThread)
{
    HeldStore store;
    Keychain::setStore(&store);
    QFuture<std::optional<QString>> read = Keychain::getAsync("remote.password");
    EXPECT_FALSE(read.isFinished());
    store.release.release();
    ASSERT_TRUE(test::waitFor([&] { return read.isFinished(); }, bound));
    EXPECT_EQ(read.result(), QStringLiteral("s3cret"));
    EXPECT_NE(store.thread, QThread::currentThread());
    EXPECT_NE(store.thread, nullptr);
    Keychain::setStore(nullptr);
}

// Must run first: GLib keeps the session bus once it has reached one.
TEST(KeychainWithoutService, DeadBusAddressFailsFast)
{
    ASSERT_TRUE(qgetenv("DBUS_SESSION_BUS_ADDRESS").contains("nonexistent"));
    expectQuickFailure();
}

TEST(KeychainWithoutService, BusWithoutSecretServiceFailsFast)
{
    QTemporaryDir dir;
    const QString config = dir.filePath("session.conf");
    QFile f(config);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    // A bus with no service directories: nothing can be started on demand.
    f.write(R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig><type>session</type><listen>unix:dir=)" +
            dir.path().toUtf8() + R"(</listen>
<auth>EXTERNAL</auth><policy context="default"><allow send_destination="*" eavesdrop="true"/>
<allow eavesdrop="true"/><allow own="*"/></policy></busconfig>)");
    f.close();
    QProcess bus;
    bus.start("dbus-daemon", {"--nofork", "--print-address", "--config-file=" + config});
    if (!bus.waitForStarted(10000))
        GTEST_SKIP() << "dbus-daemon not available";
    ASSERT_TRUE(test::waitFor([&] { return bus.canReadLine(); }, 10000));
    const QByteArray address = bus.readLine().trimmed();
    qputenv("DBUS_SESSION_BUS_ADDRESS", address);
    expectQuickFailure();

    // The asynchronous form resolves the same way.
    QFuture<std::optional<QString>> read = Keychain::getAsync("remote.password");
    ASSERT_TRUE(test::waitFor([&] { return read.isFinished(); }, bound));
    EXPECT_FALSE(read.result());
    bus.kill();
    bus.waitForFinished(5000);
}

}  // namespace
}  // namespace kx
