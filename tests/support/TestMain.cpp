// Shared main for every test binary: one QApplication for the whole binary, and
// settings/data folders redirected into a private temporary home so tests never
// touch the user's own files.
#include "TestSupport.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    QTemporaryDir home;
    kx::test::isolateUserFolders(home.path());
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kaptorix"));
    QApplication::setOrganizationName(QStringLiteral("Kaptorix"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
