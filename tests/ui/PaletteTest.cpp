// The live palette: zero until the defaults are asked for, and the pointer is the palette itself.
#include <gtest/gtest.h>

#include "kq/text.h"
#include "ui/Palette.h"

TEST(PaletteTest, ZeroUntilTheDefaultsThenLiveUntilTheDefaultsAgain) {
    kq::ui::ClearPaletteForTesting();
    uint8_t* palette = ColGetPalette();
    ASSERT_NE(palette, nullptr);
    for (int i = 0; i < PALETTE_SIZE; ++i) EXPECT_EQ(palette[i], 0) << i;
    ASSERT_EQ(ColDefaultPalette(), 0);
    EXPECT_EQ(palette[17], 0x1B);
    palette[17] = 0x1F;
    EXPECT_EQ(ColGetPalette()[17], 0x1F);
    ASSERT_EQ(ColDefaultPalette(), 0);
    EXPECT_EQ(palette[17], 0x1B);
    kq::ui::ClearPaletteForTesting();
}
