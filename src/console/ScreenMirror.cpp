// The screen mirror: clipping of cell runs and bulk loads.
#include "console/ScreenMirror.h"

#include <algorithm>

namespace kq::console {

ScreenMirror::ScreenMirror(int cols, int rows)
    : cols_(std::max(cols, 0)),
      rows_(std::max(rows, 0)),
      chars_(static_cast<size_t>(cols_) * static_cast<size_t>(rows_), 0),
      attrs_(chars_.size(), 0) {}

int ScreenMirror::Write(int x, int y, const uint8_t* cells, int count) {
    if (cells == nullptr || count <= 0 || x < 0 || y < 0 || x >= cols_ || y >= rows_) return 0;
    const int start = Index(x, y);
    const int available = cols_ * rows_ - start;
    const int written = std::min(count, available);
    for (int i = 0; i < written; ++i) {
        chars_[static_cast<size_t>(start + i)] = cells[2 * i];
        attrs_[static_cast<size_t>(start + i)] = cells[2 * i + 1];
    }
    return written;
}

void ScreenMirror::Load(const std::vector<uint8_t>& cells) {
    const size_t count = std::min(chars_.size(), cells.size() / 2);
    for (size_t i = 0; i < count; ++i) {
        chars_[i] = cells[2 * i];
        attrs_[i] = cells[2 * i + 1];
    }
}

std::vector<uint8_t> ScreenMirror::Cells() const {
    std::vector<uint8_t> cells(chars_.size() * 2);
    for (size_t i = 0; i < chars_.size(); ++i) {
        cells[2 * i] = chars_[i];
        cells[2 * i + 1] = attrs_[i];
    }
    return cells;
}

}  // namespace kq::console
