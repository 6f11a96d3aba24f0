// The libvterm-backed main-screen model as console cells: colours, glyphs, resize, the
// alternate screen.
#include <gtest/gtest.h>

#include <string>

#include "console/VtermMainScreen.h"

namespace kq::console {
namespace {

std::string Row(const VtermMainScreen& screen, int row) {
    const auto cells = screen.Snapshot();
    std::string text;
    for (int col = 0; col < screen.Cols(); ++col) {
        text += static_cast<char>(cells[(static_cast<size_t>(row) * screen.Cols() + col) * 2]);
    }
    return text;
}

std::string Attributes(const VtermMainScreen& screen, int count) {
    const auto cells = screen.Snapshot();
    std::string text;
    for (int col = 0; col < count; ++col) text += " " + std::to_string(cells[col * 2 + 1]);
    return text;
}

TEST(VtermMainScreenTest, TextAndColoursBecomeConsoleCells) {
    VtermMainScreen screen(20, 5);
    EXPECT_EQ(screen.Snapshot().size(), 20u * 5u * 2u);
    EXPECT_EQ(Row(screen, 0) + Attributes(screen, 1), std::string(20, ' ') + " 7");
    screen.SetCursor(3, 2);
    screen.Feed("x\r\n\x1b[c\x1b[6n");  // device attributes and cursor report: nothing to answer
    EXPECT_EQ(Row(screen, 2).substr(0, 5), "   x ");
    EXPECT_EQ(screen.CursorY(), 3);
    EXPECT_EQ(screen.CursorX(), 0);
    // Red; blue on yellow (brown); default; bold green; RGB and 256 colours to the nearest:
    // bright red, red, dark grey, bright blue.
    screen.Feed("\x1b[H\x1b[31mr\x1b[34;43mb\x1b[0md\x1b[1;32mg\x1b[0;38;2;255;0;0mR"
                "\x1b[38;2;160;0;0mr\x1b[38;2;100;100;100mg\x1b[38;5;21mb");
    EXPECT_EQ(Attributes(screen, 8), " 4 97 7 10 12 4 8 9");
}

TEST(VtermMainScreenTest, WideAndMissingCharactersAreQuestionMarks) {
    VtermMainScreen screen(10, 1);
    // An emoji (two columns) and a CJK character no console code page has.
    screen.Feed("a\xF0\x9F\x98\x80" "b\xE4\xB8\xADz\x01\x7f");
    EXPECT_EQ(Row(screen, 0), "a? b? z   ");
}

TEST(VtermMainScreenTest, ResizeAndTheAlternateScreenKeepContent) {
    VtermMainScreen screen(20, 5);
    screen.Feed("main");
    EXPECT_FALSE(screen.AlternateScreen());
    screen.Feed("\x1b[?1049halt");
    EXPECT_TRUE(screen.AlternateScreen());
    screen.Feed("\x1b[?1049l");
    EXPECT_FALSE(screen.AlternateScreen());
    screen.Resize(30, 8);
    EXPECT_EQ(screen.Cols() * 100 + screen.Rows(), 3008);
    EXPECT_EQ(screen.Snapshot().size(), 30u * 8u * 2u);
    EXPECT_EQ(Row(screen, 0).substr(0, 5), "main ");
}

}  // namespace
}  // namespace kq::console
