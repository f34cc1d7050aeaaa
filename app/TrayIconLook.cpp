#include "app/TrayIconLook.h"

namespace kx {

Brand::StatusIconStyle chooseTrayIconStyle(TrayProtocol protocol, const std::optional<QColor>& trayBackground,
                                           const std::optional<QColor>& trayForeground,
                                           const QPalette& desktop)
{
    switch (protocol) {
        case TrayProtocol::xembed:
            if (trayBackground)
                return Brand::styleFor(trayBackground);
            if (trayForeground) {
                // A light foreground is asked for on a dark panel.
                const Brand::StatusIconStyle onForeground = Brand::styleFor(trayForeground);
                return onForeground == Brand::StatusIconStyle::white ? Brand::StatusIconStyle::black
                                                                     : Brand::StatusIconStyle::white;
            }
            return Brand::StatusIconStyle::outlined;
        case TrayProtocol::statusNotifier:
            return Brand::styleFor(desktop.color(QPalette::Active, QPalette::Window));
        case TrayProtocol::none:
            break;
    }
    return Brand::StatusIconStyle::outlined;
}

}  // namespace kx
