#pragma once
// One shortcut field of the Shortcuts tab. A click, or Enter or Space while it has the focus,
// starts recording; the next key press with a modifier (or F1...F12 alone) becomes the new
// combination; Esc cancels, Backspace or Delete clears, losing focus cancels. While recording the field also
// takes key presses that would otherwise run a window shortcut (Ctrl+Q is recorded, not run).
#include "platform/HotKeys.h"

#include <QWidget>
#include <functional>
#include <optional>

class QKeyEvent;

namespace kx {

class HotKeyRecorder : public QWidget {
    Q_OBJECT
public:
    explicit HotKeyRecorder(const std::optional<KeyCombo>& combo, QWidget* parent = nullptr);

    const std::optional<KeyCombo>& combo() const { return combo_; }
    bool isRecording() const { return recording_; }
    // The text the field shows now, in its font, within its rectangle (inside the border).
    QString text() const;
    QFont textFont() const;
    QRect textRect() const { return rect().adjusted(4, 0, -4, 0); }
    QSize sizeHint() const override;

    // Called with the new combination, or none when the user cleared it.
    std::function<void(const std::optional<KeyCombo>&)> onChange;

    // The label a combination on `keysym` stores instead of the key's characters ("Space",
    // "↩", "⇥", arrows, "F1"..."F12"); empty for other keys.
    static QString keyName(quint32 keysym);
    // The project's modifier bits of an X modifier state (Lock, NumLock and others dropped).
    static quint32 modifiersFromX(quint32 state);

    // Maps an X key code to its base-level keysym; the keyboard map of the display unless a
    // test installs another.
    static void setBaseKeysymLookup(std::function<std::optional<quint32>(quint32 keycode)> lookup);

Q_SIGNALS:
    void recordingChanged(bool recording);
    // A key without a modifier that is not F1...F12 was pressed (after the alert sound).
    void refused();

protected:
    bool event(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setRecording(bool on);
    void handleKey(QKeyEvent* event);

    std::optional<KeyCombo> combo_;
    bool recording_ = false;
};

}  // namespace kx
