// The window-based modes, inside the application object the entry point made for them.
#include "devtools/DeveloperModes.h"
#include "devtools/UISnapshot.h"

namespace kx::devtools {

int runWindowMode(Mode mode, const QString& value)
{
    switch (mode) {
        case Mode::snapshotUi:
            return UISnapshot::run(value);
        case Mode::frameTest:
            return UISnapshot::frameTest(value);
        case Mode::stressSettings:
            UISnapshot::stressSettings();
            return 0;
        default:
            return 1;
    }
}

}  // namespace kx::devtools
