// The plugin table inside the library: registration, the count, the slot names and the internal
// plugin's record. PluginGet, PluginsLoad and PluginsFree (kq/plugin.h) are built on these.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "kq/plugin.h"

namespace kq::plugins {

// The symbol names looked up in a plugin library, in slot order.
inline constexpr std::array<const char*, PLUGIN_SLOT_COUNT> kSlotNames = {
    "ZInitialise",   "ZTerminate",    "ZOpenPlugin",  "ZClosePlugin",    "ZSetDirectory",
    "ZGetFlags",     "ZGetDirectory", "ZFindFiles",   "ZFindClose",      "ZCreateDirectory",
    "ZDeleteFiles",  "ZGetFiles",     "ZPutFiles",    "ZCreateDiskMenu", "ZCompare",
    "ZProcessInput", "ZSaverLoad",    "ZSaverUnload", "ZSaverStep",      "ZGetKeyBar"};

// A record whose slot i holds lookup(kSlotNames[i]) (a function address or null).
template <typename Lookup>
PluginEntry EntryFromLookup(Lookup&& lookup);

// The number of registered plugins.
int32_t PluginCount();
// Appends a record; its number is the count before the call. False when memory ran out.
bool RegisterPlugin(const PluginEntry& entry);
// Removes the highest-numbered record (the array is released with the last one).
void UnregisterLastPlugin();

// The record of the library's own plugin number 0.
PluginEntry InternalPluginEntry();
// Replaces the internal plugin's record for the next registration (a test stands in its own
// entry points); nullopt restores the built-in record.
void SetInternalPluginEntry(std::optional<PluginEntry> entry);

// What PluginsFree does around the plugins' termination for the windows that hold plugin
// instances (the shell's panels): release lets go of them before any plugin is asked; restore
// takes them up again when a plugin refused to stop. Either may be null.
struct UnloadGuard {
    void (*release)() = nullptr;
    void (*restore)() = nullptr;
};
void SetUnloadGuard(const UnloadGuard& guard);

}  // namespace kq::plugins

#include "plugins/PluginSlots.inl"
