// Opening files from outside within bounds. Refused from their first bytes: a 5 GB file named .png
// (sparse, zeros), a 20000 × 20000 PNG whose header says 400 megapixels, and a HEIC whose coded
// stream is 28000 × 26160 behind a declared 24 × 16. Opened: a 16384 × 16384 RGBA PNG (the pixel
// limit; opaque, half transparent, and opaque filled with lines of text), a 64 × 48 PNG carrying a
// 500 MB text chunk, and HEICs of one colour 8192² and 16384² (a few hundred KB). Each opened
// file goes the way of an opened capture through core: read, thumbnail (edge 520) and the
// history's PNG. `peak_mb` is how far that one open raised the resident memory above what the
// process held before it (the peak is reset before each); `image_mb` the decoded image's size.
// With KX_BENCH_DIR set the files are written there and kept (bench/core/open-peak.sh opens them
// in the tray process); otherwise in a temporary folder that goes with the run.
#include "HeicBomb.h"
#include "PeakMemory.h"
#include "core/ImageReading.h"

#include <benchmark/benchmark.h>
#include <zlib.h>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>

using namespace kx;
using kx::test::resetPeakMb;
using kx::test::statusMb;

namespace {

QString filePath(const QString& name)
{
    static QTemporaryDir temp;
    const QString kept = qEnvironmentVariable("KX_BENCH_DIR");
    if (!kept.isEmpty()) {
        QDir().mkpath(kept);
        return QDir(kept).filePath(name);
    }
    return temp.filePath(name);
}

void writeChunk(QFile& f, const char* type, const QByteArray& data)
{
    uchar len[4];
    qToBigEndian(quint32(data.size()), len);
    f.write(reinterpret_cast<const char*>(len), 4);
    f.write(type, 4);
    f.write(data);
    uLong crc = crc32(0, reinterpret_cast<const Bytef*>(type), 4);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.constData()), uInt(data.size()));
    qToBigEndian(quint32(crc), len);
    f.write(reinterpret_cast<const char*>(len), 4);
}

QByteArray header(int w, int h)
{
    QByteArray ihdr(13, '\0');
    qToBigEndian(quint32(w), ihdr.data());
    qToBigEndian(quint32(h), ihdr.data() + 4);
    ihdr[8] = 8;  // bits per channel
    ihdr[9] = 6;  // RGBA
    return ihdr;
}

// Filtered rows deflated into IDAT chunks as they come, so that no whole picture is held.
class IdatStream {
public:
    IdatStream(QFile& f, int level) : f_(f), ok_(deflateInit(&z_, level) == Z_OK) {}
    ~IdatStream()
    {
        if (ok_)
            deflateEnd(&z_);
    }
    bool ok() const { return ok_; }
    void add(QByteArray& row)
    {
        z_.next_in = reinterpret_cast<Bytef*>(row.data());
        z_.avail_in = uInt(row.size());
        drain(Z_NO_FLUSH);
    }
    void finish() { drain(Z_FINISH); }

private:
    void drain(int flush)
    {
        int r;
        do {
            z_.next_out = reinterpret_cast<Bytef*>(out_.data());
            z_.avail_out = uInt(out_.size());
            r = deflate(&z_, flush);
            const qsizetype n = out_.size() - z_.avail_out;
            if (n > 0)
                writeChunk(f_, "IDAT", out_.left(n));
        } while (z_.avail_out == 0 || (flush == Z_FINISH && r == Z_OK));
    }

    QFile& f_;
    z_stream z_{};
    bool ok_;
    QByteArray out_ = QByteArray(1 << 20, '\0');
};

// A PNG of one RGBA colour, deflated row by row so that the benchmark never holds its pixels.
// `textMb` megabytes of tEXt follow the header.
bool writeUniformPng(const QString& path, int w, int h, QRgb rgba, int textMb)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("\x89PNG\r\n\x1a\n", 8);
    writeChunk(f, "IHDR", header(w, h));
    if (textMb > 0) {
        uchar len[4];
        qToBigEndian(quint32(qint64(textMb) * 1024 * 1024 + 8), len);
        f.write(reinterpret_cast<const char*>(len), 4);
        const QByteArray start = QByteArray("tEXtComment", 11) + '\0';
        f.write(start);
        uLong crc = crc32(0, reinterpret_cast<const Bytef*>(start.constData()), uInt(start.size()));
        const QByteArray piece(1024 * 1024, 'a');
        for (int i = 0; i < textMb; ++i) {
            crc = crc32(crc, reinterpret_cast<const Bytef*>(piece.constData()), uInt(piece.size()));
            f.write(piece);
        }
        qToBigEndian(quint32(crc), len);
        f.write(reinterpret_cast<const char*>(len), 4);
    }
    QByteArray row(1 + qsizetype(w) * 4, '\0');
    for (int x = 0; x < w; ++x) {
        row[1 + x * 4] = char(qRed(rgba));
        row[2 + x * 4] = char(qGreen(rgba));
        row[3 + x * 4] = char(qBlue(rgba));
        row[4 + x * 4] = char(qAlpha(rgba));
    }
    IdatStream idat(f, 9);
    if (!idat.ok())
        return false;
    for (int y = 0; y < h; ++y)
        idat.add(row);
    idat.finish();
    writeChunk(f, "IEND", {});
    return f.flush();
}

// An opaque PNG filled with lines of text (14 px, a line every 20 px, each as wide as the image),
// painted and deflated a strip at a time so that the benchmark never holds the whole picture.
bool writeTextPng(const QString& path, int w, int h)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    f.write("\x89PNG\r\n\x1a\n", 8);
    QByteArray ihdr = header(w, h);
    ihdr[9] = 2;  // RGB
    writeChunk(f, "IHDR", ihdr);
    IdatStream idat(f, 1);
    if (!idat.ok())
        return false;
    constexpr int kStep = 20, kStripLines = 26;
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(14);
    QImage strip(w, kStep * kStripLines, QImage::Format_RGB888);
    QByteArray row(1 + qsizetype(w) * 3, '\0');
    for (int top = 0; top < h; top += strip.height()) {
        strip.fill(Qt::white);
        {
            QPainter p(&strip);
            p.setFont(font);
            p.setPen(QColor(20, 20, 20));
            for (int line = 0; line < kStripLines; ++line) {
                const int n = top / kStep + line;
                QString text;
                for (int k = 0; text.size() < w / 6; ++k)
                    text += QStringLiteral("Invoice %1-%2 for order %3 was paid on time; ")
                                .arg(n)
                                .arg(k)
                                .arg(4100 + n * 13 + k * 7);
                p.drawText(8, line * kStep + 15, text);
            }
        }
        for (int y = 0; y < strip.height() && top + y < h; ++y) {
            std::copy_n(reinterpret_cast<const char*>(strip.constScanLine(y)), qsizetype(w) * 3,
                        row.data() + 1);
            idat.add(row);
        }
    }
    idat.finish();
    writeChunk(f, "IEND", {});
    return f.flush();
}

QString uniformPng(const QString& name, int w, int h, QRgb rgba, int textMb)
{
    const QString path = filePath(name);
    if (!QFile::exists(path))
        writeUniformPng(path, w, h, rgba, textMb);
    return path;
}

// What opening a file costs in core: the read, then the thumbnail and PNG of the history.
void open(benchmark::State& state, const QString& path)
{
    long peak = 0;
    double imageMb = 0;
    for (auto _ : state) {
        const long before = resetPeakMb();
        {
            const ImageRead read = readImageFile(path);
            if (!read.image) {
                state.SkipWithError("not opened");
                break;
            }
            const QImage& img = read.image->image;
            imageMb = double(img.sizeInBytes()) / (1024 * 1024);
            benchmark::DoNotOptimize(fitted(img, 520));
            benchmark::DoNotOptimize(encoded(img, ImageFormat::png, 0.9, read.image->scale));
        }
        peak = std::max(peak, statusMb("VmHWM:") - before);
    }
    state.counters["peak_mb"] = double(peak);
    state.counters["image_mb"] = imageMb;
}

void refuse(benchmark::State& state, const QString& path, bool tooLarge)
{
    long peak = 0;
    for (auto _ : state) {
        const long before = resetPeakMb();
        const ImageRead read = readImageFile(path);
        if (read.image || read.tooLarge != tooLarge)
            state.SkipWithError("not refused as expected");
        benchmark::DoNotOptimize(read);
        peak = std::max(peak, statusMb("VmHWM:") - before);
    }
    state.counters["peak_mb"] = double(peak);
}

void BM_Open16384SquarePng(benchmark::State& state)
{
    const bool translucent = state.range(0);
    open(state, uniformPng(translucent ? "limit-translucent.png" : "limit.png", 16384, 16384,
                           translucent ? qRgba(30, 120, 200, 128) : qRgb(30, 120, 200), 0));
}
BENCHMARK(BM_Open16384SquarePng)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("translucent")
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void BM_Open16384SquareTextPng(benchmark::State& state)
{
    const QString path = filePath(QStringLiteral("limit-text.png"));
    if (!QFile::exists(path))
        writeTextPng(path, 16384, 16384);
    open(state, path);
}
BENCHMARK(BM_Open16384SquareTextPng)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_OpenPngWith500MbText(benchmark::State& state)
{
    open(state, uniformPng("text.png", 64, 48, qRgb(30, 120, 200), 500));
}
BENCHMARK(BM_OpenPngWith500MbText)->Iterations(3)->Unit(benchmark::kMillisecond);

// A HEIC of one colour, `side` pixels square, written once with the application's own encoder
// (one colour codes to a few KB).
QString uniformHeic(const QString& name, int side)
{
    const QString path = filePath(name);
    if (!QFile::exists(path)) {
        QImage img(side, side, QImage::Format_RGB32);
        img.fill(qRgb(30, 120, 200));
        QFile f(path);
        if (f.open(QIODevice::WriteOnly))
            f.write(encoded(img, ImageFormat::heic, 0.5, 1.0).value_or(QByteArray()));
    }
    return path;
}

void BM_OpenHeic(benchmark::State& state)
{
    const int side = int(state.range(0));
    open(state, uniformHeic(QStringLiteral("square-%1.heic").arg(side), side));
}
BENCHMARK(BM_OpenHeic)->Arg(8192)->Arg(16384)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_RefuseSparse5GbPng(benchmark::State& state)
{
    const QString path = filePath("sparse.png");
    if (!QFile::exists(path)) {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.resize(qint64(5) * 1024 * 1024 * 1024);
    }
    refuse(state, path, false);
}
BENCHMARK(BM_RefuseSparse5GbPng)->Unit(benchmark::kMicrosecond);

void BM_Refuse20000SquarePng(benchmark::State& state)
{
    const QString path = filePath("huge.png");
    if (!QFile::exists(path)) {
        QImage big(20000, 20000, QImage::Format_Mono);
        big.fill(0);
        big.save(path, "png");
    }
    refuse(state, path, true);
}
BENCHMARK(BM_Refuse20000SquarePng)->Unit(benchmark::kMicrosecond);

void BM_RefuseHeicBomb(benchmark::State& state)
{
    const QString path = filePath("bomb.heic");
    if (!QFile::exists(path)) {
        QImage img(64, 64, QImage::Format_RGB32);
        img.fill(Qt::darkCyan);
        const QByteArray bomb =
            test::heicBomb(encoded(img, ImageFormat::heic, 0.5, 1.0).value_or(QByteArray()), QSize(24, 16),
                           QSize(28000, 26160));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bomb);
    }
    refuse(state, path, true);
}
BENCHMARK(BM_RefuseHeicBomb)->Unit(benchmark::kMicrosecond);

}  // namespace
