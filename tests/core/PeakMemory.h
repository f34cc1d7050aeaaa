#pragma once

#include <QByteArray>
#include <QFile>
#include <QList>

namespace kx::test {

// Resident memory of this process (VmRSS / VmHWM of /proc/self/status) in MB.
inline long statusMb(const char* key)
{
    QFile f("/proc/self/status");
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
