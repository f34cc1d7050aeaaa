// 5 MB through RemoteUploader::send to a local WebDAV server against plain curl to the same
// server, and loading a queue of 1,000 items.
#include "TestServers.h"
#include "core/AtomicFile.h"
#include "core/Prefs.h"
#include "library/upload/PendingUpload.h"
#include "library/upload/RemoteUploader.h"
#include "library/upload/UploadPlan.h"
#include "library/upload/UploadQueue.h"
#include "platform/Keychain.h"

#include <benchmark/benchmark.h>
#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFutureWatcher>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

using namespace kx;

namespace {

class NoSecrets : public SecretStore {
public:
    std::optional<QString> get(const QString&) override { return QStringLiteral("secret"); }
    bool set(const QString&, const QString&) override { return true; }
};

struct Server {
    QTemporaryDir dir;
    test::WebDavServer dav;
    NoSecrets secrets;
    QByteArray png = QByteArray(5 * 1024 * 1024, Qt::Uninitialized);
    bool up = false;

    Server()
    {
        QRandomGenerator(1).fillRange(reinterpret_cast<quint32*>(png.data()), png.size() / 4);
        QDir().mkpath(dir.filePath("root/shots"));
        up = dav.start(dir.filePath("root"), "alice", "secret");
        Keychain::setStore(&secrets);
        Prefs::set("remote.protocol", "webdav");
        Prefs::set("remote.host", "http://127.0.0.1:" + QString::number(dav.port()));
        Prefs::set("remote.user", "alice");
        Prefs::set("remote.folder", "shots");
        writeFileAtomically(dir.filePath("plain.png"), png);
    }
    static Server& shared()
    {
        static Server server;
        return server;
    }
};

void BM_SendFiveMegabytes(benchmark::State& state)
{
    Server& s = Server::shared();
    if (!s.up)
        return state.SkipWithError("WebDAV server did not start");
    static int sent = 0;
    for (auto _ : state) {
        // A name of its own each time: the server is asked first, and a taken name moves on.
        QFuture<Outcome<std::optional<QString>>> f =
            RemoteUploader::send(s.png, "bench-" + QString::number(++sent) + ".png");
        QEventLoop loop;
        QFutureWatcher<Outcome<std::optional<QString>>> watcher;
        QObject::connect(&watcher, &QFutureWatcherBase::finished, &loop, &QEventLoop::quit);
        watcher.setFuture(f);
        if (!f.isFinished())
            loop.exec();
        if (!f.result().ok())
            return state.SkipWithError(qPrintable(f.result().message()));
    }
    state.SetBytesProcessed(state.iterations() * s.png.size());
}
BENCHMARK(BM_SendFiveMegabytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

void BM_PlainCurlFiveMegabytes(benchmark::State& state)
{
    Server& s = Server::shared();
    if (!s.up)
        return state.SkipWithError("WebDAV server did not start");
    const QString url = "http://127.0.0.1:" + QString::number(s.dav.port()) + "/shots/plain.png";
    const QByteArray config =
        upload::inputText(upload::curlUploadConfig("alice", "secret", s.dir.filePath("plain.png"), url, true))
            .toUtf8();
    for (auto _ : state) {
        QProcess curl;
        curl.start("/usr/bin/curl", upload::curlArguments());
        curl.write(config);
        curl.closeWriteChannel();
        if (!curl.waitForFinished(60000) || curl.exitCode() != 0)
            return state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(state.iterations() * s.png.size());
}
BENCHMARK(BM_PlainCurlFiveMegabytes)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

void BM_LoadThousandQueued(benchmark::State& state)
{
    QTemporaryDir dir;
    QList<PendingUpload> items;
    for (int i = 0; i < 1000; ++i)
        items.append({QUuid::createUuid(), QString("Kaptorix 2026-12-07 00.%1.png").arg(i),
                      QUuid::createUuid(), QDateTime::currentDateTimeUtc(), 1 + i % 4,
                      "Failed to connect to host port 443 / refused"});
    writeFileAtomically(dir.filePath("queue.json"), encodeQueue(items));
    for (auto _ : state) {
        UploadQueue queue(dir.path());
        if (queue.items().size() != 1000)
            return state.SkipWithError("items lost");
    }
}
BENCHMARK(BM_LoadThousandQueued)->Unit(benchmark::kMillisecond);

}  // namespace
