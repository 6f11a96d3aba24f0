// Tests of the code-page services: which code pages are available, conversions between them and
// UTF-16 (round trips, characters a code page lacks, invalid input, the count rule), and
// upper-casing by a code page's rules.
#include <gtest/gtest.h>

#include <array>
#include <clocale>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "kq/text.h"
#include "ui/CodePages.h"

namespace {

using kq::ui::UpCaseInCodePage;

std::string Bytes(std::initializer_list<int> values) {
    std::string bytes;
    for (int value : values) bytes += static_cast<char>(value);
    return bytes;
}

// UTF-16 units to count bytes; empty when the conversion fails.
std::string ToCodePage(int codePage, const std::u16string& units) {
    std::string bytes(units.size(), '\x55');
    const int count = static_cast<int>(units.size());
    if (UUctoCp(codePage, reinterpret_cast<const uint16_t*>(units.data()), bytes.data(), count) !=
        0) {
        return {};
    }
    return bytes;
}

// count bytes to count UTF-16 units; empty when the conversion fails.
std::u16string FromCodePage(int codePage, const std::string& bytes) {
    std::u16string units(bytes.size(), u'\x5555');
    const int count = static_cast<int>(bytes.size());
    if (UCptoUc(codePage, bytes.data(), reinterpret_cast<uint16_t*>(units.data()), count) != 0) {
        return {};
    }
    return units;
}

std::string UpCased(int codePage, std::string text) {
    EXPECT_EQ(UpCaseInCodePage(codePage, text.data(), static_cast<int>(text.size())), 0);
    return text;
}

// --- availability ---

TEST(CodePageAvailabilityTest, KnownCodePagesAreAvailableBothWays) {
    for (int codePage : {437, 850, 866, 1251, 1252, 37, 1200, 1201, 20127, 28591, 65001}) {
        SCOPED_TRACE(codePage);
        EXPECT_EQ(UUctoCp(codePage, nullptr, nullptr, 0), 0);
        EXPECT_EQ(UCptoUc(codePage, nullptr, nullptr, 0), 0);
    }
}

TEST(CodePageAvailabilityTest, UnknownCodePagesAreRefusedByTestAndConversion) {
    const uint16_t unit = u'A';
    char byte = 0;
    for (int codePage : {12345, 0, -1, 1, 70000, 65536 + 437}) {
        SCOPED_TRACE(codePage);
        EXPECT_EQ(UUctoCp(codePage, nullptr, nullptr, 0), -1);
        EXPECT_EQ(UCptoUc(codePage, nullptr, nullptr, 0), -1);
        EXPECT_EQ(UUctoCp(codePage, &unit, &byte, 1), -1);
        EXPECT_EQ(UCptoUc(codePage, "A", const_cast<uint16_t*>(&unit), 1), -1);
    }
}

TEST(CodePageAvailabilityTest, BadBuffersAndCountsAreRefused) {
    const uint16_t unit = u'A';
    uint16_t unitOut = 0;
    char byte = 0;
    EXPECT_EQ(UUctoCp(437, nullptr, &byte, 1), -1);
    EXPECT_EQ(UUctoCp(437, &unit, nullptr, 1), -1);
    EXPECT_EQ(UUctoCp(437, &unit, &byte, -1), -1);
    EXPECT_EQ(UCptoUc(437, nullptr, &unitOut, 1), -1);
    EXPECT_EQ(UCptoUc(437, "A", nullptr, 1), -1);
    EXPECT_EQ(UCptoUc(437, "A", &unitOut, -1), -1);
}

// --- conversions ---

struct SingleByteCase {
    int codePage;
    int undefinedBytes;  // bytes the code page assigns no character
};

class SingleByteRoundTripTest : public testing::TestWithParam<SingleByteCase> {};

TEST_P(SingleByteRoundTripTest, EveryDefinedByteComesBackUnchanged) {
    const SingleByteCase& page = GetParam();
    std::string all(256, '\0');
    for (int i = 0; i < 256; ++i) all[i] = static_cast<char>(i);
    const std::u16string units = FromCodePage(page.codePage, all);
    ASSERT_EQ(units.size(), 256u);
    int undefined = 0;
    std::u16string defined;
    std::string definedBytes;
    for (int i = 0; i < 256; ++i) {
        if (units[i] == u'\xFFFD') {
            ++undefined;
        } else {
            defined += units[i];
            definedBytes += all[i];
        }
    }
    EXPECT_EQ(undefined, page.undefinedBytes);
    EXPECT_EQ(ToCodePage(page.codePage, defined), definedBytes);
}

INSTANTIATE_TEST_SUITE_P(CodePages, SingleByteRoundTripTest,
                         testing::Values(SingleByteCase{437, 0}, SingleByteCase{850, 0},
                                         SingleByteCase{866, 0}, SingleByteCase{1251, 1},
                                         SingleByteCase{1252, 5}),
                         [](const testing::TestParamInfo<SingleByteCase>& page) {
                             return "CP" + std::to_string(page.param.codePage);
                         });

struct ConversionCase {
    const char* name;
    int codePage;
    std::string bytes;
    std::u16string units;
};

// Both directions: bytes to units and units to bytes give each other.
TEST(CodePageConversionTest, KnownCharactersConvertBothWays) {
    const ConversionCase cases[] = {
        {"cp437 letters and box drawing", 437, Bytes({'a', 0x82, 0x9A, 0xB0, 0xC9, 0xE1}),
         u"a\u00E9\u00DC\u2591\u2554\u00DF"},
        {"cp866 cyrillic", 866, Bytes({0x80, 0xA0, 0xE0, 0xF1, 0xF0}),
         u"\u0410\u0430\u0440\u0451\u0401"},
        {"cp1251 cyrillic", 1251, Bytes({0xC0, 0xE0, 0xA8, 0xB8}), u"\u0410\u0430\u0401\u0451"},
        {"cp1252 euro and quotes", 1252, Bytes({0x80, 0x93, 0x94, 0xE9}),
         u"\u20AC\u201C\u201D\u00E9"},
        {"cp850 dotless i", 850, Bytes({0xD5, 0x90}), u"\u0131\u00C9"},
        {"ascii", 20127, "Hello", u"Hello"},
        {"utf-8 ascii", 65001, "Hello", u"Hello"},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromCodePage(c.codePage, c.bytes), c.units);
        EXPECT_EQ(ToCodePage(c.codePage, c.units), c.bytes);
    }
}

// Conversions are text, not screen glyphs: byte 0x01 is U+0001, not the smiley the console
// draws for it.
TEST(CodePageConversionTest, ControlBytesStayControlCharactersInCp437) {
    const std::string controls = Bytes({0x00, 0x01, 0x0A, 0x1B, 0x1F, 0x7F});
    const std::u16string units(u"\u0000\u0001\u000A\u001B\u001F\u007F", 6);
    EXPECT_EQ(FromCodePage(437, controls), units);
    EXPECT_EQ(ToCodePage(437, units), controls);
}

TEST(CodePageConversionTest, CharactersTheCodePageLacksBecomeQuestionMarks) {
    const ConversionCase cases[] = {
        {"euro and CJK in cp437", 437, "A??B", u"A\u20AC\u4E2DB"},
        {"latin in cp866", 866, Bytes({0xA0, '?'}), u"\u0430\u00E9"},
        {"cyrillic in cp1252", 1252, "x?", u"x\u0416"},
        {"non-ascii in ascii", 20127, "caf?", u"caf\u00E9"},
        // One '?' per unit: the bytes keep the positions of the units.
        {"surrogate pair in cp437", 437, "x??y", u"x\U0001F600y"},
        {"unpaired surrogates in cp1252", 1252, "?a?b",
         std::u16string{char16_t(0xD800), u'a', char16_t(0xDC00), u'b'}},
        {"high surrogate at the end", 1252, "a?", std::u16string{u'a', char16_t(0xD800)}},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToCodePage(c.codePage, c.units), c.bytes);
    }
}

TEST(CodePageConversionTest, BytesThatAreNoCharacterBecomeReplacementCharacters) {
    const ConversionCase cases[] = {
        {"undefined in cp1252", 1252, Bytes({'a', 0x81, 'b'}), u"a\uFFFDb"},
        {"invalid utf-8", 65001, Bytes({'a', 0xFF, 'b'}), u"a\uFFFDb"},
        {"utf-8 cut inside a character", 65001, Bytes({'a', 0xE2, 0x82}), u"a\uFFFD\uFFFD"},
        {"odd byte at the end of utf-16", 1200, Bytes({'a', 0, 'b'}),
         std::u16string(u"a\uFFFD\0", 3)},
        {"unpaired surrogate in utf-16", 1200, Bytes({0x00, 0xDC, 'a', 0}),
         std::u16string(u"\uFFFDa\0\0", 4)},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromCodePage(c.codePage, c.bytes), c.units);
    }
}

// A shorter result (a multi-byte source) is followed by zeros up to count.
TEST(CodePageConversionTest, MultiByteSourcesFillTheRestWithZeros) {
    const ConversionCase cases[] = {
        {"utf-8 pair", 65001, Bytes({'A', 0xF0, 0x9F, 0x98, 0x80, 'B'}),
         std::u16string(u"A\U0001F600B\0\0", 6)},
        {"utf-8 two-byte", 65001, Bytes({0xC3, 0xA9}), std::u16string(u"\u00E9\0", 2)},
        {"utf-16le", 1200, Bytes({'A', 0, 0xE9, 0, 0x3D, 0xD8, 0x00, 0xDE}),
         std::u16string(u"A\u00E9\U0001F600\0\0\0\0", 8)},
        {"utf-16be", 1201, Bytes({0, 'A', 0x04, 0x10}), std::u16string(u"A\u0410\0\0", 4)},
        {"shift-jis", 932, Bytes({0x82, 0xA0, 'x'}), std::u16string(u"\u3042x\0", 3)},
    };
    for (const ConversionCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FromCodePage(c.codePage, c.bytes), c.units);
    }
}

// count is also the destination's capacity: a result longer than count bytes fails rather than
// writing past it. A UTF-16 result never fits; UTF-8 fits for ASCII only.
TEST(CodePageConversionTest, ResultsLongerThanCountFail) {
    const std::u16string accented = u"\u00E9";
    char guard[4] = {'g', 'g', 'g', 'g'};
    EXPECT_EQ(UUctoCp(65001, reinterpret_cast<const uint16_t*>(accented.data()), guard, 1), -1);
    EXPECT_EQ(guard[1], 'g');
    for (int codePage : {1200, 1201, 12000}) {
        SCOPED_TRACE(codePage);
        EXPECT_EQ(ToCodePage(codePage, u"A"), "");
    }
    EXPECT_EQ(ToCodePage(65001, u"ABC"), "ABC");
}

// Each thread keeps its last converters; a kept one must never serve another code page.
TEST(CodePageConversionTest, AlternatingCodePagesOnOneThreadDoNotMix) {
    for (int round = 0; round < 3; ++round) {
        EXPECT_EQ(ToCodePage(866, u"\u0430"), Bytes({0xA0}));
        EXPECT_EQ(ToCodePage(1251, u"\u0430"), Bytes({0xE0}));
        EXPECT_EQ(FromCodePage(866, Bytes({0xE0})), u"\u0440");
        EXPECT_EQ(FromCodePage(1251, Bytes({0xE0})), u"\u0430");
    }
}

// A kept converter starts each conversion in its initial state.
TEST(CodePageConversionTest, FailedConversionLeavesNoShiftStateBehind) {
    // UTF-7 writes non-ASCII text in a base64 run; this one fails inside that run.
    EXPECT_EQ(ToCodePage(65000, u"\u00E9\u00E9\u00E9"), "");
    EXPECT_EQ(ToCodePage(65000, u"a"), "a");
}

TEST(CodePageConversionTest, ConcurrentConversionsInManyCodePagesAgree) {
    struct Expected {
        int codePage;
        std::u16string units;
        std::string bytes;
    };
    const Expected expected[] = {
        {437, u"\u00E9\u2591", Bytes({0x82, 0xB0})},
        {866, u"\u0430\u0401", Bytes({0xA0, 0xF0})},
        {1251, u"\u0430\u0401", Bytes({0xE0, 0xA8})},
        {1252, u"\u20AC\u00E9", Bytes({0x80, 0xE9})},
    };
    std::vector<std::thread> threads;
    std::array<int, 4> failures{};
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 400; ++i) {
                const Expected& e = expected[(t + static_cast<size_t>(i)) % std::size(expected)];
                if (ToCodePage(e.codePage, e.units) != e.bytes) ++failures[t];
                if (FromCodePage(e.codePage, e.bytes) != e.units) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int count : failures) EXPECT_EQ(count, 0);
}

// --- upper-casing ---

struct UpCaseCase {
    const char* name;
    std::string text;
    std::string upper;
};

TEST(UpCaseTest, Cp437LettersAndWhatStaysUnchanged) {
    const UpCaseCase cases[] = {
        {"ascii", "abc xyz 09 ABC", "ABC XYZ 09 ABC"},
        {"accented with capitals in cp437", Bytes({0x82, 0x81, 0xA4, 0x87, 0x84, 0x94, 0x91, 0x86}),
         Bytes({0x90, 0x9A, 0xA5, 0x80, 0x8E, 0x99, 0x92, 0x8F})},
        {"greek with capitals in cp437", Bytes({0xE5, 0xED}), Bytes({0xE4, 0xE8})},
        // sharp s has no one-letter capital; the capitals of these are not in cp437.
        {"no capital here", Bytes({0xE1, 0x85, 0xA0, 0x98, 0xE6, 0xE0}),
         Bytes({0xE1, 0x85, 0xA0, 0x98, 0xE6, 0xE0})},
        {"capitals, graphics and controls", Bytes({0x90, 0xB0, 0xDB, 0x00, 0x01, 0x7F}),
         Bytes({0x90, 0xB0, 0xDB, 0x00, 0x01, 0x7F})},
    };
    for (const UpCaseCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(UpCased(437, c.text), c.upper);
    }
}

TEST(UpCaseTest, OtherSingleByteCodePages) {
    struct PageCase {
        int codePage;
        UpCaseCase c;
    };
    const PageCase cases[] = {
        {866,
         {"cyrillic", Bytes({0xA0, 0xE0, 0xF1, 0xEF, 'z'}), Bytes({0x80, 0x90, 0xF0, 0x9F, 'Z'})}},
        {866, {"box drawing stays", Bytes({0xB0, 0xC9}), Bytes({0xB0, 0xC9})}},
        {1251, {"cyrillic", Bytes({0xE0, 0xB8, 0xFF}), Bytes({0xC0, 0xA8, 0xDF})}},
        {1252, {"y diaeresis and s caron", Bytes({0xFF, 0x9A, 0xE9}), Bytes({0x9F, 0x8A, 0xC9})}},
        {1252, {"sharp s and micro stay", Bytes({0xDF, 0xB5}), Bytes({0xDF, 0xB5})}},
        {850, {"dotless i becomes I", Bytes({0xD5, 0xA0}), Bytes({'I', 0xB5})}},
    };
    for (const PageCase& p : cases) {
        SCOPED_TRACE(std::to_string(p.codePage) + " " + p.c.name);
        EXPECT_EQ(UpCased(p.codePage, p.c.text), p.c.upper);
    }
}

TEST(UpCaseTest, MultiByteCodePagesKeepTheLengthOfEveryCharacter) {
    struct PageCase {
        int codePage;
        UpCaseCase c;
    };
    const PageCase cases[] = {
        {65001, {"utf-8 accented", "h\xC3\xA9llo", "H\xC3\x89LLO"}},
        // The capital I of dotless i takes one byte instead of two; sharp s has none.
        {65001, {"utf-8 dotless i and sharp s stay", "\xC4\xB1\xC3\x9F", "\xC4\xB1\xC3\x9F"}},
        {65001,
         {"invalid utf-8 stays", Bytes({'a', 0xFF, 'b', 0xC3}), Bytes({'A', 0xFF, 'B', 0xC3})}},
        {932, {"shift-jis full-width a", Bytes({0x82, 0x81, 'a'}), Bytes({0x82, 0x60, 'A'})}},
        {1200, {"utf-16le", Bytes({'a', 0, 0xE9, 0}), Bytes({'A', 0, 0xC9, 0})}},
    };
    for (const PageCase& p : cases) {
        SCOPED_TRACE(std::to_string(p.codePage) + " " + p.c.name);
        EXPECT_EQ(UpCased(p.codePage, p.c.text), p.c.upper);
    }
}

// In Shift-JIS the second byte of a double-byte character can be an ASCII letter's value.
TEST(UpCaseTest, TrailByteOfDoubleByteCharacterIsNotUpperCased) {
    EXPECT_EQ(UpCased(932, Bytes({0x8A, 0x61, 'b'})), Bytes({0x8A, 0x61, 'B'}));
}

// The test process runs in the "C" locale, whose towupper knows ASCII only; a code page not
// upper-cased before in this process builds its table here.
TEST(UpCaseTest, ProcessLocaleDoesNotLimitUpperCasing) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(UpCased(1250, Bytes({0xE9, 0x9A})), Bytes({0xC9, 0x8A}));
}

TEST(UpCaseTest, ConcurrentFirstUseOfACodePageBuildsOneCorrectTable) {
    std::vector<std::thread> threads;
    std::array<std::string, 4> results;
    for (size_t t = 0; t < results.size(); ++t) {
        threads.emplace_back([&results, t] {
            std::string text = Bytes({0xA0, 0xE1, 'q'});  // Cyrillic a, es and q in cp1125
            UpCaseInCodePage(1125, text.data(), static_cast<int>(text.size()));
            results[t] = text;
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(result, Bytes({0x80, 0x91, 'Q'}));
}

TEST(UpCaseTest, BadArgumentsAndUnknownCodePagesFail) {
    char text[] = "abc";
    EXPECT_EQ(UpCaseInCodePage(437, nullptr, 3), -1);
    EXPECT_EQ(UpCaseInCodePage(437, text, -1), -1);
    EXPECT_EQ(UpCaseInCodePage(12345, text, 3), -1);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(UpCaseInCodePage(437, text, 0), 0);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(UUpCase(nullptr, 1), -1);
    EXPECT_EQ(UUpCase(text, -1), -1);
}

TEST(UpCaseTest, UUpCaseUsesTheConsoleCodePage) {
    if (UGetConCp() != 437) GTEST_SKIP() << "KQ_CODEPAGE chose another console code page";
    std::string text = Bytes({'a', 0x82, 0x81, 0xA4, 0xE1});
    ASSERT_EQ(UUpCase(text.data(), static_cast<int>(text.size())), 0);
    EXPECT_EQ(text, Bytes({'A', 0x90, 0x9A, 0xA5, 0xE1}));
}

TEST(ConsoleCodePageTest, IsTheCodePageOfTheConsoleGlyphs) {
    if (std::getenv("KQ_CODEPAGE") == nullptr) {
        EXPECT_EQ(UGetConCp(), 437);
    }
    EXPECT_EQ(UUctoCp(UGetConCp(), nullptr, nullptr, 0), 0);
}

}  // namespace
