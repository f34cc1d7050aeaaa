// The editor under a real X server, driven by xdotool through the EditorHost program:
// drawing, saving twice with a file manager on the session bus, copying (also at 1x),
// closing through the window manager, and one screenshot per language.
#include "TestSupport.h"

#include "editor/ToolKind.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

namespace {

// Stands in for the desktop's file manager.
class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

QString host()
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("EditorHost"));
}

// One xdotool command line, split at blanks.
void xdo(const QString& line)
{
    kx::test::run(QStringLiteral("xdotool"), line.split(QLatin1Char(' ')));
}

void xdoArgs(const QStringList& args)
{
    kx::test::run(QStringLiteral("xdotool"), args);
}

QImage clipboardPng()
{
    QByteArray out;
    if (kx::test::run(QStringLiteral("xclip"),
                      {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-t"),
                       QStringLiteral("image/png"), QStringLiteral("-o")},
                      &out, 5000) != 0)
        return {};
    return QImage::fromData(out, "PNG");
}

QImage argb(const QImage& i)
{
    return i.convertToFormat(QImage::Format_ARGB32);
}

struct Host {
    QProcess process;
    QString out;
    Host(const QStringList& args, const QProcessEnvironment& env)
    {
        process.setProcessEnvironment(env);
        process.start(host(), args);
    }
    ~Host()
    {
        process.kill();
        process.waitForFinished(5000);
    }
    bool waitLine(const QString& prefix, QString* line = nullptr)
    {
        return kx::test::waitFor(
            [&] {
                out += QString::fromUtf8(process.readAllStandardOutput());
                for (const QString& l : out.split(QLatin1Char('\n')))
                    if (l.startsWith(prefix) && out.contains(l + QLatin1Char('\n'))) {
                        if (line)
                            *line = l;
                        out.remove(0, out.indexOf(l) + l.size() + 1);
                        return true;
                    }
                return false;
            },
            20000);
    }
    // Canvas and More button, global.
    QList<int> where()
    {
        QString line;
        process.write("where\n");
        if (!waitLine(QStringLiteral("where "), &line))
            return {};
        QList<int> v;
        for (const QString& n : line.mid(6).split(QLatin1Char(' ')))
            v << n.toInt();
        return v;
    }
};

bool mapped()
{
    return kx::test::run(QStringLiteral("xdotool"),
                         {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                          QStringLiteral("Kaptorix — ")}) == 0;
}

}  // namespace

TEST(EditorDesktop, ScreenshotPerLanguage)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    QImage image(1600, 1000, QImage::Format_ARGB32);
    image.fill(QColor(250, 250, 250));
    const QString source = dir.filePath(QStringLiteral("sample.png"));
    ASSERT_TRUE(image.save(source));
    for (const QString& lang : {QStringLiteral("en"), QStringLiteral("de"), QStringLiteral("hu")}) {
        Host h({QStringLiteral("--lang"), lang, source}, QProcessEnvironment::systemEnvironment());
        ASSERT_TRUE(h.waitLine(QStringLiteral("ready")));
        ASSERT_TRUE(kx::test::waitFor(mapped, 20000));
        QList<int> w;
        ASSERT_TRUE(kx::test::waitFor([&] { return (w = h.where()).size() == 16 && w[2] > 100; }, 20000));
        const QString shot =
            kx::test::artifactDir(QStringLiteral("editor")) + QStringLiteral("/editor-") + lang + ".png";
        // Taken again until the header shows: the first frame may not be on screen yet.
        const QPoint header(w[4] - 300, w[5] + w[7] / 2);
        EXPECT_TRUE(kx::test::waitFor(
            [&] {
                kx::test::run(QStringLiteral("import"),
                              {QStringLiteral("-window"), QStringLiteral("root"), shot});
                const QImage taken(shot);
                return !taken.isNull() && qGray(taken.pixel(header)) > 40;
            },
            20000));
    }
}

TEST(EditorDesktop, AddCaptureBelowThroughTheAreaSelection)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    QImage image(800, 600, QImage::Format_ARGB32);
    image.fill(QColor(200, 220, 240));
    image.setDotsPerMeterX(2835);  // 72 dpi: scale 1
    image.setDotsPerMeterY(2835);
    const QString source = dir.filePath(QStringLiteral("base.png"));
    ASSERT_TRUE(image.save(source));
    Host h({source}, QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(kx::test::waitFor(mapped, 20000));
    QList<int> w;
    ASSERT_TRUE(kx::test::waitFor([&] { return (w = h.where()).size() == 16 && w[2] > 100; }, 20000));
    // Add capture, then the fourth item: "Add below".
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(w[8] + w[10] / 2).arg(w[9] + w[11] / 2));
    xdo(QStringLiteral("key Down Down Down Return"));
    ASSERT_TRUE(kx::test::waitFor([] { return !mapped(); }, 20000)) << "the editor did not step aside";
    const QString pid = QString::number(h.process.processId());
    const bool selecting = kx::test::waitFor(
        [&] {
            return kx::test::run(QStringLiteral("xdotool"),
                                 {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                  QStringLiteral("--pid"), pid}) == 0;
        },
        20000);
    kx::test::run(QStringLiteral("import"),
                  {QStringLiteral("-window"), QStringLiteral("root"),
                   kx::test::artifactDir(QStringLiteral("editor")) + "/add-capture.png"});
    ASSERT_TRUE(selecting) << "no area selection";
    xdo(QStringLiteral("mousemove 300 300 mousedown 1 mousemove 500 400 mousemove 700 500 mouseup 1"));
    ASSERT_TRUE(kx::test::waitFor(mapped, 20000));
    EXPECT_TRUE(kx::test::waitFor([&] { return (w = h.where()).size() == 16 && w[13] == 800; }, 20000))
        << "image now " << w.value(12) << " x " << w.value(13);
    EXPECT_EQ(w.value(12), 800);
}

TEST(EditorDesktop, DrawSaveTwiceCopyCopyAtOneXAndCloseThroughTheWindowManager)
{
    if (!kx::test::haveDisplay())
        GTEST_SKIP() << "no X display";
    QTemporaryDir dir;
    FakeFileManager fm;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerObject(QStringLiteral("/org/freedesktop/FileManager1"), &fm,
                                   QDBusConnection::ExportAllSlots));
    ASSERT_TRUE(bus.registerService(QStringLiteral("org.freedesktop.FileManager1")));

    QImage image(2400, 1600, QImage::Format_ARGB32);
    image.fill(QColor(235, 240, 245));
    image.setDotsPerMeterX(5669);  // 144 dpi: scale 2
    image.setDotsPerMeterY(5669);
    const QString source = dir.filePath(QStringLiteral("shot.png"));
    ASSERT_TRUE(image.save(source));
    const QString saves = dir.filePath(QStringLiteral("saves"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KAPTORIX_DATA_DIR"), dir.filePath(QStringLiteral("history")));
    Host h({QStringLiteral("--history"), QStringLiteral("--save-folder"), saves,
            QStringLiteral("--file-pattern"), QStringLiteral("edited"), source},
           env);
    QString entryLine;
    ASSERT_TRUE(h.waitLine(QStringLiteral("entry "), &entryLine));
    const QString historyPng =
        dir.filePath(QStringLiteral("history/") + entryLine.mid(6) + QStringLiteral(".png"));
    ASSERT_TRUE(kx::test::waitFor(mapped, 20000));
    QList<int> w;
    ASSERT_TRUE(kx::test::waitFor([&] { return (w = h.where()).size() == 16 && w[2] > 100; }, 20000));

    // r, then a drag: a rectangle.
    const int cx = w[0] + w[2] / 2, cy = w[1] + w[3] / 2;
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(cx).arg(cy));
    ASSERT_TRUE(kx::test::waitFor(
        [&] {
            xdo(QStringLiteral("key r"));
            return h.where().value(14) == int(kx::ToolKind::rect);
        },
        20000));
    xdo(QStringLiteral("mousemove %1 %2 mousedown 1").arg(cx - 120).arg(cy - 80));
    xdo(QStringLiteral("mousemove %1 %2").arg(cx).arg(cy));
    xdo(QStringLiteral("mousemove %1 %2 mouseup 1").arg(cx + 120).arg(cy + 80));

    ASSERT_TRUE(kx::test::waitFor([&] { return h.where().value(15) == 1; }, 20000)) << "nothing drawn";
    const auto saved = [&] {
        return QDir(saves).entryList({QStringLiteral("*.png")}, QDir::Files, QDir::Name);
    };
    xdo(QStringLiteral("key ctrl+s"));
    ASSERT_TRUE(kx::test::waitFor([&] { return saved().size() == 1; }, 20000));
    xdo(QStringLiteral("key ctrl+s"));
    ASSERT_TRUE(kx::test::waitFor([&] { return saved().size() == 2; }, 20000));
    const QStringList names{QStringLiteral("edited.png"), QStringLiteral("edited 2.png")};
    ASSERT_TRUE(saved().contains(names[0]) && saved().contains(names[1])) << qPrintable(saved().join(", "));
    ASSERT_TRUE(kx::test::waitFor([&] { return fm.shown.size() == 2; }, 20000));
    EXPECT_EQ(QUrl(fm.shown[1]), QUrl::fromLocalFile(QDir(saves).filePath(names[1])));
    const QImage finished = argb(QImage(QDir(saves).filePath(names[0])));
    EXPECT_NE(finished, argb(image)) << "the rectangle was not drawn";

    xdo(QStringLiteral("key ctrl+c"));
    QImage copied;
    ASSERT_TRUE(kx::test::waitFor([&] { return !(copied = clipboardPng()).isNull(); }, 20000));
    EXPECT_EQ(argb(copied), finished);

    // More export options, second item: Copy @1x.
    xdo(QStringLiteral("mousemove %1 %2 click 1").arg(w[4] + w[6] / 2).arg(w[5] + w[7] / 2));
    xdo(QStringLiteral("key Down Down Return"));
    ASSERT_TRUE(kx::test::waitFor([&] { return clipboardPng().size() == QSize(1200, 800); }, 20000));

    xdoArgs({QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("Kaptorix — "),
             QStringLiteral("windowactivate"), QStringLiteral("--sync"), QStringLiteral("key"),
             QStringLiteral("alt+F4")});
    // The window goes on the press: the keys would otherwise stay down and close the next window.
    xdo(QStringLiteral("keyup F4 alt"));
    ASSERT_TRUE(kx::test::waitFor([&] { return argb(QImage(historyPng)) == finished; }, 20000));
    EXPECT_EQ(h.process.state(), QProcess::Running);
    bus.unregisterService(QStringLiteral("org.freedesktop.FileManager1"));
}

#include "EditorDesktopTest.moc"
