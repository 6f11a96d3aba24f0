// The viewer's reading of a file as text: characters in an 8-bit code page, UTF-16LE or UTF-8,
// laid out in display rows with or without wrapping, and the row movements built on that one
// layout, so that moving N rows lands exactly where drawing would start the Nth row.
#pragma once

#include <array>
#include <cstdint>

#include "viewer/ViewerFile.h"

namespace kq::viewer {

enum class ViewMode : int { kNoWrap = 0, kWrap = 1, kHex = 2 };

// File code pages beside the 8-bit ones.
inline constexpr int kUtf16CodePage = 0;
inline constexpr int kUtf8CodePage = 65001;

// One character of the file: its Unicode value and the bytes it takes; a length of 0 means
// there is none (the end of the data).
struct TextCharacter {
    char32_t code = 0;
    int length = 0;
};

// The Unicode value of each byte of an 8-bit code page; U+FFFD for bytes it does not convert.
std::array<char32_t, 256> ByteCharacters(int codePage);

// Receives the cells of one display row as the layout fills them.
class RowSink {
  public:
    virtual void Place(int cell, char32_t code, int64_t offset) = 0;
    virtual void Marker(int cell, char32_t code) = 0;

  protected:
    ~RowSink() = default;
};

// A line breaks at every multiple of this many bytes from the start of the file as well as at
// its line ends, so that no row, movement or drawing has to read more than this far for one
// line (a disk image of zeros would otherwise be one line of gigabytes).
inline constexpr int64_t kLongestLine = 1 << 20;

// The continuation markers of NoWrap rows.
inline constexpr char32_t kMoreRight = 16;
inline constexpr char32_t kMoreLeft = 17;

class ViewerText {
  public:
    explicit ViewerText(ViewerFile& file) : file_(file) {}

    // 0 reads UTF-16LE, 65001 UTF-8, any other number an 8-bit code page, whose bytes that it
    // does not convert read as U+FFFD.
    void SetCodePage(int codePage);
    int CodePage() const { return codePage_; }
    // Bytes per step of the backward scans: 2 in UTF-16, else 1.
    int64_t UnitSize() const { return encoding_ == Encoding::kUtf16 ? 2 : 1; }
    bool IsUtf16() const { return encoding_ == Encoding::kUtf16; }
    bool IsUtf8() const { return encoding_ == Encoding::kUtf8; }
    ViewerFile& File() { return file_; }

    TextCharacter At(int64_t offset);
    // The Unicode value of one byte of an 8-bit file.
    char32_t ByteCharacter(uint8_t byte) const { return byteTable_[byte]; }

    // Lays out the display row that starts at start, giving its cells to sink (null: only
    // measure). NoWrap rows are whole lines, cut at width after horizontal columns scrolled
    // off; Wrap rows continue long lines. Returns where the next row starts, or -1 when the
    // data end inside this row.
    int64_t LayoutRow(int64_t start, ViewMode mode, int width, int64_t horizontal, RowSink* sink);
    // The top after moving count display rows down: unchanged when the data end first or the
    // new top would lie at or past the end of the file. Hex rows are 16 bytes.
    int64_t RowsDown(int64_t top, int64_t count, ViewMode mode, int width);
    // The top after moving count display rows up; 0 when fewer rows lie above.
    int64_t RowsUp(int64_t top, int64_t count, ViewMode mode, int width);
    // The start of the line that holds the character just before offset (0 at the start).
    int64_t LineStartBefore(int64_t offset);

  private:
    enum class Encoding { kSingleByte, kUtf16, kUtf8 };
    // '\r', '\n', 0 for any other unit, -1 past the data.
    int BreakAt(int64_t offset);
    // The first CR or LF unit at or after from and below limit; limit when there is none
    // there, the end of the data when that comes first.
    int64_t FindLineEnd(int64_t from, int64_t limit);
    // The first character boundary at or after a forced break.
    int64_t BoundaryFrom(int64_t breakOffset, int64_t parityOf);
    TextCharacter Utf8At(int64_t offset);
    TextCharacter Utf16At(int64_t offset);

    ViewerFile& file_;
    int codePage_ = 0;
    Encoding encoding_ = Encoding::kUtf16;
    std::array<char32_t, 256> byteTable_{};
    std::array<bool, 256> breakByte_{};
};

// Whether the file's first block is UTF-8 holding more than ASCII (a sequence cut by the end
// of the block counts as valid).
bool LooksLikeUtf8(ViewerFile& file);

}  // namespace kq::viewer
