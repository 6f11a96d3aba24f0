// The local fallback rule for file operations, compares and key bars (see LocalFallback.h).
#include "plugins/LocalFallback.h"

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

void Call(const PluginEntry& entry, PluginHandle handle, const FileOperationCall& call) {
    switch (call.operation) {
        case FileOperation::kCreateDirectory:
            entry.ZCreateDirectory(handle, call.name, 0);
            break;
        case FileOperation::kDeleteFiles:
            entry.ZDeleteFiles(handle, call.items, call.count, call.flags);
            break;
        case FileOperation::kGetFiles:
            entry.ZGetFiles(handle, call.items, call.count, call.destination, call.flags,
                            call.sizeLow, call.sizeHigh);
            break;
        case FileOperation::kPutFiles:
            entry.ZPutFiles(handle, call.items, call.count, call.flags, call.sizeLow,
                            call.sizeHigh);
            break;
    }
}

}  // namespace

FileOperationRoute RunFileOperation(const PluginEntry& plugin, PluginHandle handle, void* owner,
                                    const FileOperationCall& call, const PluginEntry& local) {
    if (HasOperation(plugin, call.operation)) {
        Call(plugin, handle, call);
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
        placed = local.ZSetDirectory != nullptr && directory != nullptr &&
                 local.ZSetDirectory(temporary, directory, 0) == 0;
    }
    if (placed) Call(local, temporary, call);
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
