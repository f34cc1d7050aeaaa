// Changes a queue without pause and prints each change once save() has returned:
// "add ID", "fail ID", "removing ID" (before) and "removed ID" (after). With "claim ID" after
// the folder: claims that item, prints "claimed" and waits to be killed.
#include "library/upload/UploadQueue.h"

#include <unistd.h>
#include <QRandomGenerator>
#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    kx::UploadQueue queue(QString::fromLocal8Bit(argv[1]));
    if (argc == 4 && std::strcmp(argv[2], "claim") == 0) {
        const kx::UploadQueue::Claim claim = queue.claim(QUuid::fromString(QLatin1String(argv[3])));
        std::printf("%s\n", claim.held ? "claimed" : "refused");
        std::fflush(stdout);
        for (;;)
            ::pause();
    }
    auto say = [](const char* what, const QUuid& id) {
        std::printf("%s %s\n", what, qPrintable(id.toString(QUuid::WithoutBraces)));
        std::fflush(stdout);
    };
    QRandomGenerator random(quint32(QDateTime::currentMSecsSinceEpoch()));
    for (;;) {
        const auto& items = queue.items();
        const int op = items.size() < 3 ? 0 : int(random.bounded(3));
        if (op == 0) {
            const QByteArray png(int(random.bounded(20000)) + 1, 'p');
            if (auto id = queue.enqueue(png, "a/b.png", std::nullopt, "offline"))
                say("add", *id);
        } else {
            const QUuid id = items[random.bounded(int(items.size()))].id;
            if (op == 1) {
                queue.recordFailure(id, "again");
                say("fail", id);
            } else {
                say("removing", id);
                queue.remove(id);
                say("removed", id);
            }
        }
    }
}
