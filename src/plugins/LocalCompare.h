// The local plugin's compare: the sort order of every panel whose plugin has no ZCompare.
#pragma once

#include <cstdint>

#include "kq/plugin.h"

extern "C" {
// Sort modes 1 to 9 (PLUGIN_SORT_*); any other mode compares equal. -1, 0 or 1.
int32_t ZPLUGIN_CALL FS_ZCompare(const PluginItem* first, const PluginItem* second, int32_t mode);
}

namespace kq::plugins {

// A number that orders items as FS_ZCompare does: for two items whose keys differ, the smaller
// key's item compares lower. With exact set, equal keys mean FS_ZCompare says equal; otherwise
// equal keys leave the decision to FS_ZCompare. Texts give the upper-cased first eight bytes,
// times and sizes themselves. False for a mode without keys.
bool LocalSortKey(const PluginItem& item, int32_t mode, uint64_t& key, bool& exact);

}  // namespace kq::plugins
