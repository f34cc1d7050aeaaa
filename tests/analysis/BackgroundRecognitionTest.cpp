// The history's recognition is background work: one engine in a process of the idle classes,
// held back while anything the user waits for runs, and ended once recognition has been idle.
#include "analysis/BackgroundWork.h"
#include "analysis/OCRLanguages.h"
#include "analysis/OCRService.h"
#include "analysis/PageLayout.h"
#include "analysis/RecognizerProcess.h"
#include "analysis/TextRecognizer.h"
#include "analysis/engine/RecognizerProtocol.h"

#include "ChildProcess.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <cerrno>

using namespace kx;

namespace {

// Two columns of text far apart: read as two blocks, so a foreground read uses two engines.
QImage twoColumns(int rows, int firstInvoice = 1000)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    const int step = QFontMetrics(font).height() + 6;
    QImage img(1400, 40 + rows * step, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    for (int row = 0; row < rows; ++row) {
        const int y = 30 + row * step;
        p.drawText(20, y, QStringLiteral("Invoice %1 paid on time by Mallory").arg(firstInvoice + row));
        p.drawText(820, y, QStringLiteral("Shipment %1 left the harbour").arg(7000 + row * 3));
    }
    return img;
}

// Field `n` (1-based, as proc(5) counts) of /proc/<pid>/stat.
QByteArray statField(qint64 pid, int n)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = f.readAll();
    const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
    return n - 3 < rest.size() ? rest[n - 3] : QByteArray();
}

bool mapped(const char* library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}

bool finishes(const QFuture<OCRResult>& f)
{
    return test::waitFor([&] { return f.isFinished(); }, 120000);
}

class BackgroundRecognition : public ::testing::Test {
protected:
    void SetUp() override { OCRService::setEngineIdleMs(-1); }
    void TearDown() override { OCRService::setEngineIdleMs(3000); }
};

}  // namespace

// First in this file: any earlier recognition in this process would have mapped Tesseract.
TEST_F(BackgroundRecognition, NeverMapsTheRecognitionLibrariesInThisProcess)
{
    ASSERT_FALSE(mapped("libtesseract")) << "an earlier test recognised in this process";
    const QFuture<OCRResult> back = OCRService::backgroundObservations(twoColumns(6));
    ASSERT_TRUE(finishes(back));
    ASSERT_TRUE(back.result().ok) << back.result().error.toStdString();
    EXPECT_TRUE(back.result().text().contains(QStringLiteral("Shipment 7003")));
    EXPECT_FALSE(mapped("libtesseract"));
    EXPECT_FALSE(mapped("libkaptorix-ocr"));
}

TEST_F(BackgroundRecognition, RunsWithOneEngineInAProcessThatYieldsButIsNotStarved)
{
    // Its thread started and idle: a caller waiting for the result must still not run the work.
    const QFuture<int> started = BackgroundWork::run([] { return 1; });
    ASSERT_TRUE(test::waitFor([&] { return started.isFinished(); }));
    EXPECT_TRUE(BackgroundWork::run([] { return BackgroundWork::thisThreadLowered(); }).result());
    EXPECT_FALSE(BackgroundWork::thisThreadLowered());  // the caller's thread is left alone
    // A thread the background thread starts is not stuck in its class.
    EXPECT_FALSE(
        BackgroundWork::run([] {
            QThreadPool fresh;  // its thread starts from here, as a global pool thread may
            fresh.setThreadPriority(QThreadPool::globalInstance()->threadPriority());
            return QtConcurrent::run(&fresh, [] { return BackgroundWork::thisThreadLowered(); }).result();
        }).result());
    // Idle I/O only while a read asks for it.
    EXPECT_NE(BackgroundWork::ioClass(), 3);
    {
        const BackgroundWork::IdleIo io;
        EXPECT_EQ(BackgroundWork::ioClass(), 3);
    }
    EXPECT_NE(BackgroundWork::ioClass(), 3);

    const QImage page = twoColumns(12);
    ASSERT_EQ(ocr::textBlocks(ocr::prepared(page)).size(), 2);  // two parts to read
    const QFuture<OCRResult> fore = OCRService::observations(page);
    ASSERT_TRUE(finishes(fore));
    ASSERT_TRUE(fore.result().ok) << fore.result().error.toStdString();
    OCRService::engineCounts(true);

    const QFuture<OCRResult> back = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(back));
    ASSERT_TRUE(back.result().ok) << back.result().error.toStdString();
    EXPECT_EQ(OCRService::engineCounts(true).mostReading, 0);  // none of this process's
    const ocr::RecognizerProcessState child = ocr::recognizerProcessState();
    ASSERT_GT(child.pid, 0);
    EXPECT_EQ(child.engines, 1);
    EXPECT_EQ(statField(child.pid, 41), "3");                          // policy: SCHED_BATCH
    EXPECT_EQ(statField(child.pid, 19), "19");                         // niceness
    EXPECT_EQ(syscall(SYS_ioprio_get, 1, pid_t(child.pid)) >> 13, 3);  // I/O class: idle
    EXPECT_EQ(::getpgid(pid_t(child.pid)), pid_t(child.pid));          // stopped, it never shares our group
    EXPECT_EQ(back.result().text(), fore.result().text());
    EXPECT_TRUE(back.result().text().contains(QStringLiteral("Shipment 7003")));
}

TEST_F(BackgroundRecognition, WaitsWhileHeldAndPausesAtTheNextWordWhenAHoldIsTaken)
{
    const QImage page = twoColumns(40);
    const QString expected = OCRService::recognize(page, {QStringLiteral("eng")}).text();
    ASSERT_FALSE(expected.isEmpty());

    // Held from before it starts: it does not begin reading.
    {
        BackgroundWork::Hold capture = BackgroundWork::hold();
        EXPECT_TRUE(BackgroundWork::held());
        const QFuture<OCRResult> waiting = OCRService::backgroundObservations(page);
        ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }));
        EXPECT_EQ(OCRService::engineCounts().reading, 0);
        EXPECT_FALSE(waiting.isFinished());
        capture.reset();
        EXPECT_FALSE(BackgroundWork::held());
        ASSERT_TRUE(finishes(waiting));
    }

    // Held while it reads: the process is stopped and goes on where it was afterwards. Another
    // page: the process remembers the lines of the one it read.
    const QImage other = twoColumns(40, 2000);
    const QFuture<OCRResult> reading = OCRService::backgroundObservations(other);
    ASSERT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().reading; }, 60000));
    BackgroundWork::Hold capture = BackgroundWork::hold();
    ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }, 60000))
        << "the read finished without pausing";
    EXPECT_FALSE(reading.isFinished());
    const qint64 pid = ocr::recognizerProcessState().pid;
    EXPECT_TRUE(ocr::recognizerProcessState().paused);
    EXPECT_TRUE(test::waitFor([pid] { return statField(pid, 3) == "T"; }));  // stopped
    capture.reset();
    ASSERT_TRUE(finishes(reading));
    ASSERT_TRUE(reading.result().ok);
    EXPECT_EQ(reading.result().text(), OCRService::backgroundObservations(other).result().text());
}

TEST_F(BackgroundRecognition, TheUsersOwnRecognitionHoldsBackgroundWorkUntilItEnds)
{
    const QFuture<OCRResult> fore = OCRService::observations(twoColumns(4));
    EXPECT_TRUE(BackgroundWork::held());
    ASSERT_TRUE(finishes(fore));
    EXPECT_TRUE(test::waitFor([] { return !BackgroundWork::held(); }));
}

TEST_F(BackgroundRecognition, EnginesAreReleasedOnceRecognitionHasBeenIdle)
{
    const QImage page = twoColumns(6);
    ASSERT_TRUE(finishes(OCRService::observations(page)));
    EXPECT_GE(OCRService::engineCounts().alive, 1);

    OCRService::setEngineIdleMs(100);
    const QFuture<OCRResult> back = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(back));
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_GT(pid, 0);
    EXPECT_TRUE(test::waitFor([] { return OCRService::engineCounts().alive == 0; }, 30000))
        << OCRService::engineCounts().alive << " engines still loaded";
    EXPECT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().pid == 0; }, 30000));
    EXPECT_TRUE(::kill(pid_t(pid), 0) != 0 && errno == ESRCH) << "the process was not reaped";

    // They load again for the next recognition.
    const QFuture<OCRResult> again = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(again));
    EXPECT_EQ(again.result().text(), back.result().text());
}

TEST_F(BackgroundRecognition, AProcessThatDiesFailsOnlyTheImageItWasReading)
{
    const QImage page = twoColumns(40);
    const QFuture<OCRResult> dying = OCRService::backgroundObservations(page);
    ASSERT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().reading; }, 60000));
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);  // our own child
    ASSERT_TRUE(finishes(dying));
    EXPECT_FALSE(dying.result().ok);
    EXPECT_TRUE(dying.result().error.contains(QStringLiteral("signal 9")))
        << dying.result().error.toStdString();

    const QFuture<OCRResult> next = OCRService::backgroundObservations(twoColumns(4));
    ASSERT_TRUE(finishes(next));
    EXPECT_TRUE(next.result().ok) << next.result().error.toStdString();
    EXPECT_NE(ocr::recognizerProcessState().pid, pid);
}

TEST_F(BackgroundRecognition, AReadingThatMakesNoProgressIsEnded)
{
    ocr::setRecognizerStallMs(1500);
    const QFuture<OCRResult> stuck = OCRService::backgroundObservations(twoColumns(40));
    ASSERT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().reading; }, 60000));
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);  // our own child, stuck as if it hung
    const bool ended = finishes(stuck);
    ocr::setRecognizerStallMs(0);
    ASSERT_TRUE(ended);
    EXPECT_FALSE(stuck.result().ok);
    EXPECT_TRUE(stuck.result().error.contains(QStringLiteral("no progress")))
        << stuck.result().error.toStdString();
    EXPECT_TRUE(::kill(pid_t(pid), 0) != 0 && errno == ESRCH) << "the stuck process was not ended";
}

// A 64-megapixel page goes to the recognition process in bands: its memory follows a band, not
// the page (the whole page cost it five times the page's grey), and a line across the planned
// end of a band is read whole, in its place, its letters too.
TEST_F(BackgroundRecognition, ATallImageIsReadInBandsWithItsLinesWholeAndInPlace)
{
    QImage page(4096, 16384, QImage::Format_ARGB32_Premultiplied);
    page.fill(QColor(250, 250, 248));
    const QList<QPair<int, QString>> drawn{{40, QStringLiteral("Invoice 4100 was paid on time.")},
                                           {4100, QStringLiteral("Shipment 7003 left the harbour.")},
                                           {8190, QStringLiteral("Order 5127 arrives on Monday.")},
                                           {16360, QStringLiteral("Receipt 9918 was sent by mail.")}};
    {
        QPainter p(&page);
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(14);
        p.setFont(font);
        p.setPen(QColor(20, 20, 20));
        for (const auto& [baseline, text] : drawn)
            p.drawText(30, baseline, text);
    }
    ocr::stopRecognizerProcess();  // a process of its own, whose peak is this page's
    const std::optional<OCRResult> read =
        ocr::recognizeInProcess(page, {QStringLiteral("eng")}, OCRLanguages::dataDir());
    ASSERT_TRUE(read);
    ASSERT_TRUE(read->ok) << read->error.toStdString();
    ASSERT_EQ(read->lines.size(), drawn.size()) << read->text().toStdString();
    for (qsizetype i = 0; i < drawn.size(); ++i) {
        const TextObservation& line = read->lines[i];
        EXPECT_EQ(line.text, drawn[i].second);
        EXPECT_NEAR(line.box.bottom(), drawn[i].first, 5) << drawn[i].second.toStdString();
        // Redaction covers the boxes of the letters: they stand on the line, in every band.
        ASSERT_EQ(line.charBoxes.size(), line.text.size());
        for (const QRectF& letter : line.charBoxes)
            EXPECT_TRUE(line.box.adjusted(-2, -2, 2, 2).contains(letter)) << drawn[i].second.toStdString();
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(ocr::recognizerProcessState().pid));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray all = status.readAll();
    const qsizetype at = all.indexOf("VmHWM:");
    const long peakMb =
        all.mid(at + 6, all.indexOf('\n', at) - at - 6).trimmed().split(' ')[0].toLong() / 1024;
    EXPECT_LT(peakMb, 200) << "the page's grey alone is 64 MB";
}

// Lines as wide as the widest image Kaptorix opens are read in slices and joined again: each comes
// back whole, in its place, and the recognition process stays within its bound (a line this long
// read at once took it 400 MB).
TEST_F(BackgroundRecognition, LinesAsWideAsTheLargestImageAreReadWholeWithinTheBound)
{
    QImage page(16384, 40, QImage::Format_RGB32);
    page.fill(Qt::white);
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    const QFontMetrics metrics(font);
    // Up to the image's edge, as a line of a page wider than the image; the edge cuts its last word.
    QStringList whole;
    {
        QPainter p(&page);
        p.setFont(font);
        p.setPen(QColor(20, 20, 20));
        for (int line = 0; line < 2; ++line) {
            QString text;
            for (int k = 0; metrics.horizontalAdvance(text) < 16600; ++k)
                text += QStringLiteral("Invoice %1-%2 for order %3 was paid on time; ")
                            .arg(line)
                            .arg(k)
                            .arg(4100 + k * 7);
            p.drawText(8, 15 + line * 20, text);
            while (metrics.horizontalAdvance(text) > page.width() - 8)
                text.chop(1);
            whole.append(text.section(QLatin1Char(' '), 0, -2));
        }
    }
    ocr::stopRecognizerProcess();
    const std::optional<OCRResult> read =
        ocr::recognizeInProcess(page, OCRLanguages::current(), OCRLanguages::dataDir());
    ASSERT_TRUE(read);
    ASSERT_TRUE(read->ok) << read->error.toStdString();
    ASSERT_EQ(read->lines.size(), whole.size()) << read->text().toStdString();
    for (qsizetype i = 0; i < whole.size(); ++i) {
        const TextObservation& line = read->lines[i];
        EXPECT_TRUE(line.text.startsWith(whole[i])) << line.text.toStdString();
        EXPECT_NEAR(line.box.bottom(), 15 + i * 20, 5);
        EXPECT_NEAR(line.box.left(), 8, 3);
        EXPECT_GT(line.box.right(), page.width() - 20);
        ASSERT_EQ(line.charBoxes.size(), line.text.size());
        // Left to right across the slices, each letter where it stands.
        for (qsizetype k = 0; k < line.charBoxes.size(); ++k) {
            EXPECT_TRUE(line.box.adjusted(-2, -2, 2, 2).contains(line.charBoxes[k]));
            if (k > 0) {
                EXPECT_GE(line.charBoxes[k].left(), line.charBoxes[k - 1].left() - 1) << k;
            }
        }
        const qsizetype at = line.text.indexOf(QStringLiteral("4100 "));
        ASSERT_GE(at, 0);
        EXPECT_NEAR(line.boundingBox(at, 4)->left(),
                    8 + metrics.horizontalAdvance(whole[i].left(whole[i].indexOf(QStringLiteral("4100 ")))),
                    4);
    }
    QFile status(QStringLiteral("/proc/%1/status").arg(ocr::recognizerProcessState().pid));
    ASSERT_TRUE(status.open(QIODevice::ReadOnly));
    const QByteArray all = status.readAll();
    const qsizetype at = all.indexOf("VmHWM:");
    EXPECT_LT(all.mid(at + 6, all.indexOf('\n', at) - at - 6).trimmed().split(' ')[0].toLong() / 1024, 200);
}

// Stopped by a hold for longer than the stall limit, the process has used no CPU all that time:
// that is a pause, not a stuck recognizer, and the reading goes on once the hold is gone. Here
// the process had no CPU for a moment before the hold either, as on a busy machine.
TEST_F(BackgroundRecognition, AReadingHeldLongerThanTheStallLimitIsNotTakenForStuck)
{
    constexpr qint64 kStallMs = 4000;
    ocr::setRecognizerStallMs(kStallMs);
    const QFuture<OCRResult> reading = OCRService::backgroundObservations(twoColumns(40, 3000));
    ASSERT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().reading; }, 60000));
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_EQ(::kill(pid_t(pid), SIGSTOP), 0);  // our own child; the hold's SIGCONT goes on with it
    ASSERT_TRUE(test::waitFor([pid] { return statField(pid, 3) == "T"; }));
    // Long enough for the reader to see its CPU time standing still, well short of the limit.
    const QDeadlineTimer seen(kStallMs / 8);
    EXPECT_TRUE(test::waitFor([&] { return seen.hasExpired(); }, 60000));
    BackgroundWork::Hold capture = BackgroundWork::hold();
    ASSERT_TRUE(test::waitFor([] { return ocr::recognizerProcessState().paused; }, 60000))
        << "the read finished without pausing";
    // The limit has to pass while held; nothing else tells when it has.
    const QDeadlineTimer pastTheLimit(kStallMs * 3 / 2);
    EXPECT_TRUE(test::waitFor([&] { return pastTheLimit.hasExpired(); }, 60000));
    EXPECT_FALSE(reading.isFinished());
    capture.reset();
    ASSERT_TRUE(test::waitFor([] { return !ocr::recognizerProcessState().paused; }));
    // The reader's first look after the hold decides. Then the default limit again: a busy machine
    // may well give the process no CPU for a few seconds, which is not what this is about.
    const QDeadlineTimer looked(1000);
    EXPECT_TRUE(test::waitFor([&] { return looked.hasExpired(); }));
    ocr::setRecognizerStallMs(0);
    ASSERT_TRUE(finishes(reading));
    EXPECT_TRUE(reading.result().ok) << reading.result().error.toStdString();
}

TEST_F(BackgroundRecognition, TheRecognitionProcessEndsWithItsParentEvenWhenStopped)
{
    test::ChildProcess parent(QStringLiteral(KX_RECOGNIZER_PARENT), {});
    ASSERT_TRUE(parent.waitReady(120000));
    const qint64 reader = parent.readyFields().value(0).toLongLong();
    ASSERT_GT(reader, 0);
    // Stopped while the parent holds background work.
    ASSERT_TRUE(test::waitFor([&] { return statField(reader, 3) == "T"; }, 30000))
        << statField(reader, 3).toStdString();
    ASSERT_TRUE(test::signalChild(parent.pid(), SIGKILL));
    // Gone, or a zombie where nothing reaps orphans.
    EXPECT_TRUE(test::waitFor(
        [&] {
            const QByteArray state = statField(reader, 3);
            return state.isEmpty() || state == "Z";
        },
        30000))
        << "state " << statField(reader, 3).toStdString();
}

TEST_F(BackgroundRecognition, AProcessThatEndedWhileIdleIsReplacedBeforeTheNextReading)
{
    const QImage page = twoColumns(2);
    const QFuture<OCRResult> first = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(first));
    ASSERT_TRUE(first.result().ok) << first.result().error.toStdString();
    const qint64 pid = ocr::recognizerProcessState().pid;
    ASSERT_GT(pid, 0);
    ASSERT_EQ(::kill(pid_t(pid), SIGKILL), 0);  // our own child, idle
    // Dead with all its threads (the engine's too), so its end of the socket is closed.
    const QDir threads(QStringLiteral("/proc/%1/task").arg(pid));
    ASSERT_TRUE(test::waitFor(
        [&] {
            return statField(pid, 3) == "Z" &&
                   threads.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size() == 1;
        },
        30000));

    const QFuture<OCRResult> next = OCRService::backgroundObservations(page);
    ASSERT_TRUE(finishes(next));
    EXPECT_TRUE(next.result().ok) << next.result().error.toStdString();
    EXPECT_EQ(next.result().text(), first.result().text());
    EXPECT_NE(ocr::recognizerProcessState().pid, pid);
}

// The reply as the reader sees it on a busy machine: cut anywhere, the length header too.
TEST(RecognizerProtocol, AReplyThatArrivesInPiecesIsReadWhole)
{
    ocr::RecognizeReply reply;
    reply.result.ok = true;
    reply.result.lines = {TextObservation{QStringLiteral("Shipment 7003"), QRectF(1, 2, 30, 4), 90, {}}};
    reply.engines = 1;
    int wire[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, wire), 0);
    ASSERT_TRUE(ocr::sendFrame(wire[0], ocr::encodeReply(reply)));
    QByteArray frame(64 * 1024, '\0');
    frame.resize(::recv(wire[1], frame.data(), std::size_t(frame.size()), MSG_DONTWAIT));
    ::close(wire[0]);
    ::close(wire[1]);
    ASSERT_GT(frame.size(), 8);

    // Where the bytes are cut into the pieces that arrive one by one.
    const std::vector<std::vector<qsizetype>> cuts{{1, 2, 3}, {2}, {3, 4}, {4, 6}, {1, frame.size() - 1}};
    for (const std::vector<qsizetype>& at : cuts) {
        SCOPED_TRACE(::testing::PrintToString(at));
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
        ocr::FrameReader reader;
        qsizetype sent = 0;
        for (const qsizetype cut : at) {
            ASSERT_EQ(::send(fds[0], frame.constData() + sent, std::size_t(cut - sent), 0), cut - sent);
            sent = cut;
            EXPECT_EQ(reader.readSome(fds[1]), ocr::FrameReader::State::More);
        }
        ASSERT_EQ(::send(fds[0], frame.constData() + sent, std::size_t(frame.size() - sent), 0),
                  frame.size() - sent);
        ASSERT_EQ(reader.readSome(fds[1]), ocr::FrameReader::State::Done);
        const std::optional<ocr::RecognizeReply> got = ocr::decodeReply(reader.take());
        ASSERT_TRUE(got);
        EXPECT_EQ(got->result.text(), QStringLiteral("Shipment 7003"));
        EXPECT_EQ(got->result.lines.value(0).box, QRectF(1, 2, 30, 4));
        ::close(fds[0]);
        ::close(fds[1]);
    }
}
