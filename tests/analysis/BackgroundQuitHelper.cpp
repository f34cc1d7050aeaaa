// Child of BackgroundQuitTest: quits while the background thread is inside Qt's image reader,
// the first read of the process included (it looks for the format plugins).
//   BackgroundQuitHelper <image file>
#include "analysis/BackgroundWork.h"
#include "core/ImageReading.h"

#include <QGuiApplication>

using namespace kx;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    const QString path = app.arguments().value(1);
    BackgroundWork::run([path] {
        QMetaObject::invokeMethod(qApp, "quit", Qt::QueuedConnection);
        // Reads until told to stop, so that the quit finds it inside the reader.
        while (!BackgroundWork::closing())
            (void)readImageFile(path);
    });
    return app.exec();
}
