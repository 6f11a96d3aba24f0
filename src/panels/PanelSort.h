// The panels' sort order: ".." first (wherever the listing has it), then the directories, then the
// files, each group in the order of the plugin's compare for a sort mode (reversed on request),
// equal items in listing order.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kq/plugin.h"

namespace kq::panels {

// Whether the item is the parent-directory entry "..".
bool IsParentEntry(const PluginItem& item);
bool IsDirectoryItem(const PluginItem& item);

// Sorts count item pointers in place. Mode 0 keeps the listing order within the groups and
// never calls compare; a null compare also leaves the groups in listing order. The compare is
// the plugin's: it may be inconsistent, and the sort still ends after O(n log n) calls with a
// permutation of its input.
void SortPanelItems(PluginItem** items, size_t count, PluginCompareFn compare, int32_t mode,
                    bool reverse);

// Keys that order items as the compare does (see kq::plugins::LocalSortKey): the sort then
// compares numbers held side by side and calls compare only where two keys are equal and not
// exact. The result is the same as without keys.
using SortKeyFn = bool (*)(const PluginItem& item, int32_t mode, uint64_t& key, bool& exact);
void SortPanelItems(PluginItem** items, size_t count, PluginCompareFn compare, SortKeyFn keys,
                    int32_t mode, bool reverse);

}  // namespace kq::panels
