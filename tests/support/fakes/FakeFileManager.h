#pragma once
// Stands in for the desktop's file manager on the session bus (org.freedesktop.FileManager1).
#include <QObject>
#include <QStringList>

namespace kx::test {

class FakeFileManager : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")
public:
    QStringList shown;
public Q_SLOTS:
    void ShowItems(const QStringList& uris, const QString&) { shown += uris; }
};

}  // namespace kx::test
