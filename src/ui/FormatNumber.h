// The number format of the panels' size column, selection and information lines and the copy
// speed: a byte count shortened with "k", "M" or "G" until it fits a width.
#pragma once

#include <cstdint>

namespace kq::ui {

// Flags of FormatNumber.
inline constexpr uint32_t kFormatThousands = 1;   // a comma between groups of three digits
inline constexpr uint32_t kFormatRightAlign = 2;  // blanks before the number fill the width

// Writes value into the first width cells of buffer, dividing it by 1000 and adding a unit
// letter ("k", then "M", then "G") while it is too wide. The text is not terminated: callers
// clear the buffer first. 0 when written; -1 when the width is below 2 or the value does not
// fit even in units of "G" (the buffer is then untouched).
int FormatNumber(char* buffer, int width, uint64_t value, uint32_t flags);

}  // namespace kq::ui
