#pragma once
// Which variant of the status icon reads on the tray that shows it.
#include "platform/TrayLook.h"
#include "ui/Brand.h"

#include <optional>

namespace kx {

// XEmbed: the tray's own pixels, else the foreground it asks for; StatusNotifier or nothing
// known: the outlined variant.
Brand::StatusIconStyle chooseTrayIconStyle(TrayProtocol protocol, const std::optional<QColor>& trayBackground,
                                           const std::optional<QColor>& trayForeground);

}  // namespace kx
