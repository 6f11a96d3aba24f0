// The local fallback rule: a plugin's own entry point first; else, for a plugin whose
// directories are local paths, a temporary local instance on its directory; else nothing.
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
    // Runs every operation; the route of each and all calls made.
    std::vector<FileOperationRoute> RunAll(const PluginEntry& plugin, const PluginEntry& local) {
        std::vector<FileOperationRoute> routes;
        for (const OperationCase& c : Operations()) {
            routes.push_back(RunFileOperation(plugin, kPanelHandle, &owner_, c.call, local));
        }
        return routes;
    }
    std::vector<std::string> Expected(const std::vector<std::string>& around) const {
        std::vector<std::string> all;
        for (const OperationCase& c : Operations()) {
            for (const std::string& call : around)
                all.push_back(call.empty() ? "local " + c.expected : call);
        }
        return all;
    }

    int owner_ = 0;
};

using Routes = std::vector<FileOperationRoute>;

TEST_F(LocalFallbackTest, ThePluginsOwnEntryPointServesFirst) {
    EXPECT_EQ(RunAll(LocalEntry(), LocalEntry()), Routes(4, FileOperationRoute::kPlugin));
    std::vector<std::string> expected;
    for (const OperationCase& c : Operations()) expected.push_back("plugin " + c.expected);
    EXPECT_EQ(calls, expected);
}

TEST_F(LocalFallbackTest, ElseALocalInstanceOnThePluginsDirectory) {
    PluginEntry plugin{};
    plugin.ZGetFlags = GetFlags;
    EXPECT_EQ(RunAll(plugin, LocalEntry()), Routes(4, FileOperationRoute::kLocal));
    EXPECT_EQ(calls, Expected({"local open 0 0 owner", "", "local close"}));  // stays where opened
    calls.clear();
    plugin.ZGetDirectory = GetDirectory;
    EXPECT_EQ(RunAll(plugin, LocalEntry()), Routes(4, FileOperationRoute::kLocal));
    EXPECT_EQ(calls, Expected({"local open 0 0 owner", "local cd /plugin/dir", "", "local close"}));
    // Not when the local instance cannot reach the directory.
    calls.clear();
    setDirectoryResult = 1;
    EXPECT_EQ(RunAll(plugin, LocalEntry()), Routes(4, FileOperationRoute::kNotDone));
    EXPECT_EQ(calls, Expected({"local open 0 0 owner", "local cd /plugin/dir", "local close"}));
}

TEST_F(LocalFallbackTest, ElseNothing) {
    PluginEntry plugin{};
    EXPECT_EQ(RunAll(plugin, LocalEntry()), Routes(4, FileOperationRoute::kNotDone));  // no flags
    plugin.ZGetFlags = GetFlags;
    plugin.ZGetDirectory = GetDirectory;
    pluginFlags = 2;
    EXPECT_EQ(RunAll(plugin, LocalEntry()), Routes(4, FileOperationRoute::kNotDone));
    pluginFlags = PLUGIN_FLAG_LOCAL_PATHS;
    PluginEntry local = LocalEntry();
    local.ZDeleteFiles = nullptr;
    EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, Operations()[1].call, local),
              FileOperationRoute::kNotDone);
    EXPECT_TRUE(calls.empty());
}

TEST_F(LocalFallbackTest, CompareAndKeyBarFallBackToTheLocalOnes) {
    PluginEntry plugin{};
    EXPECT_EQ(CompareOf(plugin), &FS_ZCompare);
    EXPECT_EQ(KeyBarOf(plugin, LocalEntry()), &KeyBar);
    EXPECT_EQ(KeyBarOf(plugin, PluginEntry{}), nullptr);
    plugin.ZCompare = Reverse;
    EXPECT_EQ(CompareOf(plugin), &Reverse);
}

}  // namespace
}  // namespace kq::plugins
