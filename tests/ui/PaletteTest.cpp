// Tests of the live palette: zero until the defaults are asked for, then the default attribute
// of every role, and writable by its users.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>

#include "kq/text.h"
#include "ui/Palette.h"

namespace {

class PaletteTest : public testing::Test {
  protected:
    void SetUp() override { kq::ui::ClearPaletteForTesting(); }
    void TearDown() override { kq::ui::ClearPaletteForTesting(); }
};

TEST_F(PaletteTest, AllZeroUntilTheDefaults) {
    const uint8_t* palette = ColGetPalette();
    ASSERT_NE(palette, nullptr);
    for (int i = 0; i < PALETTE_SIZE; ++i) EXPECT_EQ(palette[i], 0) << "entry " << i;
    ASSERT_EQ(ColDefaultPalette(), 0);
    EXPECT_EQ(palette[13], 0x30);
}

TEST_F(PaletteTest, DefaultsOfEveryRole) {
    constexpr std::array<uint8_t, PALETTE_SIZE> expected = {
        0x3F, 0x3E, 0x37, 0x0F, 0x0E, 0x70, 0x70, 0x70, 0x74, 0x70, 0x74, 0x30,
        0x3E, 0x30, 0x03, 0x47, 0x4F, 0x1B, 0x1B, 0x07, 0x70, 0x30, 0x1E, 0x3E,
        0x1E, 0x00, 0x30, 0x70, 0x07, 0x3F, 0x1B, 0x30, 0x30, 0x07, 0x00, 0x00};
    ASSERT_EQ(ColDefaultPalette(), 0);
    const uint8_t* palette = ColGetPalette();
    for (int i = 0; i < PALETTE_SIZE; ++i) EXPECT_EQ(palette[i], expected[i]) << "entry " << i;
}

// The pointer is the live palette, not a copy: a change shows in later reads, and the defaults
// overwrite it again.
TEST_F(PaletteTest, ChangesThroughThePointerAreLiveUntilTheDefaults) {
    ASSERT_EQ(ColDefaultPalette(), 0);
    ColGetPalette()[17] = 0x1F;
    EXPECT_EQ(ColGetPalette()[17], 0x1F);
    ASSERT_EQ(ColDefaultPalette(), 0);
    EXPECT_EQ(ColGetPalette()[17], 0x1B);
}

}  // namespace
