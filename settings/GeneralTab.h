#pragma once
// The General page: launch at login, taskbar icon, language, sound, loupe, OCR languages,
// colour format and the history limits.
#include <QWidget>

class QCheckBox;
class QLabel;

namespace kx {

class SettingsForm;

class GeneralTab : public QWidget {
    Q_OBJECT
public:
    explicit GeneralTab(QWidget* parent = nullptr);

    QCheckBox* launchAtLogin() const { return launch_; }
    // The reason of a refused autostart change, under the toggle.
    QLabel* launchMessage() const { return launchMessage_; }

Q_SIGNALS:
    // An autostart change (made off the UI thread) ended; `enabled` is what the disk says now.
    void launchAtLoginSettled(bool enabled);

private:
    void launchToggled(bool on);

    SettingsForm* form_;
    QCheckBox* launch_;
    QLabel* launchMessage_;
};

}  // namespace kx
