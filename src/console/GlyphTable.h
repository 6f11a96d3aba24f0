// What each byte of the console code page looks like on a UTF-8 terminal, and the way back.
//
// Bytes 0x00-0x1F and 0x7F are shown as the code page's graphic glyphs (smiley, arrows, the
// house), never as control characters: no cell, file name or file content can reach the
// terminal as a control byte. 0x20-0x7E are ASCII; 0x80-0xFF come from the code page.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kq::console {

class GlyphTable {
  public:
    // The table of a code page (437, 850, 866, 1251, ...). Bytes the code page leaves
    // undefined are shown as '?'. Returns null when the system cannot convert the code page,
    // or when its bytes are not one character cell each: a multi-byte code page (lead bytes
    // that need a second byte, such as 932 or 65001) or one whose bytes 0x20-0x7E are not
    // ASCII (EBCDIC), since every name, key and text here is ASCII below 0x80.
    static std::unique_ptr<GlyphTable> Create(int codePage);

    int CodePage() const { return codePage_; }
    // The UTF-8 text of one cell character.
    std::string_view Utf8(uint8_t character) const { return glyphs_[character]; }
    // The Unicode character a byte stands for (the graphic glyph for control bytes).
    char32_t Unicode(uint8_t character) const { return unicode_[character]; }
    // The code-page byte of a Unicode character: ASCII as itself, control characters as
    // themselves, anything the code page lacks as '?'.
    uint8_t FromUnicode(char32_t character) const;
    // Whether the code page has the character (ASCII and control characters always).
    bool Holds(char32_t character) const {
        return character < 0x80 || reverse_.find(character) != reverse_.end();
    }

  private:
    explicit GlyphTable(int codePage) : codePage_(codePage) {}
    void SetGlyph(uint8_t character, char32_t unicode);

    int codePage_;
    std::array<std::string, 256> glyphs_;
    std::array<char32_t, 256> unicode_{};
    std::unordered_map<char32_t, uint8_t> reverse_;
};

// The OEM code page that fits a locale name's language ("ru_RU.UTF-8" gives 866, "pl_PL" 852,
// "el_GR" 737, "de_DE" 850), 437 for English and every language without one.
int OemCodePageOfLocale(std::string_view locale);

// The console code page: the setting (KQ_CODEPAGE) when it is given, else the OEM code page of
// the locale's language when the system can convert it, else 437. A setting that names no
// usable code page (not a number, unknown to the system, not one byte per cell) gives -1: the
// user asked for something this program cannot draw in, and must be told rather than get 437.
int ChooseConsoleCodePage(const char* setting, std::string_view locale);

// ChooseConsoleCodePage of KQ_CODEPAGE and the locale (LC_ALL, else LC_CTYPE, else LANG).
int ConsoleCodePageFromEnvironment();

// The console code page in use: ConsoleCodePageFromEnvironment, read once; -1 when the
// environment asks for one that cannot be used.
int ConsoleCodePage();

// The table of the console code page, built once; the table of 437 while the console code page
// is -1, so that nothing that draws or converts is left without one.
const GlyphTable& ConsoleGlyphs();

// Appends the UTF-8 encoding of a Unicode character.
void AppendUtf8(std::string& out, char32_t character);

// What DecodeUtf8 gives for bytes that are not UTF-8.
inline constexpr char32_t kNotUtf8 = 0xFFFFFFFF;
// Decodes the character at text[i] and advances i past it. An invalid or incomplete sequence,
// an overlong form, a surrogate or a value past U+10FFFF gives kNotUtf8 and advances by one
// byte, so that each stray byte counts once.
char32_t DecodeUtf8(std::string_view text, size_t& i);

}  // namespace kq::console
