// Quitting while a recognition runs: the worker must be out of Tesseract before the
// application object goes, and the cut-short recognition reads as a failure, not as
// "no text". In its own binary: once the application has quit, recognitions stay off.
#include "analysis/OCRService.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QThreadPool>
#include <QTimer>

using namespace kx;

namespace {

// A scrolling capture's worth of text: many seconds of recognition.
QImage tallPage()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    const QFontMetrics fm(font);
    const int step = fm.height() + 6;
    QImage img(1600, 28000, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    for (int i = 0, y = 20 + fm.ascent(); y < img.height() - 10; ++i, y += step) {
        p.drawText(20, y,
                   QStringLiteral("Line %1 of a long page with words that the engine has to read").arg(i));
        p.drawText(820, y, QStringLiteral("and a second column beside it, number %1").arg(i * 7));
    }
    return img;
}

}  // namespace

TEST(OCRQuit, RunningRecognitionEndsAsAFailureBeforeTheApplicationIsGone)
{
    const QFuture<OCRResult> running = OCRService::observations(tallPage());
    ASSERT_TRUE(test::waitFor([] { return OCRService::pool()->activeThreadCount() > 0; }));

    QTimer::singleShot(0, qApp, &QCoreApplication::quit);
    QCoreApplication::exec();  // emits aboutToQuit

    ASSERT_TRUE(running.isFinished()) << "a worker is still inside the engine after quit";
    EXPECT_FALSE(running.result().ok);
    EXPECT_FALSE(running.result().error.isEmpty());
    EXPECT_EQ(OCRService::pool()->activeThreadCount(), 0);

    // Nothing new starts on the way out.
    const OCRResult late = OCRService::observations(tallPage()).result();
    EXPECT_FALSE(late.ok);
}
