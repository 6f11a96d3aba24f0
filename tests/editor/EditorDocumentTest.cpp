// Changes to the edited text: each operation on a small text against the lines and endings it
// must leave, and the cursor it must return.
#include <gtest/gtest.h>

#include <functional>

#include "editor/EditorDocument.h"

namespace kq::editor {
namespace {

// Lines written as one string: "|" ends a line with LF, "#" with CR LF; the last has none.
EditorDocument Document(std::string_view lines) {
    std::vector<EditorLine> parsed(1);
    for (const char c : lines) {
        if (c == '|' || c == '#') {
            parsed.back().ending = c == '|' ? LineEnding::kLf : LineEnding::kCrLf;
            parsed.emplace_back();
        } else {
            parsed.back().text += c;
        }
    }
    EditorDocument document;
    document.Reset(std::move(parsed), LineEnding::kCrLf);
    return document;
}

std::string Lines(const EditorDocument& document) {
    std::string out;
    for (const EditorLine& line : document.Lines()) {
        out += line.text;
        if (line.ending != LineEnding::kNone) out += line.ending == LineEnding::kLf ? '|' : '#';
    }
    return out;
}

struct EditCase {
    const char* name;
    const char* before;
    std::function<TextPosition(EditorDocument&)> edit;
    const char* after;
    TextPosition cursor;
};

TEST(EditorDocumentTest, EditsLeaveTheLinesTheirEndingsAndTheCursor) {
    const EditCase cases[] = {
        {"paste: CR, LF and CR LF split once each",
         "ab|",
         [](EditorDocument& d) {
             return d.Insert({0, 1}, "x\ry\nz\r\nw");
         },
         "ax#y#z#wb|",
         {3, 1}},
        {"paste ending in a line break",
         "ab",
         [](EditorDocument& d) {
             return d.Insert({0, 2}, "c\r\n");
         },
         "abc#",
         {1, 0}},
        {"split keeps the line's own ending for the new line",
         "ab|cd",
         [](EditorDocument& d) {
             return d.Split({0, 1});
         },
         "a#b|cd",
         {1, 0}},
        {"backspace at a line start joins, taking that line's ending",
         "ab#cd|",
         [](EditorDocument& d) {
             return d.Backspace({1, 0});
         },
         "abcd|",
         {0, 2}},
        {"backspace at the very start does nothing",
         "ab",
         [](EditorDocument& d) {
             return d.Backspace({0, 0});
         },
         "ab",
         {0, 0}},
        {"delete at the end of the last line does nothing",
         "ab",
         [](EditorDocument& d) {
             return d.DeleteForward({0, 2});
         },
         "ab",
         {0, 2}},
        {"erase over lines",
         "abc|def#ghi",
         [](EditorDocument& d) {
             return d.Erase({0, 1}, {2, 2});
         },
         "ai",
         {0, 1}},
        {"delete at a line's end joins the next",
         "ab|cd",
         [](EditorDocument& d) {
             return d.DeleteForward({0, 2});
         },
         "abcd",
         {0, 2}},
        {"overwrite replaces, then appends at the end",
         "ab",
         [](EditorDocument& d) {
             return d.Type(d.Type({0, 1}, 'X', true), 'Y', true);
         },
         "aXY",
         {0, 3}},
    };
    for (const EditCase& c : cases) {
        EditorDocument document = Document(c.before);
        const TextPosition cursor = c.edit(document);
        EXPECT_EQ(Lines(document), c.after) << c.name;
        EXPECT_EQ(cursor, c.cursor) << c.name;
    }
}

TEST(EditorDocumentTest, CopyJoinsLinesWithLfAndBlocksNeverStayEmpty) {
    EditorDocument document = Document("abc#def#ghi");
    EXPECT_EQ(document.Copy({2, 1}, {0, 1}), "bc\ndef\ng");
    document.MarkBlock({1, 2}, {0, 1});
    EXPECT_EQ(document.BlockStart(), (TextPosition{0, 1}));
    EXPECT_TRUE(document.InBlock({1, 1}) && !document.InBlock({1, 2}));
    document.MarkBlock({1, 1}, {1, 1});
    EXPECT_FALSE(document.HasBlock());
}

// Words are ASCII letters and digits and every byte from 128 on.
TEST(EditorDocumentTest, WordMovesStopAtWordEdges) {
    const std::string_view text =
        "ab, cd\xE9"
        "f  g";
    EXPECT_EQ(WordRight(text, 0), 2);
    EXPECT_EQ(WordRight(text, 2), 8);
    EXPECT_EQ(WordLeft(text, 8), 4);
    EXPECT_EQ(WordLeft(text, 4), 0);
    EXPECT_EQ(WordLeft(text, 11), 10);
    EXPECT_EQ(WordRight("ab  ", 2), 4);
}

}  // namespace
}  // namespace kq::editor
