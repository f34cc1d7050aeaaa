// The developer modes as CI runs them: the real binary, private XDG folders, no display.

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct Result {
    int code = -1;
    QString out;
};

class DevModes : public testing::Test {
protected:
    QTemporaryDir home;

    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    // Runs kaptorix with `args`; `language` is written to the private settings first.
    Result kaptorix(const QStringList& args, const QString& language = QString(), int timeoutMs = 120000)
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* var : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            env.insert(var, home.filePath(QString::fromLatin1(var)));
        env.insert("HOME", home.path());
        env.remove("DISPLAY");
        env.remove("QT_QPA_PLATFORM");
        env.remove("KAPTORIX_DATA_DIR");
        if (!language.isEmpty()) {
            QDir().mkpath(home.filePath("XDG_CONFIG_HOME/Kaptorix"));
            QFile conf(home.filePath("XDG_CONFIG_HOME/Kaptorix/Kaptorix.conf"));
            EXPECT_TRUE(conf.open(QIODevice::WriteOnly));
            conf.write("[General]\nlanguage=" + language.toUtf8() + "\n");
        }
        QProcess p;
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());
        p.start(qEnvironmentVariable("KX_BINARY_DIR") + "/app/kaptorix", args);
        if (!p.waitForFinished(timeoutMs)) {
            p.kill();
            p.waitForFinished();
            return {};
        }
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput())};
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
    Result r = kaptorix({"--render-demo", "out/demo.png"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out, "wrote out/demo.png 1060x720\n");
    EXPECT_EQ(QImage(home.filePath("out/demo.png")).size(), QSize(1060, 720));
    QFile first(home.filePath("out/demo.png"));
    ASSERT_TRUE(first.open(QIODevice::ReadOnly));
    const QByteArray bytes = first.readAll();

    r = kaptorix({"--render-demo", "out/demo.png"});
    QFile second(home.filePath("out/demo.png"));
    ASSERT_TRUE(second.open(QIODevice::ReadOnly));
    EXPECT_EQ(second.readAll(), bytes);

    r = kaptorix({"--render-demo", "missing/demo.png"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out, "");
}

}  // namespace
