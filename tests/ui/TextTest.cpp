// Code pages, upper-casing by a code page's rules and the clipboard.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <clocale>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "kq/text.h"
#include "ui/Clipboard.h"
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
    const auto* source = reinterpret_cast<const uint16_t*>(units.data());
    if (UUctoCp(codePage, source, bytes.data(), static_cast<int>(units.size())) != 0) return {};
    return bytes;
}

// count bytes to count UTF-16 units; empty when the conversion fails.
std::u16string FromCodePage(int codePage, const std::string& bytes) {
    std::u16string units(bytes.size(), u'\x5555');
    auto* target = reinterpret_cast<uint16_t*>(units.data());
    if (UCptoUc(codePage, bytes.data(), target, static_cast<int>(bytes.size())) != 0) return {};
    return units;
}

std::string UpCased(int codePage, std::string text) {
    EXPECT_EQ(UpCaseInCodePage(codePage, text.data(), static_cast<int>(text.size())), 0);
    return text;
}

struct ConversionCase {
    int codePage;
    std::string bytes;
    std::u16string units;
};

// One '?' per unit: the bytes keep the positions of the units.
TEST(CodePageTest, CharactersTheCodePageLacksBecomeOneQuestionMarkPerUnit) {
    const ConversionCase cases[] = {
        {437, "A??B", u"A\u20AC\u4E2DB"},
        {437, "x??y", u"x\U0001F600y"},
        {1252, "?a?b", std::u16string{char16_t(0xD800), u'a', char16_t(0xDC00), u'b'}},
        {1252, "a?", std::u16string{u'a', char16_t(0xD800)}},
    };
    for (const ConversionCase& c : cases) EXPECT_EQ(ToCodePage(c.codePage, c.units), c.bytes);
}

// Bytes that are no character become U+FFFD; a shorter result (a multi-byte source) is followed
// by zeros up to count.
TEST(CodePageTest, NoCharacterBecomesFffdShortResultsFillWithZerosAndLongOnesFail) {
    const ConversionCase cases[] = {
        {1252, Bytes({'a', 0x81, 'b'}), u"a\uFFFDb"},
        {1200, Bytes({0x00, 0xDC, 'a', 0}), std::u16string(u"\uFFFDa\0\0", 4)},
        {65001, Bytes({'A', 0xF0, 0x9F, 0x98, 0x80, 'B'}), std::u16string(u"A\U0001F600B\0\0", 6)},
        {932, Bytes({0x82, 0xA0, 'x'}), std::u16string(u"\u3042x\0", 3)},
    };
    for (const ConversionCase& c : cases) EXPECT_EQ(FromCodePage(c.codePage, c.bytes), c.units);
    // count is also the destination's capacity: a longer result fails rather than writing past
    // it. A UTF-16 result never fits; UTF-8 fits for ASCII only.
    const std::u16string accented = u"\u00E9";
    char guard[4] = {'g', 'g', 'g', 'g'};
    EXPECT_EQ(UUctoCp(65001, reinterpret_cast<const uint16_t*>(accented.data()), guard, 1), -1);
    EXPECT_EQ(guard[1], 'g');
}

TEST(CodePageTest, ConcurrentConversionsInManyCodePagesAgree) {
    const ConversionCase expected[] = {{437, Bytes({0x82, 0xB0}), u"\u00E9\u2591"},
                                       {866, Bytes({0xA0, 0xF0}), u"\u0430\u0401"},
                                       {1251, Bytes({0xE0, 0xA8}), u"\u0430\u0401"},
                                       {1252, Bytes({0x80, 0xE9}), u"\u20AC\u00E9"}};
    std::vector<std::thread> threads;
    std::array<int, 4> failures{};
    for (size_t t = 0; t < failures.size(); ++t) {
        threads.emplace_back([&, t] {
            for (size_t i = 0; i < 400; ++i) {
                const ConversionCase& e = expected[(t + i) % std::size(expected)];
                if (ToCodePage(e.codePage, e.units) != e.bytes) ++failures[t];
                if (FromCodePage(e.codePage, e.bytes) != e.units) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, (std::array<int, 4>{}));
}

// Letters without a capital in the code page (sharp s, the capitals cp437 lacks), graphics and
// controls stay; multi-byte code pages keep the length of every character; the trail byte of a
// Shift-JIS character is never taken for a letter.
TEST(UpCaseTest, ByTheRulesOfEachCodePage) {
    const struct {
        int codePage;
        std::string text, upper;
    } cases[] = {
        {437, Bytes({0x82, 0x81, 0xA4, 0x87, 0x84, 0x94, 0x91, 0x86, 0xE5, 0xED}),
         Bytes({0x90, 0x9A, 0xA5, 0x80, 0x8E, 0x99, 0x92, 0x8F, 0xE4, 0xE8})},
        {1252, Bytes({0xFF, 0x9A, 0xE9, 0xDF, 0xB5}), Bytes({0x9F, 0x8A, 0xC9, 0xDF, 0xB5})},
        {932, Bytes({0x82, 0x81, 'a', 0x8A, 0x61, 'b'}), Bytes({0x82, 0x60, 'A', 0x8A, 0x61, 'B'})},
        {1200, Bytes({'a', 0, 0xE9, 0}), Bytes({'A', 0, 0xC9, 0})},
    };
    for (const auto& c : cases) EXPECT_EQ(UpCased(c.codePage, c.text), c.upper) << c.codePage;
}

// The test process runs in the "C" locale, whose towupper knows ASCII only; a code page not
// upper-cased before in this process builds its table here, once even when threads race.
TEST(UpCaseTest, TablesIgnoreTheProcessLocaleAndAreBuiltOnceUnderRaces) {
    ASSERT_NE(std::setlocale(LC_ALL, "C"), nullptr);
    EXPECT_EQ(UpCased(1250, Bytes({0xE9, 0x9A})), Bytes({0xC9, 0x8A}));
    std::vector<std::thread> threads;
    std::array<std::string, 4> results;
    for (std::string& result : results) {
        threads.emplace_back([&result] {
            result = Bytes({0xA0, 0xE1, 'q'});  // Cyrillic a, es and q in cp1125
            UpCaseInCodePage(1125, result.data(), static_cast<int>(result.size()));
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (const std::string& result : results) EXPECT_EQ(result, Bytes({0x80, 0x91, 'Q'}));
}

// ---------------------------------------------------------------------------------------------
// The clipboard.

class ClipboardTest : public testing::Test {
  protected:
    void SetUp() override { kq::ui::ClearClipboardForTesting(); }
    void TearDown() override { kq::ui::ClearClipboardForTesting(); }

    // ClipBrdGet into a buffer of size bytes pre-filled with '#', and its result.
    static std::pair<std::string, int> Get(int size) {
        std::string buffer(static_cast<size_t>(size), '#');
        const int result = ClipBrdGet(buffer.data(), size);
        return {buffer, result};
    }
};

TEST_F(ClipboardTest, GetCopiesAtMostTheBufferSizeAndReportsTheFullSize) {
    EXPECT_EQ(Get(8), std::make_pair(std::string("########"), -1));  // nothing put yet
    ASSERT_EQ(ClipBrdPut("a longer text", 13), 0);
    ASSERT_EQ(ClipBrdPut("hello", 5), 0);  // replaces the whole text
    EXPECT_EQ(ClipBrdGet(nullptr, 100), 6);
    const std::pair<int, std::string> cases[] = {
        {0, ""}, {3, "hel"}, {6, std::string("hello\0", 6)}, {8, std::string("hello\0##", 8)}};
    for (const auto& [size, buffer] : cases) EXPECT_EQ(Get(size), std::make_pair(buffer, 6));
}

// A reader sees one writer's text or the other's, whole: size and bytes always belong together.
TEST_F(ClipboardTest, ConcurrentPutsAndGetsNeverTearAText) {
    const std::string shortText(10, 'A');
    const std::string longText(300, 'B');
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (const std::string* text : {&shortText, &longText}) {
        writers.emplace_back([text, &stop] {
            while (!stop) ClipBrdPut(text->data(), static_cast<int>(text->size()));
        });
    }
    int torn = 0;
    std::string buffer(512, '\0');
    for (int i = 0; i < 20000; ++i) {
        const int size = ClipBrdGet(buffer.data(), static_cast<int>(buffer.size()));
        if (size == -1) continue;  // no writer has put yet
        const std::string& expected = size == 11 ? shortText : longText;
        if ((size != 11 && size != 301) || buffer.compare(0, size - 1, expected) != 0 ||
            buffer[size - 1] != '\0') {
            ++torn;
        }
    }
    stop = true;
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(torn, 0);
}
}  // namespace
