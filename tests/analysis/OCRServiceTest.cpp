// Real Tesseract and zxing-cpp on images drawn here with a known font.
#include "analysis/OCRLanguages.h"
#include "analysis/OCRService.h"
#include "analysis/PageLayout.h"
#include "analysis/TextRecognizer.h"
#include "tests/analysis/corpus/OcrCorpus.h"

#include "TestSupport.h"

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QTemporaryDir>
#include <QThread>

using namespace kx;

namespace {

QFont testFont(int px)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPixelSize(px);
    return f;
}

// One line of dark text on a light background, the way a screen shows it.
QImage renderLine(const QString& text, QPoint origin = {20, 20}, QSize size = {400, 60})
{
    QImage img(size, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    p.setFont(testFont(13));
    p.setPen(QColor(20, 20, 20));
    p.drawText(origin.x(), origin.y() + QFontMetrics(testFont(13)).ascent(), text);
    return img;
}

QImage fromMatrix(const ZXing::BitMatrix& bits)
{
    const auto m = ZXing::ToMatrix<uint8_t>(bits);
    QImage img(m.width(), m.height(), QImage::Format_Grayscale8);
    for (int y = 0; y < m.height(); ++y)
        memcpy(img.scanLine(y), m.data() + y * m.width(), m.width());
    return img;
}

}  // namespace

TEST(CharacterAccuracy, CountsEditsAgainstTheKnownText)
{
    const auto score = [](const char* a, const char* b) {
        return test::characterAccuracy(QString::fromUtf8(a), QString::fromUtf8(b));
    };
    EXPECT_EQ(score("Grüße\nŐszi szél", " Grüße \n\nŐszi   szél"), 1.0);  // blanks, empty lines
    EXPECT_NEAR(score("kitten", "sitting"), 0.5, 1e-9);                   // two changes, one addition
    EXPECT_NEAR(score("ab", "abcdef"), -1.0, 1e-9);                       // invented text costs too
    EXPECT_NEAR(score("left one\nleft two\nright", "left one right\nleft two"), 1 - 12.0 / 23, 1e-9);
}

// Pages of screen text (columns, a sidebar, line numbers, a dark theme, accents) drawn from
// known texts; each must read back in reading order above its floor.
TEST(OCRService, CorpusPagesReadAboveTheirFloors)
{
    const QList<test::CorpusPage> pages =
        test::ocrCorpus(test::sourcePath(QStringLiteral("tests/analysis/corpus")));
    ASSERT_EQ(pages.size(), 10);
    for (const test::CorpusPage& page : pages) {
        ASSERT_FALSE(page.image.isNull()) << page.name.toStdString() << " does not parse";
        EXPECT_EQ(ocr::textBlocks(ocr::prepared(page.image)).size(), page.blocks) << page.name.toStdString();
        const OCRResult result = OCRService::recognize(page.image, page.languages);
        ASSERT_TRUE(result.ok) << result.error.toStdString();
        EXPECT_GE(test::characterAccuracy(page.text, result.text()), page.floor)
            << page.name.toStdString() << " read as:\n"
            << result.text().toStdString();
    }
}

TEST(OCRService, LineAndRangeBoxesAreInSourcePixels)
{
    const QString line = QStringLiteral("Contact: invoice@example.com today");
    const QPoint origin(150, 300);
    const QImage img = renderLine(line, origin, {900, 700});
    const OCRResult result = OCRService::recognize(img, {QStringLiteral("eng")});
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.lines.size(), 1);
    const TextObservation& obs = result.lines.first();
    ASSERT_EQ(obs.text, line);
    ASSERT_EQ(obs.charBoxes.size(), obs.text.size());

    const QFontMetrics fm(testFont(13));
    const QRectF drawn(origin.x(), origin.y(), fm.horizontalAdvance(line), fm.height());
    EXPECT_NEAR(obs.box.left(), drawn.left(), 4);
    EXPECT_NEAR(obs.box.right(), drawn.right(), 6);
    EXPECT_GT(obs.box.top(), drawn.top() - 4);
    EXPECT_LT(obs.box.bottom(), drawn.bottom() + 4);

    const qsizetype at = line.indexOf(QStringLiteral("invoice@"));
    const auto mail = obs.boundingBox(at, qsizetype(qstrlen("invoice@example.com")));
    ASSERT_TRUE(mail.has_value());
    EXPECT_NEAR(mail->left(), origin.x() + fm.horizontalAdvance(line.left(at)), 4);
    EXPECT_NEAR(mail->width(), fm.horizontalAdvance(QStringLiteral("invoice@example.com")), 8);
    EXPECT_TRUE(obs.box.adjusted(-1, -1, 1, 1).contains(*mail));

    EXPECT_FALSE(obs.boundingBox(0, 0).has_value());
    EXPECT_FALSE(obs.boundingBox(-1, 3).has_value());
    EXPECT_FALSE(obs.boundingBox(obs.text.size() - 1, 2).has_value());
    // A range ending on the line's last character (a trailing e-mail address to redact).
    const qsizetype last = obs.text.size() - 1;
    EXPECT_EQ(obs.boundingBox(last, 1), std::optional<QRectF>(obs.charBoxes[last]));
    EXPECT_TRUE(obs.boundingBox(0, obs.text.size()).has_value());
}

TEST(OCRService, TallImageIsReadInStripsWithoutLosingOrShiftingLines)
{
    // Taller than one strip: lines near the strip boundaries and at the bottom must survive.
    QImage img(1000, 9000, QImage::Format_RGB32);
    img.fill(Qt::white);
    const QList<int> rows{40, 2030, 2060, 4100, 8900};
    {
        QPainter p(&img);
        p.setFont(testFont(13));
        p.setPen(Qt::black);
        for (int i = 0; i < rows.size(); ++i)
            p.drawText(30, rows[i], QStringLiteral("Section %1 of the long page").arg(i + 1));
    }
    const OCRResult result = OCRService::recognize(img, {QStringLiteral("eng")});
    ASSERT_TRUE(result.ok);
    ASSERT_EQ(result.lines.size(), rows.size()) << result.text().toStdString();
    for (int i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(result.lines[i].text, QStringLiteral("Section %1 of the long page").arg(i + 1));
        EXPECT_NEAR(result.lines[i].box.bottom(), rows[i], 6);
    }
}

TEST(OCRService, BlankImageIsNoTextAndNoCodesButNotAFailure)
{
    QImage blank(800, 600, QImage::Format_ARGB32_Premultiplied);
    blank.fill(Qt::white);
    const OCRResult result = OCRService::observations(blank).result();
    EXPECT_TRUE(result.ok);
    EXPECT_TRUE(result.lines.isEmpty());
    EXPECT_EQ(OCRService::text(blank).result(), QString());
    EXPECT_TRUE(OCRService::barcodes(blank).isEmpty());
}

TEST(OCRService, FailureIsDistinguishableFromNoText)
{
    EXPECT_FALSE(OCRService::recognize(QImage(), {QStringLiteral("eng")}).ok);
    const OCRResult missing =
        OCRService::recognize(renderLine(QStringLiteral("text")), {QStringLiteral("xyz")});
    EXPECT_FALSE(missing.ok);
    EXPECT_FALSE(missing.error.isEmpty());

    // No language data at all: the asynchronous path reports the failure, text() is empty.
    QTemporaryDir empty;
    qputenv("TESSDATA_PREFIX", empty.path().toUtf8());
    const QImage img = renderLine(QStringLiteral("Readable words"));
    const OCRResult none = OCRService::observations(img).result();
    const QString text = OCRService::text(img).result();
    qunsetenv("TESSDATA_PREFIX");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(text, QString());
}

TEST(OCRService, ResultArrivesOnTheUiThreadThroughAContinuation)
{
    QThread* ui = QThread::currentThread();
    QThread* seen = nullptr;
    QString text;
    OCRService::text(renderLine(QStringLiteral("Delivered later")))
        .then(QCoreApplication::instance(), [&](const QString& t) {
            seen = QThread::currentThread();
            text = t;
        });
    ASSERT_TRUE(test::waitFor([&] { return seen != nullptr; }, 30000));
    EXPECT_EQ(seen, ui);
    EXPECT_EQ(text, QStringLiteral("Delivered later"));
}

TEST(OCRService, DecodesGeneratedQrAndEan13OnAScreen)
{
    const std::string url = "https://example.com/grüße?id=2026";
    const QImage qr = fromMatrix(ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                     .setMargin(2)
                                     .setEncoding(ZXing::CharacterSet::UTF8)
                                     .encode(url, 200, 200));
    const QImage ean = fromMatrix(
        ZXing::MultiFormatWriter(ZXing::BarcodeFormat::EAN13).setMargin(10).encode("400638133393", 300, 100));

    QImage screen(1280, 800, QImage::Format_ARGB32_Premultiplied);
    screen.fill(QColor(236, 238, 240));
    {
        QPainter p(&screen);
        p.setFont(testFont(13));
        p.drawText(40, 40, QStringLiteral("Scan to pay"));
        p.drawImage(100, 120, qr);
        p.drawImage(700, 500, ean);
    }
    const QStringList codes = OCRService::barcodes(screen);
    EXPECT_EQ(codes.size(), 2);
    EXPECT_TRUE(codes.contains(QString::fromStdString(url))) << codes.join(" | ").toStdString();
    EXPECT_TRUE(codes.contains(QStringLiteral("4006381333931")));  // check digit added by the writer

    EXPECT_EQ(OCRService::barcodes(qr), QStringList{QString::fromStdString(url)});
    EXPECT_TRUE(OCRService::barcodes(QImage()).isEmpty());
}

TEST(OCRLanguages, UserCodesMapToInstalledModelsAndUnknownOnesAreDropped)
{
    const QStringList installed{"deu", "eng", "fra", "hun"};
    EXPECT_EQ(OCRLanguages::resolve({"de", "hu"}, {"en-US"}, installed), (QStringList{"deu", "hun"}));
    EXPECT_EQ(OCRLanguages::resolve({"hu-HU", "en_US", "DE"}, {}, installed),
              (QStringList{"hun", "eng", "deu"}));
    EXPECT_EQ(OCRLanguages::resolve({"fra", "en", "eng"}, {}, installed), (QStringList{"fra", "eng"}));
    // Unknown and empty codes vanish; with nothing left the product's three languages, never
    // the system's; only blank codes count as none given.
    EXPECT_EQ(OCRLanguages::resolve({"", "xx", "it"}, {"de-AT"}, installed),
              (QStringList{"eng", "deu", "hun"}));
    EXPECT_EQ(OCRLanguages::resolve({"xx"}, {"fr"}, {"fra", "ita"}), (QStringList{"fra", "ita"}));
    EXPECT_EQ(OCRLanguages::resolve({" "}, {"fr"}, installed), (QStringList{"fra", "eng"}));
}

TEST(OCRLanguages, AutomaticChoiceFollowsThePreferredLanguagesInInstalledOrder)
{
    const QStringList installed{"deu", "eng", "fra", "hun"};
    EXPECT_EQ(OCRLanguages::resolve({}, {"hu-HU", "de-DE"}, installed), (QStringList{"deu", "hun", "eng"}));
    EXPECT_EQ(OCRLanguages::resolve({}, {"en-GB"}, installed), QStringList{"eng"});
    // None of the preferred languages is installed: the product's three languages.
    EXPECT_EQ(OCRLanguages::resolve({}, {"ja-JP"}, installed), (QStringList{"eng", "deu", "hun"}));
    EXPECT_EQ(OCRLanguages::resolve({}, {"ja-JP"}, {"fra"}), QStringList{"fra"});
    EXPECT_TRUE(OCRLanguages::resolve({}, {"en"}, {}).isEmpty());
    // English is only added when it is installed.
    EXPECT_EQ(OCRLanguages::resolve({}, {"de"}, {"deu", "hun"}), QStringList{"deu"});
}

TEST(OCRService, TextLeavesOutLinesReadFromGraphics)
{
    // Lines as recognition scores them: scraps of a QR code's pattern go, text stays, a long
    // key read with little confidence too.
    struct Line {
        const char* text;
        float confidence;
        bool kept;
    };
    const Line lines[]{{"Scan the code to pay", 96, true},
                       {"fog)", 31, false},
                       {"OF:", 24, false},
                       {"= . .", 88, false},
                       {"|", 63, false},
                       {"Lz a", 55, false},
                       {"OK", 91, true},
                       {"12 1 960.00", 84, true},
                       {"DEPLOY_TOKEN=Xq3_vN8-kR2pL7", 33, true}};
    OCRResult result{true, {}, {}};
    QStringList expected;
    for (const Line& l : lines) {
        result.lines.append({QString::fromUtf8(l.text), QRectF(0, 0, 10, 10), l.confidence, {}});
        if (l.kept)
            expected.append(QString::fromUtf8(l.text));
    }
    EXPECT_EQ(result.text().toStdString(), expected.join('\n').toStdString());

    // A real code on a screen: its pattern adds nothing to the screen's own lines.
    const QImage qr = fromMatrix(ZXing::MultiFormatWriter(ZXing::BarcodeFormat::QRCode)
                                     .setMargin(2)
                                     .encode("https://example.com/pay?id=2026-0318&amount=1240", 160, 160));
    QImage screen(900, 600, QImage::Format_RGB32);
    screen.fill(QColor(250, 250, 250));
    {
        QPainter p(&screen);
        p.setFont(testFont(14));
        p.drawText(40, 40, QStringLiteral("Scan the code to pay the invoice of 12 March"));
        p.drawImage(60, 100, qr);
        p.drawText(40, 120 + qr.height(), QStringLiteral("Thank you!"));
    }
    const OCRResult read = OCRService::recognize(screen, {QStringLiteral("eng")});
    ASSERT_TRUE(read.ok) << read.error.toStdString();
    EXPECT_GT(read.lines.size(), 2);  // the pattern was read as something
    EXPECT_EQ(read.text().toStdString(), "Scan the code to pay the invoice of 12 March\nThank you!");
}

// The grey page is the image laid over white, whatever the strip it was flattened in: rows on
// both sides of each strip's edge, and a last strip shorter than the others.
TEST(OCRPrepared, GreyIsTheImageOverWhiteAcrossStripEdges)
{
    QImage straight(70, 600, QImage::Format_ARGB32);
    for (int y = 0; y < straight.height(); ++y)
        for (int x = 0; x < straight.width(); ++x)
            straight.setPixel(
                x, y, qRgba((x * 37 + y / 3) % 256, (y * 11) % 256, (x + y * 5) % 256, (x * 3 + y) % 256));
    const QImage image = straight.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage flat(image.size(), QImage::Format_RGB32);
    flat.fill(Qt::white);
    QPainter(&flat).drawImage(0, 0, image);
    const QImage expected = flat.convertToFormat(QImage::Format_Grayscale8);
    const QImage grey = ocr::prepared(image);
    ASSERT_EQ(grey.format(), QImage::Format_Grayscale8);
    EXPECT_EQ(test::maxChannelDifference(grey, expected), 0);
}
