// The local fallback rule: which code serves a panel's file operation, its plugin's entry point
// or the local plugin's on the plugin's directory, and the plugin's compare and key bar with
// the local plugin's in place of missing ones. The panels call these.
#pragma once

#include <cstdint>

#include "kq/plugin.h"

namespace kq::plugins {

enum class FileOperation { kCreateDirectory, kDeleteFiles, kGetFiles, kPutFiles };

// One operation's arguments as the panel passes them; each operation reads its own.
struct FileOperationCall {
    FileOperation operation = FileOperation::kCreateDirectory;
    const char* name = nullptr;  // kCreateDirectory: the new directory's name
    PluginItem* items = nullptr;
    int32_t count = 0;
    const char* destination = nullptr;  // kGetFiles
    uint32_t flags = 0;
    uint32_t sizeLow = 0;
    uint32_t sizeHigh = 0;
};

// Who served the operation.
enum class FileOperationRoute {
    kPlugin,  // the plugin's own entry point
    kLocal,   // a temporary instance of the local plugin
    kNotDone  // neither: the plugin lacks it and its directories are no local paths
};

// What the operation's entry point answered: its result and, when that is not 0, the errno it
// left (0: no reason given). A route of kNotDone with result -1 means the local instance could
// not reach the plugin's directory; with result 0, that there was no way to run it at all.
struct FileOperationOutcome {
    int32_t result = 0;
    int error = 0;
};

// Runs the operation on the panel's instance (handle) of plugin. When the plugin lacks the entry
// point but reports PLUGIN_FLAG_LOCAL_PATHS, a temporary instance of local (opened with 0, 0 and
// owner, moved to the plugin's directory when the plugin has ZGetDirectory) runs it with the same
// arguments and is closed again. local is plugin 0's record. The outcome, when asked for, says
// how the entry point answered.
FileOperationRoute RunFileOperation(const PluginEntry& plugin, PluginHandle handle, void* owner,
                                    const FileOperationCall& call, const PluginEntry& local,
                                    FileOperationOutcome* outcome = nullptr);

// The plugin's compare, or the local plugin's when it has none.
PluginCompareFn CompareOf(const PluginEntry& plugin);
// The plugin's key bar, or local's when it has none (null when neither has one).
PluginGetKeyBarFn KeyBarOf(const PluginEntry& plugin, const PluginEntry& local);

}  // namespace kq::plugins
