// ScrollRecorder X Y W H OUTDIR [SECONDS]: one automatic scrolling capture of the rectangle (points on
// the primary screen) through the real session, grabs and wheel, recording every call the
// session makes on the stitcher into OUTDIR (the fixture format the replay test reads) and
// the result as OUTDIR/result.png. Prints the result's size and the session's note. With
// SECONDS the capture stays in manual mode (someone else turns the wheel) and ends then.
// ScrollRecorder --truth OUTDIR REGIONS PHOTODIR: checks OUTDIR/result.png against the photographs
// themselves. REGIONS ("top,left,N;...", page pixels) are where photo-N.png of PHOTODIR
// lies on the page: each must show in the result exactly as the file has it (the page as it is
// once loaded). Prints how many are whole, how many show the grey placeholder over 20 rows or more,
// and how many show something else (a photo joined from several moments of its fade, or torn),
// with where; photos below the result's end are not counted.
// ScrollRecorder --status-lines PNG: where a pager's status lines sit in an image.
// ScrollRecorder --order OUTDIR STATUS_ROWS [TOP_ROWS]: whether every recorded frame of a capture,
// less its last STATUS_ROWS rows (a pager's status line) and its first TOP_ROWS (a sticky header),
// shows in the result, in order and without gaps.
// ScrollRecorder --grabs OUTDIR: for a capture recorded with KX_RECORD_GRABS, each grab after the
// first against the one before: the rows whose content changed (the scroll bar's strip left out,
// as settling leaves it), and whether settling takes the pair for the view gliding. Grabs the
// session handed on are named after their frame.
// ScrollRecorder --check OUTDIR REGIONS: checks OUTDIR/result.png against the frames recorded
// beside it. REGIONS ("top,bottom,left,right;...", page pixels) are the parts of the page that
// change by themselves: each must show in the result as one recorded frame showed it. Prints
// the result's height, how many regions are torn, the rows showing a photo's placeholder grey
// (#888888), and for a table whose first cells are coloured by row number (probe-page.py's
// sticky kind) the header bands and whether the rows come in order.
#include "capture/scroll/ScrollCaptureSession.h"
#include "capture/scroll/ScrollRowMasks.h"
#include "core/Prefs.h"

#include "RecordedCapture.h"

#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QHash>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

// Hashes of columns [left, right) of every row of `image`.
std::vector<size_t> rowHashes(const QImage& image, int left, int right)
{
    std::vector<size_t> out(std::size_t(image.height()));
    left = std::clamp(left, 0, image.width());
    right = std::clamp(right, left, image.width());
    for (int y = 0; y < image.height(); ++y)
        out[std::size_t(y)] = qHashBits(image.constScanLine(y) + 4 * left, std::size_t(4 * (right - left)));
    return out;
}

int check(const QString& dir, const QString& regions)
{
    const QImage result = QImage(dir + QStringLiteral("/result.png")).convertToFormat(QImage::Format_RGB32);
    if (result.isNull()) {
        std::printf("no result\n");
        return 1;
    }
    std::vector<QImage> frames;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("[0-9]*.png")}))
        frames.push_back(QImage(dir + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32));
    int torn = 0, checked = 0;
    QStringList tornAt;
    for (const QString& r : regions.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList v = r.split(QLatin1Char(','));
        if (v.size() != 4)
            continue;
        const int top = v[0].toInt(), bottom = std::min(v[1].toInt(), result.height());
        const int left = v[2].toInt(), right = v[3].toInt();
        if (bottom <= top)
            continue;
        ++checked;
        const std::vector<size_t> want = rowHashes(result, left, right);
        bool whole = false;
        for (const QImage& f : frames) {
            const std::vector<size_t> have = rowHashes(f, left, right);
            // A region cut by the result's end is compared from its top.
            for (int o = 0; o + (bottom - top) <= f.height() && !whole; ++o) {
                bool same = true;
                for (int y = top; y < bottom && same; ++y)
                    same = have[std::size_t(o + y - top)] == want[std::size_t(y)];
                whole = same;
            }
            if (whole)
                break;
        }
        if (!whole) {
            ++torn;
            tornAt << QString::number(top);
        }
    }
    int grey = 0;
    for (int y = 0; y < result.height(); ++y) {
        const QRgb* p = reinterpret_cast<const QRgb*>(result.constScanLine(y));
        for (int x = 0, run = 0; x < result.width(); ++x)
            if ((run = (p[x] & 0xffffff) == 0x888888 ? run + 1 : 0) == 20) {
                ++grey;
                break;
            }
    }
    // The table's first cells, coloured by row number, down column 62; the header is green.
    // The colours repeat every 200 rows: rows are in order when each follows the one before
    // in that cycle.
    QHash<QRgb, int> rowOf;
    for (int i = 1; i <= 200; ++i)
        rowOf.insert(qRgb(40 + (i * 37) % 200, 40 + (i * 91) % 200, 40 + (i * 53) % 200), i);
    int headers = 0, last = 0, rows = 0, disorder = 0;
    bool inHeader = false;
    for (int y = 0; y < result.height() && result.width() > 62; ++y) {
        const QRgb p = result.pixel(62, y) & 0xffffff;
        const bool header = p == (qRgb(46, 125, 50) & 0xffffff);
        headers += header && !inHeader;
        inHeader = header;
        const int i = rowOf.value(p | 0xff000000u, 0);
        if (i && i != last && (last > 0 || i == 1)) {  // the table begins at its row 1 (#282828 is also text)
            disorder += i != last % 200 + 1;
            last = i;
            ++rows;
        }
    }
    // A header bar the full width of the page (probe-page.py's shrink kind, dark blue at the left
    // edge): how many bands, and whether the top one is as the first frame or the last shows it.
    int bars = 0, barRows = 0;
    for (int y = 0, in = 0; y < result.height() && result.width() > 5; ++y) {
        const bool bar = (result.pixel(5, y) & 0xffffff) == 0x1a237e;
        bars += bar && !in;
        barRows += bar;
        in = bar;
    }
    QString barState;
    if (bars > 0 && !frames.empty()) {
        auto sameTop = [&](const QImage& f, int rows) {
            for (int y = 0; y < rows && y < f.height() && y < result.height(); ++y)
                if (std::memcmp(f.constScanLine(y), result.constScanLine(y),
                                std::size_t(4 * std::min(f.width(), result.width()))) != 0)
                    return false;
            return true;
        };
        auto barHeight = [](const QImage& f) {
            int y = 0;
            while (y < f.height() && (f.pixel(5, y) & 0xffffff) == 0x1a237e)
                ++y;
            return y;
        };
        barState = sameTop(frames.front(), barHeight(frames.front()) + 8) ? QStringLiteral("first")
                   : sameTop(frames.back(), barHeight(frames.back()) + 8) ? QStringLiteral("last")
                                                                          : QStringLiteral("mixed");
    }
    std::printf("height=%d regions=%d torn=%d%s%s placeholder_rows=%d", result.height(), checked, torn,
                torn ? " at " : "", qPrintable(tornAt.join(QLatin1Char(','))), grey);
    if (bars > 0)
        std::printf(" header_bars=%d bar_rows=%d top_bar=%s", bars, barRows, qPrintable(barState));
    if (rows > 5)
        std::printf(" header_bands=%d table_rows=%d out_of_order=%d", headers, rows, disorder);
    std::printf("\n");
    return 0;
}

// How many pixels of rows [top, top + rows) of `result` (columns from `left`) differ from `photo`
// by more than a few levels in some channel (a PNG drawn 1:1 by the browser is exact).
int rowDiffers(const QImage& result, const QImage& photo, int y, int top, int left)
{
    const QRgb* a = reinterpret_cast<const QRgb*>(result.constScanLine(top + y)) + left;
    const QRgb* b = reinterpret_cast<const QRgb*>(photo.constScanLine(y));
    int off = 0;
    for (int x = 0; x < photo.width(); ++x)
        off += std::abs(qRed(a[x]) - qRed(b[x])) > 3 || std::abs(qGreen(a[x]) - qGreen(b[x])) > 3 ||
               std::abs(qBlue(a[x]) - qBlue(b[x])) > 3;
    return off;
}

int truth(const QString& dir, const QString& regions, const QString& photos)
{
    const QImage result = QImage(dir + QStringLiteral("/result.png")).convertToFormat(QImage::Format_RGB32);
    if (result.isNull()) {
        std::printf("no result\n");
        return 1;
    }
    int counted = 0, whole = 0, placeholder = 0, other = 0, beyond = 0, listed = 0;
    QStringList where;
    for (const QString& r : regions.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QStringList v = r.split(QLatin1Char(','));
        if (v.size() != 3)
            continue;
        ++listed;
        const int top = v[0].toInt(), left = v[1].toInt();
        const QImage photo =
            QImage(photos + QStringLiteral("/photo-%1.png").arg(v[2])).convertToFormat(QImage::Format_RGB32);
        if (photo.isNull() || left + photo.width() > result.width()) {
            where << QStringLiteral("%1:unreadable").arg(v[2]);
            continue;
        }
        const int rows = std::min(photo.height(), result.height() - top);
        if (rows < photo.height()) {
            // Cut by the result's end: the capture stopped there (its note says why).
            beyond += 1;
            if (rows < 1)
                continue;
        }
        ++counted;
        int grey = 0, bad = 0, firstBad = -1;
        for (int y = 0; y < rows; ++y) {
            const QRgb* p = reinterpret_cast<const QRgb*>(result.constScanLine(top + y)) + left;
            int run = 0;
            for (int x = 0; x < photo.width() && run < 20; ++x)
                run = (p[x] & 0xffffff) == 0x888888 ? run + 1 : 0;
            grey += run >= 20;
            // A few pixels may differ where text or a shadow lies over the photo's edge.
            if (rowDiffers(result, photo, y, top, left) > photo.width() / 50) {
                ++bad;
                firstBad = firstBad < 0 ? y : firstBad;
            }
        }
        if (bad == 0) {
            ++whole;
        } else if (grey > 0) {
            ++placeholder;
            where << QStringLiteral("%1:grey%2").arg(v[2]).arg(grey);
        } else {
            ++other;
            where << QStringLiteral("%1:off%2from%3").arg(v[2]).arg(bad).arg(firstBad);
        }
    }
    std::printf("height=%d photos=%d/%d whole=%d placeholder=%d other=%d below_end=%d%s%s\n", result.height(),
                counted, listed, whole, placeholder, other, beyond, where.isEmpty() ? "" : " at ",
                qPrintable(where.join(QLatin1Char(' '))));
    return 0;
}

// A terminal capture's rows in order: every recorded frame, less its last `status` rows (the
// pager's status line), must be rows of the result, each frame found no higher than the one
// before it and reaching at least down to where it starts (no gap between them).
int order(const QString& dir, int status, int topRows)
{
    const QImage result = QImage(dir + QStringLiteral("/result.png")).convertToFormat(QImage::Format_RGB32);
    if (result.isNull()) {
        std::printf("no result\n");
        return 1;
    }
    // The result may lack the strip an overlay scroll bar used at the right edge.
    const std::vector<size_t> have = rowHashes(result, 0, result.width());
    int found = 0, missing = 0, backwards = 0, gaps = 0, at = 0, reach = -1;
    QStringList names;
    for (const kx::test::StitchCall& call : kx::test::readCalls(dir))
        if (!call.frame.isNull()) {
            const QImage f = call.frame.convertToFormat(QImage::Format_RGB32);
            const int rows = f.height() - status - topRows;
            std::vector<size_t> want = rowHashes(f, 0, result.width());
            want.erase(want.begin(), want.begin() + topRows);
            int where = -1;
            for (int p = 0; p + rows <= result.height() && where < 0; ++p)
                if (std::equal(want.begin(), want.begin() + rows, have.begin() + p))
                    where = p;
            if (where < 0) {
                ++missing;
                continue;
            }
            ++found;
            backwards += where < at;
            gaps += reach >= 0 && where > reach;
            at = std::max(at, where);
            reach = std::max(reach, where + rows);
        }
    std::printf("height=%d frames_found=%d not_in_result=%d out_of_order=%d gaps=%d\n", result.height(),
                found, missing, backwards, gaps);
    return 0;
}

// Rows of a mask as runs, "value*rows,...".
QString runs(const kx::VerticalStitcher::RowMask& mask)
{
    QStringList out;
    for (std::size_t r = 0; r < mask.size();) {
        const std::size_t from = r;
        while (r < mask.size() && mask[r] == mask[from])
            ++r;
        out << QStringLiteral("%1*%2").arg(int(mask[from])).arg(r - from);
    }
    return out.join(QLatin1Char(','));
}

int grabs(const QString& dir)
{
    std::vector<QImage> grabbed;
    for (const QString& name : QDir(dir + QStringLiteral("/grabs")).entryList({QStringLiteral("*.png")}))
        grabbed.push_back(
            QImage(dir + QStringLiteral("/grabs/") + name).convertToFormat(QImage::Format_RGB32));
    std::map<std::size_t, QString> frameOf;
    for (const QString& name : QDir(dir).entryList({QStringLiteral("[0-9]*.png")})) {
        const QImage f = QImage(dir + QLatin1Char('/') + name).convertToFormat(QImage::Format_RGB32);
        for (std::size_t i = 0; i < grabbed.size(); ++i)
            if (grabbed[i] == f)
                frameOf[i] = name;
    }
    for (std::size_t i = 1; i < grabbed.size(); ++i) {
        const kx::VerticalStitcher::RowMask changed =
            kx::ScrollCaptureSession::changedContent(grabbed[i - 1], grabbed[i]);
        std::printf("%04zu %-7s changed=%d glide=%d %s\n", i, frameOf.count(i) ? qPrintable(frameOf[i]) : "",
                    kx::rowmask::count(changed),
                    int(kx::rowmask::scrolled(grabbed[i - 1], grabbed[i], changed)),
                    qPrintable(runs(changed)));
    }
    return grabbed.empty() ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc >= 3 && QByteArray(argv[1]) == "--replay") {
        // --replay DIR [OUT.png]: the recorded calls into a new stitcher, each outcome printed.
        const kx::test::Replay r = kx::test::replay(kx::test::readCalls(QString::fromLocal8Bit(argv[2])));
        for (const auto& o : r.outcomes)
            std::printf("%s%d%s ",
                        o.kind == kx::VerticalStitcher::Outcome::Kind::appended   ? "+"
                        : o.kind == kx::VerticalStitcher::Outcome::Kind::noChange ? "="
                                                                                  : "x",
                        o.dy, o.changing ? "!" : "");
        std::printf("\nheight=%d\n", r.image.height());
        if (argc > 3)
            r.image.save(QString::fromLocal8Bit(argv[3]));
        return 0;
    }
    if (argc == 3 && QByteArray(argv[1]) == "--grabs")
        return grabs(QString::fromLocal8Bit(argv[2]));
    if ((argc == 4 || argc == 5) && QByteArray(argv[1]) == "--order")
        return order(QString::fromLocal8Bit(argv[2]), atoi(argv[3]), argc == 5 ? atoi(argv[4]) : 0);
    if (argc == 5 && QByteArray(argv[1]) == "--truth")
        return truth(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                     QString::fromLocal8Bit(argv[4]));
    if (argc == 4 && QByteArray(argv[1]) == "--check")
        return check(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    if (argc == 3 && QByteArray(argv[1]) == "--status-lines") {
        const QImage image(QString::fromLocal8Bit(argv[2]));
        const std::vector<int> at = kx::test::statusLines(image);
        std::printf("height=%d status_lines=%d at", image.height(), int(at.size()));
        for (int y : at)
            std::printf(" %d", y);
        std::printf("\n");
        return 0;
    }
    if (argc < 6) {
        std::fprintf(stderr, "usage: ScrollRecorder X Y W H OUTDIR\n");
        return 2;
    }
    const QRectF rect(atof(argv[1]), atof(argv[2]), atof(argv[3]), atof(argv[4]));
    const QString dir = QString::fromLocal8Bit(argv[5]);
    QDir().mkpath(dir);
    QFile::remove(dir + QStringLiteral("/calls.txt"));
    kx::Prefs::registerDefaults();
    kx::ScrollCaptureSession::Environment env = kx::ScrollCaptureSession::Environment::real();
    env.showUi = false;
    // KX_RECORD_GRABS=1: every grab as well, in OUTDIR/grabs (for looking into settling).
    if (qEnvironmentVariableIsSet("KX_RECORD_GRABS")) {
        QDir().mkpath(dir + QStringLiteral("/grabs"));
        env.grab = [dir, real = env.grab, n = 0](QScreen* screen, const QRectF& r) mutable {
            auto shot = real(screen, r);
            if (shot)
                shot->image.save(dir + QStringLiteral("/grabs/%1.png").arg(n++, 4, 10, QLatin1Char('0')));
            return shot;
        };
    }
    int index = 0;
    std::map<QByteArray, QString> frames;
    bool written = true;
    // KX_RECORD_CROP=W: the recorded frames cut to their left W pixels (a fixture's size).
    const int crop = qEnvironmentVariableIntValue("KX_RECORD_CROP");
    env.record = [&](const kx::ScrollCaptureSession::StitchCall& call) {
        kx::ScrollCaptureSession::StitchCall kept = call;
        if (crop > 0 && !kept.frame.isNull())
            kept.frame = kept.frame.copy(0, 0, std::min(crop, kept.frame.width()), kept.frame.height());
        written = kx::test::writeCall(dir, kept, index++, frames) && written;
    };
    kx::ScrollCaptureSession session(QGuiApplication::primaryScreen(), rect, env);
    kx::ScrollCaptureSession::Result result;
    QEventLoop loop;
    session.run(QImage(), [&](kx::ScrollCaptureSession::Result r) {
        result = std::move(r);
        loop.quit();
    });
    if (argc > 6) {
        QTimer::singleShot(int(atof(argv[6]) * 1000), &session, [&] { session.requestDone(); });
    } else {
        // As a user does: Auto-scroll once the capture shows.
        QTimer::singleShot(300, &session, [&] { session.toggleAuto(); });
    }
    loop.exec();
    if (!result.image.isNull())
        result.image.save(dir + QStringLiteral("/result.png"));
    std::printf("result %dx%d note=%s calls=%d%s\n", result.image.width(), result.image.height(),
                qPrintable(result.note.isEmpty() ? QStringLiteral("-") : result.note), index,
                written ? "" : " (not all written)");
    return result.image.isNull() ? 1 : 0;
}
