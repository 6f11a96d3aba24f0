// EntryFromLookup: fills the twenty typed slots of a PluginEntry from untyped addresses by name,
// so that the slot order is written down once (kSlotNames) beside the record's own.
#pragma once

#include <cstddef>
#include <string_view>
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

// Slot i: its name, its member and the member's place in the record agree.
#define KQ_SLOT(i, member)                                         \
    static_assert(std::string_view(kSlotNames[i]) == #member &&    \
                  std::get<i>(kMembers) == &PluginEntry::member && \
                  offsetof(PluginEntry, member) == (i) * sizeof(void*))
KQ_SLOT(0, ZInitialise);
KQ_SLOT(1, ZTerminate);
KQ_SLOT(2, ZOpenPlugin);
KQ_SLOT(3, ZClosePlugin);
KQ_SLOT(4, ZSetDirectory);
KQ_SLOT(5, ZGetFlags);
KQ_SLOT(6, ZGetDirectory);
KQ_SLOT(7, ZFindFiles);
KQ_SLOT(8, ZFindClose);
KQ_SLOT(9, ZCreateDirectory);
KQ_SLOT(10, ZDeleteFiles);
KQ_SLOT(11, ZGetFiles);
KQ_SLOT(12, ZPutFiles);
KQ_SLOT(13, ZCreateDiskMenu);
KQ_SLOT(14, ZCompare);
KQ_SLOT(15, ZProcessInput);
KQ_SLOT(16, ZSaverLoad);
KQ_SLOT(17, ZSaverUnload);
KQ_SLOT(18, ZSaverStep);
KQ_SLOT(19, ZGetKeyBar);
#undef KQ_SLOT

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
