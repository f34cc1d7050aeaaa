// The inspector and the backdrop popover in a real editor window, driven by xdotool: a width
// drag on a selected arrow is one undo step, backdrop edits reach the saved file and are no
// undo steps, and the popover closes on an outside click and opens again.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

void xdo(const QStringList& args)
{
    kx::test::run(QStringLiteral("xdotool"), args);
}

void drag(QPoint from, QPoint to)
{
    xdo({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1"});
    for (int i = 1; i <= 8; ++i) {
        const QPoint p = from + (to - from) * i / 8;
        xdo({"mousemove", QString::number(p.x()), QString::number(p.y())});
    }
    xdo({"mouseup", "1"});
}

void click(QPoint at)
{
    xdo({"mousemove", QString::number(at.x()), QString::number(at.y()), "click", "1"});
}

void keyToEditor(const QString& key)
{
    xdo({"search", "--name", "Kaptorix — ", "windowactivate", "--sync", "key", key});
}

QImage screen()
{
    const QString file =
        QDir::temp().filePath(QStringLiteral("kx-controls-%1.png").arg(QCoreApplication::applicationPid()));
    kx::test::run(QStringLiteral("import"), {"-window", "root", file});
    QImage shot = QImage(file).convertToFormat(QImage::Format_RGB32);
    QFile::remove(file);
    return shot;
}

struct Host {
    QProcess process;
    QString out;
    explicit Host(const QStringList& args)
    {
        process.start(QDir(QCoreApplication::applicationDirPath()).filePath("ControlsHost"), args);
    }
    ~Host()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    QString ask(const QString& question, const QString& answerPrefix)
    {
        process.write((question + '\n').toUtf8());
        QString answer;
        kx::test::waitFor(
            [&] {
                out += QString::fromUtf8(process.readAllStandardOutput());
                const qsizetype at = out.indexOf(answerPrefix);
                const qsizetype end = at < 0 ? -1 : out.indexOf('\n', at);
                if (end < 0)
                    return false;
                answer = out.mid(at + answerPrefix.size(), end - at - answerPrefix.size());
                out.remove(0, end + 1);
                return true;
            },
            20000);
        return answer;
    }
    QRect where(const QString& name)
    {
        const QStringList v = ask("where " + name, "where ").split(' ');
        return v.size() == 4 ? QRect(v[0].toInt(), v[1].toInt(), v[2].toInt(), v[3].toInt()) : QRect();
    }
    // Backdrop on, padding, background, undo steps.
    QStringList doc() { return ask("doc", "doc ").split(' '); }
};

// Where the handle of a horizontal slider at fraction t sits (the style's groove margins).
QPoint handle(const QRect& slider, double t)
{
    const int margin = 8;
    return {slider.x() + margin + int(t * (slider.width() - 2 * margin)), slider.center().y()};
}

}  // namespace

TEST(ControlsDesktop, WidthDragUndoesInOneStepAndBackdropEditsReachTheSavedFile)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    QImage image(900, 600, QImage::Format_ARGB32);
    image.fill(QColor(230, 236, 244));
    image.setDotsPerMeterX(2835);  // 72 dpi: scale 1
    image.setDotsPerMeterY(2835);
    const QString source = dir.filePath("base.png");
    ASSERT_TRUE(image.save(source));
    const QString saves = dir.filePath("saves");
    Host h({"--save-folder", saves, source});
    QRect canvas;
    ASSERT_TRUE(
        kx::test::waitFor([&] { return (canvas = h.where("class:kx::CanvasView")).width() > 100; }, 20000));

    // An arrow, then selected with the select tool.
    const QPoint c = canvas.center();
    drag(c + QPoint(-150, 0), c + QPoint(150, 60));
    keyToEditor("v");
    click(c + QPoint(0, 30));
    const QPoint away(5, 5);
    xdo({"mousemove", QString::number(away.x()), QString::number(away.y())});
    const int stepsBefore = h.doc().value(3).toInt();
    const QImage before = screen().copy(canvas);

    const QRect width = h.where("lineWidth");
    ASSERT_TRUE(width.isValid()) << "no line-width slider for the selected arrow";
    drag(handle(width, 2.0 / 15), handle(width, 0.9));
    xdo({"mousemove", QString::number(away.x()), QString::number(away.y())});
    EXPECT_EQ(h.doc().value(3).toInt(), stepsBefore + 1) << "a drag of many steps is one undo step";
    EXPECT_TRUE(kx::test::waitFor([&] { return screen().copy(canvas) != before; }, 10000));
    keyToEditor("ctrl+z");
    QImage undone;
    EXPECT_TRUE(kx::test::waitFor([&] { return (undone = screen().copy(canvas)) == before; }, 10000))
        << "undo did not restore the arrow exactly";
    if (undone != before) {
        before.save(kx::test::artifactDir("editor") + "/controls-before.png");
        undone.save(kx::test::artifactDir("editor") + "/controls-undone.png");
    }

    // Padding moved while the backdrop is off turns it on.
    const QRect backdrop = h.where("symbol:sparkles.rectangle.stack");
    ASSERT_TRUE(backdrop.isValid());
    click(backdrop.center());
    QRect padding;
    ASSERT_TRUE(kx::test::waitFor([&] { return (padding = h.where("padding")).isValid(); }, 20000));
    EXPECT_EQ(h.doc().value(0), "0");
    drag(handle(padding, 64.0 / 160), handle(padding, 0.55));
    QStringList state = h.doc();
    ASSERT_EQ(state.value(0), "1");
    const double pad = state.value(1).toDouble();
    const int steps = state.value(3).toInt();

    // An outside click closes the popover; Ctrl+S writes the framed image.
    click(QPoint(5, 1075));
    ASSERT_TRUE(kx::test::waitFor([&] { return !h.where("padding").isValid(); }, 20000));
    keyToEditor("ctrl+s");
    const QString first = QDir(saves).filePath("framed.png");
    ASSERT_TRUE(kx::test::waitFor([&] { return !QImage(first).isNull(); }, 20000));
    const int grow = 2 * int(std::lround(pad));
    EXPECT_EQ(QImage(first).size(), QSize(900 + grow, 600 + grow));

    // The next click on Backdrop opens it again; the transparent background saves alpha 0.
    click(backdrop.center());
    QRect transparent;
    ASSERT_TRUE(kx::test::waitFor([&] { return (transparent = h.where("background.transparent")).isValid(); },
                                  20000));
    click(transparent.center());
    EXPECT_EQ(h.doc().value(2), "transparent");
    click(QPoint(5, 1075));
    ASSERT_TRUE(kx::test::waitFor([&] { return !h.where("padding").isValid(); }, 20000));
    keyToEditor("ctrl+s");
    const QString second = QDir(saves).filePath("framed 2.png");
    ASSERT_TRUE(kx::test::waitFor([&] { return !QImage(second).isNull(); }, 20000));
    EXPECT_EQ(qAlpha(QImage(second).pixel(0, 0)), 0);

    // Backdrop edits are no undo steps: undo takes the arrow away and leaves the backdrop on.
    EXPECT_EQ(h.doc().value(3).toInt(), steps);
    keyToEditor("ctrl+z");
    EXPECT_TRUE(kx::test::waitFor([&] { return h.doc().value(3).toInt() == steps - 1; }, 10000));
    EXPECT_EQ(h.doc().value(0), "1");
    kx::test::run(QStringLiteral("import"),
                  {"-window", "root", kx::test::artifactDir("editor") + "/controls-after.png"});
}
