// The application name of a window from its desktop file, and the tray colour read around
// the icon.
#include "platform/AppName.h"
#include "platform/TrayLook.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace kx {
namespace {

void desktopFile(const QString& dir, const QString& id, const QByteArray& body)
{
    QDir().mkpath(dir);
    QFile f(dir + "/" + id + ".desktop");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(body);
}

TEST(AppName, TheDesktopFileNamesTheApplicationElseTheWindowClass)
{
    QTemporaryDir tmp;
    const QString user = tmp.filePath("user/applications"), system = tmp.filePath("system/applications");
    desktopFile(system, "org.gnome.TextEditor",
                "[Desktop Entry]\nType=Application\nName[de]=Texteditor\nName=Text Editor\n"
                "[Desktop Action new]\nName=New Window\n");
    desktopFile(system, "xterm", "[Desktop Entry]\nName=XTerm\nExec=xterm\n");
    desktopFile(system, "firefox-esr", "[Desktop Entry]\nName=Firefox ESR\n");
    desktopFile(system, "org.example.Viewer",
                "[Desktop Entry]\nName=Image Viewer\nStartupWMClass=Eog-Like\n");
    desktopFile(user, "xterm", "[Desktop Entry]\nName=My Terminal\n");  // the user's own copy wins
    const QStringList dirs{user, system};

    EXPECT_EQ(applicationName({"org.gnome.TextEditor", "gnome-text-editor", "Gnome-text-editor"}, dirs),
              "Text Editor");
    EXPECT_EQ(applicationName({"", "xterm", "XTerm"}, dirs), "My Terminal");
    EXPECT_EQ(applicationName({"", "Navigator", "firefox-esr"}, dirs), "Firefox ESR");
    EXPECT_EQ(applicationName({"", "Navigator", "Firefox-esr"}, dirs), "Firefox ESR");  // lower-cased class
    EXPECT_EQ(applicationName({"", "viewer", "eog-like"}, dirs), "Image Viewer");       // by StartupWMClass
    EXPECT_EQ(applicationName({"", "kxfixture", "Kxfixture"}, dirs), "Kxfixture");      // no desktop file
    EXPECT_EQ(applicationName({"../../etc/passwd", "", "Evil"}, dirs), "Evil");         // ids are names only
    EXPECT_EQ(applicationName({}, dirs), "");
}

TEST(TrayLook, TheMedianColourOutsideTheIconIsTheTraysOwn)
{
    QImage tray(60, 24, QImage::Format_RGB32);
    tray.fill(QColor(0xd6, 0xd6, 0xd6));
    const QRect icon(20, 2, 20, 20);
    for (int y = 0; y < icon.height(); ++y)
        for (int x = 0; x < icon.width(); ++x)
            tray.setPixelColor(icon.x() + x, icon.y() + y, Qt::black);
    // Another dark icon beside ours, smaller than the tray's free space.
    for (int y = 4; y < 20; ++y)
        for (int x = 44; x < 56; ++x)
            tray.setPixelColor(x, y, QColor(0x10, 0x10, 0x40));
    const auto c = medianColorOutside(tray, icon);
    ASSERT_TRUE(c);
    EXPECT_EQ(c->rgb(), QColor(0xd6, 0xd6, 0xd6).rgb());
    EXPECT_FALSE(medianColorOutside(tray, tray.rect()));
}

// The colour under an embedded icon is its socket's: around the icon where the socket is
// larger, else the socket's pixels under the mark's thin strokes. The dark pseudo-transparent
// tray around a light socket is never looked at.
TEST(TrayLook, TheBackgroundIsTheEmbeddingSocketsOwn)
{
    const QColor socketGrey(0xdc, 0xda, 0xd5);
    const auto withStrokes = [&](QSize size, const QRect& icon, const QColor& stroke) {
        QImage img(size, QImage::Format_RGB32);
        img.fill(socketGrey);
        for (int y = icon.top(); y <= icon.bottom(); y += 4)  // the mark's share: a few strokes
            for (int x = icon.left(); x <= icon.right(); ++x)
                img.setPixelColor(x, y, stroke);
        return img;
    };
    struct Row {
        QSize socket;
        QRect icon;
        QColor stroke;
    } rows[] = {
        {{24, 24}, {2, 3, 20, 18}, Qt::white},  // a socket larger than the icon
        {{20, 18}, {0, 0, 20, 18}, Qt::white},  // the icon fills its socket
        {{20, 18}, {0, 0, 20, 18}, Qt::black},
    };
    for (const Row& r : rows) {
        const auto c = embeddingBackground(withStrokes(r.socket, r.icon, r.stroke), r.icon);
        ASSERT_TRUE(c) << r.socket.width();
        EXPECT_EQ(c->rgb(), socketGrey.rgb()) << r.socket.width() << " " << r.stroke.name().toStdString();
    }
    EXPECT_FALSE(embeddingBackground(QImage(), QRect(0, 0, 20, 18)));
}

}  // namespace
}  // namespace kx
