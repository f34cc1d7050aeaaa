#include "app/TrayIconLook.h"

namespace kx {

Brand::StatusIconStyle chooseTrayIconStyle(TrayProtocol protocol, const std::optional<QColor>& trayBackground,
                                           const std::optional<QColor>& trayForeground)
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
            // The host draws the icon on a panel whose colour cannot be read from here (the
            // desktop palette says nothing about it): the variant that reads on any.
            return Brand::StatusIconStyle::outlined;
        case TrayProtocol::none:
            break;
    }
    return Brand::StatusIconStyle::outlined;
}

}  // namespace kx
