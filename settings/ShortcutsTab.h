#pragma once
// The Shortcuts page: one row per capture action with its recorder, the warning of refused
// shortcuts and "Restore defaults". Every change rebuilds the rows, so each field returns to
// idle and every warning is read again from the manager.
#include "platform/HotKeys.h"

#include <QWidget>

class QPushButton;
class QVBoxLayout;

namespace kx {

class HotKeyManager;
class HotKeyRecorder;

class ShortcutsTab : public QWidget {
    Q_OBJECT
public:
    explicit ShortcutsTab(QWidget* parent = nullptr);
    // A page over another manager (tests).
    ShortcutsTab(HotKeyManager& manager, QWidget* parent);
    ~ShortcutsTab() override;

    HotKeyRecorder* recorder(HotKeyAction action) const;
    // The warning triangle of a row, null when the row has none.
    QWidget* warning(HotKeyAction action) const;
    QPushButton* restoreButton() const { return restore_; }

private:
    void buildRows();
    void changed(HotKeyAction action, const std::optional<KeyCombo>& combo);
    void recordingChanged(bool recording);

    HotKeyManager& manager_;
    QVBoxLayout* rowsLayout_ = nullptr;
    QWidget* rows_ = nullptr;
    QPushButton* restore_ = nullptr;
    int tick_ = 0;
    bool grabsReleased_ = false;
};

}  // namespace kx
