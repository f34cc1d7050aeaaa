#pragma once
// Whether Kaptorix can read the screen: on X11 always; in a Wayland session (or with no
// display at all) it cannot, and the user is told to use an X11 session.
#include <QString>
#include <functional>

namespace kx {

class Permissions {
public:
    enum class ScreenAccess { granted, waylandSession, noDisplay };

    // Granted when an X display answers and the session is not a Wayland session.
    static ScreenAccess screenAccess();
    // The pure rule behind screenAccess().
    static ScreenAccess screenAccessFor(bool xDisplayAnswers, const QString& sessionType,
                                        bool waylandDisplaySet);

    // True when capturing may go on; otherwise shows the explanatory alert and returns false.
    static bool ensureScreenRecording();

    // The alert's texts (localised).
    static QString alertTitle();
    static QString alertText();

    // Tests: replaces the modal alert; nullptr restores the message box.
    static void setAlertPresenter(std::function<void(const QString& title, const QString& text)> presenter);
};

}  // namespace kx
