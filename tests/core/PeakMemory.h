#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>

namespace kx::test {

// Resident memory (VmRSS / VmHWM of /proc/<pid>/status) in MB, of this process unless another
// is named; -1 when it cannot be read.
inline long statusMb(const char* key, qint64 pid = 0)
{
    QFile f(pid > 0 ? QStringLiteral("/proc/%1/status").arg(pid) : QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLong() / 1024;
    return -1;
}

// Starts a fresh peak: the kernel resets VmHWM to the present resident size, which is returned.
inline long resetPeakMb()
{
    QFile f("/proc/self/clear_refs");
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
    return statusMb("VmRSS:");
}

}  // namespace kx::test
