#include "platform/Permissions.h"

#include "core/Localisation.h"
#include "platform/XConnection.h"

#include <QApplication>
#include <QMessageBox>
#include <mutex>

namespace kx {

namespace {

std::mutex presenterGuard;
std::function<void(const QString&, const QString&)> presenter;

void showAlert(const QString& title, const QString& text)
{
    QMessageBox box(QMessageBox::Warning, title, title, QMessageBox::Ok);
    box.setInformativeText(text);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.show();
    box.raise();
    box.activateWindow();
    box.exec();
}

}  // namespace

Permissions::ScreenAccess Permissions::screenAccessFor(bool xDisplayAnswers, const QString& sessionType,
                                                       bool waylandDisplaySet)
{
    // Under Wayland an X server (XWayland) sees only its own clients: a grab through it would
    // show black where the native windows are.
    if (sessionType.compare(QLatin1String("wayland"), Qt::CaseInsensitive) == 0 || waylandDisplaySet)
        return ScreenAccess::waylandSession;
    return xDisplayAnswers ? ScreenAccess::granted : ScreenAccess::noDisplay;
}

Permissions::ScreenAccess Permissions::screenAccess()
{
    return screenAccessFor(XConnection::shared() != nullptr, qEnvironmentVariable("XDG_SESSION_TYPE"),
                           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"));
}

QString Permissions::alertTitle()
{
    return tr("Screen Recording permission needed", "Képernyőfelvételi engedély szükséges",
              "Berechtigung für Bildschirmaufnahmen erforderlich");
}

QString Permissions::alertText()
{
    return tr(
        "Kaptorix can only record the screen in an X11 session. Log out, choose an X11 (Xorg) session on the "
        "login screen, then start Kaptorix again.",
        "A Kaptorix csak X11-munkamenetben tudja rögzíteni a képernyőt. Jelentkezz ki, a bejelentkező "
        "képernyőn válassz X11 (Xorg) munkamenetet, majd indítsd újra a Kaptorixot.",
        "Kaptorix kann den Bildschirm nur in einer X11-Sitzung aufnehmen. Melden Sie sich ab, wählen Sie "
        "im Anmeldebildschirm eine X11-Sitzung (Xorg) und starten Sie Kaptorix dann erneut.");
}

bool Permissions::ensureScreenRecording()
{
    if (screenAccess() == ScreenAccess::granted)
        return true;
    std::function<void(const QString&, const QString&)> show;
    {
        std::lock_guard lock(presenterGuard);
        show = presenter;
    }
    if (show)
        show(alertTitle(), alertText());
    else if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        showAlert(alertTitle(), alertText());
    return false;
}

void Permissions::setAlertPresenter(std::function<void(const QString&, const QString&)> p)
{
    std::lock_guard lock(presenterGuard);
    presenter = std::move(p);
}

}  // namespace kx
