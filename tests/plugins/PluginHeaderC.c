/* The plugin header compiled alone as C: reports the records' sizes and field offsets as a C
 * compiler lays them out, for the C++ side to compare with its own. */
#include "kq/plugin.h"

size_t PluginHeaderLayoutC(size_t* values, size_t capacity);

size_t PluginHeaderLayoutC(size_t* values, size_t capacity) {
    const size_t layout[] = {
        sizeof(PluginInfo),
        offsetof(PluginInfo, name),
        offsetof(PluginInfo, number),
        sizeof(PluginItem),
        offsetof(PluginItem, name),
        offsetof(PluginItem, fileSize),
        offsetof(PluginItem, attributes),
        offsetof(PluginItem, created),
        offsetof(PluginItem, modified),
        offsetof(PluginItem, accessed),
        offsetof(PluginItem, flags),
        offsetof(PluginItem, secondSize),
        offsetof(PluginItem, text1),
        offsetof(PluginItem, text2),
        offsetof(PluginItem, extraCount),
        offsetof(PluginItem, extraBlock),
        offsetof(PluginItem, extraStrings),
        sizeof(PluginMenuItem),
        offsetof(PluginMenuItem, submenu),
        offsetof(PluginMenuItem, text),
        sizeof(PluginEntry),
        offsetof(PluginEntry, ZCompare),
        offsetof(PluginEntry, ZGetKeyBar),
    };
    const size_t count = sizeof layout / sizeof layout[0];
    size_t i;
    for (i = 0; i < count && i < capacity; ++i) values[i] = layout[i];
    return count;
}
