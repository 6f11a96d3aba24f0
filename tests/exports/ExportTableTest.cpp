// libzcomn.so exports exactly what the export table lists: ordinals and names are unique,
// every listed name resolves, and no other C function leaks out of the shared object.
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

TEST(ExportTableTest, TableMatchesTheSharedLibrarysDynamicSymbols) {
    void* library = dlopen(KQ_LIBZCOMN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    std::set<int> ordinals;
    std::set<std::string> listed;
    for (const ExportEntry& entry : ExportTable()) {
        EXPECT_TRUE(ordinals.insert(entry.ordinal).second) << entry.ordinal;
        EXPECT_TRUE(listed.insert(entry.name).second) << entry.name;
        EXPECT_NE(dlsym(library, entry.name), nullptr) << entry.name;
        // A constructor is emitted twice: complete object (C1) and base object (C2).
        if (std::string alias = entry.name; alias.find("C1E") != std::string::npos) {
            listed.insert(alias.replace(alias.find("C1E"), 3, "C2E"));
        }
    }
    dlclose(library);
    const std::string command = std::string("nm -D --defined-only ") + KQ_LIBZCOMN;
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    ASSERT_TRUE(pipe);
    // The C++ runtime's own weak symbols (std:: templates, their type information and guards),
    // and the markers AddressSanitizer adds beside every exported variable.
    const std::regex runtime("^(_Z(N|NK|TI|TS|TV|ZN|ZNK|GVZN)?(St|S[a-z]|9__gnu_cxx)|__odr_asan)");
    char line[512], address[64], name[400], type = 0;
    int exported = 0;
    while (std::fgets(line, sizeof line, pipe.get())) {
        if (std::sscanf(line, "%63s %c %399s", address, &type, name) == 3 &&
            (type == 'T' || type == 'D' || type == 'B') && !std::regex_search(name, runtime)) {
            ++exported;
            EXPECT_TRUE(listed.count(name)) << "exported but not in the table: " << name;
        }
    }
    EXPECT_GT(exported, 0);
}

}  // namespace
}  // namespace kq::exports
