/* The plugin header compiled alone as C: reports the records' sizes and field offsets as a C
 * compiler lays them out, for the C++ side to compare with its own. */
#include "kq/plugin.h"

size_t PluginHeaderLayoutC(size_t* values, size_t capacity);

size_t PluginHeaderLayoutC(size_t* values, size_t capacity) {
#define KQ_PLUGIN_LAYOUT_VALUES const size_t layout[]
#include "PluginHeaderLayout.inc"
#undef KQ_PLUGIN_LAYOUT_VALUES
    const size_t count = sizeof layout / sizeof layout[0];
    size_t i;
    for (i = 0; i < count && i < capacity; ++i) values[i] = layout[i];
    return count;
}
