#pragma once
// Shows a file selected in the desktop's file manager through the session bus
// (org.freedesktop.FileManager1.ShowItems); when no file manager answers, opens the
// file's folder with the default application instead. Never blocks. GUI thread only.

#include <QString>
#include <functional>

namespace kx {

// `done` (optional) learns whether the file manager took the call (false: the folder was
// opened instead).
void revealInFileManager(const QString& path, std::function<void(bool viaFileManager)> done = {});

enum class RevealOutcome { fileManager, folder, failed };
// The same, and `done` also learns when the folder could not be opened either.
void showInFileManager(const QString& path, std::function<void(RevealOutcome)> done);

}  // namespace kx
