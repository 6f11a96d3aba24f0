// Decoding, row layout and row movements of the viewer.
#include "viewer/ViewerText.h"

#include <algorithm>
#include <vector>

#include "kq/text.h"

namespace kq::viewer {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(int byte) {
    return byte >= 0x80 && byte <= 0xBF;
}

}  // namespace

std::array<char32_t, 256> ByteCharacters(int codePage) {
    std::array<char32_t, 256> table{};
    for (int byte = 0; byte < 256; ++byte) {
        const char in = static_cast<char>(byte);
        uint16_t unit = 0;
        table[byte] = UCptoUc(codePage, &in, &unit, 1) == 0 ? unit : kReplacement;
    }
    return table;
}

void ViewerText::SetCodePage(int codePage) {
    codePage_ = codePage;
    breakByte_.fill(false);
    if (codePage == kUtf16CodePage) {
        encoding_ = Encoding::kUtf16;
        return;
    }
    if (codePage == kUtf8CodePage) {
        encoding_ = Encoding::kUtf8;
        breakByte_['\r'] = breakByte_['\n'] = true;
        return;
    }
    encoding_ = Encoding::kSingleByte;
    byteTable_ = ByteCharacters(codePage);
    for (int byte = 0; byte < 256; ++byte) {
        breakByte_[byte] = byteTable_[byte] == U'\r' || byteTable_[byte] == U'\n';
    }
}

TextCharacter ViewerText::Utf16At(int64_t offset) {
    const int low = file_.ByteAt(offset);
    if (low < 0) return {};
    const int high = file_.ByteAt(offset + 1);
    // The odd last byte of a file has no partner: it reads as one replacement character.
    if (high < 0) return {kReplacement, 1};
    const char32_t unit = static_cast<char32_t>(low | (high << 8));
    if (unit < 0xD800 || unit > 0xDFFF) return {unit, 2};
    if (unit <= 0xDBFF) {
        const int nextLow = file_.ByteAt(offset + 2);
        const int nextHigh = nextLow >= 0 ? file_.ByteAt(offset + 3) : -1;
        const char32_t next = nextHigh >= 0 ? static_cast<char32_t>(nextLow | (nextHigh << 8)) : 0;
        if (next >= 0xDC00 && next <= 0xDFFF) {
            return {0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00), 4};
        }
    }
    return {kReplacement, 2};
}

TextCharacter ViewerText::Utf8At(int64_t offset) {
    const int lead = file_.ByteAt(offset);
    if (lead < 0) return {};
    if (lead < 0x80) return {static_cast<char32_t>(lead), 1};
    int length = 0;
    char32_t code = 0;
    int low = 0x80;   // the range of the second byte, narrowed against overlong forms and
    int high = 0xBF;  // surrogates
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        code = static_cast<char32_t>(lead & 0x1F);
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        code = static_cast<char32_t>(lead & 0x0F);
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        code = static_cast<char32_t>(lead & 0x07);
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return {kReplacement, 1};
    }
    for (int i = 1; i < length; ++i) {
        const int byte = file_.ByteAt(offset + i);
        if (!IsContinuation(byte) || (i == 1 && (byte < low || byte > high))) {
            return {kReplacement, 1};
        }
        code = (code << 6) | static_cast<char32_t>(byte & 0x3F);
    }
    return {code, length};
}

TextCharacter ViewerText::At(int64_t offset) {
    switch (encoding_) {
        case Encoding::kUtf16:
            return Utf16At(offset);
        case Encoding::kUtf8:
            return Utf8At(offset);
        case Encoding::kSingleByte:
            break;
    }
    const int byte = file_.ByteAt(offset);
    if (byte < 0) return {};
    return {byteTable_[byte], 1};
}

int ViewerText::BreakAt(int64_t offset) {
    if (encoding_ == Encoding::kUtf16) {
        const TextCharacter character = Utf16At(offset);
        if (character.length == 0) return -1;
        return character.code == U'\r' || character.code == U'\n' ? static_cast<int>(character.code)
                                                                  : 0;
    }
    const int byte = file_.ByteAt(offset);
    if (byte < 0) return -1;
    if (!breakByte_[byte]) return 0;
    return encoding_ == Encoding::kUtf8 ? byte : static_cast<int>(byteTable_[byte]);
}

int64_t ViewerText::FindLineEnd(int64_t from, int64_t limit) {
    int64_t offset = from;
    if (encoding_ == Encoding::kUtf16) {
        for (int found = BreakAt(offset); found == 0 && offset < limit; found = BreakAt(offset)) {
            offset += 2;
        }
        return offset;
    }
    while (offset < limit) {
        int64_t count = 0;
        const uint8_t* bytes = file_.BytesFrom(offset, &count);
        if (count == 0) return offset;
        count = std::min(count, limit - offset);
        const uint8_t* end = bytes + count;
        const uint8_t* hit =
            std::find_if(bytes, end, [this](uint8_t byte) { return breakByte_[byte]; });
        offset += hit - bytes;
        if (hit != end) return offset;
    }
    return offset;
}

int64_t ViewerText::BoundaryFrom(int64_t breakOffset, int64_t parityOf) {
    if (encoding_ == Encoding::kUtf16) return breakOffset + ((parityOf - breakOffset) & 1);
    if (encoding_ != Encoding::kUtf8) return breakOffset;
    int64_t offset = breakOffset;
    for (int skipped = 0; skipped < 3 && IsContinuation(file_.ByteAt(offset)); ++skipped) ++offset;
    return offset;
}

int64_t ViewerText::LayoutRow(int64_t start, ViewMode mode, int width, int64_t horizontal,
                              RowSink* sink) {
    width = std::max(width, 1);
    const bool wrap = mode == ViewMode::kWrap;
    int64_t column = 0;  // text columns from the start of the line
    int64_t offset = start;
    const int64_t forcedBreak = (start / kLongestLine + 1) * kLongestLine;
    for (;;) {
        if (offset >= forcedBreak) return offset;
        const TextCharacter character = At(offset);
        if (character.length == 0) return -1;
        if (character.code == U'\n') return offset + character.length;
        if (character.code == U'\r') {
            const int64_t next = offset + character.length;
            const TextCharacter after = At(next);
            return after.length != 0 && after.code == U'\n' ? next + after.length : next;
        }
        if (wrap) {
            if (column >= width) return offset;
            if (character.code == U'\t') {
                column = (column / 8 + 1) * 8;
            } else {
                if (sink != nullptr) sink->Place(static_cast<int>(column), character.code, offset);
                ++column;
            }
        } else {
            const int64_t cell = column - horizontal;
            if (cell >= width) {
                // The rest of the line would land past the right edge: mark it, skip it.
                if (sink != nullptr) sink->Marker(width - 1, kMoreRight);
                offset = FindLineEnd(offset, forcedBreak);
                continue;
            }
            if (character.code == U'\t') {
                column = (column / 8 + 1) * 8;
            } else {
                if (cell >= 0 && sink != nullptr) {
                    sink->Place(static_cast<int>(cell), character.code, offset);
                }
                ++column;
                if (horizontal != 0 && column > horizontal && sink != nullptr) {
                    sink->Marker(0, kMoreLeft);
                }
            }
        }
        offset += character.length;
    }
}

int64_t ViewerText::RowsDown(int64_t top, int64_t count, ViewMode mode, int width) {
    const int64_t size = file_.Size();
    if (mode == ViewMode::kHex) {
        const int64_t moved = top + 16 * count;
        return moved > size ? top : moved;
    }
    int64_t offset = top;
    for (int64_t row = 0; row < count; ++row) {
        const int64_t next = LayoutRow(offset, mode, width, 0, nullptr);
        if (next < 0 || next >= size) return top;
        offset = next;
    }
    return offset;
}

int64_t ViewerText::LineStartBefore(int64_t offset) {
    const int64_t unit = UnitSize();
    int64_t at = offset - unit;
    if (at < 0) return 0;
    // The line end just before offset belongs to the line it ends.
    const int last = BreakAt(at);
    if (last == '\n') {
        at -= unit;
        if (at >= 0 && BreakAt(at) == '\r') at -= unit;
    } else if (last == '\r') {
        at -= unit;
    }
    if (at < 0) return 0;
    // No further back than the forced break the line may have started at.
    const int64_t floor = at / kLongestLine * kLongestLine;
    for (int64_t scan = at; scan >= floor; scan -= unit) {
        if (BreakAt(scan) > 0) return scan + unit;
    }
    return floor == 0 ? 0 : std::min(BoundaryFrom(floor, offset), at);
}

int64_t ViewerText::RowsUp(int64_t top, int64_t count, ViewMode mode, int width) {
    if (mode == ViewMode::kHex) return std::max<int64_t>(0, top - 16 * count);
    if (top <= 0 || count <= 0) return top;
    // Line by line backwards: the row starts of each line that lie before end, keeping only
    // the last `needed` of a long line.
    int64_t needed = count;
    int64_t end = top;
    std::vector<int64_t> ring;
    for (;;) {
        const int64_t lineStart = LineStartBefore(end);
        ring.assign(static_cast<size_t>(std::min<int64_t>(needed, 4096)), 0);
        int64_t rows = 0;
        for (int64_t row = lineStart; row >= 0 && row < end;) {
            ring[static_cast<size_t>(rows % static_cast<int64_t>(ring.size()))] = row;
            ++rows;
            const int64_t next = LayoutRow(row, mode, width, 0, nullptr);
            if (next <= row) break;
            row = next;
        }
        if (rows >= needed) {
            if (needed > static_cast<int64_t>(ring.size())) {
                // A move of more than the ring holds within one line: walk it again.
                int64_t row = lineStart;
                for (int64_t step = 0; step < rows - needed; ++step) {
                    row = LayoutRow(row, mode, width, 0, nullptr);
                }
                return row;
            }
            return ring[static_cast<size_t>((rows - needed) % static_cast<int64_t>(ring.size()))];
        }
        needed -= rows;
        if (lineStart <= 0) return 0;
        end = lineStart;
    }
}

bool LooksLikeUtf8(ViewerFile& file) {
    ViewerText text(file);
    text.SetCodePage(kUtf8CodePage);
    const int64_t end = std::min(file.Size(), kBlockSize);
    bool beyondAscii = false;
    for (int64_t offset = 0; offset < end;) {
        const TextCharacter character = text.At(offset);
        if (character.length == 0) break;
        if (character.code == 0xFFFD && character.length == 1) {
            // Only a sequence that the end of the block cuts short may stay unfinished.
            return end < file.Size() && end - offset < 4 && beyondAscii;
        }
        beyondAscii = beyondAscii || character.length > 1;
        offset += character.length;
    }
    return beyondAscii;
}

}  // namespace kq::viewer
