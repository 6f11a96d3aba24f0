// What reaches the terminal: the code pages' glyph tables, the diffing renderer and the
// libvterm-backed model of the main screen as console cells.
#include <gtest/gtest.h>

#include <string>

#include "console/GlyphTable.h"
#include "console/TerminalOutput.h"
#include "console/VtermMainScreen.h"

namespace kq::console {
namespace {

ScreenMirror Filled(int cols, int rows, uint8_t character, uint8_t attribute) {
    ScreenMirror mirror(cols, rows);
    std::vector<uint8_t> cells;
    for (int i = 0; i < cols * rows; ++i) cells.insert(cells.end(), {character, attribute});
    mirror.Load(cells);
    return mirror;
}

void Put(ScreenMirror& mirror, int x, int y, uint8_t character, uint8_t attribute = 0x07) {
    const uint8_t cell[2] = {character, attribute};
    mirror.Write(x, y, cell, 1);
}

class TerminalOutputTest : public ::testing::Test {
  protected:
    std::string Render(const ScreenMirror& mirror, CursorState cursor) {
        std::string bytes;
        output_.Render(mirror, cursor, bytes);
        return bytes;
    }
    std::unique_ptr<GlyphTable> glyphs_ = GlyphTable::Create(437);
    TerminalOutput output_{*glyphs_, TerminalQuirks{}};
};

TEST_F(TerminalOutputTest, UpdatesSendOnlyWhatChanged) {
    ScreenMirror mirror = Filled(200, 60, ' ', 0x17);
    const CursorState cursor{150, 58, 20};  // a visible cursor must be put back after a cell
    // Frames of more than one row are synchronized.
    EXPECT_EQ(Render(mirror, cursor).rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(Render(mirror, cursor), "");
    Put(mirror, 123, 45, 0xDB, 0x4E);  // a block in another colour, far from the cursor
    const std::string update = Render(mirror, cursor);
    EXPECT_LT(update.size(), 40u) << update;
    EXPECT_NE(update.find("\xe2\x96\x88"), std::string::npos);  // U+2588 full block
    EXPECT_EQ(update.find("\x1b[?2026"), std::string::npos);
}

TEST_F(TerminalOutputTest, CursorMovesGapsAndShapes) {
    ScreenMirror mirror = Filled(80, 2, '.', 0x07);
    Render(mirror, CursorState{0, 0, 0});
    Put(mirror, 10, 1, 'a');
    Put(mirror, 12, 1, 'b');
    Put(mirror, 60, 1, 'c');  // far apart: a cursor move; near: the gap is rewritten
    EXPECT_EQ(Render(mirror, CursorState{0, 0, 0}), "\x1b[2;11Ha.b\x1b[2;61Hc");
    EXPECT_EQ(Render(mirror, CursorState{1, 1, 100}), "\x1b[2 q\x1b[?25h\x1b[2;2H");
    EXPECT_EQ(Render(mirror, CursorState{3, 0, 100}), "\x1b[1;4H");
    EXPECT_EQ(Render(mirror, CursorState{3, 0, 0}), "\x1b[?25l");
}

TEST(GlyphTableTest, ControlBytesAreGlyphsAndPrintableBytesRoundTrip) {
    EXPECT_EQ(GlyphTable::Create(1251)->Unicode(0xC0), U'\u0410');
    for (const int codePage : {437, 850, 866, 1251, 1252}) {
        const auto table = GlyphTable::Create(codePage);
        ASSERT_NE(table, nullptr);
        for (int byte = 0; byte < 0x100; ++byte) {
            const char32_t unicode = table->Unicode(static_cast<uint8_t>(byte));
            EXPECT_FALSE(unicode < 0x20 || unicode == 0x7F || (unicode >= 0x80 && unicode < 0xA0));
            if (byte < 0x20 || byte == 0x7F || unicode == U'?') continue;
            EXPECT_EQ(table->FromUnicode(unicode), byte) << codePage << " byte " << byte;
        }
        EXPECT_EQ(table->FromUnicode(U'\U0001F600'), '?');
    }
}

// A code page the system cannot convert, one with characters of several bytes (932, 65001)
// or one whose bytes 0x20-0x7E are not ASCII (EBCDIC 37) used to become 437 without a word.
// Named by the user it is refused (-1); without a setting the locale's language chooses.
TEST(GlyphTableTest, ConsoleCodePageIsTheSettingOrTheLocalesOemPage) {
    for (const auto& [setting, locale, expected] : {std::tuple{"866", "de_DE.UTF-8", 866},
                                                    {"bogus", "", -1},
                                                    {"65001", "", -1},
                                                    {"37", "", -1},
                                                    {nullptr, "ru_RU.UTF-8", 866},
                                                    {nullptr, "de_DE@euro", 850},
                                                    {nullptr, "C.UTF-8", 437}}) {
        EXPECT_EQ(ChooseConsoleCodePage(setting, locale), expected) << (setting ? setting : locale);
    }
}

std::string Row(const VtermMainScreen& screen, int row, bool attributes = false) {
    const auto cells = screen.Snapshot();
    std::string text;
    for (int col = 0; col < screen.Cols(); ++col) {
        const uint8_t cell =
            cells[(static_cast<size_t>(row) * screen.Cols() + col) * 2 + attributes];
        text += attributes ? " " + std::to_string(cell) : std::string(1, static_cast<char>(cell));
    }
    return text;
}

TEST(VtermMainScreenTest, TextAndColoursBecomeConsoleCells) {
    VtermMainScreen screen(8, 5);
    EXPECT_EQ(Row(screen, 0) + Row(screen, 0, true).substr(0, 2), "         7");
    screen.SetCursor(3, 2);
    screen.Feed("x\r\n\x1b[c\x1b[6n");  // device attributes and cursor report: nothing to answer
    EXPECT_EQ(Row(screen, 2), "   x    ");
    EXPECT_EQ(screen.CursorY() * 100 + screen.CursorX(), 300);
    // Red; blue on yellow (brown); default; bold green; RGB and 256 colours to the nearest:
    // bright red, red, dark grey, bright blue.
    screen.Feed(
        "\x1b[H\x1b[31mr\x1b[34;43mb\x1b[0md\x1b[1;32mg\x1b[0;38;2;255;0;0mR"
        "\x1b[38;2;160;0;0mr\x1b[38;2;100;100;100mg\x1b[38;5;21mb");
    EXPECT_EQ(Row(screen, 0, true), " 4 97 7 10 12 4 8 9");
}

}  // namespace
}  // namespace kq::console
