// EntryFromLookup: fills the twenty typed slots of a PluginEntry from untyped addresses by name,
// so that the slot order is written down once (kSlotNames) beside the record's own.
#pragma once

#include <tuple>
#include <type_traits>
#include <utility>

namespace kq::plugins {

namespace slots {

inline constexpr auto kMembers = std::make_tuple(
    &PluginEntry::ZInitialise, &PluginEntry::ZTerminate, &PluginEntry::ZOpenPlugin,
    &PluginEntry::ZClosePlugin, &PluginEntry::ZSetDirectory, &PluginEntry::ZGetFlags,
    &PluginEntry::ZGetDirectory, &PluginEntry::ZFindFiles, &PluginEntry::ZFindClose,
    &PluginEntry::ZCreateDirectory, &PluginEntry::ZDeleteFiles, &PluginEntry::ZGetFiles,
    &PluginEntry::ZPutFiles, &PluginEntry::ZCreateDiskMenu, &PluginEntry::ZCompare,
    &PluginEntry::ZProcessInput, &PluginEntry::ZSaverLoad, &PluginEntry::ZSaverUnload,
    &PluginEntry::ZSaverStep, &PluginEntry::ZGetKeyBar);

static_assert(std::tuple_size_v<std::remove_const_t<decltype(kMembers)>> == PLUGIN_SLOT_COUNT);
static_assert(sizeof(PluginEntry) == PLUGIN_SLOT_COUNT * sizeof(void*));

template <typename Lookup, std::size_t... I>
void Fill(PluginEntry& entry, Lookup& lookup, std::index_sequence<I...>) {
    // Symbol addresses become function pointers: conditionally supported, and what dlsym is for.
    ((entry.*std::get<I>(kMembers) =
          reinterpret_cast<std::remove_reference_t<decltype(entry.*std::get<I>(kMembers))>>(
              lookup(kSlotNames[I]))),
     ...);
}

}  // namespace slots

template <typename Lookup>
PluginEntry EntryFromLookup(Lookup&& lookup) {
    PluginEntry entry{};
    slots::Fill(entry, lookup, std::make_index_sequence<PLUGIN_SLOT_COUNT>{});
    return entry;
}

}  // namespace kq::plugins
