// The local fallback rule for file operations, compares and key bars (see LocalFallback.h).
#include "plugins/LocalFallback.h"

#include <cerrno>

#include "plugins/LocalCompare.h"

namespace kq::plugins {
namespace {

bool HasOperation(const PluginEntry& entry, FileOperation operation) {
    switch (operation) {
        case FileOperation::kCreateDirectory:
            return entry.ZCreateDirectory != nullptr;
        case FileOperation::kDeleteFiles:
            return entry.ZDeleteFiles != nullptr;
        case FileOperation::kGetFiles:
            return entry.ZGetFiles != nullptr;
        case FileOperation::kPutFiles:
            return entry.ZPutFiles != nullptr;
    }
    return false;
}

int32_t Call(const PluginEntry& entry, PluginHandle handle, const FileOperationCall& call) {
    switch (call.operation) {
        case FileOperation::kCreateDirectory:
            return entry.ZCreateDirectory(handle, call.name, 0);
        case FileOperation::kDeleteFiles:
            return entry.ZDeleteFiles(handle, call.items, call.count, call.flags);
        case FileOperation::kGetFiles:
            return entry.ZGetFiles(handle, call.items, call.count, call.destination, call.flags,
                                   call.sizeLow, call.sizeHigh);
        case FileOperation::kPutFiles:
            return entry.ZPutFiles(handle, call.items, call.count, call.flags, call.sizeLow,
                                   call.sizeHigh);
    }
    return -1;
}

// Calls the entry point and records its result with the errno it left.
void CallInto(const PluginEntry& entry, PluginHandle handle, const FileOperationCall& call,
              FileOperationOutcome* outcome) {
    errno = 0;
    const int32_t result = Call(entry, handle, call);
    if (outcome != nullptr) *outcome = FileOperationOutcome{result, result != 0 ? errno : 0};
}

}  // namespace

FileOperationRoute RunFileOperation(const PluginEntry& plugin, PluginHandle handle, void* owner,
                                    const FileOperationCall& call, const PluginEntry& local,
                                    FileOperationOutcome* outcome) {
    if (outcome != nullptr) *outcome = FileOperationOutcome{};
    if (HasOperation(plugin, call.operation)) {
        CallInto(plugin, handle, call, outcome);
        return FileOperationRoute::kPlugin;
    }
    if (plugin.ZGetFlags == nullptr || (plugin.ZGetFlags(handle) & PLUGIN_FLAG_LOCAL_PATHS) == 0) {
        return FileOperationRoute::kNotDone;
    }
    if (!HasOperation(local, call.operation) || local.ZOpenPlugin == nullptr) {
        return FileOperationRoute::kNotDone;
    }
    const PluginHandle temporary = local.ZOpenPlugin(0, 0, owner);
    // An operation meant for the plugin's directory must not run anywhere else: when the local
    // instance cannot go there, nothing is done.
    bool placed = true;
    if (plugin.ZGetDirectory != nullptr) {
        const char* directory = plugin.ZGetDirectory(handle);
        errno = 0;
        placed = local.ZSetDirectory != nullptr && directory != nullptr &&
                 local.ZSetDirectory(temporary, directory, 0) == 0;
        // Not done, and why: the plugin's directory cannot be reached.
        if (!placed && outcome != nullptr) *outcome = FileOperationOutcome{-1, errno};
    }
    if (placed) CallInto(local, temporary, call, outcome);
    if (local.ZClosePlugin != nullptr) local.ZClosePlugin(temporary);
    return placed ? FileOperationRoute::kLocal : FileOperationRoute::kNotDone;
}

PluginCompareFn CompareOf(const PluginEntry& plugin) {
    return plugin.ZCompare != nullptr ? plugin.ZCompare : FS_ZCompare;
}

PluginGetKeyBarFn KeyBarOf(const PluginEntry& plugin, const PluginEntry& local) {
    return plugin.ZGetKeyBar != nullptr ? plugin.ZGetKeyBar : local.ZGetKeyBar;
}

}  // namespace kq::plugins
