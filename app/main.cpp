// Kaptorix: the tray process. Developer options run their mode and exit; otherwise one
// instance per user and display starts the tray application.
#include "analysis/OCRService.h"
#include "app/Dispatch.h"
#include "app/DisplayCheck.h"
#include "app/OpenImage.h"
#include "app/SingleInstance.h"
#include "app/TrayApp.h"
#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"
#include "core/UnixSignals.h"
#include "devtools/DeveloperModes.h"
#include "editor/window/EditorWindowController.h"
#include "library/upload/RemoteUploader.h"
#include "platform/DisplayProbe.h"
#include "settings/SecretField.h"
#include "ui/Toast.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSessionManager>
#include <QThread>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <vector>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <csignal>

namespace {

bool g_historyInUse = false;

int runDeveloperMode(const kx::Launch& launch, int& argc, char** argv)
{
    using kx::devtools::Mode;
    Mode mode = Mode::selfTest;
    switch (launch.mode) {
        case kx::LaunchMode::renderDemo:
            mode = Mode::renderDemo;
            break;
        case kx::LaunchMode::snapshotUi:
            mode = Mode::snapshotUi;
            break;
        case kx::LaunchMode::stressSettings:
            mode = Mode::stressSettings;
            break;
        case kx::LaunchMode::frameTest:
            mode = Mode::frameTest;
            break;
        default:
            break;
    }
    return kx::devtools::run(mode, launch.value, argc, argv);
}

// A relaunch: the old process may still hold the socket for a moment.
void waitForRelaunchingParent()
{
    bool ok = false;
    const qint64 pid = qEnvironmentVariable("KAPTORIX_RELAUNCH_PID").toLongLong(&ok);
    qunsetenv("KAPTORIX_RELAUNCH_PID");
    if (!ok || pid <= 1)
        return;
    const QDeadlineTimer deadline(10000);
    while (::kill(pid_t(pid), 0) == 0 && !deadline.hasExpired())
        QThread::msleep(20);
}

void flushHistory()
{
    if (g_historyInUse)
        kx::HistoryStore::shared().flush();
}

// Quit, a termination signal or a lost X connection: a secret typed a moment ago still goes to
// the keyring, and no upload program (an sftp holds the password) or work folder outlives us.
void beforeQuit()
{
    kx::SecretField::writeAllPending();
    kx::RemoteUploader::abandonTransfers();
}

QtMessageHandler g_qtMessages = nullptr;

// Qt ends the process with exit(1) right after this warning when the X connection is lost.
// Everything is written here instead, while all static data still exists: exit() would tear
// down the recognition engine's statics under a recognition that is just starting, and the
// crash would come before the history's own exit handler.
void onQtMessage(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (g_qtMessages)
        g_qtMessages(type, context, message);
    if (type != QtWarningMsg || !message.startsWith(QLatin1String("The X11 connection broke")))
        return;
    if (g_historyInUse)
        kx::EditorWindowController::commitAllBeforeQuit();
    flushHistory();
    beforeQuit();
    kx::Prefs::sync();
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Captures (8 MB and more each) get mappings of their own, returned when freed. glibc's
    // sliding threshold carved them from per-thread arenas instead, which never shrank: the
    // tray process grew by about 30 MB over its first ten captures.
    mallopt(M_MMAP_THRESHOLD, 1024 * 1024);
#endif
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const kx::Launch launch = kx::dispatch(args);
    if (launch.mode != kx::LaunchMode::app)
        return runDeveloperMode(launch, argc, argv);
    // The display asked for on the command line is the one of everything Kaptorix opens: the
    // check below, the single-instance socket, the platform code and the programs it starts.
    if (const QString display = kx::qtOptionValue(args, QStringLiteral("display")); !display.isEmpty())
        qputenv("DISPLAY", display.toLocal8Bit());
    const QString display = qEnvironmentVariable("DISPLAY");
    QStringList files;
    for (const QString& f : kx::fileArguments(args))
        files << QFileInfo(f).absoluteFilePath();

    waitForRelaunchingParent();
    // Files handed to a running instance go at once, before this process connects to the X
    // server and makes its application object (most of what a second start cost).
    const std::optional<kx::SingleInstance::Outcome> early =
        kx::SingleInstance::handOverToRunning(display, files);
    if (early == kx::SingleInstance::Outcome::handedOver) {
        if (files.isEmpty())
            std::fputs("Kaptorix is already running; its Settings window is shown.\n", stderr);
        return 0;
    }
    // Qt would abort with a core dump; one line says what is missing instead.
    if (const QString problem = kx::displayProblem(kx::DisplayEnvironment::current(), kx::x11DisplayOpens);
        !problem.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(problem));
        return 1;
    }
    // The tray runs on xcb whatever the session asks for (Qt would abort where its Wayland
    // plugin is missing, and Kaptorix grabs through X11 anyway). Asked for as an argument, not
    // in the environment, so the programs Kaptorix starts get the user's QT_QPA_PLATFORM.
    QList<QByteArray> qtArgs{QByteArray(argv[0])};
    for (const QString& a : kx::x11Arguments(args))
        qtArgs << a.toLocal8Bit();
    std::vector<char*> qtArgv;
    for (QByteArray& a : qtArgs)
        qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArgs.size());
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Kaptorix"));
    QGuiApplication::setDesktopFileName(QStringLiteral("kaptorix"));
    QApplication::setQuitOnLastWindowClosed(false);

    // The desktop tests read the notices from stderr: each as it comes on screen, and as it goes
    // (after all of its time, or cut short).
    if (qEnvironmentVariableIsSet("KAPTORIX_LOG_NOTICES")) {
        QObject::connect(&kx::Toast::events(), &kx::ToastEvents::noticeShown,
                         [](const QString& title, const QString& line) {
                             std::fprintf(stderr, "notice: %s|%s\n", qPrintable(title),
                                          qPrintable(QString(line).replace('\n', ' ')));
                         });
        QObject::connect(&kx::Toast::events(), &kx::ToastEvents::noticeEnded,
                         [](const QString& title, const QString& line, bool whole) {
                             std::fprintf(stderr, "notice gone: %s|%s|%s\n", qPrintable(title),
                                          qPrintable(QString(line).replace('\n', ' ')),
                                          whole ? "whole" : "cut");
                         });
    }

    kx::SingleInstance instance;
    const auto outcome = early ? *early : instance.start(display, files);
    const QString message = kx::SingleInstance::message(outcome, display);
    if (!message.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(message));
    if (outcome == kx::SingleInstance::Outcome::notAnswering ||
        outcome == kx::SingleInstance::Outcome::blocked)
        kx::SingleInstance::showRefusal(message);
    switch (outcome) {
        case kx::SingleInstance::Outcome::handedOver:
            if (files.isEmpty())
                std::fputs("Kaptorix is already running; its Settings window is shown.\n", stderr);
            return 0;
        case kx::SingleInstance::Outcome::notAnswering:
        case kx::SingleInstance::Outcome::blocked:
            return 1;
        case kx::SingleInstance::Outcome::failed:
        case kx::SingleInstance::Outcome::primary:
            break;
    }

    // Quit, signals, the session manager and a lost X connection (which ends the process
    // through exit()) all leave the history written.
    kx::installQuitOnTerminationSignals();
    // A write to a dead X server must end in exit() (and the flush below), not in SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    // Open editors write their edits into the history before it is flushed.
    QObject::connect(&app, &QCoreApplication::aboutToQuit, &app, [] {
        kx::EditorWindowController::commitAllBeforeQuit();
        beforeQuit();
    });
    // Work folders of uploads that a crash or a kill cut short.
    kx::RemoteUploader::sweepStaleWorkFolders();
    std::atexit(flushHistory);
    g_qtMessages = qInstallMessageHandler(onQtMessage);
    // A lost X connection ends in exit() while a recognition may still run; the history is
    // written before the recognition engine's own static data is torn down under it.
    kx::OCRService::setExitHook(flushHistory);
    QObject::connect(&app, &QGuiApplication::commitDataRequest, &app,
                     [](QSessionManager&) { flushHistory(); });

    kx::TrayApp tray;
    QObject::connect(&instance, &kx::SingleInstance::filesReceived, &tray,
                     [](const QStringList& paths) { kx::OpenImage::open(paths); });
    // A start from a launcher while Kaptorix runs: its Settings window, the window the first
    // start shows too, and one that is there even where no tray shows the icon.
    QObject::connect(&instance, &kx::SingleInstance::activated, &tray,
                     [&tray] { tray.perform(kx::MenuCommand::settings, {}); });
    QTimer::singleShot(0, &tray, [&tray, files] {
        tray.launch();
        g_historyInUse = true;
        kx::OpenImage::open(files);
    });
    const int status = app.exec();
    flushHistory();
    g_historyInUse = false;
    return status;
}
