// Without a Secret Service the keyring calls give up quickly: on a session bus address that
// leads nowhere, and on a live bus where nobody provides the service.
#include "platform/Keychain.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

namespace kx {
namespace {

constexpr qint64 bound = 2000;

void expectQuickFailure()
{
    QElapsedTimer clock;
    clock.start();
    EXPECT_FALSE(Keychain::get("remote.password"));
    EXPECT_LT(clock.elapsed(), bound);
    clock.restart();
    EXPECT_FALSE(Keychain::set("remote.password", "secret"));
    EXPECT_LT(clock.elapsed(), bound);
    clock.restart();
    EXPECT_FALSE(Keychain::set("remote.password", ""));
    EXPECT_LT(clock.elapsed(), bound);
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

    // The asynchronous form resolves as quickly while the calling thread keeps turning.
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { ++ticks; });
    ticker.start(10);
    QElapsedTimer clock;
    clock.start();
    QFuture<std::optional<QString>> read = Keychain::getAsync("remote.password");
    EXPECT_LT(clock.elapsed(), 100);  // the call itself never waits for the keyring
    ASSERT_TRUE(test::waitFor([&] { return read.isFinished(); }, 5000));
    const qint64 took = clock.elapsed();
    EXPECT_LT(took, bound);
    EXPECT_FALSE(read.result());
    EXPECT_GE(ticks, took / 10 / 2);
    bus.kill();
    bus.waitForFinished(5000);
}

}  // namespace
}  // namespace kx
