// ScrollRecorder X Y W H OUTDIR [SECONDS]: one automatic scrolling capture of the rectangle (points on
// the primary screen) through the real session, grabs and wheel, recording every call the
// session makes on the stitcher into OUTDIR (the fixture format the replay test reads) and
// the result as OUTDIR/result.png. Prints the result's size and the session's note. With
// SECONDS the capture stays in manual mode (someone else turns the wheel) and ends then.
// ScrollRecorder --status-lines PNG: where a pager's status lines sit in an image.
#include "capture/scroll/ScrollCaptureSession.h"
#include "core/Prefs.h"

#include "RecordedCapture.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && QByteArray(argv[1]) == "--status-lines") {
        const QImage image(QString::fromLocal8Bit(argv[2]));
        const std::vector<int> at = kx::test::statusLines(image);
        std::printf("height=%d status_lines=%d at", image.height(), int(at.size()));
        for (int y : at)
            std::printf(" %d", y);
        std::printf("\n");
        return 0;
    }
    if (argc < 6) {
        std::fprintf(stderr, "usage: ScrollRecorder X Y W H OUTDIR\n");
        return 2;
    }
    const QRectF rect(atof(argv[1]), atof(argv[2]), atof(argv[3]), atof(argv[4]));
    const QString dir = QString::fromLocal8Bit(argv[5]);
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("/calls.txt"));
    kx::Prefs::registerDefaults();
    kx::ScrollCaptureSession::Environment env = kx::ScrollCaptureSession::Environment::real();
    env.showUi = false;
    int index = 0;
    std::map<QByteArray, QString> frames;
    bool written = true;
    env.record = [&](const kx::ScrollCaptureSession::StitchCall& call) {
        written = kx::test::writeCall(dir, call, index++, frames) && written;
    };
    kx::ScrollCaptureSession session(QGuiApplication::primaryScreen(), rect, env);
    kx::ScrollCaptureSession::Result result;
    QEventLoop loop;
    session.run(QImage(), [&](kx::ScrollCaptureSession::Result r) {
        result = std::move(r);
        loop.quit();
    });
    if (argc > 6) {
        QTimer::singleShot(int(atof(argv[6]) * 1000), &session, [&] { session.requestDone(); });
    } else {
        // As a user does: Auto-scroll once the capture shows.
        QTimer::singleShot(300, &session, [&] { session.toggleAuto(); });
    }
    loop.exec();
    if (!result.image.isNull())
        result.image.save(dir + QStringLiteral("/result.png"));
    std::printf("result %dx%d note=%s calls=%d%s\n", result.image.width(), result.image.height(),
                qPrintable(result.note.isEmpty() ? QStringLiteral("-") : result.note), index,
                written ? "" : " (not all written)");
    return result.image.isNull() ? 1 : 0;
}
