// The plugin header compiled alone as C++: reports the records' sizes and field offsets as a
// C++ compiler lays them out, for the test to compare with the C layout.
#include "kq/plugin.h"

extern "C" size_t PluginHeaderLayoutCpp(size_t* values, size_t capacity);

size_t PluginHeaderLayoutCpp(size_t* values, size_t capacity) {
#define KQ_PLUGIN_LAYOUT_VALUES const size_t layout[]
#include "PluginHeaderLayout.inc"
#undef KQ_PLUGIN_LAYOUT_VALUES
    const size_t count = sizeof layout / sizeof layout[0];
    for (size_t i = 0; i < count && i < capacity; ++i) values[i] = layout[i];
    return count;
}
