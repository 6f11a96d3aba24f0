// PluginsLoad, PluginGet and PluginsFree with real shared objects in temporary plugin trees.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "kq/plugin.h"
#include "plugins/PluginTable.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::plugins {
namespace {

const std::string kInternalLog = " * Initializing internal 'plugins': [FS] ok\n";

struct LoadResult {
    int result = 0;
    std::string log;
};

template <typename Step>
LoadResult Logged(Step step) {
    ::testing::internal::CaptureStdout();
    const int result = step();
    return {result, ::testing::internal::GetCapturedStdout()};
}

LoadResult Load(const std::string& directory) {
    return Logged([&] { return PluginsLoad(directory.c_str()); });
}
LoadResult Free() {
    return Logged([] { return PluginsFree(); });
}

int32_t CountThroughPluginGet() {
    PluginEntry entry{};
    int32_t number = 0;
    while (PluginGet(number, &entry) == 0) ++number;
    return number;
}

std::string Loading(const std::string& path, const std::string& outcome) {
    return " * Loading plugin " + path + ": " + outcome + "\n";
}

std::string Recorded(int number, const std::string& path) {
    return "[recording " + std::to_string(number) + "] ZInitialise size=24 name=" + path +
           " reserved=0\nok";
}

class PluginLoadingTest : public ::testing::Test {
  protected:
    void SetUp() override { EmptyTable(); }
    void TearDown() override { EmptyTable(); }
    static void EmptyTable() {
        for (int attempt = 0; attempt < 10 && Free().result != 0; ++attempt) {
        }
    }
    // A copy of a built test plugin (its own file, so its own instance once loaded).
    std::string Place(const char* built, const std::string& relative) const {
        const std::filesystem::path path = root_.root() / relative;
        std::filesystem::create_directories(path.parent_path());
        std::filesystem::copy_file(built, path);
        return path.string();
    }
    std::string Root() const { return root_.root().string(); }

    kq::test::TempFolder root_{"kq-plugins"};
};

// The whole tree is scanned, leaving out hidden files and directories, names without ".DLL"
// or ".SO" (in any case, versioned too) and anything that is no regular file.
TEST_F(PluginLoadingTest, TheTreeIsScannedDepthFirstSkippingHiddenEntries) {
    const std::vector<std::string> loaded = {"Mixed.Dll", "backup.dll.bak", "sub/c.so",
                                             "sub/deeper/d.so", "other/libversioned.so.1"};
    for (const std::string& name : loaded) Place(KQ_PLUGIN_EMPTY, name);
    for (const char* name :
         {".hidden.so", ".hiddendir/inner.so", "sub/.x/deep.so", "plugin.dl", "plugin"}) {
        Place(KQ_PLUGIN_EMPTY, name);
    }
    ASSERT_EQ(::mkfifo((Root() + "/pipe.so").c_str(), 0600), 0);

    const LoadResult result = Load(Root());
    EXPECT_EQ(result.result, 0);
    ASSERT_TRUE(result.log.starts_with(kInternalLog));
    std::vector<std::string> order;  // the libraries as loaded, relative to the tree
    for (std::string line : kq::testing::SplitLines(result.log.substr(kInternalLog.size()))) {
        const std::string prefix = " * Loading plugin " + Root() + "/";
        ASSERT_TRUE(line.starts_with(prefix) && line.ends_with(": ok")) << line;
        order.push_back(line.substr(prefix.size(), line.size() - 4 - prefix.size()));
    }
    EXPECT_EQ(std::multiset<std::string>(order.begin(), order.end()),
              std::multiset<std::string>(loaded.begin(), loaded.end()));
    EXPECT_EQ(CountThroughPluginGet(), 6);
}

// Failing and unloadable plugins are left out and the next takes their
// number; a trailing slash adds no second one.
TEST_F(PluginLoadingTest, FailingAndUnloadablePluginsAreLeftOut) {
    const std::string failing = Place(KQ_PLUGIN_FAILING, "fail.so");
    const std::string junk = root_.WriteFile("junk.so", "not a library\n");
    const std::string recording = Place(KQ_PLUGIN_RECORDING, "rec.so");
    const LoadResult loaded = Load(Root() + "/");
    EXPECT_EQ(loaded.result, 0);
    size_t length = kInternalLog.size();
    for (const std::string& piece :
         {Loading(failing, "Initialisation error 5!"), Loading(junk, "Can't load module!"),
          Loading(recording, Recorded(1, recording))}) {
        EXPECT_NE(loaded.log.find(piece), std::string::npos) << piece << "\nin\n" << loaded.log;
        length += piece.size();
    }
    EXPECT_EQ(loaded.log.size(), length);  // and nothing else
    EXPECT_EQ(CountThroughPluginGet(), 2);
}

// Plugins are terminated from the last; a refusal stops there (the refusing plugin and the ones
// below it stay callable) and the next call resumes. An emptied table starts again at zero.
TEST_F(PluginLoadingTest, ARefusedTerminationStopsAndTheNextCallResumes) {
    Place(KQ_PLUGIN_RECORDING, "one/rec.so");
    Place(KQ_PLUGIN_REFUSING, "two/refusing.so");
    Place(KQ_PLUGIN_RECORDING, "three/rec.so");
    for (const char* directory : {"/one", "/two", "/three"}) Load(Root() + directory);
    ASSERT_EQ(CountThroughPluginGet(), 4);
    const LoadResult refused = Free();
    EXPECT_EQ(refused.result, 1);
    EXPECT_EQ(refused.log, "[recording 3] ZTerminate\n[refusing 2] ZTerminate refused\n");
    EXPECT_EQ(CountThroughPluginGet(), 3);
    PluginEntry entry{};
    ASSERT_EQ(PluginGet(1, &entry), 0);
    EXPECT_EQ(entry.ZGetFlags(0), PLUGIN_FLAG_LOCAL_PATHS);
    const LoadResult resumed = Free();
    EXPECT_EQ(resumed.result, 0);
    EXPECT_EQ(resumed.log, "[refusing 2] ZTerminate\n[recording 1] ZTerminate\n");
    EXPECT_EQ(PluginCount() + Free().result, 0);             // the second on an empty table
    EXPECT_EQ(Load(Root() + "/missing").log, kInternalLog);  // starts again at zero, no error
    EXPECT_EQ(CountThroughPluginGet(), 1);
}

}  // namespace
}  // namespace kq::plugins
