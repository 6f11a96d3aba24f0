// Code pages through glibc's iconv: conversions between a code page and UTF-16, the console's
// code page, and upper-casing by Unicode's rules.
//
// A code page is a number. A few have iconv names of their own (1200 is UTF-16LE, 65001 UTF-8,
// ...); the rest are tried as "CP<n>" and "IBM<n>". A code page is available when iconv can open
// the conversion. These are plain text conversions: bytes 0x00-0x1F are control characters
// here, not the glyphs the console shows for them.
//
// The count of UUctoCp and UCptoUc is both the source's length (UTF-16 units, or bytes) and the
// destination's capacity (bytes, or UTF-16 units). For single-byte code pages that is one byte
// per unit either way. A result that does not fit (UTF-8 from non-ASCII text, for instance)
// fails; a shorter one is followed by zeros up to count, so that the caller finds its end.
#include "ui/CodePages.h"

#include <errno.h>
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "console/GlyphTable.h"
#include "kq/text.h"

namespace kq::ui {
namespace {

constexpr size_t kFailed = static_cast<size_t>(-1);

// The encodings of the caller's uint16_t units and of char32_t, in the machine's byte order.
constexpr const char* kUtf16 = std::endian::native == std::endian::little ? "UTF-16LE" : "UTF-16BE";
constexpr const char* kUtf32 = std::endian::native == std::endian::little ? "UTF-32LE" : "UTF-32BE";

// Owns one iconv conversion descriptor. A descriptor carries shift state from call to call, so
// only one thread may use it at a time.
class Iconv {
  public:
    Iconv() = default;
    Iconv(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    Iconv(Iconv&& other) noexcept : handle_(std::exchange(other.handle_, Invalid())) {}
    Iconv& operator=(Iconv&& other) noexcept {
        if (this != &other) {
            Close();
            handle_ = std::exchange(other.handle_, Invalid());
        }
        return *this;
    }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;
    ~Iconv() { Close(); }

    explicit operator bool() const { return handle_ != Invalid(); }

    // Back to the initial shift state, dropping whatever earlier input left behind.
    void Reset() { iconv(handle_, nullptr, nullptr, nullptr, nullptr); }
    // iconv(3): advances both buffers past what was converted; kFailed with errno set.
    size_t Convert(const char*& in, size_t& inLeft, char*& out, size_t& outLeft) {
        char* input = const_cast<char*>(in);  // iconv takes char** but never writes the input
        const size_t result = iconv(handle_, &input, &inLeft, &out, &outLeft);
        in = input;
        return result;
    }
    // Writes out what the converter held back, and the return to the initial shift state.
    size_t Flush(char*& out, size_t& outLeft) {
        return iconv(handle_, nullptr, nullptr, &out, &outLeft);
    }

  private:
    static iconv_t Invalid() { return reinterpret_cast<iconv_t>(-1); }
    void Close() {
        if (handle_ != Invalid()) iconv_close(handle_);
        handle_ = Invalid();
    }

    iconv_t handle_ = Invalid();
};

// The names iconv may know a code page by, in the order to try them.
std::vector<std::string> IconvNames(int codePage) {
    static constexpr std::pair<int, const char*> kOwnNames[] = {
        {1200, "UTF-16LE"},  {1201, "UTF-16BE"}, {10000, "MACINTOSH"}, {12000, "UTF-32LE"},
        {12001, "UTF-32BE"}, {20127, "ASCII"},   {20866, "KOI8-R"},    {21866, "KOI8-U"},
        {65000, "UTF-7"},    {65001, "UTF-8"},
    };
    std::vector<std::string> names;
    if (codePage <= 0 || codePage > 0xFFFF) return names;
    for (const auto& [number, name] : kOwnNames) {
        if (number == codePage) names.emplace_back(name);
    }
    if (codePage >= 28591 && codePage <= 28605) {
        names.push_back("ISO-8859-" + std::to_string(codePage - 28590));
    }
    // Three digits at least: the EBCDIC page 37 is "CP037" to iconv.
    std::string digits = std::to_string(codePage);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    names.push_back("CP" + digits);
    names.push_back("IBM" + digits);
    return names;
}

enum class Direction { kToCodePage, kFromCodePage };

// A converter between a code page and `unicode` (an iconv name); an empty one when iconv has
// none.
Iconv OpenConverter(int codePage, Direction direction, const char* unicode) {
    for (const std::string& name : IconvNames(codePage)) {
        Iconv converter = direction == Direction::kToCodePage ? Iconv(name.c_str(), unicode)
                                                              : Iconv(unicode, name.c_str());
        if (converter) return converter;
    }
    return Iconv();
}

// The converter between a code page and UTF-16 in this thread, in its initial state; null when
// iconv cannot convert the code page. Each thread keeps the last one per direction, since
// opening one costs far more than converting a line, and callers convert line by line.
Iconv* Utf16Converter(int codePage, Direction direction) {
    struct Cached {
        int codePage = 0;
        Iconv converter;
    };
    thread_local std::array<Cached, 2> cache;
    Cached& entry = cache[direction == Direction::kToCodePage ? 0 : 1];
    if (entry.codePage != codePage || !entry.converter) {
        entry.converter = OpenConverter(codePage, direction, kUtf16);
        entry.codePage = entry.converter ? codePage : 0;
        if (!entry.converter) return nullptr;
    }
    entry.converter.Reset();
    return &entry.converter;
}

// The smallest step through a code page's text: two bytes in UTF-16, four in UTF-32.
size_t CodeUnitSize(int codePage) {
    switch (codePage) {
        case 1200:
        case 1201:
            return 2;
        case 12000:
        case 12001:
            return 4;
        default:
            return 1;
    }
}

// Converts a whole source into the destination and fills what is left of it with zeros. Each
// source unit the converter refuses (part of an invalid or incomplete sequence, or of a
// character the target lacks) is skipped and replaced by one Replace. So an 8-bit code page still
// gets one byte per UTF-16 unit: a surrogate pair it cannot hold becomes two '?', and the bytes
// keep the positions of the units. False when the result does not fit or Replace fails.
template <typename Replace>
bool ConvertText(Iconv& converter, const char* in, size_t inLeft, size_t sourceUnit, char* out,
                 size_t outLeft, Replace replace) {
    while (converter.Convert(in, inLeft, out, outLeft) == kFailed) {
        if (errno != EILSEQ && errno != EINVAL) return false;  // E2BIG: it does not fit
        const size_t skip = std::min(inLeft, sourceUnit);
        in += skip;
        inLeft -= skip;
        if (!replace(out, outLeft)) return false;
    }
    if (converter.Flush(out, outLeft) == kFailed) return false;
    std::memset(out, 0, outLeft);
    return true;
}

// Rejects what no conversion accepts; with a count of 0 only the code page is tested.
bool ValidArguments(const void* source, const void* destination, int count) {
    return count == 0 || (count > 0 && source != nullptr && destination != nullptr);
}

// The character at the start of some code-page text.
struct DecodedCharacter {
    size_t length = 0;  // the bytes it takes; 0 when the text starts with no character
    char32_t character = 0;
    bool incomplete = false;  // the text ends inside a multi-byte sequence
};

DecodedCharacter DecodeOne(Iconv& decoder, const char* in, size_t inLeft) {
    decoder.Reset();
    const size_t before = inLeft;
    char32_t character = 0;
    char* out = reinterpret_cast<char*>(&character);
    size_t outLeft = sizeof character;
    // With room for one character only, the converter stops after it (E2BIG), or fails on the
    // next one after converting it.
    const int error = decoder.Convert(in, inLeft, out, outLeft) == kFailed ? errno : 0;
    if (outLeft == 0) return {before - inLeft, character, false};
    if (error == EINVAL) return {0, 0, true};
    if (error != 0) return {};
    // Some code pages hold a letter back to combine it with an accent that may follow.
    if (decoder.Flush(out, outLeft) != kFailed && outLeft == 0) {
        return {before - inLeft, character, false};
    }
    return {};
}

// The bytes of one character in a code page; 0 when the code page lacks it.
size_t EncodeOne(Iconv& encoder, char32_t character, char* out, size_t size) {
    encoder.Reset();
    const char* in = reinterpret_cast<const char*>(&character);
    size_t inLeft = sizeof character;
    size_t outLeft = size;
    if (encoder.Convert(in, inLeft, out, outLeft) == kFailed) return 0;
    if (encoder.Flush(out, outLeft) == kFailed) return 0;
    return size - outLeft;
}

// Unicode's simple upper case, whatever locale the process runs in. The locale object is made
// once and kept for the life of the process.
char32_t ToUpper(char32_t character) {
    static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    const wint_t wide = static_cast<wint_t>(character);
    return static_cast<char32_t>(utf8 != locale_t{} ? towupper_l(wide, utf8) : towupper(wide));
}

// How a code page upper-cases. Single-byte code pages get a table of all 256 bytes; the others
// are upper-cased character by character.
struct CaseRules {
    bool singleByte = true;
    std::array<uint8_t, 256> upper{};
};

std::optional<CaseRules> BuildCaseRules(int codePage) {
    Iconv decoder = OpenConverter(codePage, Direction::kFromCodePage, kUtf32);
    Iconv encoder = OpenConverter(codePage, Direction::kToCodePage, kUtf32);
    if (!decoder || !encoder) return std::nullopt;
    CaseRules rules;
    for (int byte = 0; byte < 256; ++byte) {
        rules.upper[byte] = static_cast<uint8_t>(byte);
        const char text = static_cast<char>(byte);
        const DecodedCharacter decoded = DecodeOne(decoder, &text, 1);
        if (decoded.incomplete) {
            rules.singleByte = false;
            break;
        }
        if (decoded.length == 0) continue;
        const char32_t upper = ToUpper(decoded.character);
        char encoded[16];
        if (upper != decoded.character && EncodeOne(encoder, upper, encoded, sizeof encoded) == 1) {
            rules.upper[byte] = static_cast<uint8_t>(encoded[0]);
        }
    }
    return rules;
}

// The rules of a code page, built on first use; null when iconv cannot convert it. Entries are
// never changed or removed, so the pointer stays valid without the lock.
const CaseRules* CaseRulesFor(int codePage) {
    static std::mutex mutex;
    static std::map<int, CaseRules> cache;
    std::lock_guard lock(mutex);
    auto found = cache.find(codePage);
    if (found == cache.end()) {
        std::optional<CaseRules> built = BuildCaseRules(codePage);
        if (!built) return nullptr;
        found = cache.emplace(codePage, *built).first;
    }
    return &found->second;
}

// Multi-byte code pages: a character is replaced only by an upper case of the same length, so
// the text keeps its size and nothing after it moves.
int UpCaseCharacters(int codePage, char* buffer, size_t length) {
    Iconv decoder = OpenConverter(codePage, Direction::kFromCodePage, kUtf32);
    Iconv encoder = OpenConverter(codePage, Direction::kToCodePage, kUtf32);
    if (!decoder || !encoder) return -1;
    size_t position = 0;
    while (position < length) {
        const DecodedCharacter decoded = DecodeOne(decoder, buffer + position, length - position);
        if (decoded.incomplete) break;
        if (decoded.length == 0) {  // no character: left as it is
            position += CodeUnitSize(codePage);
            continue;
        }
        const char32_t upper = ToUpper(decoded.character);
        char encoded[16];
        if (upper != decoded.character &&
            EncodeOne(encoder, upper, encoded, sizeof encoded) == decoded.length) {
            std::memcpy(buffer + position, encoded, decoded.length);
        }
        position += decoded.length;
    }
    return 0;
}

}  // namespace

int UpCaseInCodePage(int codePage, char* buffer, int length) {
    if (buffer == nullptr || length < 0) return -1;
    const CaseRules* rules = CaseRulesFor(codePage);
    if (rules == nullptr) return -1;
    if (!rules->singleByte) return UpCaseCharacters(codePage, buffer, static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        buffer[i] = static_cast<char>(rules->upper[static_cast<uint8_t>(buffer[i])]);
    }
    return 0;
}

}  // namespace kq::ui

using kq::ui::Direction;

extern "C" {

// A character the code page lacks and an unpaired surrogate become the code page's '?'. A
// surrogate pair is one character where the code page can hold it (UTF-8, for instance).
ZAPI int ZCALL UUctoCp(int codePage, const uint16_t* source, char* destination, int count) {
    if (!kq::ui::ValidArguments(source, destination, count)) return -1;
    kq::ui::Iconv* converter = kq::ui::Utf16Converter(codePage, Direction::kToCodePage);
    if (converter == nullptr) return -1;
    if (count == 0) return 0;
    // The '?' goes through the converter itself: a stateful target may need to shift first.
    const auto replace = [converter](char*& out, size_t& outLeft) {
        const uint16_t questionMark = u'?';
        const char* in = reinterpret_cast<const char*>(&questionMark);
        size_t inLeft = sizeof questionMark;
        return converter->Convert(in, inLeft, out, outLeft) != kq::ui::kFailed;
    };
    return kq::ui::ConvertText(*converter, reinterpret_cast<const char*>(source),
                               static_cast<size_t>(count) * sizeof(uint16_t), sizeof(uint16_t),
                               destination, static_cast<size_t>(count), replace)
               ? 0
               : -1;
}

// Each byte that is no character in the code page (or each unit, in UTF-16 and UTF-32) becomes
// U+FFFD, the replacement character.
ZAPI int ZCALL UCptoUc(int codePage, const char* source, uint16_t* destination, int count) {
    if (!kq::ui::ValidArguments(source, destination, count)) return -1;
    kq::ui::Iconv* converter = kq::ui::Utf16Converter(codePage, Direction::kFromCodePage);
    if (converter == nullptr) return -1;
    if (count == 0) return 0;
    const auto replace = [](char*& out, size_t& outLeft) {
        const uint16_t replacement = 0xFFFD;
        if (outLeft < sizeof replacement) return false;
        std::memcpy(out, &replacement, sizeof replacement);
        out += sizeof replacement;
        outLeft -= sizeof replacement;
        return true;
    };
    return kq::ui::ConvertText(*converter, source, static_cast<size_t>(count),
                               kq::ui::CodeUnitSize(codePage), reinterpret_cast<char*>(destination),
                               static_cast<size_t>(count) * sizeof(uint16_t), replace)
               ? 0
               : -1;
}

// -1 when KQ_CODEPAGE names a code page that cannot be used: the host refuses to start then.
ZAPI int ZCALL UGetConCp(void) {
    return kq::console::ConsoleCodePage();
}

ZAPI int ZCALL UUpCase(char* buffer, int length) {
    return kq::ui::UpCaseInCodePage(kq::console::ConsoleGlyphs().CodePage(), buffer, length);
}

}  // extern "C"
