// index.json: the exact bytes written, and how records are read back.
#include "capture/history/HistoryIndex.h"

#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTimeZone>

using namespace kx;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

QList<HistoryEntry> goldenEntries()
{
    HistoryEntry full;
    full.id = QUuid::fromString(QStringLiteral("7c1a6e3b-2f4d-4e5a-9b8c-0d1e2f3a4b5c"));
    full.date = utc(2026, 12, 5, 19, 33, 16, 789);  // the fraction is not written
    full.width = 1440;
    full.height = 900;
    full.scale = 2.0;
    full.kind = SourceKind::window;
    full.title = QStringLiteral("Report — Q4 \"draft\"");
    full.ocrText = QStringLiteral("Line one\nLine two\ttab");
    full.uploadURL = QStringLiteral("https://example.com/shots/a.png");
    full.favorite = true;
    full.aiSummary = QStringLiteral("Árvíztűrő összefoglaló");

    HistoryEntry bare;
    bare.id = QUuid::fromString(QStringLiteral("00C0FFEE-0000-4000-8000-000000000001"));
    bare.date = QDateTime(QDate(2026, 2, 1), QTime(0, 59, 59), QTimeZone(3600));  // written in UTC
    bare.width = 640;
    bare.height = 30000;
    bare.scale = 1.5;
    bare.kind = SourceKind::scrolling;

    HistoryEntry emptyText;
    emptyText.id = QUuid::fromString(QStringLiteral("A0B1C2D3-E4F5-4A6B-8C7D-9E0F1A2B3C4D"));
    emptyText.date = utc(2025, 6, 1, 8, 0, 0);
    emptyText.width = 1;
    emptyText.height = 1;
    emptyText.scale = 1.0;
    emptyText.kind = SourceKind::color;
    emptyText.ocrText = QString();
    return {full, bare, emptyText};
}

QByteArray goldenBytes()
{
    QFile f(test::sourcePath(QStringLiteral("tests/capture/history/golden/index.json")));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

QByteArray record(const QByteArray& fields)
{
    return "{\"id\":\"7C1A6E3B-2F4D-4E5A-9B8C-0D1E2F3A4B5C\",\"date\":\"2026-12-05T19:33:16Z\",\"width\":10,"
           "\"height\":20,\"scale\":2,\"kind\":\"area\",\"favorite\":false" +
           fields + "}";
}

}  // namespace

TEST(HistoryIndex, EncodesExactlyTheGoldenBytes)
{
    const QByteArray actual = encodeIndex(goldenEntries());
    EXPECT_EQ(actual.toStdString(), goldenBytes().toStdString());
    EXPECT_EQ(encodeIndex({}), QByteArray("[]"));
}

TEST(HistoryIndex, GoldenReadsBackFieldForField)
{
    const DecodedIndex decoded = decodeIndex(goldenBytes());
    ASSERT_TRUE(decoded.readable);
    EXPECT_EQ(decoded.rejected, 0);
    QList<HistoryEntry> expected = goldenEntries();
    expected[0].date = utc(2026, 12, 5, 19, 33, 16);  // whole seconds on disk
    ASSERT_EQ(decoded.entries.size(), expected.size());
    for (qsizetype i = 0; i < expected.size(); ++i)
        EXPECT_TRUE(decoded.entries[i] == expected[i]) << "record " << i;
    // An empty ocrText stays an empty text, not an absent one.
    ASSERT_TRUE(decoded.entries[2].ocrText.has_value());
    EXPECT_TRUE(decoded.entries[2].ocrText->isEmpty());
    EXPECT_FALSE(decoded.entries[1].title.has_value());
}

TEST(HistoryIndex, ReadsKeysInAnyOrderAndIgnoresUnknownOnes)
{
    const QByteArray text =
        "[{\"favorite\":true,\"kind\":\"file\",\"scale\":1,\"height\":2,\"width\":3,\"extra\":[1,2],"
        "\"date\":\"2026-03-04T05:06:07+02:00\",\"title\":null,\"id\":\"7c1a6e3b-2f4d-4e5a-9b8c-"
        "0d1e2f3a4b5c\"}]";
    const DecodedIndex decoded = decodeIndex(text);
    ASSERT_EQ(decoded.entries.size(), 1);
    const HistoryEntry& e = decoded.entries.first();
    EXPECT_EQ(e.kind, SourceKind::file);
    EXPECT_TRUE(e.favorite);
    EXPECT_EQ(e.date, utc(2026, 3, 4, 3, 6, 7));
    EXPECT_FALSE(e.title.has_value());
    EXPECT_EQ(uuidText(e.id), QStringLiteral("7C1A6E3B-2F4D-4E5A-9B8C-0D1E2F3A4B5C"));
}

TEST(HistoryIndex, BadRecordsAreDroppedOneByOne)
{
    const QList<QByteArray> bad{
        record("").replace(",\"favorite\":false", ""),           // required key missing
        record("").replace("\"area\"", "\"drawing\""),           // unknown kind
        record("").replace("19:33:16Z", "19:33:16.250Z"),        // fractional seconds
        record("").replace("\"width\":10", "\"width\":10.5"),    // not an integer
        record("").replace("\"width\":10", "\"width\":\"10\""),  // wrong type
        record(",\"title\":7"),                                  // optional text of wrong type
        record("").replace("7C1A6E3B-2F4D-4E5A-9B8C-0D1E2F3A4B5C", "not-a-uuid"),
        "42",
    };
    for (const QByteArray& b : bad) {
        const QByteArray text =
            "[" + record(",\"title\":\"first\"") + "," + b + "," + record(",\"title\":\"last\"") + "]";
        const DecodedIndex decoded = decodeIndex(text);
        ASSERT_TRUE(decoded.readable);
        EXPECT_EQ(decoded.rejected, 1) << b.toStdString();
        ASSERT_EQ(decoded.entries.size(), 2) << b.toStdString();
        EXPECT_EQ(decoded.entries[0].title, QStringLiteral("first"));
        EXPECT_EQ(decoded.entries[1].title, QStringLiteral("last"));
    }
}

TEST(HistoryIndex, ScaleOfZeroOrLessReadsAsOne)
{
    for (const char* scale : {"0", "-2", "-0.5"}) {
        const DecodedIndex decoded =
            decodeIndex("[" + record("").replace("\"scale\":2", QByteArray("\"scale\":") + scale) + "]");
        ASSERT_EQ(decoded.entries.size(), 1) << scale;
        EXPECT_EQ(decoded.entries.first().scale, 1.0) << scale;
    }
}
