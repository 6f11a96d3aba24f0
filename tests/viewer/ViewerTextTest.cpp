// The viewer's reading, layout, drawing and movements on small files, without a window.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "ViewerTestSupport.h"

namespace kq::viewer::testing {
namespace {

using Rows = std::vector<std::string>;

struct RenderCase {
    const char* name;
    std::string content;
    int codePage;
    ViewMode mode;
    int64_t top;
    int64_t horizontal;
    int width;
    Rows expected;
};

TEST(ViewerRenderTest, FilesInEachModeAndEncoding) {
    // a CR LF, U+1F600 (a pair), b, a high surrogate alone, c
    const std::string utf16 = std::string(
        "a\0\r\0\n\0\x3D\xD8\x00\xDE"
        "b\0\x3D\xD8"
        "c\0",
        16);
    const RenderCase cases[] = {
        {"line ends",
         "crlf\r\nlf\ncr\rlfcr\n\rend",
         437,
         ViewMode::kNoWrap,
         0,
         0,
         20,
         {"crlf", "lf", "cr", "lfcr", "", "end"}},
        {"tab", "a\tb\n\tc", 437, ViewMode::kNoWrap, 0, 0, 20, {"a       b", "        c"}},
        {"long line", "0123456789abc\nxy", 437, ViewMode::kNoWrap, 0, 0, 8, {"0123456>", "xy"}},
        {"scrolled", "0123456789abc\nxy\n", 437, ViewMode::kNoWrap, 0, 8, 8, {"<9abc"}},
        {"wrap",
         "0123456789abc\n\txy",
         437,
         ViewMode::kWrap,
         0,
         0,
         5,
         {"01234", "56789", "abc", "", "xy"}},
        {"wrap tab at edge", "abc\td", 437, ViewMode::kWrap, 0, 0, 6, {"abc", "d"}},
        {"utf-16 with a pair", utf16, 0, ViewMode::kNoWrap, 0, 0, 10, {"a", "?b?c"}},
        {"utf-16 odd size", std::string("h\0i", 3), 0, ViewMode::kNoWrap, 0, 0, 10, {"h?"}},
        {"utf-8",
         "gr\xC3\xBC\xC3\x9F"
         "e\xEF\xBC\x81\xF0\x9F\x98\x80\n\xFF\xC3",  // a full-width '!' and an emoji: a cell each
         65001,
         ViewMode::kNoWrap,
         0,
         0,
         10,
         {"gr??e??", "??"}},
        {"controls drawn, not obeyed",
         "\x1B]52;c;QQ==\x07\x9B"
         "1m",
         28591,
         ViewMode::kNoWrap,
         0,
         0,
         30,
         {"?]52;c;QQ==??1m"}},
        {"hex",
         "0123456789abcdef\r\nxyz",
         437,
         ViewMode::kHex,
         5,
         0,
         80,
         {"00000000  30 31 32 33 | 34 35 36 37 | 38 39 61 62 | 63 64 65 66 0123456789abcdef",
          "00000010  0D 0A 78 79 | 7A                                      ??xyz"}},
        {"hex utf-16",
         std::string("A\0B\0C", 5),
         0,
         ViewMode::kHex,
         0,
         0,
         80,
         {"00000000  0041  0042  | 43                                      AB?"}},
        {"hex cut at width", "0123", 437, ViewMode::kHex, 0, 0, 12, {"00000000  30"}},
    };
    for (const RenderCase& c : cases) {
        OpenedText opened(c.content, c.codePage);
        ViewerView view;
        view.mode = c.mode;
        view.top = c.top;
        view.horizontal = c.horizontal;
        EXPECT_EQ(Render(opened, view, c.width, 8), c.expected) << c.name;
    }
}

TEST(ViewerRenderTest, StatusLineFieldsStayInTheirRow) {
    ViewerView view;
    view.top = 50;
    EXPECT_EQ(StatusLine("/tmp/x", 80, view, 437, 100),
              "View: /tmp/x                               Mode: NoWrap Col:0    CP437  51%     ");
    view.mode = ViewMode::kHex;
    EXPECT_EQ(StatusLine(std::string(60, 'p') + "/tail", 60, view, 0, 0),
              "View: ...ppppppppp/tailMode: Hex    Col:0    UniCode 0%     ");
    for (int width : {0, 1, 9, 30, 45}) {
        EXPECT_EQ(StatusLine("/a/long/path/name", width, view, 65001, 10).size(),
                  static_cast<size_t>(width));
    }
}

TEST(ViewerMoveTest, MovesMatchTheLayout) {
    OpenedText opened("one\r\ntwo\nthree\rfour 4567890123\n", 437);
    ViewerText& text = opened.text;
    // NoWrap: the last line end gives no empty row to move to; up from the middle of a line.
    EXPECT_EQ(text.RowsDown(0, 3, ViewMode::kNoWrap, 10), 15);
    EXPECT_EQ(text.RowsDown(15, 1, ViewMode::kNoWrap, 10), 15);
    EXPECT_EQ(text.RowsUp(15, 2, ViewMode::kNoWrap, 10), 5);
    EXPECT_EQ(text.RowsUp(7, 1, ViewMode::kNoWrap, 10), 5);
    EXPECT_EQ(text.RowsUp(9, 9, ViewMode::kNoWrap, 10), 0);
    // Wrap: one move of N rows lands where N moves of one row land, both ways.
    int64_t stepped = 0;
    for (int i = 0; i < 4; ++i) stepped = text.RowsDown(stepped, 1, ViewMode::kWrap, 6);
    EXPECT_EQ(stepped, text.RowsDown(0, 4, ViewMode::kWrap, 6));
    EXPECT_EQ(stepped, 21);
    EXPECT_EQ(text.RowsUp(stepped, 1, ViewMode::kWrap, 6), 15);
    EXPECT_EQ(text.RowsUp(stepped, 4, ViewMode::kWrap, 6), 0);
    EXPECT_EQ(text.RowsUp(stepped, 40, ViewMode::kWrap, 6), 0);
    // Hex: 16 bytes a row, never past the end.
    EXPECT_EQ(text.RowsDown(0, 1, ViewMode::kHex, 80), 16);
    EXPECT_EQ(text.RowsDown(0, 2, ViewMode::kHex, 80), 0);
    EXPECT_EQ(text.RowsUp(20, 2, ViewMode::kHex, 80), 0);
}

// A line of gigabytes (a disk image of zeros) must not be read whole for one row: lines also
// break every kLongestLine bytes, the same way down and up.
TEST(ViewerMoveTest, LinesBreakAtTheLongestLineBothWays) {
    OpenedText opened(std::string(kLongestLine + 5, 'a') + "\nb\n", 437);
    ViewerView view;
    EXPECT_EQ(Render(opened, view, 8, 6), (Rows{"aaaaaaa>", "aaaaa", "b"}));
    const int64_t lastLine = opened.text.RowsDown(0, 2, ViewMode::kNoWrap, 8);
    EXPECT_EQ(lastLine, kLongestLine + 6);
    EXPECT_EQ(opened.text.RowsUp(lastLine, 1, ViewMode::kNoWrap, 8), kLongestLine);
    EXPECT_EQ(opened.text.RowsUp(lastLine, 2, ViewMode::kWrap, 8), kLongestLine - 8);
}

// A unit whose bytes lie in two blocks reads the same whichever block was loaded last.
TEST(ViewerFileTest, Utf16UnitAcrossTheBlockEdgeReadsTheSameFromEitherBlock) {
    std::string content(kBlockSize + 2, 'x');
    content[kBlockSize - 1] = 'A';
    content[kBlockSize] = '\0';
    OpenedText opened(content, kUtf16CodePage);
    EXPECT_EQ(opened.file.ByteAt(kBlockSize + 1), 'x');  // the second block is loaded
    EXPECT_EQ(opened.text.At(kBlockSize - 1).code, U'A');
    EXPECT_EQ(opened.file.ByteAt(0), 'x');  // the first block is loaded
    EXPECT_EQ(opened.text.At(kBlockSize - 1).code, U'A');
    EXPECT_EQ(opened.text.At(kBlockSize + 1).length, 1);  // the odd last byte
}

// A file cut short while shown: nothing of the old block shows past the new end; grown again,
// the new bytes show and the end moves.
TEST(ViewerFileTest, ShrinkingAndGrowingFileShowsOnlyWhatItHolds) {
    OpenedText opened("line one\nline two\nline three\n", 437);
    ViewerView view;
    EXPECT_EQ(Render(opened, view, 20, 6), (Rows{"line one", "line two", "line three"}));
    std::filesystem::resize_file(opened.path, 12);
    EXPECT_EQ(Render(opened, view, 20, 6), (Rows{"line one", "lin"}));
    EXPECT_EQ(opened.file.ByteAt(20), -1);
    const int fd = ::open(opened.path.c_str(), O_WRONLY | O_APPEND);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "e 2\nmore\n", 9), 9);
    ::close(fd);
    EXPECT_EQ(Render(opened, view, 20, 6), (Rows{"line one", "line 2", "more"}));
    EXPECT_EQ(opened.text.RowsUp(opened.file.Size(), 1, ViewMode::kNoWrap, 20), 16);
}

TEST(ViewerFileTest, Utf8IsGuessedOnlyForValidTextBeyondAscii) {
    const std::string cut(kBlockSize - 1, 'a');
    for (const auto& [content, expected] : {std::pair{std::string("gr\xC3\xBC\xC3\x9F"
                                                                  "e"),
                                                      true},
                                            {std::string("plain ascii"), false},
                                            {std::string("latin \xFC"), false},
                                            {cut + "\xC3\xBC" + "b", true}}) {
        OpenedText opened(content, 437);
        EXPECT_EQ(LooksLikeUtf8(opened.file), expected) << content.substr(0, 12);
    }
}

}  // namespace
}  // namespace kq::viewer::testing
