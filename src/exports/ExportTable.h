// The library's exports with their fixed ordinals: the one list a Windows module-definition
// file would be generated from, and what the tests hold the shared object's dynamic symbol
// table against.
#pragma once

#include <span>

namespace kq::exports {

struct ExportEntry {
    int ordinal;
    const char* name;  // the symbol name (mangled for the exported class members)
};

std::span<const ExportEntry> ExportTable();

}  // namespace kq::exports
