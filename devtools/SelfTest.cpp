#include "devtools/SelfTest.h"

#include "analysis/Palette.h"
#include "capture/scroll/VerticalStitcher.h"
#include "core/ColorUtils.h"
#include "core/Enums.h"
#include "core/FileNaming.h"
#include "core/SourceKind.h"
#include "library/upload/UploadQueue.h"

#include <QColorSpace>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QSaveFile>
#include <QStringList>
#include <QUuid>
#include <array>
#include <cstdio>
#include <limits>

namespace kx {

#ifdef KX_SELFTEST_INJECT
// Test builds only: a hook that may replace the short hex text, so one check fails on purpose.
QString selfTestInjectedHex(const QString& text);
#endif

namespace {

int g_failures = 0;

void printLine(const QString& line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

QImage newBitmap(int width, int height)
{
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.setColorSpace(QColorSpace::SRgb);
    return image;
}

// The 64-bit linear congruential generator of the synthetic page.
struct PageRandom {
    quint64 state = 0x9E3779B97F4A7C15ULL;
    double next()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return double((state >> 33) & 0xFFFF) / 65535.0;
    }
};

struct Scenario {
    const char* name;
    int header;
    int footer;
};
constexpr std::array<Scenario, 4> kScenarios{{
    {"plain scroll", 0, 0},
    {"sticky header", 70, 0},
    {"sticky header + footer", 70, 46},
    {"sticky footer", 0, 40},
}};
constexpr std::array<int, 10> kOffsets{0, 180, 360, 590, 760, 1010, 1180, 1500, 1620, 1900};
constexpr int kFrameW = 600;
constexpr int kFrameH = 500;
constexpr int kStitchedH = 2400;

// Rows [from, from + count) of `source` drawn at row `to` of `target`.
void copyRows(QPainter& p, const QImage& source, int from, int count, int to)
{
    if (count > 0)
        p.drawImage(QPoint(0, to), source, QRect(0, from, source.width(), count));
}

}  // namespace

int SelfTest::failures()
{
    return g_failures;
}

void SelfTest::check(bool ok, const QString& text)
{
    if (!ok)
        ++g_failures;
    printLine(QStringLiteral("  ") + (ok ? QChar(0x2713) : QChar(0x2717)) + QLatin1Char(' ') + text);
}

QImage SelfTest::makePage(int width, int height)
{
    QImage image = newBitmap(width, height);
    image.fill(Qt::white);
    QPainter p(&image);
    PageRandom rnd;
    int y = 8;
    while (y < height - 12) {
        const int lh = 6 + int(16 * rnd.next());
        if (width - 40 > 12) {
            int x = 12;
            while (x < width - 40) {
                const int w = 20 + int(140 * rnd.next());
                const double a = 0.1 + 0.6 * rnd.next();
                const double g = 0.6 + 0.4 * rnd.next();
                const double b = 0.5 + 0.5 * rnd.next();
                p.fillRect(QRect(x, y, std::min(width - 20 - x, w), lh), QColor::fromRgbF(a, a * g, a * b));
                x += w + 8 + int(20 * rnd.next());
            }
        }
        y += lh + 6 + int(14 * rnd.next());
    }
    return image;
}

qint64 SelfTest::differs(const QImage& a, const QImage& b)
{
    if (a.size() != b.size())
        return std::numeric_limits<qint64>::max();
    const auto bytes = [](const QImage& image) {
        QImage drawn = newBitmap(image.width(), image.height());
        drawn.fill(Qt::transparent);
        {
            QPainter p(&drawn);
            p.setCompositionMode(QPainter::CompositionMode_Source);
            p.drawImage(0, 0, image);
        }
        QByteArray out;
        out.reserve(qsizetype(image.width()) * image.height() * 4);
        for (int y = 0; y < drawn.height(); ++y)
            out.append(reinterpret_cast<const char*>(drawn.constScanLine(y)), qsizetype(drawn.width()) * 4);
        return out;
    };
    const QByteArray x = bytes(a);
    const QByteArray y = bytes(b);
    qint64 n = 0;
    for (qsizetype i = 0; i < x.size(); ++i)
        n += x[i] != y[i];
    return n;
}

int SelfTest::run()
{
    printLine(QStringLiteral("Kaptorix self-test"));
    stitcher();
    colors();
    naming();
    palettesAndEmbeds();
    uploadQueue();
    printLine(g_failures > 0 ? QString::number(g_failures) + QStringLiteral(" FAILED")
                             : QStringLiteral("ALL PASSED"));
    return g_failures > 0 ? 1 : 0;
}

void SelfTest::stitcher()
{
    printLine(QStringLiteral("Stitcher"));
    const QImage page = makePage(kFrameW, 6000);
    for (const Scenario& s : kScenarios) {
        const QString name = QString::fromLatin1(s.name);
        const int h = s.header;
        const int f = s.footer;
        const QImage header = makePage(kFrameW, std::max(h, 1)).copy(0, 0, kFrameW, std::max(h, 1));
        const QImage footer = makePage(kFrameW, std::max(f, 1) + 3).copy(0, 3, kFrameW, std::max(f, 1));
        const auto frameAt = [&](int offset) {
            QImage frame = newBitmap(kFrameW, kFrameH);
            frame.fill(Qt::white);
            QPainter p(&frame);
            copyRows(p, page, offset + h, kFrameH - h - f, h);
            copyRows(p, header, 0, h, 0);
            copyRows(p, footer, 0, f, kFrameH - f);
            return frame;
        };

        VerticalStitcher stitcher(frameAt(kOffsets[0]));
        bool allMatched = true;
        for (size_t i = 1; i < kOffsets.size(); ++i) {
            const QImage frame = frameAt(kOffsets[i]);
            const bool sameSize = frame.size() == QSize(kFrameW, kFrameH);
            const auto first = sameSize ? stitcher.add(frame).kind : VerticalStitcher::Outcome::Kind::noMatch;
            const auto again = sameSize ? stitcher.add(frame).kind : VerticalStitcher::Outcome::Kind::noMatch;
            allMatched = allMatched && first == VerticalStitcher::Outcome::Kind::appended &&
                         again == VerticalStitcher::Outcome::Kind::noChange;
        }
        check(allMatched, name + QStringLiteral(": every frame matched"));

        const QImage result = stitcher.finish();
        if (result.isNull()) {
            check(false, name + QStringLiteral(": finish()"));
            continue;
        }
        check(result.height() == kStitchedH, name + QStringLiteral(": height ") +
                                                 QString::number(result.height()) +
                                                 QStringLiteral(" == 2400"));

        QImage expected = newBitmap(kFrameW, kStitchedH);
        expected.fill(Qt::white);
        {
            QPainter p(&expected);
            copyRows(p, page, h, kStitchedH - h - f, h);
            copyRows(p, header, 0, h, 0);
            copyRows(p, footer, 0, f, kStitchedH - f);
        }
        const qint64 n = differs(result, expected);
        check(n == 0, name + QStringLiteral(": pixel-exact result (") + QString::number(n) +
                          QStringLiteral(" differing bytes)"));
    }
}

void SelfTest::colors()
{
    printLine(QStringLiteral("Color formats"));
    const QColor color = QColor::fromRgbF(161 / 255.0, 178 / 255.0, 195 / 255.0, 1.0);
    const QString hex = formatted(color, ColorFormat::hex);
    check(hex == QStringLiteral("#A1B2C3"), QStringLiteral("hex ") + hex);
    const QString rgb = formatted(color, ColorFormat::rgb);
    check(rgb == QStringLiteral("rgb(161, 178, 195)"), QStringLiteral("rgb ") + rgb);
    const QString hsl = formatted(color, ColorFormat::hsl);
    check(hsl == QStringLiteral("hsl(210, 22%, 70%)"), QStringLiteral("hsl ") + hsl);
    QString shortHex = QStringLiteral("#fff");
#ifdef KX_SELFTEST_INJECT
    shortHex = selfTestInjectedHex(shortHex);
#endif
    const std::optional<QColor> parsed = colorFromHex(shortHex);
    check(parsed && formatted(*parsed, ColorFormat::hex) == QStringLiteral("#FFFFFF"),
          QStringLiteral("short hex parse"));
}

void SelfTest::naming()
{
    printLine(QStringLiteral("File naming"));
    // The user's pattern may leave the title out (the default does): a pattern that takes it
    // makes the cleaning visible, so broken naming fails here.
    const QString name = FileNaming::fill(QStringLiteral("{title} {kind}"), QDateTime::currentDateTime(),
                                          QStringLiteral("a/b:c"), label(SourceKind::area));
    check(name.contains(QLatin1String("a-b-c")) && !name.contains(QLatin1Char('/')) &&
              !name.contains(QLatin1Char(':')),
          QStringLiteral("illegal characters stripped: ") + name);
}

void SelfTest::palettesAndEmbeds()
{
    printLine(QStringLiteral("Palette & upload embed codes"));
    QImage image(64, 64, QImage::Format_RGBA8888_Premultiplied);
    if (image.isNull()) {
        check(false, QStringLiteral("synthetic image"));
        return;
    }
    image.setColorSpace(QColorSpace::SRgb);
    {
        QPainter p(&image);
        p.fillRect(QRect(0, 0, 32, 64), QColor(255, 0, 0));
        p.fillRect(QRect(32, 0, 32, 64), QColor(0, 0, 255));
    }
    const QList<PaletteColor> colours = Palette::dominant(image, 4);
    QStringList texts;
    for (const PaletteColor& c : colours)
        texts << QString::asprintf("#%02X%02X%02X", c.r, c.g, c.b);
    QStringList quoted;
    for (const QString& t : texts)
        quoted << QLatin1Char('"') + t + QLatin1Char('"');
    const bool redBlue = texts.size() >= 2 && ((texts[0] == "#FF0000" && texts[1] == "#0000FF") ||
                                               (texts[0] == "#0000FF" && texts[1] == "#FF0000"));
    check(redBlue, QStringLiteral("two halves give red and blue: [") + quoted.join(QStringLiteral(", ")) +
                       QLatin1Char(']'));
    check(colours.size() <= 4, QStringLiteral("never more than the requested count"));

    const QString url = QStringLiteral("https://example.com/shots/a.png");
    check(uploadCopyText(UploadCopyFormat::link, url, QStringLiteral("Shot")) == url,
          QStringLiteral("link format is the bare URL"));
    check(uploadCopyText(UploadCopyFormat::markdown, url, QStringLiteral("Shot [1]")) ==
              QStringLiteral("![Shot \\[1\\]](") + url + QLatin1Char(')'),
          QStringLiteral("markdown escapes brackets"));
    check(uploadCopyText(UploadCopyFormat::html, url + QStringLiteral("?b=1&c=2"), QStringLiteral("a\"b")) ==
              QStringLiteral("<img src=\"") + url + QStringLiteral("?b=1&amp;c=2\" alt=\"a&quot;b\">"),
          QStringLiteral("html escapes attribute characters"));
}

void SelfTest::uploadQueue()
{
    printLine(QStringLiteral("Upload queue"));
    const QString folder = QDir::tempPath() + QStringLiteral("/kx-selftest-queue-") +
                           QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    struct Cleanup {
        QString dir;
        ~Cleanup() { QDir(dir).removeRecursively(); }
    } cleanup{folder};

    const QByteArray png("png-bytes");
    const auto pngOf = [&](const QUuid& id) {
        return folder + QLatin1Char('/') + id.toString(QUuid::WithoutBraces).toUpper() +
               QStringLiteral(".png");
    };
    UploadQueue queue(folder);
    PendingUpload item;
    item.id = QUuid::createUuid();
    item.fileName = QStringLiteral("Shot 1.png");
    item.queuedAt = QDateTime::currentDateTime();
    item.attempts = 1;
    item.lastError = QStringLiteral("offline");
    {
        QSaveFile file(pngOf(item.id));
        if (file.open(QIODevice::WriteOnly) && file.write(png) == png.size())
            file.commit();
    }
    queue.append(item);
    queue.save();

    check(queue.items().size() == 1 && queue.items().first().attempts == 1,
          QStringLiteral("a failed upload is queued"));
    // The checks below need the first item; with none they fail instead of reading past the list.
    const bool has = !queue.items().isEmpty();
    const QUuid id = has ? queue.items().first().id : QUuid();
    bool stored = false;
    if (has) {
        QFile file(pngOf(id));
        stored = file.open(QIODevice::ReadOnly) && file.readAll() == png;
    }
    check(stored, QStringLiteral("the image is stored with it"));
    if (has)
        queue.recordFailure(id, QStringLiteral("still offline"));
    check(has && !queue.items().isEmpty() && queue.items().first().attempts == 2 &&
              queue.items().first().lastError == QStringLiteral("still offline"),
          QStringLiteral("a retry failure is counted"));
    {
        UploadQueue reloaded(folder);
        check(
            reloaded.items().size() == 1 && reloaded.items().first().fileName == QStringLiteral("Shot 1.png"),
            QStringLiteral("the queue survives a restart"));
    }
    if (has)
        queue.remove(id);
    QFile gone(has ? pngOf(id) : QString());
    check(has && queue.items().isEmpty() && !gone.open(QIODevice::ReadOnly),
          QStringLiteral("removing an item deletes its image too"));
}

}  // namespace kx
