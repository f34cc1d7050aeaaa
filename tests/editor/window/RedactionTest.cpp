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

struct Item {
    QString label;  // drawn before the value
    QString value;
    bool secret;
};

const QList<Item> kPage{
    {"Mail: ", "anna.kiss@example.com", true},
    {"IBAN: ", "DE89 3704 0044 0532 0130 00", true},
    {"Card: ", "4111 1111 1111 1111", true},
    {"Phone: ", "+36 30 123 4567", true},
    {"Server: ", "192.168.0.1", true},
    {"Key: ", "sk-AbCdEf123456XYZ", true},
    {"Token: ", "Qk9ZJ3v8xLmN0pRsT2uV4wX6yZ8aB1cD", true},
    {"Old card: ", "4111 1111 1111 1112", false},
    {"Version ", "999.1.1.1", false},
    {"", "The quick brown fox jumps over the lazy dog.", false},
};

struct Page {
    QImage image;
    QList<QRectF> drawn;  // ink box of each value, in kPage order
};

Page renderPage()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(16);
    const QFontMetrics fm(font);
    Page page;
    page.image = QImage(720, 40 + int(kPage.size()) * 32, QImage::Format_RGB32);
    page.image.fill(QColor(250, 250, 248));
    QPainter p(&page.image);
    p.setFont(font);
    p.setPen(QColor(20, 20, 20));
    int baseline = 30;
    for (const Item& item : kPage) {
        const int x = 24 + fm.horizontalAdvance(item.label);
        p.drawText(24, baseline, item.label + item.value);
        page.drawn.append(QRectF(fm.tightBoundingRect(item.value).translated(x, baseline)));
        baseline += 32;
    }
    return page;
}

SensitiveData::Result search(const QImage& image)
{
    QFuture<SensitiveData::Result> f = SensitiveData::find(image);
    f.waitForFinished();
    return f.result();
}

class Redaction : public ::testing::Test {
protected:
    void SetUp() override
    {
        test::isolateUserFolders(m_home.path());
        Prefs::set(QStringLiteral("ocrLanguages"), QStringLiteral("en"));
    }
    QTemporaryDir m_home;
};

}  // namespace

TEST_F(Redaction, CoversEverySecretAsDrawnInOneUndoStepAndLeavesNothingReadable)
{
    const Page page = renderPage();
    EditorDocument doc(CaptureResult{page.image, 1.0, SourceKind::area, std::nullopt, QDateTime()});
    doc.setTool(ToolKind::arrow);

    const SensitiveData::Result found = search(page.image);
    ASSERT_TRUE(found.ok) << found.error.toStdString();
    const RedactionNotice notice = applyRedaction(doc, found);
    EXPECT_EQ(notice.title, QString::number(found.matches.size()) + QStringLiteral(" item(s) pixelated"));
    EXPECT_EQ(notice.symbol, QStringLiteral("eye.slash"));
    EXPECT_EQ(doc.tool(), ToolKind::arrow);
    EXPECT_TRUE(doc.selectedID().isNull());
    EXPECT_EQ(doc.undoStack().size(), 1);

    const QList<Annotation>& covers = doc.annotations();
    ASSERT_EQ(covers.size(), found.matches.size());
    for (qsizetype i = 0; i < covers.size(); ++i) {
        EXPECT_EQ(covers[i].kind, ToolKind::pixelate);
        EXPECT_GE(covers[i].style.intensity, 3 * found.matches[i].lineHeight);
        EXPECT_GE(found.matches[i].lineHeight, 12);  // a real text line, not a sliver
    }
    for (qsizetype k = 0; k < kPage.size(); ++k) {
        const QRectF ink = page.drawn[k];
        bool inside = false;
        bool touched = false;
        for (const Annotation& a : covers) {
            inside = inside || a.sourceRect().contains(ink);
            touched = touched || a.sourceRect().intersects(ink);
        }
        if (kPage[k].secret)
            EXPECT_TRUE(inside) << kPage[k].value.toStdString();
        else
            EXPECT_FALSE(touched) << kPage[k].value.toStdString();
    }

    const QImage flat = doc.renderFinal(false);
    test::artifactDir(QStringLiteral("redaction"));
    flat.save(test::artifactDir(QStringLiteral("redaction")) + QStringLiteral("/redacted.png"));
    const SensitiveData::Result again = search(flat);
    ASSERT_TRUE(again.ok);
    EXPECT_TRUE(again.matches.isEmpty()) << again.matches.value(0).category.toStdString();

    doc.undo();
    EXPECT_TRUE(doc.annotations().isEmpty());
}

TEST_F(Redaction, FailedOrCancelledSearchSaysSoAndChangesNothing)
{
    const Page page = renderPage();
    EditorDocument doc(CaptureResult{page.image, 2.0, SourceKind::area, std::nullopt, QDateTime()});

    QTemporaryDir empty;
    qputenv("TESSDATA_PREFIX", empty.path().toLocal8Bit());
    const SensitiveData::Result failed = search(page.image);
    qunsetenv("TESSDATA_PREFIX");
    EXPECT_FALSE(failed.ok);
    RedactionNotice notice = applyRedaction(doc, failed);
    EXPECT_EQ(notice.title, QStringLiteral("Sensitive-data search failed"));
    EXPECT_EQ(notice.subtitle, QStringLiteral("Text recognition did not run; nothing was pixelated."));
    EXPECT_EQ(notice.seconds, 5);

    QPromise<SensitiveData::Result> promise;
    promise.start();
    std::optional<RedactionNotice> seen;
    applyWhenFound(&doc, promise.future(), [&](const RedactionNotice& n) { seen = n; });
    promise.future().cancel();
    promise.finish();
    ASSERT_TRUE(test::waitFor([&] { return seen.has_value(); }));
    EXPECT_EQ(seen->title, QStringLiteral("Sensitive-data search failed"));

    EXPECT_TRUE(doc.annotations().isEmpty());
    EXPECT_TRUE(doc.undoStack().isEmpty());
    EXPECT_FALSE(doc.isDirty());

    notice = applyRedaction(doc, SensitiveData::Result{true, QString(), {}});
    EXPECT_EQ(notice.title, QStringLiteral("Nothing sensitive found"));
    EXPECT_TRUE(doc.undoStack().isEmpty());
}

TEST(RedactionBlock, AtLeastThreeLineHeightsAndTheScaleRule)
{
    EXPECT_EQ(redactionBlockSize(1, 2), 10);
    EXPECT_EQ(redactionBlockSize(2, 1), 16);
    EXPECT_EQ(redactionBlockSize(1, 15), 45);
}
