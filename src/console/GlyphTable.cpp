// Glyph tables: CP437 is built in (the default must work without the system's converters);
// other code pages are converted through iconv.
#include "console/GlyphTable.h"

#include <iconv.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

namespace kq::console {

namespace {

// The graphic glyphs of bytes 0x00-0x1F in the OEM fonts; 0x00 is blank.
constexpr char32_t kControlGlyphs[32] = {
    0x0020, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9,
    0x2642, 0x2640, 0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7,
    0x25AC, 0x21A8, 0x2191, 0x2193, 0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC};
constexpr char32_t kHouseGlyph = 0x2302;  // byte 0x7F

constexpr char32_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF,
    0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9,
    0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557,
    0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559,
    0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

// Converts the upper half of a code page through iconv. False when iconv lacks the page, or
// when its bytes are not one character each: a byte that iconv holds back as the start of a
// longer sequence (a lead byte), or printable ASCII that converts to something else.
bool ConvertHighHalf(int codePage, char32_t (&out)[128]) {
    const std::string name = "CP" + std::to_string(codePage);
    iconv_t converter = iconv_open("UTF-32LE", name.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1)) return false;
    bool oneCellEach = true;
    for (int byte = 0x20; byte < 0x100 && oneCellEach; ++byte) {
        if (byte == 0x7F) continue;
        char input = static_cast<char>(byte);
        unsigned char output[8] = {};
        char* inPtr = &input;
        size_t inLeft = 1;
        char* outPtr = reinterpret_cast<char*>(output);
        size_t outLeft = sizeof output;
        iconv(converter, nullptr, nullptr, nullptr, nullptr);
        const bool converted =
            iconv(converter, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
            outLeft == sizeof output - 4;
        if (!converted && errno == EINVAL) oneCellEach = false;  // a lead byte
        const char32_t value = !converted ? U'?'
                                          : static_cast<char32_t>(output[0]) |
                                                (static_cast<char32_t>(output[1]) << 8) |
                                                (static_cast<char32_t>(output[2]) << 16) |
                                                (static_cast<char32_t>(output[3]) << 24);
        if (byte < 0x80) {
            if (value != static_cast<char32_t>(byte)) oneCellEach = false;
            continue;
        }
        // A C1 control character would be a control sequence on the terminal.
        out[byte - 0x80] = (value >= 0x80 && value < 0xA0) ? U'?' : value;
    }
    iconv_close(converter);
    return oneCellEach;
}

// The OEM code pages by language (the first two or three letters of a locale name).
struct LanguageCodePage {
    std::string_view language;
    int codePage;
};
constexpr LanguageCodePage kOemCodePages[] = {
    {"ru", 866}, {"uk", 866}, {"be", 866}, {"bg", 866}, {"kk", 866}, {"ky", 866}, {"mk", 866},
    {"mn", 866}, {"tt", 866}, {"tg", 866}, {"sr", 855}, {"pl", 852}, {"cs", 852}, {"sk", 852},
    {"hu", 852}, {"sl", 852}, {"hr", 852}, {"bs", 852}, {"ro", 852}, {"sq", 852}, {"el", 737},
    {"tr", 857}, {"az", 857}, {"lt", 775}, {"lv", 775}, {"et", 775}, {"he", 862}, {"th", 874},
    {"de", 850}, {"fr", 850}, {"es", 850}, {"it", 850}, {"pt", 850}, {"nl", 850}, {"da", 850},
    {"sv", 850}, {"nb", 850}, {"nn", 850}, {"no", 850}, {"fi", 850}, {"is", 850}, {"ca", 850},
    {"eu", 850}, {"gl", 850}, {"ga", 850}, {"af", 850}, {"id", 850}, {"ms", 850}, {"fo", 850},
    {"lb", 850}, {"rm", 850}, {"sw", 850},
};

}  // namespace

void AppendUtf8(std::string& out, char32_t c) {
    if (c >= 0xD800 && c < 0xE000) c = 0xFFFD;
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x110000) {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        AppendUtf8(out, 0xFFFD);
    }
}

char32_t DecodeUtf8(std::string_view text, size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i]);
    int length = 0;
    char32_t value = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        ++i;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        length = 2;
        value = lead & 0x1F;
        minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
        length = 3;
        value = lead & 0x0F;
        minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
        length = 4;
        value = lead & 0x07;
        minimum = 0x10000;
    } else {
        ++i;
        return kNotUtf8;
    }
    if (i + length > text.size()) {
        ++i;
        return kNotUtf8;
    }
    for (int k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xC0) != 0x80) {
            ++i;
            return kNotUtf8;
        }
        value = (value << 6) | (next & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value < 0xE000)) {
        ++i;
        return kNotUtf8;
    }
    i += length;
    return value;
}

void GlyphTable::SetGlyph(uint8_t character, char32_t unicode) {
    unicode_[character] = unicode;
    glyphs_[character].clear();
    AppendUtf8(glyphs_[character], unicode);
    if (character >= 0x20 && unicode != U'?') reverse_.emplace(unicode, character);
}

std::unique_ptr<GlyphTable> GlyphTable::Create(int codePage) {
    char32_t high[128];
    if (codePage == 437) {
        std::copy(std::begin(kCp437High), std::end(kCp437High), high);
    } else if (codePage <= 0 || !ConvertHighHalf(codePage, high)) {
        return nullptr;
    }
    std::unique_ptr<GlyphTable> table(new GlyphTable(codePage));
    for (int i = 0; i < 32; ++i) table->SetGlyph(static_cast<uint8_t>(i), kControlGlyphs[i]);
    for (int i = 0x20; i < 0x7F; ++i) table->SetGlyph(static_cast<uint8_t>(i), char32_t(i));
    table->SetGlyph(0x7F, kHouseGlyph);
    for (int i = 0; i < 128; ++i) table->SetGlyph(static_cast<uint8_t>(0x80 + i), high[i]);
    return table;
}

uint8_t GlyphTable::FromUnicode(char32_t character) const {
    if (character < 0x80) return static_cast<uint8_t>(character);
    const auto found = reverse_.find(character);
    return found == reverse_.end() ? uint8_t{'?'} : found->second;
}

int OemCodePageOfLocale(std::string_view locale) {
    // "ll_CC.charset@modifier" or "lll_CC": the language ends at the first '_', '.' or '@'.
    const std::string_view language = locale.substr(0, locale.find_first_of("_.@"));
    // Serbian in the Latin script shares the Central European page.
    if (language == "sr" && locale.find("@latin") != std::string_view::npos) return 852;
    for (const LanguageCodePage& entry : kOemCodePages) {
        if (entry.language == language) return entry.codePage;
    }
    return 437;
}

int ChooseConsoleCodePage(const char* setting, std::string_view locale) {
    if (setting != nullptr) {
        char* end = nullptr;
        errno = 0;
        const long codePage = std::strtol(setting, &end, 10);
        const bool number = end != setting && *end == '\0' && errno == 0;
        if (number && codePage > 0 && codePage < 65536 &&
            GlyphTable::Create(static_cast<int>(codePage)) != nullptr) {
            return static_cast<int>(codePage);
        }
        return -1;
    }
    const int fitting = OemCodePageOfLocale(locale);
    return fitting == 437 || GlyphTable::Create(fitting) != nullptr ? fitting : 437;
}

int ConsoleCodePageFromEnvironment() {
    const char* locale = nullptr;
    for (const char* name : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        locale = std::getenv(name);
        if (locale != nullptr && *locale != '\0') break;
    }
    const char* setting = std::getenv("KQ_CODEPAGE");
    if (setting != nullptr && *setting == '\0') setting = nullptr;  // set empty: not set
    return ChooseConsoleCodePage(setting, locale ? locale : "");
}

int ConsoleCodePage() {
    static const int codePage = ConsoleCodePageFromEnvironment();
    return codePage;
}

const GlyphTable& ConsoleGlyphs() {
    static const std::unique_ptr<GlyphTable> table = [] {
        auto created = ConsoleCodePage() > 0 ? GlyphTable::Create(ConsoleCodePage()) : nullptr;
        return created ? std::move(created) : GlyphTable::Create(437);
    }();
    return *table;
}

}  // namespace kq::console
