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

// A recognition that waits behind another gets its image from memory while something else (an
// editor) still holds it, not decoded from its file into a second copy; an image nobody else
// holds is read from its file when its turn comes.
TEST(HistoryBackground, AWaitingRecognitionTakesAnImageStillShownRatherThanItsFile)
{
    Prefs::registerDefaults();
    QTemporaryDir dir;
    QList<QColor> seen;  // the colour of each image recognised, in turn
    QList<std::shared_ptr<QPromise<std::optional<QString>>>> running;
    HistoryStore::Options o;
    o.dir = dir.path();
    o.recognize = [&](const QImage& image) {
        seen.append(image.pixelColor(2, 2));
        running.append(std::make_shared<QPromise<std::optional<QString>>>());
        running.last()->start();
        return running.last()->future();
    };
    HistoryStore store(std::move(o));

    const HistoryEntry first =
        store.add({test::historyImage(640, 400, Qt::blue), 1.0, SourceKind::area, std::nullopt, {}});
    ASSERT_TRUE(test::waitFor([&] { return running.size() == 1; }));
    // A text typed in while it is read: the recognitions count apart from the image writes now.
    store.setOCR(first.id, QStringLiteral("typed"));
    const QImage shown = test::historyImage(640, 400, Qt::green);  // an editor shows it
    const HistoryEntry held = store.add({shown, 1.0, SourceKind::file, std::nullopt, {}});
    const HistoryEntry alone =
        store.add({test::historyImage(640, 400, Qt::yellow), 1.0, SourceKind::area, std::nullopt, {}});
    store.flush();
    // The files now differ from what was captured: what is read from a file shows.
    for (const HistoryEntry& e : {held, alone})
        ASSERT_TRUE(test::historyImage(640, 400, Qt::red).save(dir.filePath(uuidText(e.id) + ".png")));

    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(test::waitFor([&] { return running.size() == i + 1; })) << i;
        running[i]->addResult(QStringLiteral("text"));
        running[i]->finish();
    }
    EXPECT_EQ(seen, (QList<QColor>{Qt::blue, Qt::green, Qt::red}));
}
