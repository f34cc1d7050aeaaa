#pragma once
// The five pages of the settings window in sidebar order, and the page currently shown.
#include <QColor>
#include <QObject>
#include <QString>
#include <array>
#include <optional>

namespace kx {

enum class SettingsTab { general = 0, shortcuts = 1, capture = 2, upload = 3, ai = 4 };

struct SettingsTabs {
    static constexpr std::array<SettingsTab, 5> all{SettingsTab::general, SettingsTab::shortcuts,
                                                    SettingsTab::capture, SettingsTab::upload,
                                                    SettingsTab::ai};
    // The tab with that index; none outside 0...4 (negative values included).
    static std::optional<SettingsTab> fromIndex(int index);
    static QString title(SettingsTab tab);
    static QString symbol(SettingsTab tab);
    static QColor tint(SettingsTab tab);
};

// The page the window shows. Not stored: every process starts on General.
class SettingsNav : public QObject {
    Q_OBJECT
public:
    static SettingsNav& shared();

    SettingsTab tab() const { return tab_; }
    void setTab(SettingsTab tab);

Q_SIGNALS:
    void tabChanged(kx::SettingsTab tab);

private:
    SettingsNav() = default;
    SettingsTab tab_ = SettingsTab::general;
};

}  // namespace kx
