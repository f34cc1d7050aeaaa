// Costs of the analysis steps after recognition: matching the sensitive-data table over
// recognised lines, the dominant colours of a 4K screenshot, and preparing an AI request
// (fitting, encoding, Base64, JSON) from a 4K screenshot on the calling worker.
#include "analysis/Palette.h"
#include "analysis/SensitiveData.h"
#include "analysis/ai/AIService.h"

#include <benchmark/benchmark.h>
#include <QPainter>
#include <QRandomGenerator>

using namespace kx;

namespace {

// 100 lines of 20 words (2,000 words) with a few secrets among ordinary words.
QList<TextObservation> lines()
{
    static const QStringList words{"Invoice", "paid",    "by",  "transfer", "total",
                                   "3.50",    "EUR",     "see", "attached", "anna@ex.io",
                                   "ref",     "KX-1042", "on",  "monday"};
    QList<TextObservation> out;
    QRandomGenerator rng(7);
    for (int l = 0; l < 100; ++l) {
        QStringList line;
        for (int w = 0; w < 20; ++w)
            line.append(words[rng.bounded(int(words.size()))]);
        if (l % 10 == 0)
            line[5] = QStringLiteral("4111 1111 1111 1111");
        if (l % 15 == 0)
            line[9] = QStringLiteral("192.168.0.1");
        TextObservation o;
        o.text = line.join(' ');
        for (qsizetype i = 0; i < o.text.size(); ++i)
            o.charBoxes.append(QRectF(10 + i * 7, 20 + l * 18, 7, 14));
        o.box = QRectF(10, 20 + l * 18, o.text.size() * 7, 14);
        out.append(o);
    }
    return out;
}

// A busy 3840 × 2160 screenshot: panels, gradients and text.
QImage screenshot()
{
    QImage img(3840, 2160, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&img);
    QLinearGradient g(0, 0, 3840, 2160);
    g.setColorAt(0, QColor(30, 60, 120));
    g.setColorAt(1, QColor(240, 240, 235));
    p.fillRect(img.rect(), g);
    QRandomGenerator rng(3);
    for (int i = 0; i < 200; ++i)
        p.fillRect(rng.bounded(3600), rng.bounded(2000), 240, 120, QColor::fromRgb(rng.generate()));
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(26);
    p.setFont(f);
    for (int row = 0; row < 60; ++row)
        p.drawText(
            60, 40 + row * 34,
            QStringLiteral("Line %1 of a long document with words and numbers %2").arg(row).arg(row * 97));
    return img;
}

void BM_SensitiveMatch2000Words(benchmark::State& state)
{
    const QList<TextObservation> text = lines();
    for (auto _ : state)
        benchmark::DoNotOptimize(SensitiveData::find(text));
}
BENCHMARK(BM_SensitiveMatch2000Words)->Unit(benchmark::kMillisecond);

void BM_PaletteDominant4K(benchmark::State& state)
{
    const QImage img = screenshot();
    for (auto _ : state)
        benchmark::DoNotOptimize(Palette::dominant(img, 8));
}
BENCHMARK(BM_PaletteDominant4K)->Unit(benchmark::kMillisecond);

// Arg 1: photographic noise, whose PNG passes 3.5 MB and is sent as JPEG instead.
void BM_AIRequestFrom4K(benchmark::State& state)
{
    QImage img = screenshot();
    if (state.range(0) == 1) {
        for (int y = 0; y < img.height(); ++y)
            QRandomGenerator(y).fillRange(reinterpret_cast<quint32*>(img.scanLine(y)), img.width());
        img = img.convertToFormat(QImage::Format_RGB32);
    }
    AIService::Settings settings;
    settings.model = QStringLiteral("claude-sonnet-5-5");
    settings.endpoint = QUrl(QStringLiteral("https://api.anthropic.com/v1/messages"));
    qint64 bytes = 0;
    bool jpeg = false;
    for (auto _ : state) {
        const AIService::Prepared p =
            AIService::prepare(settings, QStringLiteral("sk-ant-bench"), img, QStringLiteral("Describe"));
        bytes = p.request ? p.request->body.size() : 0;
        jpeg = p.request && p.request->body.contains("image/jpeg");
    }
    state.counters["body_bytes"] = double(bytes);
    state.counters["jpeg"] = jpeg ? 1 : 0;
}
BENCHMARK(BM_AIRequestFrom4K)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
