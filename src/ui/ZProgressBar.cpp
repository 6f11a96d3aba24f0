// The progress bar: drawing and the percentage.
#include "ui/ZProgressBar.h"

#include <cstdint>
#include <string>
#include <vector>

#include "kq/text.h"

namespace {

// Palette entries.
constexpr int kEmptyColour = 27;
constexpr int kFilledColour = 28;

}  // namespace

int ZProgressBar::Draw() {
    if (Chars().empty()) return 0;
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kEmptyColour]);
    const int width = Width();
    const int height = Height();
    std::vector<uint8_t>& attrs = Attrs();
    for (int y = 0; y < height; ++y) {
        PutText(0, y, "[", palette[kEmptyColour]);
        PutText(width - 1, y, "]", palette[kEmptyColour]);
        // A column is filled once the share of the width up to it is reached.
        for (int column = 1; column <= width - 2; ++column) {
            if (100 * column / width <= percent_) {
                attrs[static_cast<size_t>(y * width + column)] = palette[kFilledColour];
            }
        }
    }
    if (width >= 6) {
        const std::string number = std::to_string(percent_) + "%";
        std::vector<uint8_t>& chars = Chars();
        const int row = height / 2;
        for (int i = 0, column = width / 2; i < static_cast<int>(number.size()) && column < width;
             ++i, ++column) {
            chars[static_cast<size_t>(row * width + column)] =
                static_cast<uint8_t>(number[static_cast<size_t>(i)]);
        }
    }
    return 0;
}

int ZProgressBar::SetProgress(int percent) {
    percent_ = percent >= 0 && percent <= 100 ? percent : 0;
    Redraw();
    return percent_;
}
