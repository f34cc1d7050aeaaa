#pragma once
// Optional parts of the program built as modules (Tesseract, libheif) so that their libraries
// are mapped only when first used, not at start.

#include <QString>

namespace kx {

// The entry point `symbol` of the module `name` (file lib<name>.so), loaded on first call and
// never unloaded; nullptr when no folder holds it or the symbol is missing (the reason in
// *error when given). Looked for in the build tree, the install folder and next to the
// executable. Thread-safe.
void* moduleEntry(const char* name, const char* symbol, QString* error = nullptr);

// The first file called `fileName` in the folders modules are looked for in (a helper program
// installed beside them); empty when none holds it.
QString moduleFile(const QString& fileName);

}  // namespace kx
