// Glyph tables: the graphic glyphs of control bytes, code pages through iconv, the way back
// from Unicode, and the choice of the console code page.
#include <gtest/gtest.h>

#include "console/GlyphTable.h"

namespace kq::console {
namespace {

struct GlyphCase {
    int codePage;
    uint8_t byte;
    char32_t unicode;
};

TEST(GlyphTableTest, BytesShowAsTheirCodePageGlyphs) {
    const GlyphCase cases[] = {
        {437, 0x00, U' '},       {437, 0x01, U'\u263A'}, {437, 0x07, U'\u2022'},
        {437, 0x1B, U'\u2190'},  {437, 0x7F, U'\u2302'}, {437, 0x82, U'\u00E9'},
        {437, 0xB0, U'\u2591'},  {437, 0xC9, U'\u2554'}, {437, 0xDB, U'\u2588'},
        {437, 0xDF, U'\u2580'},  {850, 0x82, U'\u00E9'}, {850, 0xD5, U'\u0131'},
        {866, 0x80, U'\u0410'},  {866, 0x01, U'\u263A'}, {1251, 0xC0, U'\u0410'},
        {1252, 0x80, U'\u20AC'}, {1252, 0x41, U'A'},
    };
    for (const GlyphCase& glyph : cases) {
        const auto table = GlyphTable::Create(glyph.codePage);
        ASSERT_NE(table, nullptr) << glyph.codePage;
        EXPECT_EQ(table->Unicode(glyph.byte), glyph.unicode)
            << glyph.codePage << " byte " << int(glyph.byte);
    }
}

TEST(GlyphTableTest, UndefinedAndC1BytesShowAsQuestionMarks) {
    const auto table = GlyphTable::Create(1252);
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->Unicode(0x81), U'?');  // undefined in 1252
    const auto cyrillic = GlyphTable::Create(1251);
    ASSERT_NE(cyrillic, nullptr);
    for (int byte = 0; byte < 256; ++byte) {
        const char32_t unicode = cyrillic->Unicode(static_cast<uint8_t>(byte));
        EXPECT_FALSE(unicode >= 0x80 && unicode < 0xA0) << byte;
    }
}

TEST(GlyphTableTest, PrintableBytesRoundTripThroughUnicode) {
    for (const int codePage : {437, 850, 866, 1251, 1252}) {
        const auto table = GlyphTable::Create(codePage);
        ASSERT_NE(table, nullptr);
        for (int byte = 0x20; byte < 0x100; ++byte) {
            if (byte == 0x7F) continue;
            const char32_t unicode = table->Unicode(static_cast<uint8_t>(byte));
            if (unicode == U'?') continue;
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
        {"866", "de_DE.UTF-8", 866},
        {"1251", "", 1251},
        {"bogus", "", -1},
        {"99999", "", -1},
        {"866x", "", -1},
        {"65001", "", -1},
        {"932", "", -1},
        {"37", "", -1},
        {"0", "", -1},
        {nullptr, "ru_RU.UTF-8", 866},
        {nullptr, "pl_PL", 852},
        {nullptr, "el_GR.UTF-8", 737},
        {nullptr, "de_DE@euro", 850},
        {nullptr, "sr_RS@latin", 852},
        {nullptr, "en_US", 437},
        {nullptr, "C.UTF-8", 437},
        {nullptr, "", 437},
        {nullptr, "ja_JP", 437},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(ChooseConsoleCodePage(entry.setting, entry.locale), entry.expected)
            << (entry.setting ? entry.setting : "(unset)") << " " << entry.locale;
    }
    EXPECT_EQ(GlyphTable::Create(-437), nullptr);
}

TEST(GlyphTableTest, Utf8EncodingOfEveryPlane) {
    const struct {
        char32_t unicode;
        const char* utf8;
    } cases[] = {{U'A', "A"},
                 {U'\u00E9', "\xC3\xA9"},
                 {U'\u2554', "\xE2\x95\x94"},
                 {U'\U0001F600', "\xF0\x9F\x98\x80"},
                 {char32_t(0xD800), "\xEF\xBF\xBD"},
                 {char32_t(0x110000), "\xEF\xBF\xBD"}};
    for (const auto& entry : cases) {
        std::string out;
        AppendUtf8(out, entry.unicode);
        EXPECT_EQ(out, entry.utf8);
    }
}

}  // namespace
}  // namespace kq::console
