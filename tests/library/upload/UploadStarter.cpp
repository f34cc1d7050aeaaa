// Child of the upload kill test: starts one upload to the WebDAV address in argv[1] (a server
// that never answers), says "started" and waits until it is killed.
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
    kx::Keychain::setStore(&keys);
    kx::Prefs::set("remote.protocol", "webdav");
    kx::Prefs::set("remote.host", QString::fromLocal8Bit(argv[1]));
    kx::Prefs::set("remote.user", "alice");
    kx::Prefs::set("remote.folder", "");
    kx::RemoteUploader::send("png", "x.png");
    std::printf("started\n");
    std::fflush(stdout);
    return app.exec();
}
