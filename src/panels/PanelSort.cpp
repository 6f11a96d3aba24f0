// The panel sort: a stable partition into directories and files, then a bottom-up merge sort of
// each group. The merge only ever asks "does the right item go first?" and moves each pointer
// exactly once per pass, so a compare that contradicts itself can neither run past the ends nor
// loop; the library's sorts give no such promise for an inconsistent order.
#include "panels/PanelSort.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "kq/fs.h"

namespace kq::panels {
namespace {

// A stable bottom-up merge sort of count elements, using scratch (count elements) as the other
// buffer. rightFirst(a, b) says whether b must go before a; it is asked once per step of a
// merge, and every step moves one element, so any answers end the sort after O(n log n) steps.
template <typename T, typename RightFirst>
void MergeSort(T* items, size_t count, T* scratch, const RightFirst& rightFirst) {
    T* source = items;
    T* target = scratch;
    for (size_t run = 1; run < count; run *= 2) {
        for (size_t left = 0; left < count; left += 2 * run) {
            const size_t middle = std::min(left + run, count);
            const size_t right = std::min(left + 2 * run, count);
            size_t a = left;
            size_t b = middle;
            size_t out = left;
            while (a < middle && b < right) {
                target[out++] = rightFirst(source[a], source[b]) ? source[b++] : source[a++];
            }
            while (a < middle) target[out++] = source[a++];
            while (b < right) target[out++] = source[b++];
        }
        std::swap(source, target);
    }
    if (source != items) std::copy(source, source + count, items);
}

// The right item goes before the left one only when the compare says the left is greater
// (reversed on request): equal items keep their order.
bool CompareSaysRightFirst(PluginCompareFn compare, int32_t mode, bool reverse,
                           const PluginItem* left, const PluginItem* right) {
    int32_t result = compare(left, right, mode);
    if (reverse) result = result > 0 ? -1 : (result < 0 ? 1 : 0);
    return result > 0;
}

void SortGroup(PluginItem** items, size_t count, PluginItem** scratch, PluginCompareFn compare,
               int32_t mode, bool reverse) {
    if (count < 2) return;
    MergeSort(items, count, scratch, [&](const PluginItem* left, const PluginItem* right) {
        return CompareSaysRightFirst(compare, mode, reverse, left, right);
    });
}

struct Keyed {
    uint64_t key;
    PluginItem* item;
};

// The same sort over items carrying their keys: neighbours in memory, so a pass reads the keys
// in order instead of following pointers into the listing. False when the mode has no keys.
bool SortGroupByKeys(PluginItem** items, size_t count, PluginCompareFn compare, SortKeyFn keys,
                     int32_t mode, bool reverse) {
    if (count < 2) return true;
    std::vector<Keyed> keyed(count);
    bool exact = false;
    for (size_t i = 0; i < count; ++i) {
        if (!keys(*items[i], mode, keyed[i].key, exact)) return false;
        keyed[i].item = items[i];
    }
    std::vector<Keyed> scratch(count);
    MergeSort(keyed.data(), count, scratch.data(), [&](const Keyed& left, const Keyed& right) {
        if (left.key != right.key) return reverse ? left.key < right.key : left.key > right.key;
        return !exact && CompareSaysRightFirst(compare, mode, reverse, left.item, right.item);
    });
    for (size_t i = 0; i < count; ++i) items[i] = keyed[i].item;
    return true;
}

}  // namespace

bool IsParentEntry(const PluginItem& item) {
    return item.name != nullptr && std::strcmp(item.name, "..") == 0;
}

bool IsDirectoryItem(const PluginItem& item) {
    return (item.attributes & FA_DIR) != 0;
}

void SortPanelItems(PluginItem** items, size_t count, PluginCompareFn compare, int32_t mode,
                    bool reverse) {
    SortPanelItems(items, count, compare, nullptr, mode, reverse);
}

void SortPanelItems(PluginItem** items, size_t count, PluginCompareFn compare, SortKeyFn keys,
                    int32_t mode, bool reverse) {
    if (items == nullptr || count == 0) return;
    // ".." goes first. Directory streams on this platform list it wherever the file system
    // keeps it, not necessarily first, so it is looked for in the whole listing.
    size_t first = 0;
    const auto parent = std::find_if(items, items + count,
                                     [](const PluginItem* item) { return IsParentEntry(*item); });
    if (parent != items + count) {
        std::rotate(items, parent, parent + 1);
        first = 1;
    }
    const size_t length = count - first;
    if (length < 2) return;
    PluginItem** range = items + first;

    // Directories first, files after them, each in listing order.
    std::vector<PluginItem*> scratch(length);
    size_t directories = 0;
    for (size_t i = 0; i < length; ++i) {
        if (IsDirectoryItem(*range[i])) scratch[directories++] = range[i];
    }
    size_t files = directories;
    for (size_t i = 0; i < length; ++i) {
        if (!IsDirectoryItem(*range[i])) scratch[files++] = range[i];
    }
    std::copy(scratch.begin(), scratch.end(), range);

    if (mode == 0 || compare == nullptr) return;
    if (keys != nullptr && SortGroupByKeys(range, directories, compare, keys, mode, reverse) &&
        SortGroupByKeys(range + directories, length - directories, compare, keys, mode, reverse)) {
        return;
    }
    SortGroup(range, directories, scratch.data(), compare, mode, reverse);
    SortGroup(range + directories, length - directories, scratch.data(), compare, mode, reverse);
}

}  // namespace kq::panels
