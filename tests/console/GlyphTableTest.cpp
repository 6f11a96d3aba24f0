// Glyph tables: the graphic glyphs of control bytes, the way back from Unicode, the choice of
// the console code page.
#include <gtest/gtest.h>

#include "console/GlyphTable.h"

namespace kq::console {
namespace {

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

}  // namespace
}  // namespace kq::console
