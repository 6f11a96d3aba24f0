// KeLoadDll, KeGetFn, KeFreeDll and KeGetModule on real shared objects, files that are no
// library, and the host program.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "kq/kernel.h"
#include "platform/Kernel.h"
#include "support/TempFolder.h"

// Exported by the test program for KeGetModule to find.
extern "C" __attribute__((visibility("default"))) int KernelTestHostMarker(void);
extern "C" int KernelTestHostMarker(void) {
    return 7;
}

namespace {

using kq::test::TempFolder;

constexpr const char* kTestModulePath = KQ_KERNEL_TEST_MODULE;

int Answer(KeHandle module, const char* name = "KernelTestModuleAnswer") {
    auto function = reinterpret_cast<int (*)()>(KeGetFn(module, name));
    return function ? function() : -1;
}

TEST(KeLoadDllTest, LoadsOfOneSharedObjectAreSeparateAndTheHostIsOneLastingModule) {
    KeHandle first = KeLoadDll(kTestModulePath);
    KeHandle second = KeLoadDll(kTestModulePath);
    ASSERT_NE(first, -1);
    EXPECT_NE(first, second);
    EXPECT_EQ(Answer(first), 42);
    // Fault caught: a plugin's symbols leaked into the global scope, clashing with another's.
    EXPECT_EQ(KeGetFn(KeGetModule(), "KernelTestModuleAnswer"), nullptr);
    EXPECT_EQ(KeFreeDll(first) | KeFreeDll(second), 0);

    // The host program: one lasting handle with the program's own symbols in scope.
    const KeHandle host = KeGetModule();
    EXPECT_EQ(KeFreeDll(host), 0);  // and it keeps working
    EXPECT_EQ(KeGetModule(), host);
    EXPECT_EQ(Answer(host, "KernelTestHostMarker"), 7);
}

TEST(KeLoadDllTest, WhatIsNoLoadableLibraryIsRefused) {
    TempFolder folder;
    const std::string fifo = folder.Path("Lng.dll");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string shadow = folder.Path("lngEvil.DLL");
    std::filesystem::copy_file(kTestModulePath, shadow);
    const struct {
        const char* why;
        const char* path;
    } cases[] = {
        // Regression: a fifo blocked the loader in dlopen, waiting for a writer that never came.
        {"fifo", fifo.c_str()},
        // Lazy binding would load it and crash at the first call instead.
        {"unresolved function", KQ_KERNEL_TEST_UNRESOLVED_MODULE},
        // Language modules, in any letter case, are data only: dlopen would run a look-alike's
        // constructors.
        {"named like a language module", shadow.c_str()},
    };
    for (const auto& test : cases) EXPECT_EQ(KeLoadDll(test.path), -1) << test.why;
}

}  // namespace
