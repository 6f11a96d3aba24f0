// The falling characters frame by frame: drops per width, cells kept on the screen whatever its
// size, the message box, and the stripes moving after every wipe.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "saver/FallingCharacters.h"

namespace kq::saver {
namespace {

// Byte 0 (the character) or 1 (the attribute) of the cell at (x, y).
uint8_t At(const FallingCharacters& saver, int x, int y, int byte = 0) {
    return saver.Cells()[2 * (static_cast<size_t>(y) * saver.Width() + x) + byte];
}
std::string Text(const FallingCharacters& saver, int x, int y, int count) {
    std::string text;
    while (count-- > 0) text += static_cast<char>(At(saver, x++, y));
    return text;
}

// Every screen size keeps the cells written on the screen (the sanitizer build checks each
// step), the message box included: too low for the start rows, wider than the drop table, too
// small for the box.
TEST(FallingCharactersTest, DropsAndTheMessageEveryThousandStepsAfterEachLoadOnEveryScreenSize) {
    const struct {
        int width, height, drops, left, top;  // left -1: the box does not fit
    } cases[] = {{80, 25, 26, 32, 11}, {200, 60, 66, 92, 29}, {3500, 12, 1024, 1742, 5},
                 {40, 4, 13, 12, 1},   {2, 1, 0, -1, 0},      {1, 1, 0, -1, 0}};
    for (const auto& c : cases) {
        FallingCharacters saver;
        // A second load starts a new message cycle but keeps the stripes (nine wipes on).
        for (int load = 0; load < 2; ++load) {
            ASSERT_TRUE(saver.Load(c.width, c.height));
            EXPECT_EQ(saver.Gap(), 4 + 9 * load);
            for (int step = 1; step < FallingCharacters::kMessageFrame; ++step) {
                ASSERT_FALSE(saver.Step());
                // After the first step the heads (white) stand one row below the start rows.
                for (int y = 0; step == 1 && load == 0 && y < c.height; ++y)
                    for (int x = 0; x < c.width; ++x)
                        ASSERT_TRUE(At(saver, x, y, 1) != 15 ||
                                    (y >= 3 && y <= std::max(3, c.height - 8)))
                            << y;
            }
            ASSERT_TRUE(saver.Step());
        }
        EXPECT_EQ(saver.DropCount(), c.drops) << c.width;
        const std::string all = Text(saver, 0, 0, c.width * c.height);
        EXPECT_EQ(all.find_first_not_of("01236g'7X89#$@ \xDA\xC4\xBF\xB3\xC0\xD9SYTEMFAILUR"),
                  std::string::npos);
        if (c.left < 0) continue;
        EXPECT_EQ(Text(saver, c.left, c.top, 16), "\xDA" + std::string(14, '\xC4') + "\xBF");
        EXPECT_EQ(Text(saver, c.left, c.top + 1, 16), "\xB3SYSTEM FAILURE\xB3");
        EXPECT_EQ(Text(saver, c.left, c.top + 2, 16), "\xC0" + std::string(14, '\xC4') + "\xD9");
        for (int y = c.top; y < c.top + 3; ++y)
            for (int x = c.left; x < c.left + 16; ++x)
                ASSERT_EQ(At(saver, x, y, 1), 10) << x << "," << y;
    }
}

TEST(FallingCharactersTest, StripesWidenAfterEachWipeAndStartAgainAfterTwenty) {
    FallingCharacters saver;
    ASSERT_TRUE(saver.Load(80, 25));
    std::vector<int> gaps{saver.Gap()};
    for (int step = 0; step < 17 * 101; ++step) {
        const bool message = saver.Step();  // the box stands over the stripes
        if (saver.Gap() != gaps.back()) gaps.push_back(saver.Gap());
        if (message) continue;
        for (int y = 0; y < 25; ++y)
            for (int x = saver.Gap(); x + 1 < 80; x += saver.Gap())
                ASSERT_EQ(Text(saver, x, y, 2), "  ") << step << ": " << x << "," << y;
    }
    EXPECT_EQ(gaps,
              (std::vector<int>{4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 4}));
}

}  // namespace
}  // namespace kq::saver
