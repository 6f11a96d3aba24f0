// The local plugin's compare: the sort order of every panel whose plugin has no ZCompare.
#pragma once

#include "kq/plugin.h"

extern "C" {
// Sort modes 1 to 9 (PLUGIN_SORT_*); any other mode compares equal. -1, 0 or 1.
int32_t ZPLUGIN_CALL FS_ZCompare(const PluginItem* first, const PluginItem* second, int32_t mode);
}
