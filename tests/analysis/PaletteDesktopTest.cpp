// The palette window on a real X server: four swatches for a four-colour image; a click with
// xdotool and the button put the codes on the clipboard that xclip reads.
#include "analysis/PaletteWindowController.h"

#include "TestSupport.h"
#include "ui/FloatingPanel.h"
#include "ui/Toast.h"
#include "ui/ToastView.h"

#include <gtest/gtest.h>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QWindow>

using namespace kx;

namespace {

// Runs a tool while the event loop keeps turning (we own the selection xclip asks for).
QString runAsync(const QString& program, const QStringList& args)
{
    QProcess proc;
    proc.start(program, args);
    if (!test::waitFor([&] { return proc.state() == QProcess::NotRunning; }, 20000)) {
        proc.kill();
        proc.waitForFinished();
        return QStringLiteral("<timed out>");
    }
    return QString::fromUtf8(proc.readAllStandardOutput());
}

QString toastTitle()
{
    FloatingPanel* panel = Toast::current();
    auto* view = panel ? dynamic_cast<ToastView*>(panel->content()) : nullptr;
    return view ? view->title() : QString();
}

}  // namespace

TEST(PaletteDesktop, SwatchClickAndCopyAllReachTheClipboard)
{
    if (!test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QImage img(400, 400, QImage::Format_RGB32);
    QPainter p(&img);
    p.fillRect(0, 0, 200, 200, QColor(0x1E, 0x90, 0xFF));
    p.fillRect(200, 0, 200, 200, QColor(0xF0, 0x00, 0x00));
    p.fillRect(0, 200, 200, 200, QColor(0x00, 0xC0, 0x00));
    p.fillRect(200, 200, 200, 200, QColor(0x20, 0x20, 0x20));
    p.end();

    PaletteWindowController::shared().show(img);
    QWidget* window = PaletteWindowController::shared().window();
    ASSERT_TRUE(test::waitFor([&] { return window->isVisible() && window->windowHandle()->isExposed(); }));
    const QList<SwatchView*> swatches = window->findChildren<SwatchView*>();
    ASSERT_EQ(swatches.size(), 4);

    SwatchView* target = swatches[1];
    const QPoint at = target->mapToGlobal(target->rect().center());
    ASSERT_EQ(test::run(QStringLiteral("xdotool"), {"mousemove", "--sync", QString::number(at.x()),
                                                    QString::number(at.y()), "click", "1"}),
              0);
    ASSERT_TRUE(test::waitFor([] { return toastTitle() == QStringLiteral("Color copied"); }));
    EXPECT_EQ(runAsync(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"}), target->color().hex());

    QStringList codes;
    for (SwatchView* s : swatches)
        codes.append(s->color().hex());
    window->findChild<QPushButton*>(QStringLiteral("copyAll"))->click();
    ASSERT_TRUE(test::waitFor([] { return toastTitle() == QStringLiteral("Colors copied"); }));
    const QString all = runAsync(QStringLiteral("xclip"), {"-o", "-selection", "clipboard"});
    EXPECT_EQ(all, codes.join('\n'));
    EXPECT_EQ(QSet<QString>(codes.begin(), codes.end()),
              (QSet<QString>{"#1E90FF", "#F00000", "#00C000", "#202020"}));

    QImage shot = window->grab().toImage();
    shot.save(test::artifactDir(QStringLiteral("palette")) + QStringLiteral("/window.png"));
}
