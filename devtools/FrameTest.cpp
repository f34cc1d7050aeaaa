// `--frame-test` and `--stress-settings`.
#include "devtools/UISnapshot.h"

#include "core/Prefs.h"
#include "editor/BeautifySettings.h"
#include "platform/Permissions.h"
#include "platform/ScreenCapturer.h"
#include "settings/SettingsTab.h"
#include "settings/SettingsWindowController.h"

#include <QDir>
#include <QGuiApplication>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>
#include <cstdio>

namespace kx {

namespace {

bool note(const QString& dir, const QString& text)
{
    QSaveFile file(dir + QStringLiteral("/frame-test.txt"));
    const QByteArray bytes = text.toUtf8();
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

// "1.0" for a whole scale, as a floating-point number prints.
QString scaleText(double scale)
{
    QString s = QString::number(scale, 'g', 15);
    if (!s.contains(QLatin1Char('.')) && !s.contains(QLatin1Char('e')))
        s += QStringLiteral(".0");
    return s;
}

}  // namespace

int UISnapshot::frameTest(const QString& dir)
{
    QDir().mkpath(dir);
    if (Permissions::screenAccess() != Permissions::ScreenAccess::granted)
        return note(dir, QStringLiteral("no screen recording permission")) ? 0 : 1;

    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen && !QGuiApplication::screens().isEmpty())
        screen = QGuiApplication::screens().first();
    const QRectF frame = screen ? QRectF(screen->geometry()) : QRectF();
    const QRectF region(0.15 * frame.width(), 0.15 * frame.height(), std::min(0.7 * frame.width(), 1000.0),
                        std::min(0.7 * frame.height(), 640.0));
    const Captured<ScreenGrab> grab = ScreenCapturer::captureScreen(screen, region, false, false);
    if (!grab) {
        note(dir, QStringLiteral("error: ") + grab.error().message());
        return 1;
    }

    bool ok = writePng(grab->image, dir + QStringLiteral("/real-original.png"));
    const QList<QImage> framed = framedInEveryEdge(grab->image, 40, grab->scale);
    for (int i = 0; i < int(framed.size()); ++i)
        ok = writePng(framed[i], dir + QStringLiteral("/real-frame-") + rawValue(BeautifySettings::Edge(i)) +
                                     QStringLiteral(".png")) &&
             ok;
    const int rows = (int(framed.size()) + 2) / 3;
    ok = writePng(sheet(framed, QSize(2700, rows * 640), QSize(900, 640)),
                  dir + QStringLiteral("/real-frames-sheet.png")) &&
         ok;
    ok = note(dir, QStringLiteral("ok %1x%2 @%3x")
                       .arg(grab->image.width())
                       .arg(grab->image.height())
                       .arg(scaleText(grab->scale))) &&
         ok;
    return ok ? 0 : 1;
}

void UISnapshot::stressSettings()
{
    Prefs::registerDefaults();
    SettingsWindowController& settings = SettingsWindowController::shared();
    settings.show(1);
    for (int step = 0; step < 1500; ++step) {
        SettingsNav::shared().setTab(step % 3 == 0 ? SettingsTab::general : SettingsTab::shortcuts);
        if (QWidget* window = settings.window())
            window->repaint();
        pause(0.004);
    }
    std::fputs("stress survived\n", stdout);
    std::fflush(stdout);
}

}  // namespace kx
