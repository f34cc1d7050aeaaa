// Real Tesseract reads a rendered page of secrets and decoys; the redaction must cover every
// secret as drawn, leave the decoys alone, and leave nothing that can be read back.
#include "editor/document/EditorDocument.h"
#include "editor/window/Redaction.h"

#include "TestSupport.h"
#include "core/Prefs.h"

#include <gtest/gtest.h>
#include <QFontMetrics>
#include <QPainter>
#include <QPromise>
#include <QTemporaryDir>

using namespace kx;

namespace {

// Label|value of each line; the first seven values are secrets, the rest decoys.
const QStringList kPage{"Mail: |anna.kiss@example.com",
                        "IBAN: |DE89 3704 0044 0532 0130 00",
                        "Card: |4111 1111 1111 1111",
                        "Phone: |+36 30 123 4567",
                        "Server: |192.168.0.1",
                        "Key: |sk-AbCdEf123456XYZ",
                        "Token: |Qk9ZJ3v8xLmN0pRsT2uV4wX6yZ8aB1cD",
                        "Old card: |4111 1111 1111 1112",
                        "Version |999.1.1.1",
                        "|The quick brown fox jumps over the lazy dog."};
constexpr int kSecrets = 7;

// The page at 16 px, and the ink box of each value.
QImage renderPage(QList<QRectF>* drawn)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    const QFontMetrics fm(font);
    QImage img(720, 40 + int(kPage.size()) * 32, QImage::Format_RGB32);
    img.fill(QColor(250, 250, 248));
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    for (int i = 0, baseline = 30; i < kPage.size(); ++i, baseline += 32) {
        const QStringList item = kPage[i].split('|');
        p.drawText(24, baseline, item.join(QString()));
        drawn->append(
            QRectF(fm.tightBoundingRect(item[1])).translated(24 + fm.horizontalAdvance(item[0]), baseline));
    }
    return img;
}

}  // namespace

TEST(Redaction, FailureOrCancelChangesNothingAndRealHitsAreCoveredUnreadablyInOneUndoStep)
{
    Prefs::set(QStringLiteral("ocrLanguages"), QStringLiteral("en"));
    QList<QRectF> drawn;
    EditorDocument doc(CaptureResult{renderPage(&drawn), 2.0, SourceKind::area, std::nullopt, QDateTime()});
    QTemporaryDir empty;
    qputenv("TESSDATA_PREFIX", empty.path().toLocal8Bit());
    const RedactionNotice failed = applyRedaction(doc, SensitiveData::find(doc.base()).result());
    qunsetenv("TESSDATA_PREFIX");
    EXPECT_EQ(failed.title, QStringLiteral("Sensitive-data search failed"));
    EXPECT_EQ(failed.subtitle, QStringLiteral("Text recognition did not run; nothing was pixelated."));
    EXPECT_EQ(failed.seconds, 5);
    QPromise<SensitiveData::Result> promise;
    std::optional<RedactionNotice> seen;
    applyWhenFound(&doc, promise.future(), [&](const RedactionNotice& n) { seen = n; });
    promise.start();
    promise.future().cancel();
    promise.finish();
    ASSERT_TRUE(test::waitFor([&] { return seen.has_value(); }));
    EXPECT_EQ(seen->title, QStringLiteral("Sensitive-data search failed"));
    EXPECT_EQ(applyRedaction(doc, {true, {}, {}}).title, QStringLiteral("Nothing sensitive found"));
    EXPECT_TRUE(doc.annotations().isEmpty() && doc.undoStack().isEmpty());

    doc.setTool(ToolKind::arrow);
    const SensitiveData::Result found = SensitiveData::find(doc.base()).result();
    ASSERT_TRUE(found.ok) << found.error.toStdString();
    EXPECT_EQ(applyRedaction(doc, found).title, QString::number(found.matches.size()) + " item(s) pixelated");
    EXPECT_TRUE(doc.tool() == ToolKind::arrow && doc.selectedID().isNull());
    EXPECT_EQ(doc.undoStack().size(), 1);
    const QList<Annotation> covers = doc.annotations();
    ASSERT_EQ(covers.size(), found.matches.size());
    for (qsizetype i = 0; i < covers.size(); ++i) {
        EXPECT_EQ(covers[i].kind, ToolKind::pixelate);
        EXPECT_GE(found.matches[i].lineHeight, 12);  // a real text line, not a sliver
        EXPECT_GE(covers[i].style.intensity, 3 * found.matches[i].lineHeight);
    }
    for (int k = 0; k < kPage.size(); ++k) {
        bool inside = false, touched = false;
        for (const Annotation& a : covers) {
            inside = inside || a.sourceRect().contains(drawn[k]);
            touched = touched || a.sourceRect().intersects(drawn[k]);
        }
        EXPECT_EQ(k < kSecrets ? inside : touched, k < kSecrets) << kPage[k].toStdString();
    }
    const SensitiveData::Result again = SensitiveData::find(doc.renderFinal(false)).result();
    EXPECT_TRUE(again.ok && again.matches.isEmpty()) << again.matches.value(0).category.toStdString();
    doc.undo();
    EXPECT_TRUE(doc.annotations().isEmpty());

    // A tiny line at scale 2: the scale rule (2 × 8) wins over three line heights.
    applyRedaction(doc, {true, {}, {{QStringLiteral("ip"), QRectF(0, 0, 20, 8), 4}}});
    EXPECT_EQ(doc.annotations().value(0).style.intensity, 16);
}
