// Language texts as the panels use them: a string of the current language module as an owned
// std::string, and formats filled in without printf, so that a translator's
// format can never read arguments that are not there.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kq::panels {

// String id of the current language, empty when the module lacks it (or none is set).
std::string LoadLanguageText(int id);

// The format with each "%d" replaced by the next number ("%%" gives "%"); any other
// conversion is copied as it stands, and a "%d" beyond the numbers given stays as written.
std::string FormatCounts(std::string_view format, std::initializer_list<long long> numbers);
// The same with "%s" and texts.
std::string FormatTexts(std::string_view format, std::initializer_list<std::string_view> texts);

// A line of numbers and words ("1,234 bytes in 3 dirs and 5 files") made to fit width: its
// words give way before its numbers. Words that do not follow a number go first (from the
// end), then the others are shortened alike, then they go too; only then is the line cut.
// Runs of blanks become one blank once anything is changed.
std::string FitToWidth(std::string_view text, size_t width);

}  // namespace kq::panels
