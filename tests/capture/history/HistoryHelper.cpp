// Child process for the durability tests.
//   HistoryHelper burst <dir> <count> quit|wait
//       adds <count> captures in a burst, then quits at once (quit) or waits for SIGTERM /
//       SIGINT (wait, after printing "added"); the store is never destroyed, so only the
//       flush on aboutToQuit can save the pending writes.
//   HistoryHelper rewrite <dir>
//       writes two different index states in turn through the store writer, forever
//       ("started" after the first).
//   HistoryHelper trickle <dir> <count> <ms>
//       adds a capture every <ms> ms, printing "added" after each, then waits to be killed.
//   HistoryHelper unindexed <dir> <title>
//       adds one window capture titled <title>, prints "written" once its image is on disk
//       and waits to be killed: the index, written an hour later, never names it.
#include "capture/history/HistoryIndex.h"
#include "capture/history/HistoryStore.h"
#include "core/JsonStore.h"
#include "core/UnixSignals.h"

#include "HistoryTestSupport.h"

#include <QGuiApplication>
#include <QTimer>
#include <cstdio>

using namespace kx;

namespace {

QList<HistoryEntry> indexState(int count, const QString& marker)
{
    QList<HistoryEntry> out;
    for (int i = 0; i < count; ++i) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        e.date = QDateTime(QDate(2026, 1, 1), QTime(12, 0), Qt::UTC).addSecs(i);
        e.width = 1920;
        e.height = 1080;
        e.scale = 2;
        e.kind = SourceKind::window;
        e.title = QStringLiteral("Window %1").arg(i);
        e.ocrText = QStringLiteral("Some recognised text of a capture, line after line. %1").arg(i);
        e.aiSummary = marker;
        out.append(e);
    }
    return out;
}

int rewrite(const QString& dir)
{
    const QList<HistoryEntry> a = indexState(3000, QStringLiteral("A"));
    const QList<HistoryEntry> b = indexState(2000, QStringLiteral("B"));
    quint64 round = 0;
    JsonStoreWriter writer(dir + QStringLiteral("/index.json"),
                           [&] { return [state = (round % 2) ? b : a] { return encodeIndex(state); }; });
    for (;; ++round) {
        writer.markChanged();
        writer.flush();
        if (!writer.upToDate())
            return 1;
        if (round == 0) {
            std::puts("started");
            std::fflush(stdout);
        }
    }
}

int trickle(QGuiApplication& app, const QString& dir, int count, int intervalMs)
{
    HistoryStore::Options options;
    options.dir = dir;
    options.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
    auto* store = new HistoryStore(std::move(options));
    auto* timer = new QTimer(&app);
    int added = 0;
    QObject::connect(timer, &QTimer::timeout, &app, [&] {
        if (added == count)
            return timer->stop();
        store->add(CaptureResult{test::historyImage(64, 48, Qt::darkCyan, added), 1.0, SourceKind::area,
                                 QStringLiteral("Trickle %1").arg(added), QDateTime::currentDateTimeUtc()});
        ++added;
        std::puts("added");
        std::fflush(stdout);
    });
    timer->start(intervalMs);
    return app.exec();
}

int unindexed(QGuiApplication& app, const QString& dir, const QString& title)
{
    HistoryStore::Options options;
    options.dir = dir;
    options.debounceMs = 3600 * 1000;
    options.recognize = [](const QImage&) { return QFuture<std::optional<QString>>(); };
    auto* store = new HistoryStore(std::move(options));
    QObject::connect(store, &HistoryStore::thumbnailChanged, &app, [] {
        std::puts("written");
        std::fflush(stdout);
    });
    store->add(CaptureResult{test::historyImage(120, 80, Qt::darkGreen, 7), 2.0, SourceKind::window, title,
                             QDateTime::currentDateTimeUtc()});
    return app.exec();
}

int burst(QGuiApplication& app, const QString& dir, int count, bool waitForSignal)
{
    installQuitOnTerminationSignals();
    HistoryStore::Options options;
    options.dir = dir;
    auto* store = new HistoryStore(std::move(options));  // deliberately never deleted
    for (int i = 0; i < count; ++i) {
        store->add(CaptureResult{test::historyImage(800, 500, QColor(20 + i, 60, 120), i), 2.0,
                                 SourceKind::area, QStringLiteral("Burst %1").arg(i),
                                 QDateTime::currentDateTimeUtc()});
    }
    if (waitForSignal) {
        std::puts("added");
        std::fflush(stdout);
    } else {
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    }
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 3 && args[1] == "rewrite")
        return rewrite(args[2]);
    if (args.size() >= 5 && args[1] == "trickle")
        return trickle(app, args[2], args[3].toInt(), args[4].toInt());
    if (args.size() >= 4 && args[1] == "unindexed")
        return unindexed(app, args[2], args[3]);
    if (args.size() >= 5 && args[1] == "burst")
        return burst(app, args[2], args[3].toInt(), args[4] == "wait");
    std::fputs("usage: HistoryHelper burst <dir> <count> quit|wait | rewrite <dir>\n", stderr);
    return 2;
}
