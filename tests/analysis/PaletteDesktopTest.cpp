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

// xclip asks this process for the selection, so the event loop must keep turning.
QString clipboardSeenByXclip()
{
    QProcess proc;
    proc.start("xclip", {"-o", "-selection", "clipboard"});
    test::waitFor([&] { return proc.state() == QProcess::NotRunning; }, 20000);
    return QString::fromUtf8(proc.readAllStandardOutput());
}

bool toastSays(const QString& title)
{
    FloatingPanel* panel = Toast::current();
    auto* view = panel ? dynamic_cast<ToastView*>(panel->content()) : nullptr;
    return view && view->title() == title;
}

}  // namespace

TEST(PaletteDesktop, SwatchClickAndCopyAllReachTheClipboard)
{
    QImage img(400, 400, QImage::Format_RGB32);
    QPainter p(&img);
    const QStringList colors{"#1E90FF", "#F00000", "#00C000", "#202020"};
    for (int i = 0; i < 4; ++i)
        p.fillRect(i % 2 * 200, i / 2 * 200, 200, 200, QColor(colors[i]));
    p.end();
    PaletteWindowController::shared().show(img);
    QWidget* window = PaletteWindowController::shared().window();
    ASSERT_TRUE(test::waitFor([&] { return window->windowHandle() && window->windowHandle()->isExposed(); }));
    const QList<SwatchView*> swatches = window->findChildren<SwatchView*>();
    ASSERT_EQ(swatches.size(), 4);

    const QPoint at = swatches[1]->mapToGlobal(swatches[1]->rect().center());
    ASSERT_EQ(test::run("xdotool", {"mousemove", "--sync", QString::number(at.x()), QString::number(at.y()),
                                    "click", "1"}),
              0);
    ASSERT_TRUE(test::waitFor([] { return toastSays("Color copied"); }));
    EXPECT_EQ(clipboardSeenByXclip(), swatches[1]->color().hex());

    QStringList codes;
    for (SwatchView* s : swatches)
        codes.append(s->color().hex());
    window->findChild<QPushButton*>("copyAll")->click();
    ASSERT_TRUE(test::waitFor([] { return toastSays("Colors copied"); }));
    EXPECT_EQ(clipboardSeenByXclip(), codes.join('\n'));
}
