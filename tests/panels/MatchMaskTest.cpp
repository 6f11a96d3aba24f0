// The mask matcher: wildcards, letter case, the length rule and the one remembered star.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "panels/MatchMask.h"

namespace kq::panels {
namespace {

struct MaskCase {
    const char* name;
    const char* mask;
    bool matches;
};

class MatchMaskTest : public ::testing::Test {
  protected:
    void SetUp() override { setenv("KQ_CODEPAGE", "437", 1); }

    static void Check(const MaskCase* cases, size_t count) {
        for (size_t i = 0; i < count; ++i) {
            EXPECT_EQ(MatchMask(cases[i].name, cases[i].mask), cases[i].matches)
                << "name \"" << cases[i].name << "\" mask \"" << cases[i].mask << "\"";
        }
    }
};

TEST_F(MatchMaskTest, StarsQuestionMarksAndLiterals) {
    const MaskCase cases[] = {
        {"abc", "*.*", false},  // no dot in the name
        {"a.b", "*.*", true},   {"readme.txt", "*.*", true},
        {"abc", "*", true},     {"x", "*", true},
        {".hidden", "*", true}, {"abc", "A?C", true},
        {"abcd", "A?C", false}, {"ab", "A?C", false},
        {"abc", "abc", true},   {"abd", "abc", false},
        {"abc", "???", true},   {"abc", "????", false},
        {"a", "a*", true},  // the trailing star takes nothing
        {"ab", "*b", true},     {"ab", "*a", false},
        {"abc", "*x", false},  // the character after the star does not occur
        {"abc", "a*c", true},   {"abc", "*b*", true},
    };
    Check(cases, std::size(cases));
}

TEST_F(MatchMaskTest, LetterCaseIsIgnoredOnBothSides) {
    const MaskCase cases[] = {
        {"README.TXT", "*.txt", true},
        {"readme.txt", "*.TXT", true},
        {"MiXeD", "mixed", true},
        {"abc", "A?c", true},
    };
    Check(cases, std::size(cases));
}

TEST_F(MatchMaskTest, EmptyTextsAndMasksMuchLongerThanTheNameNeverMatch) {
    const MaskCase cases[] = {
        {"", "*", false},    {"", "", false},
        {"abc", "", false},  {"a", "abc", false},  // longer by two
        {"a", "a**", false},  // longer by two, though the stars could take nothing
        {"ab", "ab*", true},  // longer by one
        {"a", "???", false},
    };
    Check(cases, std::size(cases));
}

TEST_F(MatchMaskTest, TheStarBacktracksToLaterOccurrences) {
    const MaskCase cases[] = {
        // The first "." is not the one the rest needs.
        {"a.b.txt", "*.txt", true},
        {"archive.tar.gz", "*.gz", true},
        {"archive.tar.gz", "*.tar", false},
        // The mask ends before the name: the star takes more.
        {"banana", "*a", true},
        {"banana", "*an", false},
        {"aab", "*a?", true},
        {"aab", "*a??", true},
        {"aab", "*b??", false},
        // A later star replaces the earlier one.
        {"aXbYbZc", "a*b*c", true},
        {"abcbd", "*b?", true},
        {"mississippi", "*ss*pi", true},
        {"mississippi", "*ss*px", false},
        // "?" after a star takes any one character.
        {"abc", "*?c", true},
        // A run of stars is one star.
        {"abc", "a**c", true},
    };
    Check(cases, std::size(cases));
}

}  // namespace
}  // namespace kq::panels
