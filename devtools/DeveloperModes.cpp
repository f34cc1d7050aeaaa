#include "devtools/DeveloperModes.h"

#include "core/Localisation.h"

#include "devtools/SelfTest.h"
#include "platform/Keychain.h"
#include "platform/Permissions.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QHash>
#include <QTemporaryDir>
#include <memory>

namespace kx::devtools {

int runWindowMode(Mode mode, const QString& value);

namespace {

// Secrets for this run only: nothing is read from or written to the user's keyring, so no
// prompt appears and no stored secret can show up in a picture.
class MemorySecretStore : public SecretStore {
public:
    std::optional<QString> get(const QString& account) override
    {
        const auto it = secrets_.constFind(account);
        return it == secrets_.cend() ? std::nullopt : std::optional<QString>(*it);
    }
    bool set(const QString& account, const QString& value) override
    {
        if (value.isEmpty())
            secrets_.remove(account);
        else
            secrets_.insert(account, value);
        return true;
    }

private:
    QHash<QString, QString> secrets_;
};

// The offscreen platform with one screen of 1440 × 900 points, described in a file in `dir`;
// the plain offscreen platform where the file cannot be written.
QByteArray offscreenScreen(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("screen.json")));
    const QByteArray json = R"({"screens": [{"name": "snapshots", "x": 0, "y": 0, "width": 1440, )"
                            R"("height": 900, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly) || file.write(json) != json.size() ||
        !file.flush())
        return "offscreen";
    return "offscreen:configfile=" + QFile::encodeName(file.fileName());
}

}  // namespace

int run(Mode mode, const QString& value, int& argc, char** argv)
{
    MemorySecretStore secrets;
    Keychain::setStore(&secrets);
    // Sample history goes through the real store, whose pruning would delete the user's
    // oldest captures: without an explicit folder it lives in a folder of its own.
    std::unique_ptr<QTemporaryDir> history;
    if (qEnvironmentVariable("KAPTORIX_DATA_DIR").isEmpty()) {
        history = std::make_unique<QTemporaryDir>();
        qputenv("KAPTORIX_DATA_DIR", history->path().toLocal8Bit());
    }

    int code = 0;
    if (mode == Mode::selfTest) {
        QCoreApplication app(argc, argv);
        code = SelfTest::run();
    } else {
        // The window modes run without a display; the frame test needs the real screen.
        // The snapshots' screen is a laptop's 1440 × 900, not the offscreen default 800 × 600,
        // which would fit the editor and the history narrower than they open.
        QTemporaryDir screenDir;
        if (mode == Mode::frameTest && Permissions::screenAccess() == Permissions::ScreenAccess::granted)
            qputenv("QT_QPA_PLATFORM", "xcb");
        else if (qEnvironmentVariable("QT_QPA_PLATFORM").isEmpty())
            qputenv("QT_QPA_PLATFORM", mode == Mode::snapshotUi ? offscreenScreen(screenDir) : "offscreen");
        if (mode == Mode::renderDemo) {
            QGuiApplication app(argc, argv);
            code = SelfTest::renderDemo(value);
        } else {
            QApplication app(argc, argv);
            QApplication::setApplicationName(QStringLiteral("Kaptorix"));
            QApplication::setQuitOnLastWindowClosed(false);
            installQtTranslations();
            code = runWindowMode(mode, value);
        }
    }
    Keychain::setStore(nullptr);
    return code;
}

}  // namespace kx::devtools
