// The local plugin's compare: the nine sort modes, null texts, the extension rule, signed
// times and sizes, and modes outside 1 to 9.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "kq/plugin.h"
#include "plugins/LocalCompare.h"

namespace kq::plugins {
namespace {

struct ItemFields {
    const char* name = "";
    int64_t time = 0;  // modified, accessed and created alike
    uint64_t size = 0;
    uint64_t secondSize = 0;
    const char* text1 = nullptr;
    const char* text2 = nullptr;
};

PluginItem MakeItem(const ItemFields& fields) {
    PluginItem item{};
    item.size = sizeof item;
    item.name = const_cast<char*>(fields.name);
    item.created = item.modified = item.accessed = static_cast<time_t>(fields.time);
    item.fileSize = fields.size;
    item.secondSize = fields.secondSize;
    item.text1 = const_cast<char*>(fields.text1);
    item.text2 = const_cast<char*>(fields.text2);
    return item;
}

struct CompareCase {
    const char* label;
    int32_t mode;
    ItemFields first;
    ItemFields second;
    int expected;  // the sign of the result
};

int SignOf(int32_t value) {
    return value < 0 ? -1 : (value > 0 ? 1 : 0);
}

constexpr uint64_t kTopBit = uint64_t{1} << 63;

const std::vector<CompareCase>& Cases() {
    static const std::vector<CompareCase> cases = {
        {"name ignores case", PLUGIN_SORT_NAME, {.name = "Readme"}, {.name = "README"}, 0},
        {"name orders letters", PLUGIN_SORT_NAME, {.name = "abc"}, {.name = "ABD"}, -1},
        {"name prefix first", PLUGIN_SORT_NAME, {.name = "a"}, {.name = "ab"}, -1},
        {"extension ignores case", PLUGIN_SORT_EXTENSION, {.name = "x.TXT"}, {.name = "y.txt"}, 0},
        {"extension from the last dot",
         PLUGIN_SORT_EXTENSION,
         {.name = "a.tar.gz"},
         {.name = "b.gz"},
         0},
        {"no dot is the empty extension",
         PLUGIN_SORT_EXTENSION,
         {.name = "noext"},
         {.name = "a.b"},
         -1},
        {"names without dots are equal", PLUGIN_SORT_EXTENSION, {.name = "zz"}, {.name = "aa"}, 0},
        {"extension of a dot file", PLUGIN_SORT_EXTENSION, {.name = ".bashrc"}, {.name = "x"}, 1},
        {"extension decides, not the name",
         PLUGIN_SORT_EXTENSION,
         {.name = "a.b"},
         {.name = "z.a"},
         1},
        {"modified time", PLUGIN_SORT_MODIFIED, {.time = 10}, {.time = 20}, -1},
        {"times before 1970 sort first", PLUGIN_SORT_MODIFIED, {.time = -5}, {.time = 3}, -1},
        {"accessed time", PLUGIN_SORT_ACCESSED, {.time = 30}, {.time = 20}, 1},
        {"created time", PLUGIN_SORT_CREATED, {.time = 7}, {.time = 7}, 0},
        {"times after 2038", PLUGIN_SORT_MODIFIED, {.time = int64_t{1} << 32}, {.time = 1}, 1},
        {"size", PLUGIN_SORT_SIZE, {.size = 10}, {.size = 2}, 1},
        {"size is signed", PLUGIN_SORT_SIZE, {.size = kTopBit}, {.size = 0}, -1},
        {"second size", PLUGIN_SORT_SECOND_SIZE, {.secondSize = 1}, {.secondSize = 9}, -1},
        {"second size is signed",
         PLUGIN_SORT_SECOND_SIZE,
         {.secondSize = kTopBit},
         {.secondSize = 1},
         -1},
        {"second size ignores size", PLUGIN_SORT_SECOND_SIZE, {.size = 1}, {.size = 2}, 0},
        {"null text 1 equals empty", PLUGIN_SORT_TEXT1, {.text1 = nullptr}, {.text1 = ""}, 0},
        {"null text 1 before text", PLUGIN_SORT_TEXT1, {.text1 = nullptr}, {.text1 = "a"}, -1},
        {"text 1 ignores case", PLUGIN_SORT_TEXT1, {.text1 = "ABC"}, {.text1 = "abc"}, 0},
        {"null text 2 equals empty", PLUGIN_SORT_TEXT2, {.text2 = ""}, {.text2 = nullptr}, 0},
        {"text 2 orders", PLUGIN_SORT_TEXT2, {.text2 = "b"}, {.text2 = "A"}, 1},
        {"text 2 ignores text 1", PLUGIN_SORT_TEXT2, {.text1 = "a"}, {.text1 = "b"}, 0},
        {"mode 0 compares equal", 0, {.name = "a", .size = 1}, {.name = "b", .size = 2}, 0},
        {"mode 10 compares equal", 10, {.name = "a", .size = 1}, {.name = "b", .size = 2}, 0},
        {"negative mode compares equal", -1, {.name = "a"}, {.name = "b"}, 0},
    };
    return cases;
}

TEST(LocalCompareTest, EveryModeOrdersBothWays) {
    for (const CompareCase& c : Cases()) {
        const PluginItem first = MakeItem(c.first);
        const PluginItem second = MakeItem(c.second);
        EXPECT_EQ(SignOf(FS_ZCompare(&first, &second, c.mode)), c.expected) << c.label;
        EXPECT_EQ(SignOf(FS_ZCompare(&second, &first, c.mode)), -c.expected)
            << c.label << " (reversed)";
    }
}

TEST(LocalCompareTest, NullNamesCountAsEmpty) {
    PluginItem unnamed = MakeItem({});
    unnamed.name = nullptr;
    const PluginItem named = MakeItem({.name = "a"});
    EXPECT_LT(FS_ZCompare(&unnamed, &named, PLUGIN_SORT_NAME), 0);
    EXPECT_EQ(FS_ZCompare(&unnamed, &named, PLUGIN_SORT_EXTENSION), 0);
}

TEST(LocalCompareTest, SortingAListingByName) {
    std::vector<const char*> names = {"beta", "Alpha", "gamma", "ALPHA2", "Beta.txt"};
    std::vector<PluginItem> items;
    for (const char* name : names) items.push_back(MakeItem({.name = name}));
    std::sort(items.begin(), items.end(), [](const PluginItem& a, const PluginItem& b) {
        return FS_ZCompare(&a, &b, PLUGIN_SORT_NAME) < 0;
    });
    std::vector<std::string> sorted;
    for (const PluginItem& item : items) sorted.emplace_back(item.name);
    EXPECT_EQ(sorted, (std::vector<std::string>{"Alpha", "ALPHA2", "beta", "Beta.txt", "gamma"}));
}

}  // namespace
}  // namespace kq::plugins
