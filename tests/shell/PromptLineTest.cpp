// The command line's drawing behind the prompt directory, and the Prompt* functions.
#include "shell/ShellTestSupport.h"
#include "ui/OverwriteMode.h"

namespace kq::shell::testing {
namespace {

class PromptLineTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Start(80, 25);
    }
    std::string Line() { return console->RowText(24); }
    int Row() { return 24; }
};

TEST_F(PromptLineTest, ShortDirectoryThenPromptThenTextWithTheCursorAfterIt) {
    PromptSetDir("C:\\WORK");
    Type("dir");
    EXPECT_EQ(Line().substr(0, 12), "C:\\WORK>dir ");
    EXPECT_EQ(console->Cursor().x, 11);
    EXPECT_EQ(console->Cursor().y, Row());
    EXPECT_EQ(PromptGetCursor(), 3);
    EXPECT_STREQ(PromptGetLine(), "dir");
    EXPECT_STREQ(PromptGetDir(), "C:\\WORK");
}

TEST_F(PromptLineTest, DirectoryOfExactlyHalfTheWidthIsShortened) {
    const std::string directory = "/" + std::string(38, 'a') + "Z";  // 40 characters
    PromptSetDir(directory.c_str());
    const std::string expected = "/aa... " + std::string(32, 'a') + "Z>";
    EXPECT_EQ(Line().substr(0, 41), expected);
}

TEST_F(PromptLineTest, LongDirectoryShowsItsStartAndItsEnd) {
    std::string directory = "/ab";
    for (int i = 0; directory.size() < 50; ++i) directory += static_cast<char>('a' + i % 26);
    PromptSetDir(directory.c_str());
    const std::string line = Line();
    EXPECT_EQ(line.substr(0, 7), "/ab... ");
    EXPECT_EQ(line.substr(7, 33), directory.substr(50 - 33));
    EXPECT_EQ(line[40], '>');
}

TEST_F(PromptLineTest, EightCellLineShowsOnlyThePromptSign) {
    PromptSetDir("/a/very/long/directory");
    Shell().SetPos(ZRec(0, 24, 0, 0), ZRec(0, 0, 8, 1));
    Shell().Redraw();
    EXPECT_EQ(console->Text(0, 24, 8), "    >   ");
}

// Between 9 and 13 cells the shortened directory is wider than its half of the line: it is
// cut where the prompt sign stands instead of leaving dots behind it.
TEST_F(PromptLineTest, NarrowLineCutsTheShortenedDirectoryAtThePromptSign) {
    PromptSetDir("/a/very/long/directory");
    Shell().SetPos(ZRec(0, 24, 0, 0), ZRec(0, 0, 9, 1));
    Shell().Redraw();
    EXPECT_EQ(console->Text(0, 24, 9), "/a/.>    ");
    Shell().SetPos(ZRec(0, 24, 0, 0), ZRec(0, 0, 14, 1));
    Shell().Redraw();
    EXPECT_EQ(console->Text(0, 24, 14), "/a/... >      ");
}

TEST_F(PromptLineTest, LongTextScrollsSoThatTheCursorStaysOnTheLine) {
    PromptSetDir("/work");
    std::string text;
    for (int i = 0; i < 100; ++i) text += static_cast<char>('a' + i % 26);
    PromptSetLine(text.c_str());
    PromptSetCursor(100);
    // scroll = 100 - 80 + 5 + 2 = 27: the text from index 27 follows the prompt.
    EXPECT_EQ(Line().substr(0, 6), "/work>");
    EXPECT_EQ(Line().substr(6, 73), text.substr(27, 73));
    EXPECT_EQ(console->Cursor().x, 79);
    // Home scrolls back to the start; with the panels shown the active panel takes Home.
    Press({Ctrl('o'), Key(KC_HOME)});
    EXPECT_EQ(Line().substr(6, 10), text.substr(0, 10));
    EXPECT_EQ(console->Cursor().x, 6);
}

TEST_F(PromptLineTest, SelectionIsHighlightedOnlyOverTheText) {
    PromptSetDir("/w");
    PromptSetLine("abcdef");
    Shell().SetSelection(1, 3);
    const uint8_t* palette = ColGetPalette();
    EXPECT_EQ(console->Attr(3, 24), palette[19]);  // 'a'
    EXPECT_EQ(console->Attr(4, 24), palette[20]);
    EXPECT_EQ(console->Attr(6, 24), palette[20]);
    EXPECT_EQ(console->Attr(7, 24), palette[19]);
    EXPECT_EQ(console->Attr(2, 24), palette[19]);  // '>'
}

TEST_F(PromptLineTest, CursorHeightFollowsOverwriteMode) {
    Type("x");
    EXPECT_EQ(console->Cursor().size, 10);
    Press({Key(KC_INS)});
    EXPECT_EQ(console->Cursor().size, 100);
    Press({Key(KC_INS)});
    EXPECT_EQ(console->Cursor().size, 10);
}

TEST_F(PromptLineTest, SetLineClearsTheSelectionAndNullEmptiesIt) {
    PromptSetLine("abc");
    Shell().SetSelection(0, 2);
    PromptSetLine(nullptr);
    int start = 0;
    Shell().GetSelection(&start, nullptr);
    EXPECT_EQ(start, -1);
    EXPECT_STREQ(PromptGetLine(), "");
}

TEST_F(PromptLineTest, CaretBeyondTheTextGoesBackToTheStart) {
    PromptSetLine("abc");
    PromptSetCursor(10);
    EXPECT_EQ(PromptGetCursor(), 0);
}

TEST_F(PromptLineTest, PromptDirectoryIsTheActivePanelsAndTheTitleFollows) {
    EXPECT_STREQ(PromptGetDir(), work_.c_str());
    EXPECT_NE(console->Title().find(work_), std::string::npos);
    PromptSetDir(nullptr);
    EXPECT_STREQ(PromptGetDir(), "");
    EXPECT_EQ(Line().substr(0, 1), ">");
}

}  // namespace
}  // namespace kq::shell::testing
