// The in-memory copy of the whole screen that ConWrite updates: one character (console code
// page) and one attribute per cell, row-major. Backends present it to the real device.
#pragma once

#include <cstdint>
#include <vector>

namespace kq::console {

class ScreenMirror {
  public:
    ScreenMirror() = default;
    ScreenMirror(int cols, int rows);

    int Cols() const { return cols_; }
    int Rows() const { return rows_; }
    uint8_t Char(int x, int y) const { return chars_[Index(x, y)]; }
    uint8_t Attr(int x, int y) const { return attrs_[Index(x, y)]; }
    const uint8_t* RowChars(int y) const { return &chars_[Index(0, y)]; }
    const uint8_t* RowAttrs(int y) const { return &attrs_[Index(0, y)]; }

    // Writes count interleaved (character, attribute) cells from column x of row y on,
    // continuing onto the following rows; a run longer than the rest of the screen is cut at
    // the last cell. Returns the number of cells written.
    int Write(int x, int y, const uint8_t* cells, int count);
    // Fills the mirror from interleaved cells covering the whole screen.
    void Load(const std::vector<uint8_t>& cells);
    // Every cell as interleaved (character, attribute) pairs.
    std::vector<uint8_t> Cells() const;

  private:
    int Index(int x, int y) const { return y * cols_ + x; }

    int cols_ = 0;
    int rows_ = 0;
    std::vector<uint8_t> chars_;
    std::vector<uint8_t> attrs_;
};

}  // namespace kq::console
