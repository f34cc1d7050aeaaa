// Every `#include "folder/…"` of the product sources against the rooms each folder may use:
// layers point down only, and rooms beside each other never include each other.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QRegularExpression>

namespace {

// Rooms by path prefix; the longest prefix wins.
const QList<std::pair<QString, QString>> kRooms{
    {"core/", "core"},
    {"platform/", "platform"},
    {"ui/", "ui"},
    {"analysis/ai/", "ai"},
    {"analysis/", "analysis"},
    {"editor/window/", "features"},
    {"editor/", "editor"},
    {"capture/coordinator/", "features"},
    {"capture/history/", "history"},
    {"capture/overlay/", "overlay"},
    {"capture/scroll/", "scroll"},
    {"capture/notice/", "notice"},
    {"library/", "features"},
    {"settings/", "features"},
    {"help/", "features"},
    {"devtools/", "devtools"},
    {"app/", "app"},
};

// What each room may include besides itself.
const QHash<QString, QStringList> kMayInclude{
    {"core", {}},
    {"platform", {"core"}},
    {"ui", {"core", "platform"}},
    {"analysis", {"core", "platform", "ui"}},
    {"ai", {"core", "platform", "ui", "analysis"}},
    {"editor", {"core", "platform", "ui", "analysis"}},
    {"history", {"core", "platform", "ui", "analysis", "editor"}},
    {"overlay", {"core", "platform", "ui", "analysis", "editor"}},
    {"scroll", {"core", "platform", "ui", "analysis", "editor"}},
    {"notice", {"core", "platform", "ui", "analysis", "editor"}},
    {"features",
     {"core", "platform", "ui", "analysis", "ai", "editor", "history", "overlay", "scroll", "notice"}},
    {"devtools",
     {"core", "platform", "ui", "analysis", "ai", "editor", "history", "overlay", "scroll", "notice",
      "features"}},
    {"app",
     {"core", "platform", "ui", "analysis", "ai", "editor", "history", "overlay", "scroll", "notice",
      "features", "devtools"}},
};

QString roomOf(const QString& path)
{
    QString best, room;
    for (const auto& [prefix, name] : kRooms) {
        if (path.startsWith(prefix) && prefix.size() > best.size()) {
            best = prefix;
            room = name;
        }
    }
    return room;
}

}  // namespace

TEST(Layering, EverySourceIsInARoomAndEveryIncludeStaysInsideWhatItsRoomMayUse)
{
    static const QRegularExpression includeLine(QStringLiteral(R"re(^\s*#\s*include\s+"([a-z]+/[^"]+)")re"),
                                                QRegularExpression::MultilineOption);
    const QStringList sources = kx::test::productSources();
    QStringList faults;
    for (const QString& path : sources) {
        const QString room = roomOf(path);
        if (room.isEmpty()) {
            faults.append(path + " is in no room of the layering table");
            continue;
        }
        QFile f(kx::test::sourcePath(path));
        ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << path.toStdString();
        const QString text = QString::fromUtf8(f.readAll());
        for (auto m = includeLine.globalMatch(text); m.hasNext();) {
            const QString target = m.next().captured(1);
            const QString to = roomOf(target);
            if (to.isEmpty() || (to != room && !kMayInclude.value(room).contains(to)))
                faults.append(path + " includes " + target);
        }
    }
    EXPECT_GT(sources.size(), 100);
    EXPECT_TRUE(faults.isEmpty()) << faults.join('\n').toStdString();
}
