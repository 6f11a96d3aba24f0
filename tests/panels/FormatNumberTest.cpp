// FormatNumber: widths, unit steps, separators, alignment, and the values that do not fit.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "panels/FormatNumber.h"

namespace kq::panels {
namespace {

struct FormatCase {
    const char* name;
    uint64_t value;
    int width;
    uint32_t flags;
    int result;
    // The buffer afterwards; it starts as 12 '#' characters, which show what was not written.
    const char* expected;
};

constexpr uint32_t kBoth = kFormatThousands | kFormatRightAlign;

TEST(PanelFormatNumberTest, WritesTheNumberShortenedToTheWidth) {
    const FormatCase cases[] = {
        {"billions with separators shorten to M", 1234567890, 9, kBoth, 0, "   1,234M###"},
        {"nine digits with separators shorten to k", 999999999, 9, kBoth, 0, " 999,999k###"},
        {"fits as it is, right-aligned", 123456789, 9, kFormatRightAlign, 0, "123456789###"},
        {"zero right-aligned", 0, 9, kFormatRightAlign, 0, "        0###"},
        {"ten digits without separators: k", 1234567890, 9, kFormatRightAlign, 0, " 1234567k###"},
        {"left-aligned leaves the rest of the width alone", 12345, 5, kFormatThousands, 0,
         "12k#########"},
        {"separators exactly filling the width", 1234, 5, kFormatThousands, 0, "1,234#######"},
        {"two-cell width", 1000, 2, kFormatThousands, 0, "1k##########"},
        {"separators every three digits", 1234567, 12, kBoth, 0, "   1,234,567"},
        {"G is the last unit", 123456789012ull, 5, kFormatRightAlign, 0, " 123G#######"},
        {"too large even in G: nothing written", UINT64_MAX, 5, 0, -1, "############"},
        {"too large even in G with separators", 1234567890123ull, 4, kFormatThousands, -1,
         "############"},
        {"width 1 writes nothing", 5, 1, kBoth, -1, "############"},
        {"width 0 writes nothing", 5, 0, kBoth, -1, "############"},
        {"negative width writes nothing", 5, -3, kBoth, -1, "############"},
    };
    for (const FormatCase& test : cases) {
        SCOPED_TRACE(test.name);
        std::string buffer(12, '#');
        EXPECT_EQ(FormatNumber(buffer.data(), test.width, test.value, test.flags), test.result);
        EXPECT_EQ(buffer, test.expected);
    }
}

TEST(PanelFormatNumberTest, NullBufferIsRefused) {
    EXPECT_EQ(FormatNumber(nullptr, 9, 1, kBoth), -1);
}

}  // namespace
}  // namespace kq::panels
