#pragma once
// The ten capture commands that can have a global shortcut, and the stored form of a shortcut.
#include "core/RawEnum.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>
#include <optional>

namespace kx {

// Declaration order is fixed: the position is the action's hot-key id and its default digit.
enum class HotKeyAction {
    area,
    fullscreen,
    activeWindow,
    windowPicker,
    scrolling,
    ocr,
    colorPicker,
    pinArea,
    repeatLast,
    history
};

template <>
struct RawNames<HotKeyAction> {
    static constexpr std::array<std::string_view, 10> names{
        "area", "fullscreen",  "activeWindow", "windowPicker", "scrolling",
        "ocr",  "colorPicker", "pinArea",      "repeatLast",   "history"};
};

// Localised title, e.g. "Capture area".
QString title(HotKeyAction action);
// Icon name for the symbol table, e.g. "viewfinder".
QString symbol(HotKeyAction action);
// Position in declaration order (0...9), which is also the action's hot-key id.
inline int hotKeyId(HotKeyAction action)
{
    return int(action);
}

// One shortcut: an X keysym, the project's modifier mask and the key-cap text.
struct KeyCombo {
    // The project's modifier bits (the same values on every platform).
    static constexpr quint32 shift = 0x20000;
    static constexpr quint32 control = 0x40000;
    static constexpr quint32 alt = 0x80000;
    static constexpr quint32 super = 0x100000;
    static constexpr quint32 allModifiers = shift | control | alt | super;

    quint32 keyCode = 0;         // X keysym of the non-modifier key (XK_1, XK_Escape, ...)
    quint32 cocoaModifiers = 0;  // the bits above; others are ignored
    QString label;               // key-cap text as recorded, shown upper-cased

    bool operator==(const KeyCombo&) const = default;

    // "Ctrl+Alt+Shift+Super+" in that order (present ones only), then the label upper-cased.
    QString display() const;
    // Only the four modifier bits.
    quint32 modifiers() const { return cocoaModifiers & allModifiers; }

    // JSON object with exactly "keyCode", "cocoaModifiers" and "label".
    QByteArray toJson() const;
    // Nothing unless all three keys are present with the right types and ranges.
    static std::optional<KeyCombo> fromJson(const QByteArray& json);

    // Ctrl+Alt with the action's digit (1...9, then 0 for the tenth).
    static KeyCombo defaultFor(HotKeyAction action);
};

}  // namespace kx
