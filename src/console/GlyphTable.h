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
    // undefined are shown as '?'. Returns null when the system cannot convert the code page.
    static std::unique_ptr<GlyphTable> Create(int codePage);

    int CodePage() const { return codePage_; }
    // The UTF-8 text of one cell character.
    std::string_view Utf8(uint8_t character) const { return glyphs_[character]; }
    // The Unicode character a byte stands for (the graphic glyph for control bytes).
    char32_t Unicode(uint8_t character) const { return unicode_[character]; }
    // The code-page byte of a Unicode character: ASCII as itself, control characters as
    // themselves, anything the code page lacks as '?'.
    uint8_t FromUnicode(char32_t character) const;

  private:
    explicit GlyphTable(int codePage) : codePage_(codePage) {}
    void SetGlyph(uint8_t character, char32_t unicode);

    int codePage_;
    std::array<std::string, 256> glyphs_;
    std::array<char32_t, 256> unicode_{};
    std::unordered_map<char32_t, uint8_t> reverse_;
};

// The console code page: KQ_CODEPAGE from the environment when the system can convert it,
// else 437.
int ConsoleCodePageFromEnvironment();

// The table of the console code page, built once.
const GlyphTable& ConsoleGlyphs();

// Appends the UTF-8 encoding of a Unicode character.
void AppendUtf8(std::string& out, char32_t character);

}  // namespace kq::console
