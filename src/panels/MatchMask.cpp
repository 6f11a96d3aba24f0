// The mask matcher: one remembered star, moved on to the next occurrence of the character
// behind it whenever the rest of the mask fails.
#include "panels/MatchMask.h"

#include <string>

#include "kq/text.h"

namespace kq::panels {

namespace {

std::string UpperCased(std::string_view text) {
    std::string upper(text);
    UUpCase(upper.data(), static_cast<int>(upper.size()));
    return upper;
}

}  // namespace

bool MatchMask(std::string_view name, std::string_view mask) {
    if (name.empty() || mask.empty() || mask.size() >= name.size() + 2) return false;
    const std::string text = UpperCased(name);
    const std::string pattern = UpperCased(mask);
    const size_t textEnd = text.size();
    const size_t patternEnd = pattern.size();

    size_t t = 0;  // next name character
    size_t p = 0;  // next mask character
    // The remembered star: where the mask goes on behind it (the star and the character after
    // it), and where the search for that character's next occurrence resumes in the name.
    bool haveStar = false;
    size_t starResume = 0;
    size_t starMask = 0;

    // Finds the next occurrence of the character after the star from the name's position from;
    // "?" there takes any character. Goes on behind both; false when there is none.
    const auto skipToNext = [&](size_t from) {
        const char wanted = pattern[starMask - 1];
        for (size_t i = from; i < textEnd; ++i) {
            if (wanted == '?' || text[i] == wanted) {
                t = i + 1;
                p = starMask;
                starResume = i + 1;
                return true;
            }
        }
        return false;
    };

    while (true) {
        if (p == patternEnd) {
            if (t == textEnd) return true;
            // The mask ended before the name: the last star takes more of the name.
            if (!haveStar || !skipToNext(starResume)) return false;
            continue;
        }
        const char m = pattern[p];
        if (m == '*') {
            // A run of stars is one star.
            while (p < patternEnd && pattern[p] == '*') ++p;
            if (p == patternEnd) return true;  // a trailing star takes the rest
            haveStar = true;
            starMask = p + 1;
            if (!skipToNext(t)) return false;
            continue;
        }
        if (t < textEnd && (m == '?' || m == text[t])) {
            ++t;
            ++p;
            continue;
        }
        // A failed character (or the end of the name): back to the star, if there is one.
        if (!haveStar || !skipToNext(starResume)) return false;
    }
}

}  // namespace kq::panels
