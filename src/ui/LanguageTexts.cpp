// Language texts by id and the formats filled in with them.
#include "ui/LanguageTexts.h"

#include <memory>

#include "kq/resources.h"

namespace kq::ui {

std::string LoadLanguageText(int id) {
    const KeHandle language = ResGetLanguage();
    if (language == 0) return {};
    const std::unique_ptr<char, decltype(&ResFreeString)> text(ResLoadString(language, id),
                                                               &ResFreeString);
    return text ? std::string(text.get()) : std::string();
}

namespace {

// The format with each conversion of the given letter replaced by the next value, "%%" by "%";
// other conversions, and those beyond the values given, stay as written.
template <typename Value, typename Append>
std::string Fill(std::string_view format, char letter, std::initializer_list<Value> values,
                 Append append) {
    std::string result;
    result.reserve(format.size() + 16);
    const Value* next = values.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            const char conversion = format[i + 1];
            if (conversion == '%') {
                result += '%';
                ++i;
                continue;
            }
            if (conversion == letter && next != values.end()) {
                append(result, *next++);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

}  // namespace

std::string FormatCounts(std::string_view format, std::initializer_list<long long> numbers) {
    return Fill(format, 'd', numbers,
                [](std::string& out, long long number) { out += std::to_string(number); });
}

std::string FormatTexts(std::string_view format, std::initializer_list<std::string_view> texts) {
    return Fill(format, 's', texts, [](std::string& out, std::string_view text) { out += text; });
}

}  // namespace kq::ui
