// Opens one image in the editor for the controls' desktop test:
//   ControlsHost --save-folder DIR FILE
// Lines on stdin: "where NAME" answers "where x y w h" (global) for the visible widget with that
// object name, the chrome button with the symbol NAME after "symbol:" or the class after "class:"; "doc"
// answers "doc <backdrop on> <padding> <background> <undo steps>".
#include "core/ImageUtils.h"
#include "core/Prefs.h"
#include "editor/document/EditorDocument.h"
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

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    Prefs::registerDefaults();
    QStringList args = app.arguments().mid(1);
    if (args.size() != 3 || args[0] != QLatin1String("--save-folder"))
        return 2;
    Prefs::set(QStringLiteral("saveFolder"), args[1]);
    Prefs::set(QStringLiteral("filePattern"), QStringLiteral("framed"));
    QFile file(args[2]);
    if (!file.open(QIODevice::ReadOnly))
        return 3;
    const std::optional<DecodedImage> decoded = decodeImage(file.readAll());
    if (!decoded)
        return 4;
    EditorWindowController* editor = EditorWindowController::open(CaptureResult{
        decoded->image, decoded->scale, SourceKind::file, QFileInfo(file).completeBaseName(), {}});
    QPointer<EditorWindowController> guard(editor);

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
        while (pending.contains('\n')) {
            const QString line = QString::fromUtf8(pending.left(pending.indexOf('\n'))).trimmed();
            pending.remove(0, pending.indexOf('\n') + 1);
            if (line.startsWith(QLatin1String("where "))) {
                QWidget* w = find(line.mid(6));
                if (!w) {
                    say(QStringLiteral("where none"));
                    continue;
                }
                const QPoint p = w->mapToGlobal(QPoint(0, 0));
                say(QStringLiteral("where %1 %2 %3 %4")
                        .arg(p.x())
                        .arg(p.y())
                        .arg(w->width())
                        .arg(w->height()));
            } else if (line == QLatin1String("doc") && guard) {
                const EditorDocument& doc = guard->doc();
                say(QStringLiteral("doc %1 %2 %3 %4")
                        .arg(int(doc.beautify().enabled))
                        .arg(doc.beautify().padding)
                        .arg(rawValue(doc.beautify().background))
                        .arg(doc.undoStack().size()));
            }
        }
    });
    say(QStringLiteral("ready"));
    return app.exec();
}
