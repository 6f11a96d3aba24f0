// The falling characters frame by frame: drops per width, cells kept on the screen whatever its
// size, the message box, and the stripes moving after every wipe.
#include <gtest/gtest.h>

#include <string>

#include "saver/FallingCharacters.h"

namespace kq::saver {
namespace {

std::string Text(const FallingCharacters& saver, int x, int y, int count) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text +=
            static_cast<char>(saver.Cells()[2 * (static_cast<size_t>(y) * saver.Width() + x + i)]);
    return text;
}
uint8_t Attribute(const FallingCharacters& saver, int x, int y) {
    return saver.Cells()[2 * (static_cast<size_t>(y) * saver.Width() + x) + 1];
}

// Screens too low for the start rows or wider than the drop table are drawn without a write
// outside the cells (the sanitizer build checks every step).
TEST(FallingCharactersTest, DropsPerWidthAndEveryScreenSize) {
    const struct {
        int width, height, drops;
    } cases[] = {{80, 25, 26}, {200, 60, 66}, {3500, 12, 1024}, {40, 4, 13}, {2, 1, 0}, {1, 1, 0}};
    for (const auto& c : cases) {
        FallingCharacters saver;
        ASSERT_TRUE(saver.Load(c.width, c.height));
        EXPECT_EQ(saver.DropCount(), c.drops) << c.width;
        for (int step = 0; step < 120; ++step) saver.Step();
        EXPECT_EQ(saver.Cells().size(), static_cast<size_t>(c.width) * c.height * 2);
    }
}

TEST(FallingCharactersTest, TheMessageEveryThousandStepsAndAgainAfterALoad) {
    const struct { int width, height, left, top; } cases[] = {{80, 25, 32, 11}, {200, 60, 92, 29}};
    for (const auto& c : cases) {
        FallingCharacters saver;
        ASSERT_TRUE(saver.Load(c.width, c.height));
        for (int step = 1; step < FallingCharacters::kMessageFrame; ++step)
            ASSERT_FALSE(saver.Step());
        ASSERT_TRUE(saver.Step());
        EXPECT_EQ(Text(saver, c.left, c.top, 16), "\xDA" + std::string(14, '\xC4') + "\xBF");
        EXPECT_EQ(Text(saver, c.left, c.top + 1, 16), "\xB3SYSTEM FAILURE\xB3");
        EXPECT_EQ(Text(saver, c.left, c.top + 2, 16), "\xC0" + std::string(14, '\xC4') + "\xD9");
        for (int y = c.top; y < c.top + 3; ++y)
            for (int x = c.left; x < c.left + 16; ++x)
                ASSERT_EQ(Attribute(saver, x, y), 10) << x << "," << y;
    }
    FallingCharacters saver;
    ASSERT_TRUE(saver.Load(80, 25));
    for (int step = 0; step < 1500; ++step) saver.Step();
    const int gap = saver.Gap();
    ASSERT_TRUE(saver.Load(80, 25));  // a new cycle; the stripes stay where they were
    EXPECT_EQ(saver.Gap(), gap);
    for (int step = 1; step < FallingCharacters::kMessageFrame; ++step) ASSERT_FALSE(saver.Step());
    EXPECT_TRUE(saver.Step());
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
    std::vector<int> expected;
    for (int gap = 4; gap <= 20; ++gap) expected.push_back(gap);
    expected.push_back(4);
    EXPECT_EQ(gaps, expected);
}

}  // namespace
}  // namespace kq::saver
