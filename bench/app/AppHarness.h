#pragma once

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <vector>

namespace kx::bench {

// Runs the event loop until `done` holds or `ms` pass; false on time-out.
inline bool spinUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// A private home for a kaptorix under test: settings that skip the first run, the editor,
// the preview and the sound; config, runtime and history folders inside `home`.
inline void prepareHome(const QTemporaryDir& home, QProcess& process)
{
    QDir().mkpath(home.filePath("config/Kaptorix"));
    QDir().mkpath(home.filePath("run"));
    QFile::setPermissions(home.filePath("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QFile conf(home.filePath("config/Kaptorix/Kaptorix.conf"));
    if (conf.open(QIODevice::WriteOnly))
        conf.write(
            "[General]\nfirstRunDone=true\nafter.editor=false\nafter.preview=false\nplaySound=false\n");
    conf.close();
    auto env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_HOME", home.filePath("config"));
    env.insert("XDG_RUNTIME_DIR", home.filePath("run"));
    env.insert("KAPTORIX_DATA_DIR", home.filePath("history"));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
}

}  // namespace kx::bench
