// Tests of the module functions (KeLoadDll, KeGetFn, KeFreeDll, KeGetModule): real shared
// objects built next to the tests, files that are no library, the host program's own module,
// and resource-only modules read through the resource layer's reader.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "kq/kernel.h"
#include "platform/Kernel.h"

// Exported by the test program (it is linked with its symbols exported) for KeGetModule to find.
extern "C" __attribute__((visibility("default"))) int KernelTestHostMarker(void);
extern "C" int KernelTestHostMarker(void) {
    return 7;
}

namespace {

using AnswerFunction = int (*)();

constexpr const char* kTestModulePath = KQ_KERNEL_TEST_MODULE;
constexpr const char* kUnresolvedModulePath = KQ_KERNEL_TEST_UNRESOLVED_MODULE;

// A file with the given contents in the test's temporary directory, removed afterwards.
class TemporaryFile {
  public:
    explicit TemporaryFile(std::string_view contents) {
        path_ = testing::TempDir() + "kq-kernel-module-XXXXXX";
        int descriptor = mkstemp(path_.data());
        EXPECT_GE(descriptor, 0);
        if (descriptor < 0) return;
        EXPECT_EQ(write(descriptor, contents.data(), contents.size()),
                  static_cast<ssize_t>(contents.size()));
        close(descriptor);
    }
    ~TemporaryFile() { unlink(path_.c_str()); }
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const char* path() const { return path_.c_str(); }

  private:
    std::string path_;
};

TEST(KeLoadDllTest, LoadsASharedObjectAndFindsItsFunction) {
    KeHandle module = KeLoadDll(kTestModulePath);
    ASSERT_NE(module, -1);
    ASSERT_NE(module, 0);
    auto answer = reinterpret_cast<AnswerFunction>(KeGetFn(module, "KernelTestModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(KeGetFn(module, "KernelTestNoSuchFunction"), nullptr);
    EXPECT_EQ(KeGetFn(module, nullptr), nullptr);
    EXPECT_EQ(KeFreeDll(module), 0);
}

TEST(KeLoadDllTest, MissingFileIsRefused) {
    EXPECT_EQ(KeLoadDll("/nonexistent-kq-directory/libmissing.so"), -1);
}

TEST(KeLoadDllTest, FilesThatAreNoLibraryAreRefused) {
    TemporaryFile text("this is plain text, not an ELF shared object\n");
    EXPECT_EQ(KeLoadDll(text.path()), -1);
    TemporaryFile empty("");
    EXPECT_EQ(KeLoadDll(empty.path()), -1);
    EXPECT_EQ(KeLoadDll(testing::TempDir().c_str()), -1);  // a directory
}

// Fault caught: dlopen("") opens the host program, so an empty name would "load" successfully
// and hand out a second, freeable handle of the program itself.
// Regression: a fifo given as a module name blocked the loader in dlopen, waiting for a
// writer that never came.
TEST(KeLoadDllTest, FifoAndDirectoryAreRefusedWithoutOpeningThem) {
    char folder[] = "/tmp/kq-fifo-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string fifo = std::string(folder) + "/Lng.dll";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(KeLoadDll(fifo.c_str()), -1);
    EXPECT_EQ(KeLoadDll(folder), -1);
    unlink(fifo.c_str());
    rmdir(folder);
}

// Fault caught: a shared object named like a language module was opened with dlopen, which runs
// its constructors; language modules are read as data only.
TEST(KeLoadDllTest, SharedObjectNamedLikeALanguageModuleIsNeverRun) {
    char folder[] = "/tmp/kq-lng-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    for (const char* name : {"/LngEvil.dll", "/lngevil.DLL"}) {
        const std::filesystem::path copy = std::string(folder) + name;
        std::filesystem::copy_file(kTestModulePath, copy);
        EXPECT_EQ(KeLoadDll(copy.c_str()), -1) << name;
    }
    std::filesystem::remove_all(folder);
}

TEST(KeLoadDllTest, NullOrEmptyNameIsRefused) {
    EXPECT_EQ(KeLoadDll(nullptr), -1);
    EXPECT_EQ(KeLoadDll(""), -1);
}

// Fault caught: lazy binding would load this library and crash at the first call instead.
TEST(KeLoadDllTest, LibraryWithUnresolvedFunctionIsRefusedAtLoad) {
    EXPECT_EQ(KeLoadDll(kUnresolvedModulePath), -1);
}

// Fault caught: a loaded plugin's symbols leaking into the global scope, where they would
// satisfy (or clash with) another plugin's.
TEST(KeLoadDllTest, LoadedSymbolsStayLocalToTheirModule) {
    KeHandle module = KeLoadDll(kTestModulePath);
    ASSERT_NE(module, -1);
    EXPECT_EQ(KeGetFn(KeGetModule(), "KernelTestModuleAnswer"), nullptr);
    EXPECT_EQ(KeFreeDll(module), 0);
}

TEST(KeLoadDllTest, TwoLoadsOfOneFileAreFreedIndependently) {
    KeHandle first = KeLoadDll(kTestModulePath);
    KeHandle second = KeLoadDll(kTestModulePath);
    ASSERT_NE(first, -1);
    ASSERT_NE(second, -1);
    EXPECT_NE(first, second);
    EXPECT_EQ(KeFreeDll(first), 0);
    auto answer = reinterpret_cast<AnswerFunction>(KeGetFn(second, "KernelTestModuleAnswer"));
    ASSERT_NE(answer, nullptr);
    EXPECT_EQ(answer(), 42);
    EXPECT_EQ(KeFreeDll(second), 0);
}

TEST(KeModuleHandleTest, InvalidHandlesAreRefusedWithoutCrashing) {
    for (KeHandle invalid : {KeHandle{0}, KeHandle{-1}}) {
        EXPECT_EQ(KeFreeDll(invalid), -1);
        EXPECT_EQ(KeGetFn(invalid, "KernelTestModuleAnswer"), nullptr);
    }
    KeHandle lock = KeInitCS();  // a live handle of another kind
    ASSERT_NE(lock, 0);
    EXPECT_EQ(KeGetFn(lock, "malloc"), nullptr);
    EXPECT_EQ(KeFreeDll(lock), -1);
    EXPECT_EQ(KeFreeCS(lock), 0);
}

TEST(KeGetModuleTest, IsOneLastingHandleOfTheHostProgram) {
    KeHandle host = KeGetModule();
    ASSERT_NE(host, 0);
    ASSERT_NE(host, -1);
    EXPECT_EQ(KeGetModule(), host);

    auto marker = reinterpret_cast<AnswerFunction>(KeGetFn(host, "KernelTestHostMarker"));
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker(), 7);
    EXPECT_NE(KeGetFn(host, "malloc"), nullptr);  // the program's libraries are in its scope
    EXPECT_EQ(KeGetFn(host, "KernelTestNoSuchFunction"), nullptr);

    // Freeing the host's handle leaves it working.
    EXPECT_EQ(KeFreeDll(host), 0);
    EXPECT_EQ(KeGetModule(), host);
    EXPECT_NE(KeGetFn(host, "KernelTestHostMarker"), nullptr);
}

// A stand-in for the resource layer's reader: accepts files that start with "MZ".
struct FakeResourceImage {
    std::string fileName;
};
std::vector<std::string> g_releasedImages;

void* LoadFakeResourceImage(const char* fileName) {
    FILE* file = std::fopen(fileName, "rb");
    if (file == nullptr) return nullptr;
    char magic[2] = {};
    const bool isImage = std::fread(magic, 1, 2, file) == 2 && magic[0] == 'M' && magic[1] == 'Z';
    std::fclose(file);
    return isImage ? new FakeResourceImage{fileName} : nullptr;
}

void ReleaseFakeResourceImage(void* image) {
    auto* resourceImage = static_cast<FakeResourceImage*>(image);
    g_releasedImages.push_back(resourceImage->fileName);
    delete resourceImage;
}

class KeResourceModuleTest : public testing::Test {
  protected:
    void SetUp() override {
        g_releasedImages.clear();
        kq::platform::KeSetResourceImageReader(LoadFakeResourceImage, ReleaseFakeResourceImage);
    }
    void TearDown() override { kq::platform::KeSetResourceImageReader(nullptr, nullptr); }
};

TEST_F(KeResourceModuleTest, ResourceImageBecomesAModuleWithoutFunctions) {
    TemporaryFile languageModule("MZ pretend resource-only image");
    KeHandle module = KeLoadDll(languageModule.path());
    ASSERT_NE(module, -1);

    const kq::platform::LoadedModule* record = kq::platform::KeModuleFromHandle(module);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->sharedObject, nullptr);
    ASSERT_NE(record->resourceImage, nullptr);
    EXPECT_EQ(static_cast<FakeResourceImage*>(record->resourceImage)->fileName,
              languageModule.path());
    EXPECT_EQ(KeGetFn(module, "KernelTestModuleAnswer"), nullptr);

    EXPECT_EQ(KeFreeDll(module), 0);
    ASSERT_EQ(g_releasedImages.size(), 1u);
    EXPECT_EQ(g_releasedImages[0], languageModule.path());
}

TEST_F(KeResourceModuleTest, SharedObjectsStillLoadAsSuchAndOtherFilesAreStillRefused) {
    KeHandle module = KeLoadDll(kTestModulePath);
    ASSERT_NE(module, -1);
    const kq::platform::LoadedModule* record = kq::platform::KeModuleFromHandle(module);
    ASSERT_NE(record, nullptr);
    EXPECT_NE(record->sharedObject, nullptr);
    EXPECT_EQ(record->resourceImage, nullptr);
    EXPECT_EQ(KeFreeDll(module), 0);
    EXPECT_TRUE(g_releasedImages.empty());

    TemporaryFile text("neither kind of module\n");
    EXPECT_EQ(KeLoadDll(text.path()), -1);
}

TEST_F(KeResourceModuleTest, ModuleKeepsTheReleaseItWasLoadedWithAfterTheReaderIsRemoved) {
    TemporaryFile languageModule("MZ");
    KeHandle module = KeLoadDll(languageModule.path());
    ASSERT_NE(module, -1);
    kq::platform::KeSetResourceImageReader(nullptr, nullptr);
    EXPECT_EQ(KeFreeDll(module), 0);
    EXPECT_EQ(g_releasedImages.size(), 1u);
}

}  // namespace
