// The viewer's search. The pattern and each chunk are brought into one comparable form of the
// same length as the file's bytes: an 8-bit file's bytes are mapped through the console code
// page (and upper-cased when case does not matter); UTF-16 and UTF-8 text keeps its encoding,
// with the letters the console code page knows folded to upper case. A match then is a plain
// byte comparison, and its offset in the chunk is its offset in the file.
#include "viewer/ViewerSearch.h"

#include <string.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <vector>

#include "kq/fs.h"
#include "kq/text.h"
#include "ui/CodePages.h"
#include "viewer/ViewerText.h"

namespace kq::viewer {

namespace {

// The chunk read at once beyond the pattern's length.
constexpr int64_t kChunkSize = 256 * 1024;

uint16_t ConsoleToUnicode(int consoleCodePage, uint8_t byte) {
    const char in = static_cast<char>(byte);
    uint16_t unit = 0;
    return UCptoUc(consoleCodePage, &in, &unit, 1) == 0 ? unit : 0xFFFD;
}

uint8_t UpperByte(int consoleCodePage, uint8_t byte) {
    char in = static_cast<char>(byte);
    kq::ui::UpCaseInCodePage(consoleCodePage, &in, 1);
    return static_cast<uint8_t>(in);
}

void AppendUtf8(std::string& out, char32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

constexpr uint64_t kEveryByte = 0x0101010101010101ULL;
constexpr uint64_t kHighBits = kEveryByte * 0x80;

// Eight bytes at once with their ASCII letters upper-cased and every other byte as it was:
// adding to the seven low bits of each byte sets its high bit from 'a' on and from past 'z'
// on, without a carry into the next byte.
uint64_t UpperAsciiWord(uint64_t word) {
    const uint64_t low = word & ~kHighBits;
    const uint64_t fromA = low + kEveryByte * (0x80 - 'a');
    const uint64_t pastZ = low + kEveryByte * (0x80 - 'z' - 1);
    const uint64_t lower = fromA & ~pastZ & ~word & kHighBits;
    return word ^ (lower >> 2);  // 0x80 >> 2 is the case bit 0x20
}

// The pattern and the chunk folding of one search.
class Matcher {
  public:
    explicit Matcher(const SearchRequest& request) : request_(request) {
        const int console = request.consoleCodePage;
        std::string text = request.text;
        if (!request.caseSensitive) {
            for (char& c : text) c = static_cast<char>(UpperByte(console, static_cast<uint8_t>(c)));
        }
        if (request.fileCodePage == kUtf16CodePage || request.fileCodePage == kUtf8CodePage) {
            if (!request.caseSensitive) BuildUnitFold();
            for (const char c : text) {
                const uint16_t unit = ConsoleToUnicode(console, static_cast<uint8_t>(c));
                if (request.fileCodePage == kUtf16CodePage) {
                    pattern_ += static_cast<char>(unit & 0xFF);
                    pattern_ += static_cast<char>(unit >> 8);
                } else {
                    AppendUtf8(pattern_, unit);
                }
            }
            return;
        }
        pattern_ = text;
        // Each file byte as the console code page shows it, upper-cased when case does not
        // matter; a file in the console's own code page, with case, needs no mapping at all.
        const std::array<char32_t, 256> characters = ByteCharacters(request.fileCodePage);
        identity_ = true;
        for (int byte = 0; byte < 256; ++byte) {
            const char32_t code = characters[static_cast<size_t>(byte)];
            const uint16_t unit = code > 0xFFFF ? u'?' : static_cast<uint16_t>(code);
            char shown = '?';
            UUctoCp(console, &unit, &shown, 1);
            uint8_t mapped = static_cast<uint8_t>(shown);
            if (!request.caseSensitive) mapped = UpperByte(console, mapped);
            byteMap_[static_cast<size_t>(byte)] = mapped;
            identity_ = identity_ && mapped == byte;
            const bool letter = byte >= 'a' && byte <= 'z';
            if (byte < 0x80) asciiUpper_ = asciiUpper_ && mapped == (letter ? byte - 0x20 : byte);
            if (byte >= 0x80) highIdentity_ = highIdentity_ && mapped == byte;
        }
    }

    const std::string& Pattern() const { return pattern_; }

    // Brings count bytes read from chunkStart into the pattern's form, in place.
    void Fold(uint8_t* bytes, size_t count, int64_t chunkStart) const {
        switch (request_.fileCodePage) {
            case kUtf16CodePage:
                if (!unitFold_.empty()) FoldUtf16(bytes, count, chunkStart);
                return;
            case kUtf8CodePage:
                if (!unitFold_.empty()) FoldUtf8(bytes, count);
                return;
            default:
                if (identity_) return;
                if (asciiUpper_) {
                    FoldMostlyAscii(bytes, count);
                    return;
                }
                for (size_t i = 0; i < count; ++i) bytes[i] = byteMap_[bytes[i]];
        }
    }

  private:
    // The common case of a search without case in a file of the console's code page: ASCII
    // words are folded eight bytes at a time, and only words with bytes above ASCII go
    // through the table for those bytes.
    void FoldMostlyAscii(uint8_t* bytes, size_t count) const {
        size_t i = 0;
        for (; i + 8 <= count; i += 8) {
            uint64_t word = 0;
            std::memcpy(&word, bytes + i, sizeof word);
            word = UpperAsciiWord(word);
            std::memcpy(bytes + i, &word, sizeof word);
            if ((word & kHighBits) == 0 || highIdentity_) continue;
            for (size_t k = i; k < i + 8; ++k) {
                if (bytes[k] >= 0x80) bytes[k] = byteMap_[bytes[k]];
            }
        }
        for (; i < count; ++i) bytes[i] = byteMap_[bytes[i]];
    }

    // Every character of the console code page maps to its upper case; other units stay.
    void BuildUnitFold() {
        unitFold_.resize(0x10000);
        for (size_t unit = 0; unit < unitFold_.size(); ++unit)
            unitFold_[unit] = static_cast<uint16_t>(unit);
        const int console = request_.consoleCodePage;
        for (int byte = 0x20; byte < 256; ++byte) {
            const uint16_t from = ConsoleToUnicode(console, static_cast<uint8_t>(byte));
            const uint16_t to =
                ConsoleToUnicode(console, UpperByte(console, static_cast<uint8_t>(byte)));
            if (from != 0xFFFD && to != 0xFFFD) unitFold_[from] = to;
        }
    }

    // Units are folded in the alignment of the first candidate, the view's.
    void FoldUtf16(uint8_t* bytes, size_t count, int64_t chunkStart) const {
        const int64_t parity = request_.from & 1;
        for (size_t i = ((chunkStart & 1) == parity) ? 0 : 1; i + 1 < count; i += 2) {
            const uint16_t folded = unitFold_[bytes[i] | (bytes[i + 1] << 8)];
            bytes[i] = static_cast<uint8_t>(folded & 0xFF);
            bytes[i + 1] = static_cast<uint8_t>(folded >> 8);
        }
    }

    // A character is folded only when its upper case takes as many bytes.
    void FoldUtf8(uint8_t* bytes, size_t count) const {
        for (size_t i = 0; i < count;) {
            uint64_t word = 0;
            if (i + 8 <= count) std::memcpy(&word, bytes + i, sizeof word);
            if (i + 8 <= count && (word & kHighBits) == 0) {
                word = UpperAsciiWord(word);
                std::memcpy(bytes + i, &word, sizeof word);
                i += 8;
                continue;
            }
            const uint8_t lead = bytes[i];
            size_t length = lead < 0x80                    ? 1
                            : lead >= 0xC2 && lead <= 0xDF ? 2
                            : lead >= 0xE0 && lead <= 0xEF ? 3
                                                           : 0;
            if (length == 0 || i + length > count) {
                ++i;
                continue;
            }
            char32_t code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : (lead & 0x0F);
            bool valid = true;
            for (size_t k = 1; k < length; ++k) {
                valid = valid && (bytes[i + k] & 0xC0) == 0x80;
                code = (code << 6) | (bytes[i + k] & 0x3F);
            }
            if (!valid) {
                ++i;
                continue;
            }
            if (length == 1) {
                bytes[i] = static_cast<uint8_t>(unitFold_[code]);
            } else {
                std::string folded;
                AppendUtf8(folded, unitFold_[code & 0xFFFF]);
                if (folded.size() == length) std::memcpy(bytes + i, folded.data(), length);
            }
            i += length;
        }
    }

    const SearchRequest& request_;
    std::string pattern_;
    std::array<uint8_t, 256> byteMap_{};
    bool identity_ = true;
    bool asciiUpper_ = true;    // the map upper-cases ASCII letters and keeps the rest of ASCII
    bool highIdentity_ = true;  // the map keeps every byte above ASCII
    std::vector<uint16_t> unitFold_;
};

// Reads up to count bytes from offset; the count read.
int64_t ReadAt(intptr_t handle, int64_t offset, uint8_t* buffer, int64_t count) {
    if (FsSeek(handle, offset, FS_SEEK_SET) != offset) return 0;
    int64_t done = 0;
    while (done < count) {
        const int32_t got = FsRead(handle, buffer + done, static_cast<uint32_t>(count - done));
        if (got <= 0) break;
        done += got;
    }
    return done;
}

}  // namespace

SearchResult SearchFile(intptr_t handle, const SearchRequest& request,
                        const SearchProgress& progress) {
    const Matcher matcher(request);
    const std::string& pattern = matcher.Pattern();
    const auto length = static_cast<int64_t>(pattern.size());
    const int64_t size = FsSeek(handle, 0, FS_SEEK_END);
    if (length == 0 || size < length) return {};
    const auto buffer = std::make_unique<uint8_t[]>(static_cast<size_t>(length + kChunkSize));

    if (!request.backward) {
        const int64_t first = std::max<int64_t>(request.from, 0);
        for (int64_t start = first; start + length <= size;) {
            const int64_t got = ReadAt(handle, start, buffer.get(), length + kChunkSize);
            if (got < length) break;
            matcher.Fold(buffer.get(), static_cast<size_t>(got), start);
            const void* hit =
                memmem(buffer.get(), static_cast<size_t>(got), pattern.data(), pattern.size());
            if (hit != nullptr) {
                return {SearchOutcome::kFound,
                        start + (static_cast<const uint8_t*>(hit) - buffer.get()), length};
            }
            if (got < length + kChunkSize) break;
            start += got - length + 1;
            if (progress && !progress(start - first, size - first))
                return {SearchOutcome::kCancelled, -1, 0};
        }
        return {};
    }

    const int64_t last = std::min(request.from, size);
    for (int64_t end = last; end >= length;) {
        const int64_t start = std::max<int64_t>(0, end - (length + kChunkSize));
        const int64_t got = ReadAt(handle, start, buffer.get(), end - start);
        matcher.Fold(buffer.get(), static_cast<size_t>(got), start);
        const uint8_t* found = nullptr;
        for (const uint8_t* from = buffer.get(); got >= length;) {
            const auto left = static_cast<size_t>(buffer.get() + got - from);
            const void* hit = memmem(from, left, pattern.data(), pattern.size());
            if (hit == nullptr) break;
            found = static_cast<const uint8_t*>(hit);
            from = found + 1;
        }
        if (found != nullptr)
            return {SearchOutcome::kFound, start + (found - buffer.get()), length};
        if (start == 0) break;
        end = start + length - 1;
        if (progress && !progress(last - end, last)) return {SearchOutcome::kCancelled, -1, 0};
    }
    return {};
}

}  // namespace kq::viewer
