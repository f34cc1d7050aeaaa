#pragma once
// The table behind Symbols: symbol name -> icon file (relative to :/icons, without ".svg").
#include <vector>

namespace kx {

struct SymbolRow {
    const char* name;
    const char* file;
};

const std::vector<SymbolRow>& symbolTable();

}  // namespace kx
