// The panels' plain functions: mask matcher, shell quoting and the item sort.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "kq/fs.h"
#include "panels/MatchMask.h"
#include "panels/PanelSort.h"
#include "panels/ShellQuote.h"
#include "plugins/LocalCompare.h"
#include "support/ProcessTestSupport.h"
#include "support/TempFolder.h"

namespace kq::panels {
namespace {

using Names = std::vector<std::string>;

// Each case is a name, a blank and a mask.
bool Matches(const std::string& both) {
    const size_t blank = both.find(' ');
    return MatchMask(both.substr(0, blank), both.substr(blank + 1));
}

TEST(MatchMaskTest, WildcardsCaseLengthAndBacktracking) {
    setenv("KQ_CODEPAGE", "437", 1);
    for (const char* both :
         {"abc A?C", "abc a**c", "aab *a?", "aXbYbZc a*b*c", "mississippi *ss*pi"}) {
        EXPECT_TRUE(Matches(both)) << both;
    }
    for (const char* both :
         {"abc *.*", "abcd A?C", "ab *a", " *", "abc ", "aab *b??", "banana *an"}) {
        EXPECT_FALSE(Matches(both)) << both;
    }
}

std::string Shell(const std::string& command) {
    return kq::testing::RunCommand({"/bin/sh", "-c", command}, {}).output;
}

// What a real shell makes of quoted names: one word exactly, and a run of that file alone.
TEST(ShellQuoteTest, TheShellSeesTheNameAsOneWordAndRunsOnlyThatFile) {
    for (const char* name : {"a; touch pwned", "$(x)", "`id`", "say \"hi\"", "two  spaces", "*",
                             "new\nline", "back\\slash", "$HOME", "'", "ends with '"}) {
        // printf repeats its format for every argument: two words would give two bars.
        EXPECT_EQ(Shell("printf '%s|' " + ShellQuote(name)), std::string(name) + "|") << name;
    }
    kq::test::TempFolder folder("kq-quote");
    for (const char* name : {"-x $(touch pwned)", "it's `touch pwned`"}) {
        const std::string path = folder.WriteFile(name, "#!/bin/sh\nprintf ran\n");
        ASSERT_EQ(chmod(path.c_str(), 0755), 0);
        EXPECT_EQ(Shell("cd " + ShellQuote(folder.root().string()) + " && " +
                        ShellRunCommand(name, true)),
                  "ran")
            << name;
        EXPECT_FALSE(std::filesystem::exists(folder.Path("pwned"))) << name;
        std::filesystem::remove(path);
    }
}

// Items named by the test; a trailing '/' marks a directory, the size is the listing index.
struct Listing {
    explicit Listing(Names listing) : names(std::move(listing)), items(names.size()) {
        for (size_t i = 0; i < names.size(); ++i) {
            const bool dir = !names[i].empty() && names[i].back() == '/';
            if (dir) names[i].pop_back();
            items[i].size = sizeof(PluginItem);
            items[i].attributes = dir ? FA_DIR : FA_ARCHIVE;
            items[i].name = names[i].data();
            items[i].fileSize = i;
            items[i].reserved11 = static_cast<uint32_t>(i);  // read by no compare
            pointers.push_back(&items[i]);
        }
    }
    Names Sorted(PluginCompareFn compare, int32_t mode, bool reverse) {
        SortPanelItems(pointers.data(), pointers.size(), compare, mode, reverse);
        Names sorted;
        for (const PluginItem* item : pointers) {
            sorted.push_back(std::string(item->name) + (IsDirectoryItem(*item) ? "/" : ""));
        }
        return sorted;
    }
    Names names;
    std::vector<PluginItem> items;
    std::vector<PluginItem*> pointers;
};

long g_calls = 0;
int32_t RandomCompare(const PluginItem*, const PluginItem*, int32_t) {
    static std::mt19937 random(7);
    ++g_calls;
    return static_cast<int32_t>(random() % 3) - 1;
}
int32_t CountingCompare(const PluginItem*, const PluginItem*, int32_t) {
    ++g_calls;
    return 1;
}

TEST(PanelSortTest, ParentFirstThenDirectoriesThenFilesInTheModesOrder) {
    const Names mixed = {"..", "b.txt", "Adir/", "C.txt", "zdir/", "a.txt", "Mdir/"};
    EXPECT_EQ(Listing(mixed).Sorted(FS_ZCompare, PLUGIN_SORT_NAME, true),
              (Names{"..", "zdir/", "Mdir/", "Adir/", "C.txt", "b.txt", "a.txt"}));
    EXPECT_EQ(
        Listing({"b.txt", "a.c", "c", "d.txt"}).Sorted(FS_ZCompare, PLUGIN_SORT_EXTENSION, false),
        (Names{"c", "a.c", "b.txt", "d.txt"}));
    g_calls = 0;  // mode 0 keeps the listing order and never asks the compare
    EXPECT_EQ(Listing({"..", "b", "Z/", "a", "A/"}).Sorted(CountingCompare, 0, true),
              (Names{"..", "Z/", "A/", "b", "a"}));
    EXPECT_EQ(g_calls, 0);
    Listing equal({"e", "d", "c", "b", "a"});  // equal items keep the listing order
    for (PluginItem& item : equal.items) item.fileSize = 7;
    EXPECT_EQ(equal.Sorted(FS_ZCompare, PLUGIN_SORT_SIZE, true), (Names{"e", "d", "c", "b", "a"}));
}

TEST(PanelSortTest, InconsistentCompareEndsWithAPermutationAndTheGroupsIntact) {
    constexpr size_t count = 5003;
    Names names;
    for (size_t i = 0; i < count; ++i)
        names.push_back("n" + std::to_string(i) + (i % 3 ? "" : "/"));
    g_calls = 0;
    Names sorted = Listing(names).Sorted(RandomCompare, PLUGIN_SORT_NAME, true);
    // Bounded work: a merge sort's compares, far from a quadratic sort's.
    EXPECT_LE(static_cast<double>(g_calls), count * (std::log2(count) + 1));
    const auto isFile = [](const std::string& n) { return n.back() != '/'; };
    EXPECT_TRUE(
        std::all_of(std::find_if(sorted.begin(), sorted.end(), isFile), sorted.end(), isFile));
    std::sort(sorted.begin(), sorted.end());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(sorted, names);
}

// The keyed sort gives exactly the plain one's order: names sharing their first eight bytes,
// letter case, empty names, missing extensions, equal sizes and times, both directions.
TEST(PanelSortTest, KeysOfTheLocalCompareGiveTheSameOrderAsTheCompareAlone) {
    std::mt19937 random(2024);
    const std::string alphabet = "aAbB.xX~";
    Names names;
    for (int i = 0; i < 600; ++i) {
        std::string name = i % 5 == 0 ? "samePrefix" : "";
        for (int c = static_cast<int>(random() % 13); c > 0; --c) name += alphabet[random() % 8];
        names.push_back(name + (i % 7 == 0 ? "/" : ""));
    }
    const auto order = [&](int32_t mode, bool reverse, bool withKeys) {
        Listing listing(names);
        for (size_t i = 0; i < names.size(); ++i) {
            listing.items[i].fileSize = (i * 7919) % 4;
            listing.items[i].modified = static_cast<time_t>(i % 3) - 1;
        }
        SortPanelItems(listing.pointers.data(), listing.pointers.size(), &FS_ZCompare,
                       withKeys ? &kq::plugins::LocalSortKey : nullptr, mode, reverse);
        std::vector<uint32_t> indices;
        for (const PluginItem* item : listing.pointers) indices.push_back(item->reserved11);
        return indices;
    };
    for (int32_t mode = 1; mode <= 9; ++mode) {
        for (const bool reverse : {false, true}) {
            EXPECT_EQ(order(mode, reverse, false), order(mode, reverse, true)) << mode << reverse;
        }
    }
}

}  // namespace
}  // namespace kq::panels
