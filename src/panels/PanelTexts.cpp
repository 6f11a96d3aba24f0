// Language texts for the panels: loading by id and filling in the count formats.
#include "panels/PanelTexts.h"

#include <memory>

#include "kq/resources.h"

namespace kq::panels {

std::string LoadLanguageText(int id) {
    const KeHandle language = ResGetLanguage();
    if (language == 0) return {};
    const std::unique_ptr<char, decltype(&ResFreeString)> text(ResLoadString(language, id),
                                                               &ResFreeString);
    return text ? std::string(text.get()) : std::string();
}

std::string FormatCounts(std::string_view format, std::initializer_list<long long> numbers) {
    std::string result;
    result.reserve(format.size() + 16);
    const long long* next = numbers.begin();
    for (size_t i = 0; i < format.size(); ++i) {
        const char c = format[i];
        if (c == '%' && i + 1 < format.size()) {
            const char conversion = format[i + 1];
            if (conversion == '%') {
                result += '%';
                ++i;
                continue;
            }
            if (conversion == 'd' && next != numbers.end()) {
                result += std::to_string(*next++);
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

}  // namespace kq::panels
