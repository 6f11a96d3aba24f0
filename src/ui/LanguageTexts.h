// Language texts as owned strings, and formats filled in without printf, so that a translator's
// format can never read arguments that are not there.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace kq::ui {

// String id of the current language, empty when the module lacks it (or none is set).
std::string LoadLanguageText(int id);

// The format with each "%d" replaced by the next number ("%%" gives "%"); any other
// conversion is copied as it stands, and a "%d" beyond the numbers given stays as written.
std::string FormatCounts(std::string_view format, std::initializer_list<long long> numbers);
// The same with "%s" and texts.
std::string FormatTexts(std::string_view format, std::initializer_list<std::string_view> texts);

}  // namespace kq::ui
