// The local fallback rule for file operations: a plugin's own entry point first; else, for a
// plugin whose directories are local paths, a temporary local instance on its directory; else
// nothing. (The compare's and the key bar's fallbacks show in the panels' tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kq/plugin.h"
#include "plugins/LocalFallback.h"

namespace kq::plugins {
namespace {

std::vector<std::string> calls;
uint32_t pluginFlags = 0;
int32_t setDirectoryResult = 0;

constexpr PluginHandle kPanelHandle = 11;
constexpr PluginHandle kLocalHandle = 22;

// Records "<who> <what> <numbers...>" and returns result.
template <typename... Numbers>
int32_t Log(PluginHandle handle, std::string what, Numbers... numbers) {
    what = (handle == kLocalHandle ? "local " : "plugin ") + what;
    ((what += " " + std::to_string(numbers)), ...);
    calls.push_back(what);
    return 0;
}

PluginEntry LocalEntry() {
    PluginEntry local{};
    local.ZOpenPlugin = [](intptr_t reserved, uint32_t start, void* owner) -> PluginHandle {
        Log(kLocalHandle, owner != nullptr ? "open owner" : "open", reserved, start);
        return kLocalHandle;
    };
    local.ZSetDirectory = [](PluginHandle handle, const char* path, intptr_t) {
        Log(handle, std::string("cd ") + path);
        return setDirectoryResult;
    };
    local.ZClosePlugin = [](PluginHandle handle) { return Log(handle, "close"); };
    local.ZDeleteFiles = [](PluginHandle handle, PluginItem*, int32_t count, uint32_t flags) {
        return Log(handle, "delete", count, flags);
    };
    local.ZGetFiles = [](PluginHandle handle, PluginItem*, int32_t count, const char* to,
                         uint32_t flags, uint32_t low, uint32_t high) {
        return Log(handle, std::string("get ") + to, count, flags, low, high);
    };
    return local;
}

// Each operation with the record it leaves after "plugin " or "local ".
const std::pair<FileOperationCall, std::string> kOperations[] = {
    {{.operation = FileOperation::kDeleteFiles, .count = 2, .flags = 24}, "delete 2 24"},
    {{.operation = FileOperation::kGetFiles,
      .count = 3,
      .destination = "/to",
      .flags = 0x20,
      .sizeLow = 5,
      .sizeHigh = 6},
     "get /to 3 32 5 6"},
};

class LocalFallbackTest : public ::testing::Test {
  protected:
    void SetUp() override {
        calls.clear();
        pluginFlags = PLUGIN_FLAG_LOCAL_PATHS;
        setDirectoryResult = 0;
    }
    // Runs every operation, expecting route for each and the calls around ("*" at the end: the
    // operation's own record).
    void ExpectAll(const PluginEntry& plugin, const PluginEntry& local, FileOperationRoute route,
                   const std::vector<std::string>& around) {
        calls.clear();
        std::vector<std::string> expected;
        for (const auto& [call, record] : kOperations) {
            EXPECT_EQ(RunFileOperation(plugin, kPanelHandle, &owner_, call, local), route)
                << record;
            for (const std::string& step : around) {
                expected.push_back(step.ends_with("*") ? step.substr(0, step.size() - 1) + record
                                                       : step);
            }
        }
        EXPECT_EQ(calls, expected);
    }

    int owner_ = 0;
};

TEST_F(LocalFallbackTest, ThePluginsOwnEntryPointElseALocalInstanceOnItsDirectoryElseNothing) {
    ExpectAll(LocalEntry(), LocalEntry(), FileOperationRoute::kPlugin, {"plugin *"});
    PluginEntry plugin{};
    ExpectAll(plugin, LocalEntry(), FileOperationRoute::kNotDone, {});  // no flags to ask
    plugin.ZGetFlags = [](PluginHandle) { return pluginFlags; };
    plugin.ZGetDirectory = [](PluginHandle) { return "/plugin/dir"; };
    ExpectAll(plugin, LocalEntry(), FileOperationRoute::kLocal,
              {"local open owner 0 0", "local cd /plugin/dir", "local *", "local close"});
    setDirectoryResult = 1;  // the directory cannot be reached
    ExpectAll(plugin, LocalEntry(), FileOperationRoute::kNotDone,
              {"local open owner 0 0", "local cd /plugin/dir", "local close"});
    setDirectoryResult = 0;
    pluginFlags = 2;
    ExpectAll(plugin, LocalEntry(), FileOperationRoute::kNotDone, {});
}

}  // namespace
}  // namespace kq::plugins
