// Recognition costs on screen-sized images: text of a busy 1920x1080 screen and of the pages of
// the test corpus with each way of reading them, barcodes.
#include "analysis/OCRLanguages.h"
#include "analysis/OCRService.h"
#include "analysis/PageLayout.h"
#include "analysis/Polarity.h"
#include "analysis/SensitiveData.h"
#include "analysis/TextRecognizer.h"
#include "tests/analysis/corpus/OcrCorpus.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <benchmark/benchmark.h>
#include <QFont>
#include <QHash>
#include <QPainter>
#include <algorithm>

using namespace kx;

namespace {

QString screenLine(int col, int row)
{
    return QStringLiteral("%1. Invoice 2026-%2 paid by transfer, total %3.50 EUR, reference KX-%4")
        .arg(row + 1)
        .arg(row * 3 + col)
        .arg(row * 17 + 4)
        .arg(1000 + row);
}

// Two columns of 13-px text with a header band: a text-heavy screenshot.
QImage textHeavyScreen()
{
    QImage img(1920, 1080, QImage::Format_ARGB32_Premultiplied);
    img.fill(QColor(250, 250, 250));
    QPainter p(&img);
    p.fillRect(0, 0, 1920, 40, QColor(45, 50, 60));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(13);
    p.setFont(f);
    p.setPen(Qt::white);
    p.drawText(16, 26, QStringLiteral("File  Edit  View  Window  Help"));
    p.setPen(QColor(25, 25, 25));
    for (int col = 0; col < 2; ++col)
        for (int row = 0; row < 50; ++row)
            p.drawText(40 + col * 940, 70 + row * 20, screenLine(col, row));
    return img;
}

// The screen's text in reading order: the menu band, the left column, the right column.
QString screenText()
{
    QStringList lines{QStringLiteral("File Edit View Window Help")};
    for (int col = 0; col < 2; ++col)
        for (int row = 0; row < 50; ++row)
            lines.append(screenLine(col, row));
    return lines.join('\n');
}

struct Way {
    const char* name;
    ocr::ReadOptions options;
};

const Way kWays[] = {
    {"blocks, one block each, 1.5x (the application's way)", {1.5, true, 6}},
    {"blocks, one block each, 2x", {2.0, true, 6}},
    {"blocks, one block each, 1.25x", {1.25, true, 6}},
    {"blocks, automatic in each, 1.5x", {1.5, true, 3}},
    {"whole page as one block, 1.5x", {1.5, false, 6}},
    {"whole page, automatic, 1.5x", {1.5, false, 3}},
    {"whole page, one column, 1.5x", {1.5, false, 4}},
    {"whole page as one block, 2x (the way before)", {2.0, false, 6}},
};

// Arg 0: the corpus page (its count: the 164-line screen); arg 1: the way of reading.
void BM_OCR_Corpus(benchmark::State& state)
{
    static const QList<test::CorpusPage> corpus = test::ocrCorpus(QStringLiteral(KX_OCR_CORPUS_DIR));
    const int index = int(state.range(0));
    test::CorpusPage page;
    if (index < corpus.size()) {
        page = corpus[index];
    } else {
        page = {QStringLiteral("164-line screen"),
                textHeavyScreen(),
                screenText(),
                {QStringLiteral("eng")},
                0,
                1,
                {}};
    }
    if (page.image.isNull()) {
        state.SkipWithError("page does not parse");
        return;
    }
    const Way& way = kWays[state.range(1)];
    const QString dataDir = OCRLanguages::dataDir();
    ocr::recognize(page.image, page.languages, dataDir, way.options);  // engines loaded outside the timing
    OCRResult result;
    for (auto _ : state)
        result = ocr::recognize(page.image, page.languages, dataDir, way.options);
    state.counters["accuracy"] = test::characterAccuracy(page.text, result.text());
    state.SetLabel(QStringLiteral("%1: %2").arg(page.name, QLatin1String(way.name)).toStdString());
}
BENCHMARK(BM_OCR_Corpus)
    ->ArgsProduct({{0, 1, 2, 3, 4, 5, 6}, {0, 1, 2, 3, 4, 5, 6, 7}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Finding the columns of the screen before it is read.
void BM_OCR_Layout1920x1080(benchmark::State& state)
{
    const QImage grey = ocr::prepared(textHeavyScreen());
    qsizetype blocks = 0;
    for (auto _ : state)
        blocks = ocr::textBlocks(grey).size();
    state.SetLabel(QStringLiteral("%1 blocks").arg(blocks).toStdString());
}
BENCHMARK(BM_OCR_Layout1920x1080)->Unit(benchmark::kMillisecond);

void BM_OCR_TextHeavy1920x1080(benchmark::State& state)
{
    const QImage screen = textHeavyScreen();
    const QStringList languages = state.range(0) == 0 ? QStringList{"eng"} : QStringList{"eng", "deu", "hun"};
    OCRService::recognize(screen, languages);  // engine loaded outside the timing
    OCRResult result;
    for (auto _ : state)
        result = OCRService::recognize(screen, languages);
    // Lines drawn (by their text) that come back exactly as one observation.
    QStringList drawn{QStringLiteral("File  Edit  View  Window  Help")};
    for (int col = 0; col < 2; ++col)
        for (int row = 0; row < 50; ++row)
            drawn.append(screenLine(col, row));
    int exact = 0;
    for (const TextObservation& line : result.lines)
        exact += drawn.contains(line.text) ? 1 : 0;
    // Words drawn that come back (as a multiset), whatever the segmentation.
    QHash<QString, int> read;
    for (const TextObservation& line : result.lines)
        for (const QString& w : line.text.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            ++read[w];
    int words = 0, found = 0;
    for (const QString& line : drawn)
        for (const QString& w : line.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            ++words;
            if (read.value(w) > 0) {
                --read[w];
                ++found;
            }
        }
    state.counters["accuracy"] = test::characterAccuracy(screenText(), result.text());
    state.SetLabel(QStringLiteral("%1, %2 lines, %3 of %4 drawn lines exact, %5 of %6 words")
                       .arg(languages.join('+'))
                       .arg(result.lines.size())
                       .arg(exact)
                       .arg(drawn.size())
                       .arg(found)
                       .arg(words)
                       .toStdString());
}
BENCHMARK(BM_OCR_TextHeavy1920x1080)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3)
    ->UseRealTime();

// Through the worker pool, as the history and the editor call it.
void BM_OCR_ThroughPool1920x1080(benchmark::State& state)
{
    const QImage screen = textHeavyScreen();
    OCRService::text(screen).waitForFinished();
    for (auto _ : state)
        benchmark::DoNotOptimize(OCRService::text(screen).result().size());
}
BENCHMARK(BM_OCR_ThroughPool1920x1080)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// Redact as the editor runs it: recognition through the worker pool (languages from the
// settings), then the finder. Arg: 1 for the 1920 x 1080 screen of a light window on a black
// desktop under a panel, 2 for the same drawn at scale 2 (3840 x 2160).
void BM_Redact(benchmark::State& state)
{
    const test::CorpusPage page = test::corpusPage(
        QStringLiteral(KX_OCR_CORPUS_DIR "/../redaction/14-window-on-black.page"), double(state.range(0)));
    if (page.image.isNull()) {
        state.SkipWithError("page does not parse");
        return;
    }
    SensitiveData::find(page.image).waitForFinished();  // engines loaded outside the timing
    SensitiveData::Result found;
    for (auto _ : state)
        found = SensitiveData::find(page.image).result();
    int covered = 0, items = 0;
    for (const test::CorpusItem& item : page.items) {
        if (item.decoy)
            continue;
        ++items;
        covered +=
            std::any_of(found.matches.begin(), found.matches.end(),
                        [&](const SensitiveData::Match& m) { return m.rect.contains(QRectF(item.ink)); });
    }
    state.SetLabel(QStringLiteral("%1 x %2, %3 hits, %4 of %5 items covered")
                       .arg(page.image.width())
                       .arg(page.image.height())
                       .arg(found.matches.size())
                       .arg(covered)
                       .arg(items)
                       .toStdString());
}
BENCHMARK(BM_Redact)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The preparation alone: grey, each region turned by its own ground, the blocks found.
void BM_OCR_Prepare(benchmark::State& state)
{
    const test::CorpusPage page = test::corpusPage(
        QStringLiteral(KX_OCR_CORPUS_DIR "/../redaction/14-window-on-black.page"), double(state.range(0)));
    qsizetype blocks = 0;
    for (auto _ : state)
        blocks = ocr::textBlocks(ocr::darkOnWhite(ocr::prepared(page.image))).size();
    state.SetLabel(QStringLiteral("%1 x %2, %3 blocks")
                       .arg(page.image.width())
                       .arg(page.image.height())
                       .arg(blocks)
                       .toStdString());
}
BENCHMARK(BM_OCR_Prepare)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

// The thin rules taken off the turned page before it is read, alone (a pass of every
// recognition, the background one too).
void BM_OCR_RuleRemoval(benchmark::State& state)
{
    const test::CorpusPage page = test::corpusPage(
        QStringLiteral(KX_OCR_CORPUS_DIR "/../redaction/14-window-on-black.page"), double(state.range(0)));
    const QImage turned = ocr::darkOnWhite(ocr::prepared(page.image));
    for (auto _ : state)
        benchmark::DoNotOptimize(ocr::withoutRules(turned).constBits());
    state.SetLabel(QStringLiteral("%1 x %2").arg(turned.width()).arg(turned.height()).toStdString());
}
BENCHMARK(BM_OCR_RuleRemoval)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

void BM_Barcodes1920x1080(benchmark::State& state)
{
    QImage screen = textHeavyScreen();
    const auto m = ZXing::ToMatrix<uint8_t>(ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                                .setMargin(2)
                                                .encode("https://example.com/pay?id=2026", 180, 180));
    QImage qr(m.width(), m.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < m.height(); ++y)
        memcpy(qr.scanLine(y), m.data() + y * m.width(), m.width());
    if (state.range(0) == 1) {
        QPainter p(&screen);
        p.drawImage(1600, 700, qr);
    }
    qsizetype found = 0;
    for (auto _ : state)
        found = OCRService::barcodes(screen).size();
    state.SetLabel(QStringLiteral("%1 code(s)").arg(found).toStdString());
}
BENCHMARK(BM_Barcodes1920x1080)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
