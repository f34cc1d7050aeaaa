// The developer modes as CI runs them: the real binary, private XDG folders, no display.

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QMap>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <array>
#include <map>

namespace {

// A block of 8 x 8 pixels that differs by more than this much on average shows something else.
constexpr int kStaleBlock = 40;

struct Result {
    int code = -1;
    QString out;
};

class DevModes : public testing::Test {
protected:
    QTemporaryDir home;

    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    QProcessEnvironment environment(const QString& root, const QString& language)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.insert(var, root + '/' + QString::fromLatin1(var));
        env.insert("HOME", root);
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.remove("KAPTORIX_DATA_DIR");
        if (!language.isEmpty()) {
            QDir().mkpath(root + "/XDG_CONFIG_HOME/Kaptorix");
            QFile conf(root + "/XDG_CONFIG_HOME/Kaptorix/Kaptorix.conf");
            EXPECT_TRUE(conf.open(QIODevice::WriteOnly));
            conf.write("[General]\nlanguage=" + language.toUtf8() + "\n");
        }
        return env;
    }

    void start(QProcess& p, const QStringList& args, const QString& root, const QString& language = QString())
    {
        p.setProcessEnvironment(environment(root, language));
        p.setWorkingDirectory(root);
        p.start(qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix", args);
    }

    static Result finish(QProcess& p, int timeoutMs = 180000)
    {
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput())};
    }

    Result kaptorix(const QStringList& args)
    {
        QProcess p;
        start(p, args, home.path());
        return finish(p);
    }
};

TEST_F(DevModes, SelfTestPassesEveryCheckInOrder)
{
    const Result r = kaptorix({"--self-test"});
    EXPECT_EQ(r.code, 0);
    const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    QStringList headings;
    int passed = 0;
    for (const QString& l : lines) {
        if (l.startsWith(QStringLiteral("  \u2713 ")))
            ++passed;
        else if (!l.startsWith(' '))
            headings << l;
    }
    EXPECT_EQ(passed, 27);
    EXPECT_EQ(headings, QStringList({"Kaptorix self-test", "Stitcher", "Color formats", "File naming",
                                     "Palette & upload embed codes", "Upload queue", "ALL PASSED"}));
    EXPECT_FALSE(r.out.contains(QStringLiteral("\u2717")));
}

TEST_F(DevModes, DemoRenderIsRepeatableAndFailsQuietlyOnAMissingFolder)
{
    QDir(home.path()).mkdir("out");
    auto bytes = [&] {
        QFile f(home.filePath("out/demo.png"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    Result r = kaptorix({"--render-demo", "out/demo.png"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "wrote out/demo.png 1060x720\n");
    EXPECT_EQ(QImage(home.filePath("out/demo.png")).size(), QSize(1060, 720));
    const QByteArray first = bytes();
    kaptorix({"--render-demo", "out/demo.png"});
    EXPECT_EQ(bytes(), first);

    r = kaptorix({"--render-demo", "missing/demo.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
}

TEST_F(DevModes, SnapshotsOfEveryWindowInEachLanguage)
{
    const QStringList languages{"en", "de", "hu"};
    std::array<QProcess, 3> runs;
    for (int i = 0; i < 3; ++i) {
        const QString root = home.filePath(languages[i]);
        QDir().mkpath(root);
        start(runs[i], {"--snapshot-ui", "shots"}, root, languages[i]);
    }
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(languages[i].toStdString());
        const QString root = home.filePath(languages[i]);
        const Result r = finish(runs[i]);
        EXPECT_EQ(r.code, 0) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains("failed ")) << r.out.toStdString();
        EXPECT_FALSE(r.out.contains("skip ")) << r.out.toStdString();
        EXPECT_TRUE(r.out.endsWith("snapshots written to shots\n"));
        // Every printed size is the size of the file written.
        const QRegularExpression shot(R"(^  (\S+) (\d+)x(\d+)$)", QRegularExpression::MultilineOption);
        int shots = 0;
        for (const QRegularExpressionMatch& m : shot.globalMatch(r.out)) {
            ++shots;
            const QImage png(root + "/shots/" + m.captured(1) + ".png");
            EXPECT_EQ(png.size(), QSize(m.captured(2).toInt(), m.captured(3).toInt()))
                << m.captured(1).toStdString();
            if (m.captured(1).startsWith("settings-")) {
                // A page, not an empty window: many colours in the picture.
                QSet<QRgb> colours;
                for (int y = 0; y < png.height(); y += 3)
                    for (int x = 0; x < png.width(); x += 3)
                        colours.insert(png.pixel(x, y));
                EXPECT_GT(colours.size(), 20) << m.captured(1).toStdString();
            }
        }
        EXPECT_EQ(shots, 24);
        EXPECT_EQ(QDir(root + "/shots").entryList({"*.png"}, QDir::Files).size(), 25);
        EXPECT_EQ(QImage(root + "/shots/frames.png").size(), QSize(1920, 1410));
        // The sample history went to a folder of its own, not the user's.
        EXPECT_FALSE(QDir(root + "/XDG_DATA_HOME/Kaptorix/History").exists());
    }
}

// The largest mean difference (per channel, 0-255) over the 8 x 8 blocks of two pictures of one
// size: JPEG's own noise stays low in every block, while a changed word or control moves the
// blocks it covers far more.
int worstBlock(const QImage& a, const QImage& b)
{
    int worst = 0;
    for (int by = 0; by < a.height(); by += 8)
        for (int bx = 0; bx < a.width(); bx += 8) {
            int sum = 0, n = 0;
            for (int y = by; y < qMin(by + 8, a.height()); ++y)
                for (int x = bx; x < qMin(bx + 8, a.width()); ++x) {
                    const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
                    sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q));
                    n += 3;
                }
            worst = qMax(worst, sum / n);
        }
    return worst;
}

// help/pictures/generate.sh keeps the pictures the help names from the snapshot mode; each
// committed one must still be what the mode makes now, in its language. A picture that differs
// is shot once more before it counts as stale: a loaded machine may catch a window mid-layout.
TEST_F(DevModes, CommittedHelpPicturesAreWhatTheSnapshotModeMakesNow)
{
    const QString pictures = kx::test::sourcePath("help/pictures");
    const QStringList languages{"en", "de", "hu"};
    // Why the picture `file` of `lang` is not what the last run made; empty when it is.
    const auto stale = [&](const QString& lang, const QString& file) -> QString {
        const QImage stored =
            QImage(pictures + '/' + lang + '/' + file).convertToFormat(QImage::Format_RGB32);
        const QImage made(home.filePath(lang + "/shots/" + QFileInfo(file).completeBaseName() + ".png"));
        if (made.isNull())
            return QStringLiteral("the snapshot mode no longer makes it");
        QImage flat(made.size(), QImage::Format_RGB32);  // as generate.sh flattens it
        flat.fill(Qt::white);
        QPainter(&flat).drawImage(0, 0, made);
        if (stored.size() != flat.size())
            return QStringLiteral("it has another size now");
        const int worst = worstBlock(stored, flat);
        return worst > kStaleBlock ? QStringLiteral("a block differs by %1").arg(worst) : QString();
    };
    QMap<QString, QStringList> pending;  // language → its pictures still to be found current
    for (const QString& lang : languages) {
        pending[lang] = QDir(pictures + '/' + lang).entryList({"*.jpg"}, QDir::Files);
        EXPECT_EQ(pending[lang].size(), 15) << lang.toStdString();
    }
    for (int round = 0; round < 2 && !pending.isEmpty(); ++round) {
        std::map<QString, QProcess> runs;
        for (const QString& lang : pending.keys()) {
            QDir(home.filePath(lang + "/shots")).removeRecursively();
            QDir().mkpath(home.filePath(lang));
            start(runs[lang], {"--snapshot-ui", "shots"}, home.filePath(lang), lang);
        }
        for (const QString& lang : pending.keys()) {
            ASSERT_EQ(finish(runs[lang]).code, 0) << lang.toStdString();
            QStringList left;
            for (const QString& file : pending[lang]) {
                const QString why = stale(lang, file);
                if (why.isEmpty())
                    continue;
                left << file;
                if (round == 1)
                    ADD_FAILURE() << (lang + '/' + file + ": " + why).toStdString()
                                  << "; run help/pictures/generate.sh";
            }
            if (left.isEmpty())
                pending.remove(lang);
            else
                pending[lang] = left;
        }
    }
}

TEST_F(DevModes, SettingsStressAndFrameTestWithoutAScreen)
{
    Result r = kaptorix({"--stress-settings"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "stress survived\n");

    r = kaptorix({"--frame-test", "frames"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(QDir(home.filePath("frames")).entryList(QDir::Files), QStringList({"frame-test.txt"}));
    QFile note(home.filePath("frames/frame-test.txt"));
    ASSERT_TRUE(note.open(QIODevice::ReadOnly));
    EXPECT_EQ(note.readAll(), "no screen recording permission");
}

}  // namespace
