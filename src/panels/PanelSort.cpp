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

class GroupSorter {
  public:
    GroupSorter(PluginCompareFn compare, int32_t mode, bool reverse)
        : compare_(compare), mode_(mode), reverse_(reverse) {}

    // Sorts [items, items + count) using scratch (at least count pointers).
    void Sort(PluginItem** items, size_t count, PluginItem** scratch) const {
        if (count < 2 || compare_ == nullptr || mode_ == 0) return;
        PluginItem** source = items;
        PluginItem** target = scratch;
        for (size_t run = 1; run < count; run *= 2) {
            for (size_t left = 0; left < count; left += 2 * run) {
                const size_t middle = std::min(left + run, count);
                const size_t right = std::min(left + 2 * run, count);
                Merge(source, left, middle, right, target);
            }
            std::swap(source, target);
        }
        if (source != items) std::copy(source, source + count, items);
    }

  private:
    // The right item goes before the left one only when the compare says the left is greater:
    // equal items keep their order.
    bool RightFirst(const PluginItem* left, const PluginItem* right) const {
        int32_t result = compare_(left, right, mode_);
        if (reverse_) result = result > 0 ? -1 : (result < 0 ? 1 : 0);
        return result > 0;
    }

    void Merge(PluginItem** source, size_t left, size_t middle, size_t right,
               PluginItem** target) const {
        size_t a = left;
        size_t b = middle;
        size_t out = left;
        while (a < middle && b < right) {
            target[out++] = RightFirst(source[a], source[b]) ? source[b++] : source[a++];
        }
        while (a < middle) target[out++] = source[a++];
        while (b < right) target[out++] = source[b++];
    }

    PluginCompareFn compare_;
    int32_t mode_;
    bool reverse_;
};

// The same merge over items carrying their keys: neighbours in memory, so a pass reads the
// keys in order instead of following pointers into the listing.
class KeyedGroupSorter {
  public:
    struct Keyed {
        uint64_t key;
        PluginItem* item;
    };

    KeyedGroupSorter(PluginCompareFn compare, SortKeyFn keys, int32_t mode, bool reverse)
        : compare_(compare), keys_(keys), mode_(mode), reverse_(reverse) {}

    // False when the mode has no keys (the caller sorts without them).
    bool Sort(PluginItem** items, size_t count) {
        if (count < 2) return true;
        std::vector<Keyed> source(count);
        for (size_t i = 0; i < count; ++i) {
            bool exact = false;
            if (!keys_(*items[i], mode_, source[i].key, exact)) return false;
            exact_ = exact;
            source[i].item = items[i];
        }
        std::vector<Keyed> target(count);
        Keyed* from = source.data();
        Keyed* to = target.data();
        for (size_t run = 1; run < count; run *= 2) {
            for (size_t left = 0; left < count; left += 2 * run) {
                const size_t middle = std::min(left + run, count);
                const size_t right = std::min(left + 2 * run, count);
                Merge(from, left, middle, right, to);
            }
            std::swap(from, to);
        }
        for (size_t i = 0; i < count; ++i) items[i] = from[i].item;
        return true;
    }

  private:
    bool RightFirst(const Keyed& left, const Keyed& right) const {
        if (left.key != right.key) return reverse_ ? left.key < right.key : left.key > right.key;
        if (exact_ || compare_ == nullptr) return false;
        int32_t result = compare_(left.item, right.item, mode_);
        if (reverse_) result = result > 0 ? -1 : (result < 0 ? 1 : 0);
        return result > 0;
    }

    void Merge(const Keyed* source, size_t left, size_t middle, size_t right, Keyed* target) const {
        size_t a = left;
        size_t b = middle;
        size_t out = left;
        while (a < middle && b < right) {
            target[out++] = RightFirst(source[a], source[b]) ? source[b++] : source[a++];
        }
        while (a < middle) target[out++] = source[a++];
        while (b < right) target[out++] = source[b++];
    }

    PluginCompareFn compare_;
    SortKeyFn keys_;
    int32_t mode_;
    bool reverse_;
    bool exact_ = false;
};

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
    if (keys != nullptr) {
        KeyedGroupSorter keyed(compare, keys, mode, reverse);
        if (keyed.Sort(range, directories) &&
            keyed.Sort(range + directories, length - directories)) {
            return;
        }
    }
    const GroupSorter sorter(compare, mode, reverse);
    sorter.Sort(range, directories, scratch.data());
    sorter.Sort(range + directories, length - directories, scratch.data());
}

}  // namespace kq::panels
