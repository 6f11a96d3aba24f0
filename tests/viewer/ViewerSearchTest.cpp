// The viewer's search over files in each encoding, both ways, across chunk edges.
#include "ViewerTestSupport.h"
#include "viewer/ViewerSearch.h"

namespace kq::viewer::testing {
namespace {

struct SearchCase {
    const char* name;
    std::string content;
    int codePage;
    std::string text;  // console code page 437
    bool caseSensitive;
    bool backward;
    int64_t from;
    int64_t expected;  // -1: not found
};

TEST(ViewerSearchTest, FindsTextInEachEncodingBothWays) {
    const std::string chunkEdge = std::string(256 * 1024 - 2, 'x') + "needle";
    const SearchCase cases[] = {
        {"any case", "abcABCabc", 437, "ABC", false, false, 1, 3},
        {"case", "abcABCabc", 437, "abc", true, false, 1, 6},
        {"overlapping", "aaaa", 437, "aa", true, false, 1, 1},
        {"from the top only", "abc top", 437, "abc", true, false, 1, -1},
        {"backward", "xx abc yy abc", 437, "abc", true, true, 13, 10},
        {"backward ends before from", "xx abc yy abc", 437, "abc", true, true, 12, 3},
        {"empty text", "abc", 437, "", true, false, 0, -1},
        {"utf-16", std::string("h\0e\0l\0l\0o\0", 10), 0, "LL", false, false, 0, 4},
        {"utf-16 backward", std::string("a\0b\0a\0b\0", 8), 0, "ab", true, true, 8, 4},
        {"utf-16 beyond latin", std::string("a\0x\0\xC3\x03", 6), 0, "X\xE4", false, false, 0, 2},
        {"utf-8 letters beyond ascii",
         "x gr\xC3\x9C\xC3\x9F"
         "e",
         65001, "gr\x81", false, false, 0, 2},
        {"letters beyond ascii amid ascii",
         std::string(20, 'x') + "\x81"
                                "ber ALLES",
         437,
         "\x9A"
         "BEr",
         false, false, 0, 20},
        {"8-bit file in another code page",
         "f\xFC"
         "r",
         1252, "F\x9A", false, false, 0, 0},
        {"across the chunk edge", chunkEdge, 437, "needle", true, false, 0, 256 * 1024 - 2},
        {"backward across the chunk edge", "needle" + chunkEdge, 437, "needle", true, true,
         static_cast<int64_t>(chunkEdge.size()), 0},
    };
    for (const SearchCase& c : cases) {
        OpenedText opened(c.content, c.codePage);
        SearchRequest request{c.text, c.caseSensitive, c.backward, c.codePage, 437, c.from};
        const SearchResult result = SearchFile(opened.file.Handle(), request, nullptr);
        EXPECT_EQ(result.outcome == SearchOutcome::kFound ? result.start : -1, c.expected)
            << c.name;
    }
}

}  // namespace
}  // namespace kq::viewer::testing
