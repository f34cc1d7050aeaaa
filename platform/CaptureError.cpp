#include "platform/CaptureError.h"

#include "core/Localisation.h"

namespace kx {

QString CaptureError::message() const
{
    switch (kind_) {
        case Kind::failed:
            return text_;
        case Kind::noPermission:
            return tr("Screen Recording permission is missing.", "Hiányzik a képernyőfelvételi engedély.",
                      "Die Berechtigung für Bildschirmaufnahmen fehlt.");
        case Kind::noDisplay:
            return tr("Display not found.", "A kijelző nem található.", "Bildschirm nicht gefunden.");
        case Kind::noWindow:
            return tr("No suitable window found.", "Nem található megfelelő ablak.",
                      "Kein passendes Fenster gefunden.");
    }
    return text_;
}

}  // namespace kx
