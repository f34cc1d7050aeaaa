#include "TestSupport.h"
#include "library/upload/UploadQueue.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>

using namespace kx;

TEST(UploadQueueKill, EveryPrintedItemSurvivesSigkill)
{
    QTemporaryDir dir;
    QSet<QString> expected;
    for (int round = 0; round < 30; ++round) {
        QProcess churn;
        churn.start(KX_QUEUE_CHURN, {dir.path()});
        ASSERT_TRUE(churn.waitForReadyRead(30000));
        QThread::msleep(QRandomGenerator::global()->bounded(1, 150));
        // The churn may already have ended: never signal pid 0, the test's own group.
        test::signalChild(churn.processId(), SIGKILL);
        ASSERT_TRUE(churn.waitForFinished(30000));

        QString maybeGone;  // a removal that may or may not have reached the disk
        for (const QByteArray& line : churn.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> w = line.split(' ');
            if (w.size() != 2 || w[1].size() != 36)
                continue;  // the last, cut-off line
            const QString id = QString::fromLatin1(w[1]).toUpper();
            if (w[0] == "add")
                expected.insert(id);
            else if (w[0] == "removing")
                maybeGone = id;
            else if (w[0] == "removed")
                expected.remove(id), maybeGone.clear();
        }
        QFile file(dir.filePath("queue.json"));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        QJsonParseError error{};
        const QJsonArray array = QJsonDocument::fromJson(file.readAll(), &error).array();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << "round " << round;
        QSet<QString> onDisk;
        for (const QJsonValue& v : array) {
            const QString id = v.toObject().value("id").toString();
            onDisk.insert(id);
            EXPECT_TRUE(QFile::exists(dir.filePath(id + ".png"))) << qPrintable(id);
        }
        for (const QString& id : expected)
            EXPECT_TRUE(onDisk.contains(id) || id == maybeGone)
                << "round " << round << " lost " << qPrintable(id);
        expected = onDisk;
        ASSERT_EQ(UploadQueue(dir.path()).rejectedAtLoad(), 0);
    }
}

// A claim on a queued item ends with the Kaptorix that held it: a killed one's item is sent
// by the other at its next pass, never left waiting for a claim that nobody holds.
TEST(UploadQueueKill, AKilledInstancesClaimIsTakenOver)
{
    QTemporaryDir dir;
    UploadQueue queue(dir.path());
    const QUuid id = *queue.enqueue("png", "a.png", std::nullopt, "offline");
    QProcess other;
    other.start(KX_QUEUE_CHURN, {dir.path(), "claim", id.toString(QUuid::WithoutBraces)});
    ASSERT_TRUE(other.waitForReadyRead(30000));
    ASSERT_EQ(other.readAllStandardOutput(), "claimed\n");
    EXPECT_EQ(queue.claim(id).state, UploadQueue::Claim::State::elsewhere);
    test::signalChild(other.processId(), SIGKILL);
    ASSERT_TRUE(other.waitForFinished(30000));
    EXPECT_EQ(queue.claim(id).state, UploadQueue::Claim::State::claimed);
}
