// The public plugin header: C and C++ lay its records out alike, with the 64-bit layout that
// separately built plugins rely on.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "kq/plugin.h"
#include "plugins/PluginTable.h"

extern "C" size_t PluginHeaderLayoutC(size_t* values, size_t capacity);
extern "C" size_t PluginHeaderLayoutCpp(size_t* values, size_t capacity);

namespace {

TEST(PluginHeaderTest, CAndCppAgreeOnEveryRecord) {
    std::array<size_t, 64> fromC{};
    std::array<size_t, 64> fromCpp{};
    const size_t countC = PluginHeaderLayoutC(fromC.data(), fromC.size());
    const size_t countCpp = PluginHeaderLayoutCpp(fromCpp.data(), fromCpp.size());
    ASSERT_EQ(countC, countCpp);
    for (size_t i = 0; i < countC; ++i) EXPECT_EQ(fromC[i], fromCpp[i]) << "value " << i;
}

TEST(PluginHeaderTest, RecordsHaveTheSixtyFourBitLayout) {
    EXPECT_EQ(sizeof(PluginInfo), 24u);
    EXPECT_EQ(offsetof(PluginInfo, name), 8u);
    EXPECT_EQ(offsetof(PluginInfo, number), 16u);

    EXPECT_EQ(sizeof(PluginItem), 128u);
    EXPECT_EQ(offsetof(PluginItem, name), 8u);
    EXPECT_EQ(offsetof(PluginItem, fileSize), 24u);
    EXPECT_EQ(offsetof(PluginItem, attributes), 32u);
    EXPECT_EQ(offsetof(PluginItem, created), 40u);
    EXPECT_EQ(offsetof(PluginItem, modified), 48u);
    EXPECT_EQ(offsetof(PluginItem, accessed), 56u);
    EXPECT_EQ(offsetof(PluginItem, flags), 64u);
    EXPECT_EQ(offsetof(PluginItem, secondSize), 72u);
    EXPECT_EQ(offsetof(PluginItem, text1), 80u);
    EXPECT_EQ(offsetof(PluginItem, text2), 88u);
    EXPECT_EQ(offsetof(PluginItem, extraCount), 96u);
    EXPECT_EQ(offsetof(PluginItem, extraBlock), 104u);
    EXPECT_EQ(offsetof(PluginItem, extraStrings), 120u);

    EXPECT_EQ(sizeof(PluginMenuItem), 24u);
    EXPECT_EQ(offsetof(PluginMenuItem, submenu), 8u);
    EXPECT_EQ(offsetof(PluginMenuItem, text), 16u);

    EXPECT_EQ(sizeof(PluginEntry), PLUGIN_SLOT_COUNT * sizeof(void*));
    EXPECT_EQ(offsetof(PluginEntry, ZCompare), 14 * sizeof(void*));
    EXPECT_EQ(offsetof(PluginEntry, ZGetKeyBar), 19 * sizeof(void*));
}

// Each name lands in its own slot: the slot order of the interface, written out again here.
TEST(PluginHeaderTest, EachEntryPointNameFillsItsSlot) {
    constexpr std::array<std::string_view, PLUGIN_SLOT_COUNT> kOrder = {
        "ZInitialise",   "ZTerminate",    "ZOpenPlugin",  "ZClosePlugin",    "ZSetDirectory",
        "ZGetFlags",     "ZGetDirectory", "ZFindFiles",   "ZFindClose",      "ZCreateDirectory",
        "ZDeleteFiles",  "ZGetFiles",     "ZPutFiles",    "ZCreateDiskMenu", "ZCompare",
        "ZProcessInput", "ZSaverLoad",    "ZSaverUnload", "ZSaverStep",      "ZGetKeyBar"};
    static char marks[PLUGIN_SLOT_COUNT];
    const PluginEntry entry = kq::plugins::EntryFromLookup([&](const char* name) -> void* {
        for (size_t i = 0; i < kOrder.size(); ++i) {
            if (kOrder[i] == name) return &marks[i];
        }
        return nullptr;
    });
    std::array<void*, PLUGIN_SLOT_COUNT> slots{};
    std::memcpy(slots.data(), &entry, sizeof entry);
    for (size_t i = 0; i < slots.size(); ++i) EXPECT_EQ(slots[i], &marks[i]) << kOrder[i];
    EXPECT_EQ(reinterpret_cast<void*>(entry.ZCompare), &marks[14]);
}

}  // namespace
