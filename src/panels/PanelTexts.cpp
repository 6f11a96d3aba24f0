// Fitting a line of numbers and words to the panels' width.
#include "panels/PanelTexts.h"

#include <algorithm>
#include <cstddef>
#include <memory>
#include <vector>

namespace kq::panels {

std::string FitToWidth(std::string_view text, size_t width) {
    if (text.size() <= width) return std::string(text);
    struct Token {
        std::string_view text;
        bool number;
        bool labels;  // a word that follows a number: what the number counts
    };
    std::vector<Token> tokens;
    for (size_t i = text.find_first_not_of(' '); i != std::string_view::npos;) {
        const size_t end = std::min(text.find(' ', i), text.size());
        const std::string_view word = text.substr(i, end - i);
        const bool number = word.find_first_of("0123456789") != std::string_view::npos;
        tokens.push_back(Token{word, number, !number && !tokens.empty() && tokens.back().number});
        i = text.find_first_not_of(' ', end);
    }
    size_t wordLimit = std::string_view::npos;  // the longest a word may stay
    const auto joined = [&] {
        std::string line;
        for (const Token& token : tokens) {
            if (!line.empty()) line += ' ';
            line += token.number ? token.text : token.text.substr(0, wordLimit);
        }
        return line;
    };
    const auto dropLastWord = [&](bool labels) {
        for (size_t i = tokens.size(); i-- > 0;) {
            if (!tokens[i].number && tokens[i].labels == labels) {
                tokens.erase(tokens.begin() + static_cast<std::ptrdiff_t>(i));
                return true;
            }
        }
        return false;
    };
    std::string line = joined();
    while (line.size() > width && dropLastWord(false)) line = joined();
    size_t longest = 0;
    for (const Token& token : tokens) {
        if (!token.number) longest = std::max(longest, token.text.size());
    }
    for (wordLimit = longest; line.size() > width && wordLimit > 1;) {
        --wordLimit;
        line = joined();
    }
    while (line.size() > width && dropLastWord(true)) line = joined();
    line.resize(std::min(line.size(), width));
    return line;
}

}  // namespace kq::panels
