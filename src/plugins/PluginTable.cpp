// The plugin table: one contiguous array of records that grows by one per registration and is
// released with its last record, the internal plugin's record, and PluginGet.
#include "plugins/PluginTable.h"

#include <cstdlib>
#include <cstring>

#include "localfs/LocalPlugin.h"
#include "plugins/LocalCompare.h"
#include "saver/InternalSaver.h"

namespace kq::plugins {
namespace {

// Plain storage rather than a vector: registration reallocates to exactly count records, and
// the array may move, so that nobody keeps pointers into it (PluginGet hands out copies).
struct Table {
    int32_t count = 0;
    PluginEntry* entries = nullptr;
};

Table& TheTable() {
    static Table table;
    return table;
}

std::optional<PluginEntry>& InternalOverride() {
    static std::optional<PluginEntry> entry;
    return entry;
}

}  // namespace

int32_t PluginCount() {
    return TheTable().count;
}

bool RegisterPlugin(const PluginEntry& entry) {
    Table& table = TheTable();
    const size_t newCount = static_cast<size_t>(table.count) + 1;
    void* grown = std::realloc(table.entries, newCount * sizeof(PluginEntry));
    if (grown == nullptr) return false;
    table.entries = static_cast<PluginEntry*>(grown);
    table.entries[table.count] = entry;
    table.count = static_cast<int32_t>(newCount);
    return true;
}

void UnregisterLastPlugin() {
    Table& table = TheTable();
    if (table.count == 0) return;
    if (--table.count == 0) {
        std::free(table.entries);
        table.entries = nullptr;
    }
}

// Plugin 0: the local file-system plugin (slots 0-15 and 19) and the internal screen saver
// (slots 16-18) share one record.
// Empty slots behave as a plugin lacking those entry points.
PluginEntry InternalPluginEntry() {
    if (InternalOverride()) return *InternalOverride();
    PluginEntry entry{};
    entry.ZInitialise = FS_ZInitialise;
    entry.ZTerminate = FS_ZTerminate;
    entry.ZOpenPlugin = FS_ZOpenPlugin;
    entry.ZClosePlugin = FS_ZClosePlugin;
    entry.ZSetDirectory = FS_ZSetDirectory;
    entry.ZGetFlags = kq::localfs::LocalGetFlags;
    entry.ZGetDirectory = FS_ZGetDirectory;
    entry.ZFindFiles = FS_ZFindFiles;
    entry.ZFindClose = FS_ZFindClose;
    entry.ZCreateDirectory = FS_ZCreateDirectory;
    entry.ZDeleteFiles = FS_ZDeleteFiles;
    entry.ZGetFiles = FS_ZGetFiles;
    entry.ZPutFiles = FS_ZPutFiles;
    entry.ZCreateDiskMenu = FS_ZCreateDiskMenu;
    entry.ZCompare = FS_ZCompare;
    entry.ZProcessInput = kq::localfs::FS_ZProcessInput;
    entry.ZSaverLoad = InternalSaverLoad;
    entry.ZSaverUnload = InternalSaverUnload;
    entry.ZSaverStep = InternalSaverStep;
    entry.ZGetKeyBar = kq::localfs::LocalGetKeyBar;
    return entry;
}

void SetInternalPluginEntry(std::optional<PluginEntry> entry) {
    InternalOverride() = entry;
}

}  // namespace kq::plugins

extern "C" {

ZPLUGIN_VISIBLE int ZPLUGIN_CALL PluginGet(int32_t number, PluginEntry* entry) {
    const kq::plugins::Table& table = kq::plugins::TheTable();
    if (number < 0 || number >= table.count || entry == nullptr) return -1;
    std::memcpy(entry, &table.entries[number], sizeof(PluginEntry));
    return 0;
}

}  // extern "C"
