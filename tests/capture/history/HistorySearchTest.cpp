// The history's search index on its own: it holds the only copy of the search texts, so what
// it keeps and what it takes again after changes matters as much as what it finds.
#include "capture/history/HistorySearch.h"

#include <gtest/gtest.h>
#include <QHash>

using namespace kx;

TEST(HistorySearchIndex, HoldsEachTextOnceAndTakesAgainOnlyWhatChanged)
{
    QList<HistoryEntry> entries;
    QHash<QUuid, QString> texts;
    int taken = 0;
    const HistorySearchIndex::TextOf textOf = [&](const HistoryEntry& e) {
        ++taken;
        return texts.value(e.id);
    };
    auto entry = [&](const QString& text) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        texts.insert(e.id, text);
        return e;
    };
    for (int i = 0; i < 6; ++i)
        entries.append(entry(QStringLiteral("note %1 \u00f6l").arg(i)));
    HistorySearchIndex index;
    auto check = [&](const QString& q) {
        std::vector<qsizetype> expected;
        for (qsizetype i = 0; i < entries.size(); ++i) {
            if (texts.value(entries[i].id).contains(q))
                expected.push_back(i);
        }
        EXPECT_EQ(index.find(entries, textOf, q), expected) << q.toStdString();
    };
    auto textBytes = [&] {
        qsizetype n = 0;
        for (const HistoryEntry& e : entries)
            n += texts.value(e.id).toUtf8().size() + 1;
        return n;
    };

    index.stale(entries[0].id);
    EXPECT_EQ(index.heldBytes(), 0);  // nobody searched yet
    check(QStringLiteral("note"));
    EXPECT_EQ(taken, 6);
    EXPECT_EQ(index.heldBytes(), textBytes());

    // A capture in front, a text read anew, one entry gone: only the two new texts are taken.
    taken = 0;
    entries.prepend(entry(QStringLiteral("new \u00f6l")));
    texts.insert(entries[3].id, QStringLiteral("changed note"));
    index.stale(entries[3].id);
    entries.removeAt(5);
    for (const char* q : {"note", "changed", "\u00f6l", "note 4", "note 2"})
        check(QString::fromUtf8(q));
    EXPECT_EQ(taken, 2);
    EXPECT_EQ(index.heldBytes(), textBytes());

    // More changes than texts (a process that stopped searching): all of it goes.
    for (int i = 0; i <= entries.size(); ++i)
        index.stale(QUuid::createUuid());
    EXPECT_EQ(index.heldBytes(), 0);
    taken = 0;
    check(QStringLiteral("note 1"));
    EXPECT_EQ(taken, entries.size());
}

// A query that extends the previous one is looked for only in the previous hits, from where the
// previous query first stood less what the new one puts before it: hits whose longer query stands
// earlier, later or at the very end of the text are all found.
TEST(HistorySearchIndex, ANarrowedQueryFindsWhatAFreshSearchFinds)
{
    const QStringList texts{"ab", "ab xab abc", "cab ab", "xx abc", "b ab", "aab", "abab", "zzz"};
    QList<HistoryEntry> entries;
    QHash<QUuid, QString> textOf;
    for (const QString& t : texts) {
        HistoryEntry e;
        e.id = QUuid::createUuid();
        textOf.insert(e.id, t);
        entries.append(e);
    }
    HistorySearchIndex index;
    const auto of = [&](const HistoryEntry& e) { return textOf.value(e.id); };
    // Typed on at the end, and at the front.
    for (const char* q :
         {"b", "ab", "abc", "abc", "bc", "abc", "a", "aab", "ab", "cab", "b", "bab", "abab"}) {
        std::vector<qsizetype> expected;
        for (qsizetype i = 0; i < texts.size(); ++i) {
            if (texts[i].contains(QLatin1String(q)))
                expected.push_back(i);
        }
        EXPECT_EQ(index.find(entries, of, QString::fromLatin1(q)), expected) << q;
    }
}
