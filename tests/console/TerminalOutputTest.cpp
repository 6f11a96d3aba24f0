// What reaches the terminal: the glyph tables of the code pages, the diffing renderer (colour
// mapping, what an update costs in bytes, no cell ever a control character) and the
// libvterm-backed model of the main screen as console cells.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "console/GlyphTable.h"
#include "console/TerminalOutput.h"
#include "console/VtermMainScreen.h"

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


TEST(GlyphTableTest, ControlBytesShowAsGraphicGlyphsAndC1AsQuestionMarks) {
    const struct {
        int codePage;
        uint8_t byte;
        char32_t unicode;
    } cases[] = {
        {437, 0x00, U' '}, {437, 0x01, U'\u263A'}, {437, 0x07, U'\u2022'}, {437, 0x1B, U'\u2190'},
        {437, 0x7F, U'\u2302'}, {437, 0xDB, U'\u2588'}, {866, 0x01, U'\u263A'},
        {1251, 0xC0, U'\u0410'}, {1252, 0x81, U'?'},  // undefined in 1252
    };
    for (const auto& glyph : cases) {
        const auto table = GlyphTable::Create(glyph.codePage);
        ASSERT_NE(table, nullptr) << glyph.codePage;
        EXPECT_EQ(table->Unicode(glyph.byte), glyph.unicode) << glyph.codePage << " " << +glyph.byte;
    }
    const auto cyrillic = GlyphTable::Create(1251);
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t unicode = cyrillic->Unicode(static_cast<uint8_t>(byte));
        EXPECT_FALSE(unicode < 0x20 || unicode == 0x7F || (unicode >= 0x80 && unicode < 0xA0));
    }
}

TEST(GlyphTableTest, PrintableBytesRoundTripThroughUnicode) {
    for (const int codePage : {437, 850, 866, 1251, 1252}) {
        const auto table = GlyphTable::Create(codePage);
        ASSERT_NE(table, nullptr);
        for (int byte = 0x20; byte < 0x100; ++byte) {
            const char32_t unicode = table->Unicode(static_cast<uint8_t>(byte));
            if (byte == 0x7F || unicode == U'?') continue;
            EXPECT_EQ(table->FromUnicode(unicode), byte) << codePage << " byte " << byte;
        }
        EXPECT_EQ(table->FromUnicode(U'\U0001F600'), '?');
    }
}

// A code page the system cannot convert, one with characters of several bytes (932, 65001)
// or one whose bytes 0x20-0x7E are not ASCII (EBCDIC 37) used to become 437 without a word.
// Named by the user it is refused (-1); without a setting the locale's language chooses.
TEST(GlyphTableTest, ConsoleCodePageIsTheSettingOrTheLocalesOemPage) {
    const struct {
        const char* setting;
        const char* locale;
        int expected;
    } cases[] = {
        {"866", "de_DE.UTF-8", 866}, {"1251", "", 1251}, {"bogus", "", -1}, {"99999", "", -1},
        {"866x", "", -1}, {"65001", "", -1}, {"932", "", -1}, {"37", "", -1}, {"0", "", -1},
        {nullptr, "ru_RU.UTF-8", 866}, {nullptr, "pl_PL", 852}, {nullptr, "el_GR.UTF-8", 737},
        {nullptr, "de_DE@euro", 850}, {nullptr, "sr_RS@latin", 852}, {nullptr, "en_US", 437},
        {nullptr, "C.UTF-8", 437}, {nullptr, "", 437}, {nullptr, "ja_JP", 437},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ChooseConsoleCodePage(entry.setting, entry.locale), entry.expected)
            << (entry.setting ? entry.setting : "(unset)") << " " << entry.locale;
    }
    EXPECT_EQ(GlyphTable::Create(-437), nullptr);
}

TEST(GlyphTableTest, Utf8EncodingOfEveryPlane) {
    std::string out;
    for (const char32_t unicode : {U'A', U'\u00E9', U'\u2554', U'\U0001F600'}) AppendUtf8(out, unicode);
    AppendUtf8(out, char32_t(0xD800));
    AppendUtf8(out, char32_t(0x110000));
    EXPECT_EQ(out, "A\xC3\xA9\xE2\x95\x94\xF0\x9F\x98\x80\xEF\xBF\xBD\xEF\xBF\xBD");
}

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
