#pragma once
// The developer modes as the entry point starts them: each makes the application object it
// needs, keeps away from the user's history and keyring, runs, and gives the exit code.
#include <QString>

namespace kx::devtools {

enum class Mode { selfTest, renderDemo, snapshotUi, stressSettings, frameTest };

// `value` is the path or folder of renderDemo, snapshotUi and frameTest.
int run(Mode mode, const QString& value, int& argc, char** argv);

}  // namespace kx::devtools
