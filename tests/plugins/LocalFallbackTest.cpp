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

// Records "<who> <what> <numbers...>".
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
    return local;
}

// A deletion through plugin with the local entry above: the route taken and the calls made.
std::pair<FileOperationRoute, std::vector<std::string>> Delete(const PluginEntry& plugin) {
    calls.clear();
    int owner = 0;
    const FileOperationCall call{.operation = FileOperation::kDeleteFiles, .count = 2, .flags = 24};
    const FileOperationRoute route =
        RunFileOperation(plugin, kPanelHandle, &owner, call, LocalEntry());
    return {route, calls};
}

using Calls = std::vector<std::string>;

TEST(LocalFallbackTest, ThePluginsOwnEntryPointElseALocalInstanceOnItsDirectoryElseNothing) {
    EXPECT_EQ(Delete(LocalEntry()),
              std::pair(FileOperationRoute::kPlugin, Calls{"plugin delete 2 24"}));
    PluginEntry plugin{};
    EXPECT_EQ(Delete(plugin), std::pair(FileOperationRoute::kNotDone, Calls{}));  // no flags to ask
    plugin.ZGetFlags = [](PluginHandle) { return pluginFlags; };
    plugin.ZGetDirectory = [](PluginHandle) { return "/plugin/dir"; };
    pluginFlags = PLUGIN_FLAG_LOCAL_PATHS;
    const Calls local = {"local open owner 0 0", "local cd /plugin/dir", "local delete 2 24",
                         "local close"};
    EXPECT_EQ(Delete(plugin), std::pair(FileOperationRoute::kLocal, local));
    setDirectoryResult = 1;  // the directory cannot be reached: nothing deleted
    EXPECT_EQ(Delete(plugin),
              std::pair(FileOperationRoute::kNotDone, Calls{local[0], local[1], local[3]}));
    pluginFlags = 2;
    EXPECT_EQ(Delete(plugin), std::pair(FileOperationRoute::kNotDone, Calls{}));
}

}  // namespace
}  // namespace kq::plugins
