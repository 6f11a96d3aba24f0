// The diffing renderer: colour mapping, what an update costs in bytes, and that no cell can
// put a control character on the terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "console/GlyphTable.h"
#include "console/TerminalOutput.h"

namespace kq::console {
namespace {

ScreenMirror FilledMirror(int cols, int rows, uint8_t character, uint8_t attribute) {
    ScreenMirror mirror(cols, rows);
    std::vector<uint8_t> cells;
    for (int i = 0; i < cols * rows; ++i) cells.insert(cells.end(), {character, attribute});
    mirror.Load(cells);
    return mirror;
}

void WriteCell(ScreenMirror& mirror, int x, int y, uint8_t character, uint8_t attribute) {
    const uint8_t cell[2] = {character, attribute};
    mirror.Write(x, y, cell, 1);
}

std::string Render(TerminalOutput& output, const ScreenMirror& mirror, CursorState cursor) {
    std::string bytes;
    output.Render(mirror, cursor, bytes);
    return bytes;
}

class TerminalOutputTest : public ::testing::Test {
  protected:
    std::unique_ptr<GlyphTable> glyphs_ = GlyphTable::Create(437);
    TerminalOutput output_{*glyphs_, TerminalQuirks{}};
};

TEST_F(TerminalOutputTest, ConsoleColoursMapToAnsiColours) {
    // Console colours are BGR: 1 blue, 2 green, 4 red; 8 is intensity. ANSI is RGB.
    const struct {
        uint8_t attribute;
        const char* sixteenColours;
        const char* eightColours;
    } cases[] = {
        {0x07, "\x1b[37;40m", "\x1b[0;37;40m"},    {0x1F, "\x1b[97;44m", "\x1b[0;1;37;44m"},
        {0x4E, "\x1b[93;41m", "\x1b[0;1;33;41m"},  {0x30, "\x1b[30;46m", "\x1b[0;30;46m"},
        {0x80, "\x1b[30;100m", "\x1b[0;5;30;40m"}, {0x5C, "\x1b[91;45m", "\x1b[0;1;31;45m"},
    };
    TerminalQuirks linuxConsole;
    linuxConsole.brightColours = false;
    const TerminalOutput eight(*glyphs_, linuxConsole);
    for (const auto& colour : cases) {
        EXPECT_EQ(output_.ColourSequence(colour.attribute), colour.sixteenColours);
        EXPECT_EQ(eight.ColourSequence(colour.attribute), colour.eightColours);
    }
}

TEST_F(TerminalOutputTest, UpdatesSendOnlyWhatChanged) {
    ScreenMirror mirror = FilledMirror(200, 60, ' ', 0x17);
    const CursorState cursor{150, 58, 20};  // a visible cursor must be put back after a cell
    const std::string full = Render(output_, mirror, cursor);
    // Frames of more than one row are synchronized.
    EXPECT_EQ(full.rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(full.substr(full.size() - 8), "\x1b[?2026l");
    EXPECT_EQ(Render(output_, mirror, cursor), "");
    WriteCell(mirror, 123, 45, 0xDB, 0x4E);  // a block in another colour, far from the cursor
    const std::string update = Render(output_, mirror, cursor);
    EXPECT_LT(update.size(), 40u) << update;
    EXPECT_NE(update.find("\xe2\x96\x88"), std::string::npos);  // U+2588 full block
    EXPECT_EQ(update.find("\x1b[?2026"), std::string::npos);
    output_.Invalidate(200, 60);
    const std::string again = Render(output_, mirror, cursor);
    EXPECT_GE(std::count(again.begin(), again.end(), ' '), 200 * 60 - 1);

    TerminalQuirks noSync;
    noSync.synchronizedOutput = false;
    TerminalOutput plain(*glyphs_, noSync);
    EXPECT_EQ(Render(plain, mirror, cursor).find("\x1b[?2026"), std::string::npos);
}

TEST_F(TerminalOutputTest, FarApartChangesOnARowMoveTheCursorNearOnesRewriteTheGap) {
    ScreenMirror mirror = FilledMirror(80, 2, '.', 0x07);
    Render(output_, mirror, CursorState{0, 0, 0});
    WriteCell(mirror, 10, 1, 'a', 0x07);
    WriteCell(mirror, 12, 1, 'b', 0x07);
    WriteCell(mirror, 60, 1, 'c', 0x07);
    EXPECT_EQ(Render(output_, mirror, CursorState{0, 0, 0}), "\x1b[2;11Ha.b\x1b[2;61Hc");
}

TEST_F(TerminalOutputTest, NoCellByteReachesTheTerminalAsAControlCharacter) {
    ScreenMirror mirror(256, 1);
    for (int i = 0; i < 256; ++i) WriteCell(mirror, i, 0, static_cast<uint8_t>(i), 0x07);
    const std::string bytes = Render(output_, mirror, CursorState{0, 0, 0});
    std::string text;  // without the escape sequences (CSI ... final, ESC x)
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\x1b') {
            text += bytes[i];
        } else if (i + 1 < bytes.size() && bytes[i + 1] == '[') {
            for (i += 2; i < bytes.size() && !(bytes[i] >= 0x40 && bytes[i] <= 0x7E);) ++i;
        } else {
            ++i;
        }
    }
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << "control byte at " << i;
        // C1 controls in UTF-8 are C2 80..C2 9F.
        EXPECT_FALSE(byte == 0xC2 && i + 1 < text.size() &&
                     static_cast<unsigned char>(text[i + 1]) < 0xA0) << "C1 control at " << i;
    }
}

TEST_F(TerminalOutputTest, CursorShapeFollowsTheRequestedSize) {
    const ScreenMirror mirror = FilledMirror(10, 2, ' ', 0x07);
    EXPECT_NE(Render(output_, mirror, CursorState{1, 1, 0}).find("\x1b[?25l"), std::string::npos);
    EXPECT_EQ(Render(output_, mirror, CursorState{1, 1, 100}), "\x1b[2 q\x1b[?25h\x1b[2;2H");
    EXPECT_EQ(Render(output_, mirror, CursorState{1, 1, 25}), "\x1b[4 q\x1b[?25h");
    EXPECT_EQ(Render(output_, mirror, CursorState{3, 0, 25}), "\x1b[1;4H");
}

}  // namespace
}  // namespace kq::console
