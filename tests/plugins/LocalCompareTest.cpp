#include <gtest/gtest.h>

#include <cstdint>

#include "kq/plugin.h"
#include "plugins/LocalCompare.h"

namespace kq::plugins {
namespace {

struct Fields {
    const char* name = "";
    int64_t time = 0;  // modified, accessed and created alike
    uint64_t size = 0;
    const char* text1 = nullptr;
};

PluginItem MakeItem(const Fields& fields) {
    PluginItem item{};
    item.size = sizeof item;
    item.name = const_cast<char*>(fields.name);
    item.created = item.modified = item.accessed = static_cast<time_t>(fields.time);
    item.fileSize = fields.size;
    item.text1 = const_cast<char*>(fields.text1);
    return item;
}

int SignOf(int32_t value) {
    return (value > 0) - (value < 0);
}

constexpr uint64_t kTop = uint64_t{1} << 63;

TEST(LocalCompareTest, EveryModeOrdersBothWays) {
    struct Case {
        int32_t mode;
        Fields first, second;
        int sign;
    };
    // clang-format off
    const Case cases[] = {
        {PLUGIN_SORT_EXTENSION, {.name = "a.tar.GZ"}, {.name = "b.gz"}, 0},  // from the last dot
        {PLUGIN_SORT_EXTENSION, {.name = "noext"}, {.name = "a.b"}, -1},
        {PLUGIN_SORT_ACCESSED, {.time = 30}, {.time = 20}, 1},
        {PLUGIN_SORT_CREATED, {.time = 7}, {.time = 8}, -1},
        {PLUGIN_SORT_SIZE, {.size = kTop}, {.size = 0}, -1},  // signed
        {PLUGIN_SORT_TEXT1, {.text1 = nullptr}, {.text1 = "a"}, -1},
        {10, {.name = "a", .size = 1}, {.name = "b", .size = 2}, 0},
    };
    // clang-format on
    int index = 0;
    for (const Case& c : cases) {
        const PluginItem first = MakeItem(c.first), second = MakeItem(c.second);
        EXPECT_EQ(SignOf(FS_ZCompare(&first, &second, c.mode)), c.sign) << "case " << index;
        EXPECT_EQ(SignOf(FS_ZCompare(&second, &first, c.mode)), -c.sign) << "case " << index;
        ++index;
    }
}

}  // namespace
}  // namespace kq::plugins
