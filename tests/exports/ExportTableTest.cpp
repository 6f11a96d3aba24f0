// libzcomn.so exports exactly what the export table lists: every listed name resolves, and
// no other C function leaks out of the shared object.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <regex>
#include <set>
#include <string>

#include "exports/ExportTable.h"

namespace kq::exports {
namespace {

std::set<std::string> DynamicSymbols(const char* library) {
    std::set<std::string> symbols;
    const std::string command = std::string("nm -D --defined-only ") + library;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe.get())) {
        char address[64];
        char type = 0;
        char name[400];
        if (std::sscanf(line, "%63s %c %399s", address, &type, name) == 3 &&
            (type == 'T' || type == 'D' || type == 'B')) {
            symbols.insert(name);
        }
    }
    return symbols;
}

TEST(ExportTableTest, OrdinalsAndNamesAreUnique) {
    std::set<int> ordinals;
    std::set<std::string> names;
    for (const ExportEntry& entry : ExportTable()) {
        EXPECT_TRUE(ordinals.insert(entry.ordinal).second) << entry.ordinal;
        EXPECT_TRUE(names.insert(entry.name).second) << entry.name;
    }
}

TEST(ExportTableTest, EveryListedExportResolvesInTheSharedLibrary) {
    void* library = dlopen(KQ_LIBZCOMN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    for (const ExportEntry& entry : ExportTable()) {
        EXPECT_NE(dlsym(library, entry.name), nullptr) << entry.name;
    }
    dlclose(library);
}

TEST(ExportTableTest, NothingOutsideTheTableIsExported) {
    const std::set<std::string> symbols = DynamicSymbols(KQ_LIBZCOMN);
    ASSERT_FALSE(symbols.empty());
    std::set<std::string> listed;
    for (const ExportEntry& entry : ExportTable()) {
        listed.insert(entry.name);
        // A constructor is emitted twice: complete object (C1) and base object (C2).
        std::string alias = entry.name;
        if (const size_t c1 = alias.find("C1E"); c1 != std::string::npos) {
            alias[c1 + 1] = '2';
            listed.insert(alias);
        }
    }
    // The C++ runtime's own weak symbols (templates of std::, their type information and
    // guards) are not ours to list.
    const std::regex runtime("^_Z(N|NK|TI|TS|TV|ZN|ZNK|GVZN)?(St|S[a-z]|9__gnu_cxx)");
    for (const std::string& symbol : symbols) {
        if (std::regex_search(symbol, runtime)) continue;
        EXPECT_TRUE(listed.count(symbol)) << "exported but not in the table: " << symbol;
    }
}

}  // namespace
}  // namespace kq::exports
