// A screenshot history holds whatever was on screen: its folder, images and index (with all
// recognised text) are for their owner only, whatever the umask says.
#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace kx;

namespace {

int mode(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

}  // namespace

TEST(HistoryPrivacy, FolderImagesAndIndexAreTheOwnersAlone)
{
    const mode_t umask = ::umask(022);
    QTemporaryDir root;
    const QString dir = root.filePath("data/Kaptorix/History");
    test::FakeRecognizer ocr;
    {
        HistoryStore store({dir, {}, ocr.function(), 0});
        EXPECT_EQ(mode(root.filePath("data")), 0700);
        EXPECT_EQ(mode(root.filePath("data/Kaptorix")), 0700);
        EXPECT_EQ(mode(dir), 0700);
        const HistoryEntry e = store.add({test::historyImage(40, 30), 1, SourceKind::area, QString("secret"),
                                          QDateTime::currentDateTimeUtc()});
        store.flush();
        const QStringList files = QDir(dir).entryList(QDir::Files);
        EXPECT_TRUE(files.contains("index.json")) << files.join(' ').toStdString();
        EXPECT_TRUE(files.contains(e.id.toString(QUuid::WithoutBraces).toUpper() + ".png"));
        for (const QString& f : files)
            EXPECT_EQ(mode(dir + '/' + f), 0600) << f.toStdString();
    }
    // A folder made by an earlier version for everybody to read is closed at the next start.
    ASSERT_EQ(::chmod(QFile::encodeName(dir).constData(), 0755), 0);
    HistoryStore again({dir, {}, ocr.function(), 0});
    EXPECT_EQ(mode(dir), 0700);
    ::umask(umask);
}
