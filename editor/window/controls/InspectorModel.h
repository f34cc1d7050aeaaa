#pragma once
// What the style inspector shows for a document: the inspected kind, its control groups, the
// hint, the slider ranges and readouts. Pure functions, so the rules are tested without widgets.
#include "editor/AnnotationStyle.h"
#include "editor/ToolKind.h"

#include <QList>
#include <QString>
#include <optional>

namespace kx {

class EditorDocument;

namespace inspector {

enum class Group { color, lineWidth, fill, fontSize, strength, magnifier };

// The selected object's kind, else the document's tool.
ToolKind inspectedKind(const EditorDocument& doc);
// The groups for a kind, in the bar's order.
QList<Group> groups(ToolKind kind);
bool hasControls(ToolKind kind);
// The one-line hint: none while a crop is pending, else for the crop and select tools only.
std::optional<QString> hint(ToolKind kind, bool cropPending);
// The bar is shown when it has controls, a hint or crop buttons.
bool visible(ToolKind kind, bool cropPending);

// The eight fixed swatch colours: red, orange, yellow, green, blue, purple, black, white.
const QList<RGBA>& palette();

// Pixels per point, with anything not finite or not positive taken as 1.
double safeScale(double scale);

struct Range {
    double lo;
    double hi;
};
Range lineWidthRange(double scale);
Range fontSizeRange(double scale);
Range strengthRange(double scale);
Range zoomRange();

// A width or size in pixels shown in points, rounded half away from zero.
int readout(double pixels, double scale);
// The magnification as "2.0×".
QString zoomText(double zoom);

// Sliders move in whole steps; these map a value to its step and back.
inline constexpr int kSliderSteps = 1000;
int sliderPosition(double value, const Range& range);
double sliderValue(int position, const Range& range);

}  // namespace inspector
}  // namespace kx
