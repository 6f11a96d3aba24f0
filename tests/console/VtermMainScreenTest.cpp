// The libvterm-backed main-screen model: text, cursor, colours, glyphs, resize, alternate screen.
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

uint8_t Attribute(const VtermMainScreen& screen, int col, int row) {
    return screen.Snapshot()[(static_cast<size_t>(row) * screen.Cols() + col) * 2 + 1];
}

TEST(VtermMainScreenTest, StartsBlankInLightGrey) {
    VtermMainScreen screen(10, 3);
    const auto cells = screen.Snapshot();
    ASSERT_EQ(cells.size(), 10u * 3u * 2u);
    for (size_t i = 0; i < cells.size(); i += 2) {
        EXPECT_EQ(cells[i], ' ');
        EXPECT_EQ(cells[i + 1], 0x07);
    }
}

TEST(VtermMainScreenTest, TextAndCursor) {
    VtermMainScreen screen(20, 5);
    screen.Feed("hello\r\n");
    EXPECT_EQ(Row(screen, 0).substr(0, 6), "hello ");
    EXPECT_EQ(screen.CursorY(), 1);
    EXPECT_EQ(screen.CursorX(), 0);
}

TEST(VtermMainScreenTest, SeededCursor) {
    VtermMainScreen screen(20, 5);
    screen.SetCursor(3, 2);
    screen.Feed("x");
    EXPECT_EQ(Row(screen, 2)[3], 'x');
}

TEST(VtermMainScreenTest, ColoursBecomeConsoleAttributes) {
    VtermMainScreen screen(20, 5);
    screen.Feed("\x1b[31mr\x1b[34;43mb\x1b[0md\x1b[1;32mg");
    EXPECT_EQ(Attribute(screen, 0, 0), 0x04);  // red on black
    EXPECT_EQ(Attribute(screen, 1, 0), 0x61);  // blue on yellow (brown)
    EXPECT_EQ(Attribute(screen, 2, 0), 0x07);
    EXPECT_EQ(Attribute(screen, 3, 0), 0x0A);  // bold green: bright green
}

TEST(VtermMainScreenTest, RicherColoursFallToTheNearestConsoleColour) {
    VtermMainScreen screen(20, 5);
    screen.Feed("\x1b[38;2;255;0;0ma\x1b[38;5;21mb");
    EXPECT_EQ(Attribute(screen, 0, 0) & 0x07, 0x04);
    EXPECT_EQ(Attribute(screen, 1, 0) & 0x07, 0x01);
}

TEST(VtermMainScreenTest, WideAndMissingCharactersAreQuestionMarks) {
    VtermMainScreen screen(20, 5);
    // An emoji (two columns) and a CJK character no console code page has.
    screen.Feed(
        "a\xF0\x9F\x98\x80"
        "b\xE4\xB8\xADz");
    const std::string row = Row(screen, 0);
    EXPECT_EQ(row[0], 'a');
    EXPECT_EQ(row[1], '?');
    EXPECT_EQ(row[3], 'b');
    EXPECT_EQ(row[4], '?');
    EXPECT_EQ(row[6], 'z');
    for (const char c : row) {
        EXPECT_GE(static_cast<unsigned char>(c), 0x20);
        EXPECT_NE(static_cast<unsigned char>(c), 0x7F);
    }
}

TEST(VtermMainScreenTest, ResizeKeepsContent) {
    VtermMainScreen screen(20, 5);
    screen.Feed("hello");
    screen.Resize(30, 8);
    EXPECT_EQ(screen.Cols(), 30);
    EXPECT_EQ(screen.Rows(), 8);
    EXPECT_EQ(screen.Snapshot().size(), 30u * 8u * 2u);
    EXPECT_EQ(Row(screen, 0).substr(0, 5), "hello");
}

TEST(VtermMainScreenTest, AlternateScreenFlag) {
    VtermMainScreen screen(20, 5);
    screen.Feed("main");
    EXPECT_FALSE(screen.AlternateScreen());
    screen.Feed("\x1b[?1049h");
    EXPECT_TRUE(screen.AlternateScreen());
    screen.Feed("alt");
    screen.Feed("\x1b[?1049l");
    EXPECT_FALSE(screen.AlternateScreen());
    EXPECT_EQ(Row(screen, 0).substr(0, 4), "main");
}

TEST(VtermMainScreenTest, RepliesAreDropped) {
    VtermMainScreen screen(20, 5);
    screen.Feed("\x1b[c\x1b[6n");  // device attributes and cursor report: nothing to answer
    EXPECT_EQ(Row(screen, 0), std::string(20, ' '));
}

}  // namespace
}  // namespace kq::console
