// FormatNumber: counts the cells the number needs, shortens it unit by unit, then writes it
// from the right.
#include "ui/FormatNumber.h"

#include <array>
#include <cstddef>

namespace kq::ui {
namespace {

constexpr std::array<char, 3> kUnits = {'k', 'M', 'G'};

int DigitCount(uint64_t value) {
    int digits = 1;
    while (value >= 10) {
        value /= 10;
        ++digits;
    }
    return digits;
}

int CommaCount(int digits, bool thousands) {
    return thousands ? (digits - 1) / 3 : 0;
}

}  // namespace

int FormatNumber(char* buffer, int width, uint64_t value, uint32_t flags) {
    if (buffer == nullptr || width < 2) return -1;
    const bool thousands = (flags & kFormatThousands) != 0;
    int digits = DigitCount(value);
    int cells = digits + CommaCount(digits, thousands);
    int unit = -1;  // index into kUnits; -1 while the number is written in full
    while (cells > width) {
        if (unit + 1 == static_cast<int>(kUnits.size())) return -1;
        if (unit < 0) ++cells;  // the place of the unit letter
        ++unit;
        value /= 1000;
        digits -= 3;
        cells -= 3;
        if (thousands) --cells;
    }
    // What is actually written: a value divided down to nothing still shows one digit, so the
    // count above can fall one short (only ever for two-cell widths, where "0k" still fits).
    digits = DigitCount(value);
    const int length = digits + CommaCount(digits, thousands) + (unit >= 0 ? 1 : 0);
    if (length > width) return -1;

    const bool rightAlign = (flags & kFormatRightAlign) != 0;
    const int start = rightAlign ? width - length : 0;
    for (int i = 0; i < start; ++i) buffer[i] = ' ';
    int position = start + length - 1;
    if (unit >= 0) buffer[position--] = kUnits[static_cast<size_t>(unit)];
    int written = 0;
    do {
        if (thousands && written > 0 && written % 3 == 0) buffer[position--] = ',';
        buffer[position--] = static_cast<char>('0' + value % 10);
        value /= 10;
        ++written;
    } while (value != 0);
    return 0;
}

}  // namespace kq::ui
