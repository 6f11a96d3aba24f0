// Texts as the panels use them: the toolkit's language texts and formats, and a line fitted to
// a width.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

#include "ui/LanguageTexts.h"

namespace kq::panels {

// The language texts and formats of the toolkit, by the names the panels have always used.
using kq::ui::FormatCounts;
using kq::ui::FormatTexts;
using kq::ui::LoadLanguageText;

// A line of numbers and words ("1,234 bytes in 3 dirs and 5 files") made to fit width: its
// words give way before its numbers. Words that do not follow a number go first (from the
// end), then the others are shortened alike, then they go too; only then is the line cut.
// Runs of blanks become one blank once anything is changed.
std::string FitToWidth(std::string_view text, size_t width);

}  // namespace kq::panels
