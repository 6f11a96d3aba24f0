// The panel sort on plain item arrays: ".." first, directories before files, the mode's order
// (reversed on request), stability, mode 0, and compares that contradict themselves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "panels/PanelSort.h"
#include "plugins/LocalCompare.h"

namespace kq::panels {
namespace {

// Items named by the test; a trailing '/' marks a directory.
class Listing {
  public:
    explicit Listing(std::vector<std::string> names) : names_(std::move(names)) {
        items_.resize(names_.size());
        for (size_t i = 0; i < names_.size(); ++i) {
            std::string& name = names_[i];
            PluginItem& item = items_[i];
            item.size = sizeof(PluginItem);
            if (!name.empty() && name.back() == '/') {
                name.pop_back();
                item.attributes = FA_DIR;
            } else {
                item.attributes = FA_ARCHIVE;
            }
            item.name = name.data();
            item.fileSize = i;
        }
        for (PluginItem& item : items_) pointers_.push_back(&item);
    }
    PluginItem** Pointers() { return pointers_.data(); }
    size_t Count() const { return pointers_.size(); }
    void SetSize(size_t index, uint64_t size) { items_[index].fileSize = size; }
    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const PluginItem* item : pointers_) {
            names.push_back(std::string(item->name) + (IsDirectoryItem(*item) ? "/" : ""));
        }
        return names;
    }

  private:
    std::vector<std::string> names_;
    std::vector<PluginItem> items_;
    std::vector<PluginItem*> pointers_;
};

using Names = std::vector<std::string>;

struct SortCase {
    const char* name;
    Names listing;
    int32_t mode;
    bool reverse;
    Names expected;
};

TEST(PanelSortTest, GroupsDirectoriesBeforeFilesInTheModesOrder) {
    const SortCase cases[] = {
        {"by name",
         {"..", "b.txt", "Adir/", "C.txt", "zdir/", "a.txt", "Mdir/"},
         PLUGIN_SORT_NAME,
         false,
         {"..", "Adir/", "Mdir/", "zdir/", "a.txt", "b.txt", "C.txt"}},
        {"by name reversed: .. then directories Z to A then files Z to A",
         {"..", "b.txt", "Adir/", "C.txt", "zdir/", "a.txt", "Mdir/"},
         PLUGIN_SORT_NAME,
         true,
         {"..", "zdir/", "Mdir/", "Adir/", "C.txt", "b.txt", "a.txt"}},
        {"mode 0 keeps the listing order, directories first",
         {"..", "b.txt", "Zdir/", "a.txt", "Adir/"},
         0,
         false,
         {"..", "Zdir/", "Adir/", "b.txt", "a.txt"}},
        {"mode 0 reversed still keeps the listing order",
         {"b.txt", "Zdir/", "a.txt", "Adir/"},
         0,
         true,
         {"Zdir/", "Adir/", "b.txt", "a.txt"}},
        {".. anywhere in the listing goes first",
         {"a.txt", "b/", "../", "c/"},
         PLUGIN_SORT_NAME,
         true,
         {"../", "c/", "b/", "a.txt"}},
        {".. goes first in mode 0 too", {"a.txt", "b/", "../"}, 0, false, {"../", "b/", "a.txt"}},
        {"by extension",
         {"b.txt", "a.c", "c", "d.txt"},
         PLUGIN_SORT_EXTENSION,
         false,
         {"c", "a.c", "b.txt", "d.txt"}},
        {"empty and single listings", {"only"}, PLUGIN_SORT_NAME, true, {"only"}},
    };
    for (const SortCase& test : cases) {
        SCOPED_TRACE(test.name);
        Listing listing(test.listing);
        SortPanelItems(listing.Pointers(), listing.Count(), FS_ZCompare, test.mode, test.reverse);
        EXPECT_EQ(listing.Names(), test.expected);
    }
}

TEST(PanelSortTest, ThreeDotsNameIsNotTakenForTheParentEntry) {
    Listing listing({"...", "a"});
    SortPanelItems(listing.Pointers(), listing.Count(), FS_ZCompare, PLUGIN_SORT_NAME, true);
    EXPECT_EQ(listing.Names(), (Names{"a", "..."}));
    Listing parent({"..", "a"});
    SortPanelItems(parent.Pointers(), parent.Count(), FS_ZCompare, PLUGIN_SORT_NAME, true);
    EXPECT_EQ(parent.Names(), (Names{"..", "a"}));
}

TEST(PanelSortTest, EqualItemsKeepTheListingOrderInBothDirections) {
    for (const bool reverse : {false, true}) {
        SCOPED_TRACE(reverse ? "reversed" : "forward");
        Listing listing({"e", "d", "c", "b", "a"});
        for (size_t i = 0; i < listing.Count(); ++i) listing.SetSize(i, 7);
        SortPanelItems(listing.Pointers(), listing.Count(), FS_ZCompare, PLUGIN_SORT_SIZE, reverse);
        EXPECT_EQ(listing.Names(), (Names{"e", "d", "c", "b", "a"}));
    }
}

TEST(PanelSortTest, NullCompareLeavesTheGroupsInListingOrder) {
    Listing listing({"b", "x/", "a"});
    SortPanelItems(listing.Pointers(), listing.Count(), nullptr, PLUGIN_SORT_NAME, false);
    EXPECT_EQ(listing.Names(), (Names{"x/", "b", "a"}));
}

long g_calls = 0;
std::mt19937 g_random(7);

int32_t RandomCompare(const PluginItem*, const PluginItem*, int32_t) {
    ++g_calls;
    return static_cast<int32_t>(g_random() % 3) - 1;
}

int32_t ModeZeroCounter(const PluginItem*, const PluginItem*, int32_t mode) {
    ++g_calls;
    return mode == 0 ? 1 : 0;
}

TEST(PanelSortTest, InconsistentCompareEndsWithAPermutationAndTheGroupsIntact) {
    for (const size_t count : {2u, 3u, 17u, 1000u, 5003u}) {
        SCOPED_TRACE(count);
        Names names;
        for (size_t i = 0; i < count; ++i) {
            names.push_back("n" + std::to_string(i) + (i % 3 == 0 ? "/" : ""));
        }
        Listing listing(names);
        g_calls = 0;
        SortPanelItems(listing.Pointers(), listing.Count(), RandomCompare, PLUGIN_SORT_NAME,
                       count % 2 == 0);
        Names sorted = listing.Names();
        // Bounded work: a merge sort's compares, far from a quadratic sort's.
        const double bound = static_cast<double>(count) * (std::log2(count) + 1);
        EXPECT_LE(static_cast<double>(g_calls), bound);
        // Directories still precede files.
        const auto firstFile = std::find_if(sorted.begin(), sorted.end(),
                                            [](const std::string& n) { return n.back() != '/'; });
        EXPECT_TRUE(std::all_of(firstFile, sorted.end(),
                                [](const std::string& n) { return n.back() != '/'; }));
        std::sort(sorted.begin(), sorted.end());
        std::sort(names.begin(), names.end());
        EXPECT_EQ(sorted, names);
    }
}

TEST(PanelSortTest, ModeZeroNeverAsksTheCompare) {
    Listing listing({"b", "a", "c/"});
    g_calls = 0;
    SortPanelItems(listing.Pointers(), listing.Count(), ModeZeroCounter, 0, false);
    EXPECT_EQ(g_calls, 0);
    EXPECT_EQ(listing.Names(), (Names{"c/", "b", "a"}));
}

// The keyed sort must give exactly the order of the plain one: names sharing their first eight
// bytes, letter case, empty names, missing extensions, equal sizes and times, both directions.
TEST(PanelSortTest, KeysOfTheLocalCompareGiveTheSameOrderAsTheCompareAlone) {
    std::mt19937 random(2024);
    const std::string alphabet = "aAbB.xX~";
    Names names;
    for (int i = 0; i < 600; ++i) {
        std::string name = i % 5 == 0 ? "samePrefix" : "";
        const int length = static_cast<int>(random() % 13);
        for (int c = 0; c < length; ++c) name += alphabet[random() % alphabet.size()];
        if (i % 7 == 0) name += '/';
        names.push_back(name);
    }
    std::vector<uint64_t> sizes;
    for (size_t i = 0; i < names.size(); ++i) sizes.push_back(random() % 4);

    // Each item carries its listing index in a field no compare reads.
    auto sorted = [&](int32_t mode, bool reverse, bool withKeys) {
        Listing listing(names);
        for (size_t i = 0; i < names.size(); ++i) {
            PluginItem* item = listing.Pointers()[i];
            item->fileSize = sizes[i];
            item->modified = static_cast<time_t>(i % 3) - 1;
            item->reserved11 = static_cast<uint32_t>(i);
        }
        SortPanelItems(listing.Pointers(), listing.Count(), &FS_ZCompare,
                       withKeys ? &kq::plugins::LocalSortKey : nullptr, mode, reverse);
        std::vector<uint32_t> order;
        for (size_t i = 0; i < listing.Count(); ++i)
            order.push_back(listing.Pointers()[i]->reserved11);
        return order;
    };
    for (int32_t mode = 1; mode <= 9; ++mode) {
        for (const bool reverse : {false, true}) {
            EXPECT_EQ(sorted(mode, reverse, false), sorted(mode, reverse, true))
                << "mode " << mode << (reverse ? " reversed" : "");
        }
    }
}

}  // namespace
}  // namespace kq::panels
