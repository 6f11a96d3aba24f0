// The local fallback rule: a plugin's own entry point first; else, for a plugin whose
// directories are local paths, a temporary local instance on the plugin's directory; else
// nothing. Also the compare and key-bar fallbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kq/plugin.h"
#include "plugins/LocalCompare.h"
#include "plugins/LocalFallback.h"

namespace kq::plugins {
namespace {

std::vector<std::string> calls;
uint32_t pluginFlags = 0;
int32_t setDirectoryResult = 0;

constexpr PluginHandle kPanelHandle = 11;
constexpr PluginHandle kLocalHandle = 22;

std::string Who(PluginHandle handle) {
    return handle == kLocalHandle ? "local" : (handle == kPanelHandle ? "plugin" : "?");
}

int32_t CreateDirectory(PluginHandle handle, const char* name, intptr_t) {
    calls.push_back(Who(handle) + " create " + name);
    return 0;
}
int32_t DeleteFiles(PluginHandle handle, PluginItem*, int32_t count, uint32_t flags) {
    calls.push_back(Who(handle) + " delete " + std::to_string(count) + " " + std::to_string(flags));
    return 0;
}
int32_t GetFiles(PluginHandle handle, PluginItem*, int32_t count, const char* destination,
                 uint32_t flags, uint32_t low, uint32_t high) {
    calls.push_back(Who(handle) + " get " + std::to_string(count) + " " + destination + " " +
                    std::to_string(flags) + " " + std::to_string(low) + " " + std::to_string(high));
    return 0;
}
int32_t PutFiles(PluginHandle handle, PluginItem*, int32_t count, uint32_t flags, uint32_t low,
                 uint32_t high) {
    calls.push_back(Who(handle) + " put " + std::to_string(count) + " " + std::to_string(flags) +
                    " " + std::to_string(low) + " " + std::to_string(high));
    return 0;
}
uint32_t GetFlags(PluginHandle) {
    return pluginFlags;
}
const char* GetDirectory(PluginHandle) {
    return "/plugin/dir";
}
PluginHandle OpenLocal(intptr_t reserved, uint32_t start, void* owner) {
    calls.push_back("local open " + std::to_string(reserved) + " " + std::to_string(start) +
                    (owner != nullptr ? " owner" : " no owner"));
    return kLocalHandle;
}
int32_t SetLocalDirectory(PluginHandle handle, const char* path, intptr_t) {
    calls.push_back(Who(handle) + " cd " + path);
    return setDirectoryResult;
}
int32_t CloseLocal(PluginHandle handle) {
    calls.push_back(Who(handle) + " close");
    return 0;
}
int32_t KeyBar(const char**, const char**, const char**, const char**, const char**, const char**,
               const char**) {
    return 0;
}
int32_t Reverse(const PluginItem*, const PluginItem*, int32_t) {
    return 0;
}

PluginEntry LocalEntry() {
    PluginEntry local{};
    local.ZOpenPlugin = OpenLocal;
    local.ZSetDirectory = SetLocalDirectory;
    local.ZClosePlugin = CloseLocal;
    local.ZCreateDirectory = CreateDirectory;
    local.ZDeleteFiles = DeleteFiles;
    local.ZGetFiles = GetFiles;
    local.ZPutFiles = PutFiles;
    local.ZGetKeyBar = KeyBar;
    return local;
}

struct OperationCase {
    FileOperationCall call;
    std::string expected;  // the operation's record, after "plugin " or "local "
};

const std::vector<OperationCase>& Operations() {
    static const std::vector<OperationCase> cases = {
        {{.operation = FileOperation::kCreateDirectory, .name = "new"}, "create new"},
        {{.operation = FileOperation::kDeleteFiles, .count = 2, .flags = 24}, "delete 2 24"},
        {{.operation = FileOperation::kGetFiles,
          .count = 3,
          .destination = "/to",
          .flags = 0x20,
          .sizeLow = 5,
          .sizeHigh = 6},
         "get 3 /to 32 5 6"},
        {{.operation = FileOperation::kPutFiles, .count = 1, .flags = 4, .sizeLow = 7},
         "put 1 4 7 0"},
    };
    return cases;
}

class LocalFallbackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        pluginFlags = PLUGIN_FLAG_LOCAL_PATHS;
        setDirectoryResult = 0;
    }

    int owner_ = 0;
};

TEST_F(LocalFallbackTest, PluginsOwnEntryPointServes) {
    const PluginEntry plugin = LocalEntry();  // has every operation
    for (const OperationCase& c : Operations()) {
        calls.clear();
        EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, LocalEntry()),
                  FileOperationRoute::kPlugin);
        EXPECT_EQ(calls, std::vector<std::string>{"plugin " + c.expected});
    }
}

TEST_F(LocalFallbackTest, LocalInstanceOnThePluginsDirectory) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    plugin.ZGetDirectory = GetDirectory;
    for (const OperationCase& c : Operations()) {
        calls.clear();
        EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, LocalEntry()),
                  FileOperationRoute::kLocal);
        EXPECT_EQ(calls, (std::vector<std::string>{"local open 0 0 owner", "local cd /plugin/dir",
                                                   "local " + c.expected, "local close"}));
    }
}

TEST_F(LocalFallbackTest, WithoutGetDirectoryTheLocalInstanceStaysWhereItOpened) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    const OperationCase& c = Operations()[0];
    EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, LocalEntry()),
              FileOperationRoute::kLocal);
    EXPECT_EQ(calls, (std::vector<std::string>{"local open 0 0 owner", "local " + c.expected,
                                               "local close"}));
}

TEST_F(LocalFallbackTest, WithoutLocalPathsFlagNothingIsDone) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    plugin.ZGetDirectory = GetDirectory;
    pluginFlags = 2;
    for (const OperationCase& c : Operations()) {
        EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, LocalEntry()),
                  FileOperationRoute::kNotDone);
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(LocalFallbackTest, WithoutGetFlagsNothingIsDone) {
    const PluginEntry plugin{};
    for (const OperationCase& c : Operations()) {
        EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, LocalEntry()),
                  FileOperationRoute::kNotDone);
    }
    EXPECT_TRUE(calls.empty());
}

TEST_F(LocalFallbackTest, OperationDoesNotRunWhenTheLocalInstanceCannotReachTheDirectory) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    plugin.ZGetDirectory = GetDirectory;
    setDirectoryResult = 1;
    EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, Operations()[1].call, LocalEntry()),
              FileOperationRoute::kNotDone);
    EXPECT_EQ(calls, (std::vector<std::string>{"local open 0 0 owner", "local cd /plugin/dir",
                                               "local close"}));
}

TEST_F(LocalFallbackTest, LocalPluginWithoutTheOperationDoesNothing) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    PluginEntry local = LocalEntry();
    local.ZDeleteFiles = nullptr;
    EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, Operations()[1].call, local),
              FileOperationRoute::kNotDone);
    EXPECT_TRUE(calls.empty());
}

TEST_F(LocalFallbackTest, CompareFallsBackToTheLocalCompare) {
    PluginEntry plugin{};
    EXPECT_EQ(CompareOf(plugin), &FS_ZCompare);
    plugin.ZCompare = Reverse;
    EXPECT_EQ(CompareOf(plugin), &Reverse);
}

TEST_F(LocalFallbackTest, KeyBarFallsBackToTheLocalKeyBar) {
    PluginEntry plugin{};
    EXPECT_EQ(KeyBarOf(plugin, LocalEntry()), &KeyBar);
    EXPECT_EQ(KeyBarOf(plugin, PluginEntry{}), nullptr);
}

}  // namespace
}  // namespace kq::plugins
