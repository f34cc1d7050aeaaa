#include "analysis/OCRService.h"

#include "analysis/OCRLanguages.h"
#include "analysis/TextRecognizer.h"

#include <ZXing/ReadBarcode.h>
#include <QCoreApplication>
#include <QThread>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrent>
#include <algorithm>
#include <exception>

namespace kx {

namespace {

QThreadPool& ocrPool()
{
    static QThreadPool* pool = [] {
        auto* p = new QThreadPool;
        p->setObjectName(QStringLiteral("kx-ocr"));
        p->setMaxThreadCount(std::max(1, QThread::idealThreadCount() / 2));
        if (auto* app = QCoreApplication::instance()) {
            // Recognitions nobody started yet are not worth delaying the exit for; running
            // ones (seconds each) are cut short so that no worker is still inside Tesseract,
            // or about to call back into a deleted object, while the process ends. The bound
            // only guards against an engine that never returns.
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [p] {
                ocr::cancelAll();
                p->clear();
                p->waitForDone(30000);
            });
        }
        return p;
    }();
    return *pool;
}

}  // namespace

std::optional<QRectF> TextObservation::boundingBox(qsizetype start, qsizetype length) const
{
    if (start < 0 || length <= 0 || start + length > charBoxes.size())
        return std::nullopt;
    QRectF box;
    for (qsizetype i = start; i < start + length; ++i)
        box = box.isNull() ? charBoxes[i] : box.united(charBoxes[i]);
    return box;
}

QString OCRResult::text() const
{
    QStringList out;
    out.reserve(lines.size());
    for (const TextObservation& line : lines)
        out.append(line.text);
    return out.join(QLatin1Char('\n'));
}

void OCRService::setExitHook(void (*hook)())
{
    ocr::setExitHook(hook);
}

QThreadPool* OCRService::pool()
{
    return &ocrPool();
}

void OCRService::releaseIdleEngines(int keep)
{
    ocr::releaseIdleEngines(std::size_t(std::max(0, keep)));
}

OCRResult OCRService::recognize(const QImage& image, const QStringList& languages)
{
    return ocr::recognize(image, languages, OCRLanguages::dataDir());
}

QFuture<OCRResult> OCRService::observations(const QImage& image, int priority)
{
    // The settings and the data folder are read now, on the caller's thread.
    const QStringList languages = OCRLanguages::current();
    const QString dataDir = OCRLanguages::dataDir();
    return QtConcurrent::task(
               [image, languages, dataDir] { return ocr::recognize(image, languages, dataDir); })
        .onThreadPool(ocrPool())
        .withPriority(priority)
        .spawn();
}

QFuture<QString> OCRService::text(const QImage& image, int priority)
{
    return observations(image, priority).then([](const OCRResult& result) { return result.text(); });
}

QStringList OCRService::barcodes(const QImage& image)
{
    const QImage grey = ocr::prepared(image);
    if (grey.isNull())
        return {};
    QStringList out;
    try {
        const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(), ZXing::ImageFormat::Lum,
                                    int(grey.bytesPerLine()));
        ZXing::DecodeHints hints;
        hints.setFormats(ZXing::BarcodeFormat::Any).setTryHarder(true).setTryRotate(true);
        for (const ZXing::Result& r : ZXing::ReadBarcodes(view, hints)) {
            if (r.isValid() && !r.text().empty())
                out.append(QString::fromStdString(r.text()));
        }
    } catch (const std::exception&) {
        return {};
    }
    return out;
}

}  // namespace kx
