#include "core/ModuleLoader.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QMutex>
#include <QStringList>
#include <map>
#include <string>

namespace kx {

namespace {

QStringList moduleFolders()
{
    QStringList out;
    // Next to the executable first, so that an installed copy never loads the build tree's.
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (!exe.isEmpty()) {
        const QString dir = QFileInfo(exe).absolutePath();
        // The executable's own folder: the recognition process is installed beside the modules.
        out << dir + QStringLiteral("/../" KX_MODULE_LIBDIR "/kaptorix")
            << dir + QStringLiteral("/../modules") << dir;
    }
    out << QStringLiteral(KX_MODULE_BUILD_DIR) << QStringLiteral(KX_MODULE_INSTALL_DIR);
    return out;
}

struct Loaded {
    void* entry = nullptr;
    QString error;
};

}  // namespace

QString moduleFile(const QString& fileName)
{
    for (const QString& folder : moduleFolders()) {
        const QString path = QDir::cleanPath(folder + '/' + fileName);
        if (QFileInfo(path).isFile() && QFileInfo(path).isExecutable())
            return path;
    }
    return {};
}

void* moduleEntry(const char* name, const char* symbol, QString* error)
{
    static QMutex mutex;
    static std::map<std::string, Loaded> loaded;  // a failure is not retried either
    QMutexLocker lock(&mutex);
    const std::string key = std::string(name) + '/' + symbol;
    auto it = loaded.find(key);
    if (it == loaded.end()) {
        Loaded result;
        const QString file = QStringLiteral("lib%1.so").arg(QString::fromLatin1(name));
        QStringList tried;
        for (const QString& folder : moduleFolders()) {
            const QString path = QDir::cleanPath(folder + '/' + file);
            if (!QFileInfo::exists(path))
                continue;
            // Never unloaded: engines and their statics live until the process ends.
            QLibrary library(path);
            if (void* entry = reinterpret_cast<void*>(library.resolve(symbol))) {
                result.entry = entry;
                break;
            }
            tried << library.errorString();
        }
        if (!result.entry) {
            result.error = tried.isEmpty() ? QStringLiteral("module %1 not found").arg(file)
                                           : QStringLiteral("module %1: %2").arg(file, tried.join("; "));
        }
        it = loaded.emplace(key, result).first;
    }
    if (error && !it->second.entry)
        *error = it->second.error;
    return it->second.entry;
}

}  // namespace kx
