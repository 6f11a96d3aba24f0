// The diffing renderer: colour mapping, what an update costs in bytes, and that no cell can
// put a control character on the terminal.
#include <gtest/gtest.h>

#include <string>

#include "console/GlyphTable.h"
#include "console/TerminalOutput.h"

namespace kq::console {
namespace {

std::unique_ptr<GlyphTable> Cp437() {
    return GlyphTable::Create(437);
}

ScreenMirror FilledMirror(int cols, int rows, uint8_t character, uint8_t attribute) {
    ScreenMirror mirror(cols, rows);
    std::vector<uint8_t> cells(static_cast<size_t>(cols * rows) * 2);
    for (size_t i = 0; i < cells.size(); i += 2) {
        cells[i] = character;
        cells[i + 1] = attribute;
    }
    mirror.Load(cells);
    return mirror;
}

void WriteCell(ScreenMirror& mirror, int x, int y, uint8_t character, uint8_t attribute) {
    const uint8_t cell[2] = {character, attribute};
    mirror.Write(x, y, cell, 1);
}

// Removes escape sequences (CSI ... final, OSC ... ST, two-byte ESC x) and returns the rest.
std::string StripSequences(const std::string& bytes) {
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\x1b') {
            text += bytes[i];
            continue;
        }
        if (i + 1 < bytes.size() && bytes[i + 1] == '[') {
            i += 2;
            while (i < bytes.size() && !(bytes[i] >= 0x40 && bytes[i] <= 0x7E)) ++i;
        } else {
            ++i;
        }
    }
    return text;
}

struct ColourCase {
    uint8_t attribute;
    const char* sixteenColours;
    const char* eightColours;
};

TEST(TerminalOutputTest, ConsoleColoursMapToAnsiColours) {
    // Console colours are BGR: 1 blue, 2 green, 4 red; 8 is intensity. ANSI is RGB.
    const ColourCase cases[] = {
        {0x07, "\x1b[37;40m", "\x1b[0;37;40m"},    {0x1F, "\x1b[97;44m", "\x1b[0;1;37;44m"},
        {0x4E, "\x1b[93;41m", "\x1b[0;1;33;41m"},  {0x30, "\x1b[30;46m", "\x1b[0;30;46m"},
        {0x80, "\x1b[30;100m", "\x1b[0;5;30;40m"}, {0x19, "\x1b[94;44m", "\x1b[0;1;34;44m"},
        {0x5C, "\x1b[91;45m", "\x1b[0;1;31;45m"},  {0xF0, "\x1b[30;107m", "\x1b[0;5;30;47m"},
    };
    const auto glyphs = Cp437();
    TerminalQuirks linuxConsole;
    linuxConsole.brightColours = false;
    const TerminalOutput sixteen(*glyphs, TerminalQuirks{});
    const TerminalOutput eight(*glyphs, linuxConsole);
    for (const ColourCase& colour : cases) {
        EXPECT_EQ(sixteen.ColourSequence(colour.attribute), colour.sixteenColours)
            << std::hex << int(colour.attribute);
        EXPECT_EQ(eight.ColourSequence(colour.attribute), colour.eightColours)
            << std::hex << int(colour.attribute);
    }
}

TEST(TerminalOutputTest, UnchangedScreenSendsNothing) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    const ScreenMirror mirror = FilledMirror(80, 25, 'x', 0x17);
    CursorState cursor;
    cursor.size = 0;
    std::string first;
    output.Render(mirror, cursor, first);
    EXPECT_FALSE(first.empty());
    std::string second;
    output.Render(mirror, cursor, second);
    EXPECT_EQ(second, "");
}

TEST(TerminalOutputTest, OneChangedCellCostsUnderFortyBytes) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    ScreenMirror mirror = FilledMirror(200, 60, ' ', 0x17);
    CursorState cursor{150, 58, 20};  // a visible cursor must be put back after the cell
    std::string full;
    output.Render(mirror, cursor, full);
    WriteCell(mirror, 123, 45, 0xDB, 0x4E);  // a block in another colour, far from the cursor
    std::string update;
    output.Render(mirror, cursor, update);
    EXPECT_LT(update.size(), 40u) << update;
    EXPECT_NE(update.find("\xe2\x96\x88"), std::string::npos);  // U+2588 full block
}

TEST(TerminalOutputTest, MultiRowUpdatesAreSynchronizedSingleRowOnesAreNot) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    ScreenMirror mirror = FilledMirror(80, 25, ' ', 0x07);
    CursorState cursor{0, 0, 0};
    std::string full;
    output.Render(mirror, cursor, full);
    EXPECT_EQ(full.rfind("\x1b[?2026h", 0), 0u);
    EXPECT_EQ(full.substr(full.size() - 8), "\x1b[?2026l");

    WriteCell(mirror, 5, 5, 'a', 0x07);
    std::string single;
    output.Render(mirror, cursor, single);
    EXPECT_EQ(single.find("\x1b[?2026"), std::string::npos);

    TerminalQuirks noSync;
    noSync.synchronizedOutput = false;
    TerminalOutput plain(*glyphs, noSync);
    std::string unsynchronized;
    plain.Render(mirror, cursor, unsynchronized);
    EXPECT_EQ(unsynchronized.find("\x1b[?2026"), std::string::npos);
}

TEST(TerminalOutputTest, NoCellByteReachesTheTerminalAsAControlCharacter) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    ScreenMirror mirror(256, 1);
    for (int i = 0; i < 256; ++i) WriteCell(mirror, i, 0, static_cast<uint8_t>(i), 0x07);
    std::string bytes;
    output.Render(mirror, CursorState{0, 0, 0}, bytes);
    const std::string text = StripSequences(bytes);
    for (size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << "control byte at " << i;
        // C1 controls in UTF-8 are C2 80..C2 9F.
        if (byte == 0xC2 && i + 1 < text.size()) {
            const auto next = static_cast<unsigned char>(text[i + 1]);
            EXPECT_FALSE(next >= 0x80 && next <= 0x9F) << "C1 control at " << i;
        }
    }
}

TEST(TerminalOutputTest, CursorShapeFollowsTheRequestedSize) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    const ScreenMirror mirror = FilledMirror(10, 2, ' ', 0x07);
    std::string hidden;
    output.Render(mirror, CursorState{1, 1, 0}, hidden);
    EXPECT_NE(hidden.find("\x1b[?25l"), std::string::npos);
    std::string block;
    output.Render(mirror, CursorState{1, 1, 100}, block);
    EXPECT_EQ(block, "\x1b[2 q\x1b[?25h\x1b[2;2H");
    std::string underline;
    output.Render(mirror, CursorState{1, 1, 25}, underline);
    EXPECT_EQ(underline, "\x1b[4 q\x1b[?25h");
    std::string moved;
    output.Render(mirror, CursorState{3, 0, 25}, moved);
    EXPECT_EQ(moved, "\x1b[1;4H");
}

TEST(TerminalOutputTest, InvalidateRepaintsEverything) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    const ScreenMirror mirror = FilledMirror(10, 3, 'z', 0x07);
    std::string first;
    output.Render(mirror, CursorState{0, 0, 0}, first);
    output.Invalidate(10, 3);
    std::string again;
    output.Render(mirror, CursorState{0, 0, 0}, again);
    EXPECT_EQ(std::count(again.begin(), again.end(), 'z'), 30);
}

TEST(TerminalOutputTest, FarApartChangesOnARowMoveTheCursorNearOnesRewriteTheGap) {
    const auto glyphs = Cp437();
    TerminalOutput output(*glyphs, TerminalQuirks{});
    ScreenMirror mirror = FilledMirror(80, 1, '.', 0x07);
    std::string full;
    output.Render(mirror, CursorState{0, 0, 0}, full);
    WriteCell(mirror, 10, 0, 'a', 0x07);
    WriteCell(mirror, 12, 0, 'b', 0x07);
    WriteCell(mirror, 60, 0, 'c', 0x07);
    std::string update;
    output.Render(mirror, CursorState{0, 0, 0}, update);
    EXPECT_EQ(update, "\x1b[1;11Ha.b\x1b[1;61Hc");
}

}  // namespace
}  // namespace kq::console
