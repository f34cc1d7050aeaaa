#pragma once
// The sixteen editor tools with their shortcut keys, icon names, titles and hints.

#include "core/RawEnum.h"

#include <QList>
#include <QString>

namespace kx {

enum class ToolKind {
    select,
    crop,
    arrow,
    line,
    rect,
    ellipse,
    pen,
    highlighter,
    text,
    step,
    blur,
    pixelate,
    spotlight,
    magnifier,
    ruler,
    picture
};

template <>
struct RawNames<ToolKind> {
    static constexpr std::array<std::string_view, 16> names{
        "select", "crop", "arrow", "line",     "rect",      "ellipse",   "pen",   "highlighter",
        "text",   "step", "blur",  "pixelate", "spotlight", "magnifier", "ruler", "picture"};
};

inline std::optional<ToolKind> toolKindFromRaw(const QString& text)
{
    return fromRaw<ToolKind>(text);
}

// All sixteen kinds in case order.
QList<ToolKind> allToolKinds();
// The tools offered to the user: every kind but `picture` (fifteen).
QList<ToolKind> tools();

// One lower-case letter; empty for `picture`.
QString key(ToolKind kind);
// Name of the tool's icon in the symbol table.
QString symbol(ToolKind kind);
// Localised short name and hint.
QString title(ToolKind kind);
QString detail(ToolKind kind);

// Kinds drawn by dragging a rectangle.
bool isRectLike(ToolKind kind);
// Kinds drawn from a start point to an end point.
bool isLineLike(ToolKind kind);

inline size_t qHash(ToolKind kind, size_t seed = 0) noexcept
{
    return ::qHash(static_cast<int>(kind), seed);
}

}  // namespace kx
