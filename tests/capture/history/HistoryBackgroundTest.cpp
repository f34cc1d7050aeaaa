// The history's recognition is background work: it does not start while a capture's files are
// still being written (the clipboard waits for the same PNG).
#include "analysis/BackgroundWork.h"
#include "capture/history/HistoryStore.h"
#include "core/Prefs.h"

#include "HistoryTestSupport.h"
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QPromise>
#include <QTemporaryDir>

using namespace kx;

TEST(HistoryBackground, RecognitionWaitsUntilTheCapturesFilesAreWritten)
{
    Prefs::registerDefaults();
    QTemporaryDir dir;
    int recognised = 0;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = [&recognised](const QImage&) {
        return BackgroundWork::run([&recognised] {
            ++recognised;
            return std::optional<QString>(QStringLiteral("read in the background"));
        });
    };
    HistoryStore store(std::move(o));

    // The capture's PNG is still being encoded for the clipboard.
    const QImage image = test::historyImage(640, 400);
    QPromise<QByteArray> png;
    png.start();
    const HistoryEntry entry = store.add({image, 1.0, SourceKind::area, std::nullopt, {}}, png.future());
    EXPECT_TRUE(BackgroundWork::held());
    ASSERT_TRUE(test::waitFor([] { return BackgroundWork::waiting() == 1; }));
    EXPECT_EQ(recognised, 0);
    EXPECT_FALSE(store.entry(entry.id)->ocrText);

    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(image.save(&buffer, "PNG"));
    png.addResult(bytes);
    png.finish();
    ASSERT_TRUE(test::waitFor([&] { return store.entry(entry.id)->ocrText.has_value(); }));
    EXPECT_EQ(*store.entry(entry.id)->ocrText, QStringLiteral("read in the background"));
    EXPECT_EQ(recognised, 1);
    EXPECT_FALSE(BackgroundWork::held());
    EXPECT_TRUE(QFile::exists(dir.filePath(uuidText(entry.id) + ".png")));
}
