// Child of the upload kill tests: starts one upload to a server that never answers, says
// "started" and waits until it is killed. Arguments: a WebDAV address, or "sftp", a port on
// 127.0.0.1 and a known-hosts file.
#include "core/Prefs.h"
#include "fakes/FakeSecretStore.h"
#include "library/upload/RemoteUploader.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    kx::test::FakeSecretStore keys;
    keys.secrets["remote.password"] = "pass phrase";
    kx::Keychain::setStore(&keys);
    const QStringList args = app.arguments();
    if (args[1] == "sftp" && args.size() == 4) {
        kx::Prefs::set("remote.protocol", "sftp");
        kx::Prefs::set("remote.host", "127.0.0.1");
        kx::Prefs::set("remote.port", args[2]);
        kx::Prefs::set("remote.keyPath", "");
        kx::RemoteUploader::setKnownHostsForTests(args[3]);
    } else {
        kx::Prefs::set("remote.protocol", "webdav");
        kx::Prefs::set("remote.host", args[1]);
    }
    kx::Prefs::set("remote.user", "alice");
    kx::Prefs::set("remote.folder", "");
    kx::RemoteUploader::send("png", "x.png");
    std::printf("started\n");
    std::fflush(stdout);
    return app.exec();
}
