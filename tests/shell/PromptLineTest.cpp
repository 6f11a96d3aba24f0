// The command line's drawing behind the prompt directory, and the Prompt* functions.
#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

class PromptLineTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Start(80, 25);
    }
    std::string Line() { return console->RowText(24); }
};

TEST_F(PromptLineTest, DirectoryThenPromptThenTextWithTheCursorAfterIt) {
    EXPECT_STREQ(PromptGetDir(), work_.c_str());  // the active panel's; the title follows
    EXPECT_NE(console->Title().find(work_), std::string::npos);
    PromptSetDir("C:\\WORK");
    Type("dir");
    EXPECT_EQ(Line().substr(0, 12), "C:\\WORK>dir ");
    EXPECT_EQ(console->Cursor().x, 11);
    EXPECT_EQ(console->Cursor().y, 24);
    EXPECT_EQ(PromptGetCursor(), 3);
    EXPECT_STREQ(PromptGetLine(), "dir");
    EXPECT_STREQ(PromptGetDir(), "C:\\WORK");
    EXPECT_EQ(console->Cursor().size, 10);  // the cursor's height follows overwrite mode
    Press({Key(KC_INS)});
    EXPECT_EQ(console->Cursor().size, 100);
    Press({Key(KC_INS)});
    EXPECT_EQ(console->Cursor().size, 10);
    PromptSetDir(nullptr);
    EXPECT_STREQ(PromptGetDir(), "");
    EXPECT_EQ(Line().substr(0, 1), ">");
}

// Directories of half the line or more show their first three characters, "... " and their
// end; beyond the shell's 512-byte buffer, the end of what it keeps.
TEST_F(PromptLineTest, LongDirectoriesShowTheirStartAndTheirEnd) {
    for (const size_t length : {40, 50, 600}) {
        std::string directory = "/ab";
        for (int i = 0; directory.size() < length; ++i) directory += static_cast<char>('a' + i % 26);
        PromptSetDir(directory.c_str());
        const size_t kept = std::min<size_t>(length, 511);
        EXPECT_EQ(Line().substr(0, 41), "/ab... " + directory.substr(kept - 33, 33) + ">") << length;
    }
}

TEST_F(PromptLineTest, NarrowLinesCutTheShortenedDirectoryAtThePromptSign) {
    PromptSetDir("/a/very/long/directory");
    for (const auto& [width, shown] : {std::pair{8, "    >   "}, {9, "/a/.>    "}, {14, "/a/... >      "}}) {
        Shell().SetPos(ZRec(0, 24, 0, 0), ZRec(0, 0, width, 1));
        Shell().Redraw();
        EXPECT_EQ(console->Text(0, 24, width), shown);
    }
}

TEST_F(PromptLineTest, LongTextScrollsSoThatTheCursorStaysOnTheLine) {
    PromptSetDir("/work");
    std::string text;
    for (int i = 0; i < 100; ++i) text += static_cast<char>('a' + i % 26);
    PromptSetLine(text.c_str());
    PromptSetCursor(100);
    // scroll = 100 - 80 + 5 + 2 = 27: the text from index 27 follows the prompt.
    EXPECT_EQ(Line().substr(0, 79), "/work>" + text.substr(27, 73));
    EXPECT_EQ(console->Cursor().x, 79);
    // Home scrolls back to the start; with the panels shown the active panel takes Home.
    Press({Ctrl('o'), Key(KC_HOME)});
    EXPECT_EQ(Line().substr(6, 10), text.substr(0, 10));
    EXPECT_EQ(console->Cursor().x, 6);
}

TEST_F(PromptLineTest, SelectionIsHighlightedOnlyOverTheTextAndSetLineClearsIt) {
    PromptSetDir("/w");
    PromptSetLine("abcdef");
    Shell().SetSelection(1, 3);
    const uint8_t* palette = ColGetPalette();
    for (const auto& [x, colour] : {std::pair{2, 19}, {3, 19}, {4, 20}, {6, 20}, {7, 19}}) {
        EXPECT_EQ(console->Attr(x, 24), palette[colour]) << x;
    }
    PromptSetLine(nullptr);
    int start = 0;
    Shell().GetSelection(&start, nullptr);
    EXPECT_EQ(start, -1);
    EXPECT_STREQ(PromptGetLine(), "");
    PromptSetLine("abc");
    PromptSetCursor(10);  // beyond the text: back to the start
    EXPECT_EQ(PromptGetCursor(), 0);
}

}  // namespace
}  // namespace kq::shell::testing
