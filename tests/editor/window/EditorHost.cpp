// A small program that opens one image file in the editor, for desktop tests:
//   EditorHost [--history] [--save-folder DIR] [--file-pattern P] [--lang en|de|hu] FILE
// With --history the file is first entered into the history (KAPTORIX_DATA_DIR) and the
// editor opened for that entry ("entry <uuid>" on stdout). A line "where" on stdin answers
// "where <canvas x y w h> <more x y w h> <add x y w h> <image w h> <tool> <objects>"
// (global points; the tool as its ToolKind number). Closing the window keeps
// the process running.
#include "capture/history/HistoryStore.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
#include "editor/canvas/CanvasView.h"
#include "editor/window/EditorRootView.h"
#include "editor/window/EditorWindowController.h"
#include "ui/ChromeButton.h"

#include <unistd.h>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QSocketNotifier>
#include <cstdio>

using namespace kx;

namespace {

QString rectText(QWidget* w)
{
    const QPoint p = w->mapToGlobal(QPoint(0, 0));
    return QStringLiteral("%1 %2 %3 %4").arg(p.x()).arg(p.y()).arg(w->width()).arg(w->height());
}

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kaptorix"));
    QApplication::setQuitOnLastWindowClosed(false);
    Prefs::registerDefaults();
    QStringList args = app.arguments().mid(1);
    bool history = false;
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString opt = args.takeFirst();
        if (opt == QLatin1String("--history"))
            history = true;
        else if (opt == QLatin1String("--save-folder") && !args.isEmpty())
            Prefs::set(QStringLiteral("saveFolder"), args.takeFirst());
        else if (opt == QLatin1String("--file-pattern") && !args.isEmpty())
            Prefs::set(QStringLiteral("filePattern"), args.takeFirst());
        else if (opt == QLatin1String("--lang") && !args.isEmpty())
            Lang::overrideForTests(args.takeFirst());
    }
    if (args.isEmpty())
        return 2;
    QFile file(args.first());
    if (!file.open(QIODevice::ReadOnly))
        return 3;
    const std::optional<DecodedImage> decoded = decodeImage(file.readAll());
    if (!decoded)
        return 4;
    const CaptureResult capture{decoded->image, decoded->scale, SourceKind::file,
                                QFileInfo(file).completeBaseName(), QDateTime::currentDateTime()};
    QUuid entry;
    if (history) {
        entry = HistoryStore::shared().add(capture).id;
        HistoryStore::shared().flush();
        say(QStringLiteral("entry ") + uuidText(entry));
    }
    EditorWindowController* editor = EditorWindowController::open(capture, entry);
    QPointer<EditorWindowController> guard(editor);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        if (QByteArray(buffer, int(n)).contains("where") && guard)
            say(QStringLiteral("where ") + rectText(guard->canvas()) + QLatin1Char(' ') +
                rectText(guard->root()->header()->moreButton()) + QLatin1Char(' ') +
                rectText(guard->root()->header()->addCaptureButton()) +
                QStringLiteral(" %1 %2 %3 %4")
                    .arg(guard->doc().base().width())
                    .arg(guard->doc().base().height())
                    .arg(int(guard->doc().tool()))
                    .arg(guard->doc().annotations().size()));
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
