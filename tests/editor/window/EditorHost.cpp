// A small program that opens one image file in the editor, for desktop tests:
//   EditorHost [--history] [--save-folder DIR] [--file-pattern P] [--lang en|de|hu] FILE
// With --history the file is first entered into the history (KAPTORIX_DATA_DIR) and the
// editor opened for that entry ("entry <uuid>" on stdout). Lines on stdin:
//   "where NAME"  -> "where x y w h" (global) or "where none": the visible widget with that object
//                    name, the chrome button with the symbol after "symbol:", or the class after "class:"
//   "winid"       -> "winid <X window id of the editor>"
//   "doc"         -> "doc <backdrop on> <padding> <background> <undo steps> <image w h> <tool> <objects>"
//                    (the tool as its ToolKind number)
// Closing the window keeps the process running.
#include "capture/history/HistoryStore.h"
#include "core/ImageUtils.h"
#include "core/Localisation.h"
#include "core/Prefs.h"
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
    if (!w)
        return QStringLiteral("none");
    const QPoint p = w->mapToGlobal(QPoint(0, 0));
    return QStringLiteral("%1 %2 %3 %4").arg(p.x()).arg(p.y()).arg(w->width()).arg(w->height());
}

void say(const QString& line)
{
    std::fputs(qPrintable(line + QLatin1Char('\n')), stdout);
    std::fflush(stdout);
}

QWidget* find(const QString& name)
{
    for (QWidget* w : QApplication::allWidgets()) {
        if (!w->isVisible())
            continue;
        if (name.startsWith(QLatin1String("class:"))) {
            if (w->inherits(qPrintable(name.mid(6))))
                return w;
        } else if (name.startsWith(QLatin1String("symbol:"))) {
            // By symbol: a narrow header drops the buttons' titles.
            auto* b = qobject_cast<ChromeButton*>(w);
            if (b && b->symbol() == name.mid(7))
                return w;
        } else if (w->objectName() == name) {
            return w;
        }
    }
    return nullptr;
}

QString answer(const QString& line, EditorWindowController& editor)
{
    const EditorDocument& doc = editor.doc();
    if (line.startsWith(QLatin1String("where ")))
        return QStringLiteral("where ") + rectText(find(line.mid(6)));
    if (line == QLatin1String("winid"))
        return QStringLiteral("winid %1").arg(editor.window()->winId());
    if (line == QLatin1String("doc"))
        return QStringLiteral("doc %1 %2 %3 %4 %5 %6 %7 %8")
            .arg(int(doc.beautify().enabled))
            .arg(doc.beautify().padding)
            .arg(rawValue(doc.beautify().background))
            .arg(doc.undoStack().size())
            .arg(doc.base().width())
            .arg(doc.base().height())
            .arg(int(doc.tool()))
            .arg(doc.annotations().size());
    return {};
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
    QPointer<EditorWindowController> editor = EditorWindowController::open(capture, entry);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QByteArray pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char buffer[256];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            input.setEnabled(false);
            return;
        }
        pending += QByteArray(buffer, int(n));
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0;) {
            const QString line = QString::fromUtf8(pending.left(end)).trimmed();
            pending.remove(0, end + 1);
            if (const QString reply = editor ? answer(line, *editor) : QString(); !reply.isEmpty())
                say(reply);
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
