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

// The host program is one lasting module with the program's own symbols in scope.
TEST(KeLoadDllTest, SharedObjectsKeepTheirSymbolsAndTheHostIsOneLastingModule) {
    KeHandle module = KeLoadDll(kTestModulePath);
    ASSERT_NE(module, -1);
    EXPECT_EQ(Answer(module), 42);
    // Fault caught: a plugin's symbols leaked into the global scope, clashing with another's.
    EXPECT_EQ(KeGetFn(KeGetModule(), "KernelTestModuleAnswer"), nullptr);
    EXPECT_EQ(KeFreeDll(module) | KeFreeDll(KeGetModule()), 0);
    EXPECT_EQ(Answer(KeGetModule(), "KernelTestHostMarker"), 7);
}

TEST(KeLoadDllTest, WhatIsNoLoadableLibraryIsRefused) {
    TempFolder folder;
    const std::string fifo = folder.Path("Lng.dll");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string shadow = folder.Path("lngEvil.DLL");
    std::filesystem::copy_file(kTestModulePath, shadow);
    // Regression: a fifo blocked the loader in dlopen, waiting for a writer that never came.
    EXPECT_EQ(KeLoadDll(fifo.c_str()), -1);
    // Lazy binding would load it and crash at the first call instead.
    EXPECT_EQ(KeLoadDll(KQ_KERNEL_TEST_UNRESOLVED_MODULE), -1);
    // Language modules, in any letter case, are data only: dlopen would run a look-alike's
    // constructors.
    EXPECT_EQ(KeLoadDll(shadow.c_str()), -1);
}

}  // namespace
