// Running what is typed on the command line: the echo, the command's output on the screen that
// becomes the background, the panels re-read afterwards, the exit status.
#include <sys/stat.h>

#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

class PromptExecuteTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Start(80, 25);
    }
    void Run(const std::string& command) {
        Type(command);
        Press({Key(KC_ENTER, 0, '\r')});
    }
    static bool Lists(ZFilePanel& panel, const std::string& name) {
        for (int row = 0; row < panel.RowCount(); ++row) {
            if (name == panel.CellText(row, 0)) return true;
        }
        return false;
    }
};

TEST_F(PromptExecuteTest, EchoesPromptAndCommandThenOutputThenTwoEmptyLines) {
    Run("echo hello");
    EXPECT_EQ(console->CommandLog(), work_ + ">echo hello\nhello\n\n\n");
    EXPECT_STREQ(Shell().GetTitle(), "");
    EXPECT_TRUE(console->IsOpen());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
}

TEST_F(PromptExecuteTest, OutputBecomesTheBackgroundThatCtrlOShows) {
    Run("echo hello");
    EXPECT_EQ(console->ScreenText().find("hello\n"), std::string::npos);
    Press({Ctrl('o')});
    // The echo went to the first row, under the menu bar; the output follows it.
    EXPECT_EQ(console->RowText(1).substr(0, 6), "hello ");
    // The command line stays on its row in front of the background.
    EXPECT_EQ(console->RowText(24).substr(0, work_.size() + 1), work_ + ">");
}

class PromptExecuteWithoutMenuTest : public ShellTest {};

TEST_F(PromptExecuteWithoutMenuTest, CtrlOShowsTheEchoLineAndTheOutput) {
    WriteSetting("Interface", "ShowMenu", 0);
    WriteSetting("Interface", "ShowClock", 0);
    Start(80, 25);
    Type("echo hello");
    Press({Key(KC_ENTER, 0, '\r'), Ctrl('o')});
    EXPECT_EQ(console->RowText(0).substr(0, work_.size() + 11), work_ + ">echo hello");
    EXPECT_EQ(console->RowText(1).substr(0, 6), "hello ");
    EXPECT_EQ(console->RowText(2).find_first_not_of(' '), std::string::npos);
    // A second command prints below the first one's two empty lines.
    Press({Ctrl('o')});
    Type("echo again");
    Press({Key(KC_ENTER, 0, '\r'), Ctrl('o')});
    EXPECT_EQ(console->RowText(4).substr(0, work_.size() + 11), work_ + ">echo again");
}

TEST_F(PromptExecuteTest, BothPanelsAreReadAgainAfterTheCommand) {
    ASSERT_FALSE(Lists(Left(), "made-by-command"));
    Run("touch made-by-command");
    EXPECT_TRUE(Lists(Left(), "made-by-command"));
    EXPECT_TRUE(Lists(Right(), "made-by-command"));
}

TEST_F(PromptExecuteTest, RunsInTheActivePanelsDirectory) {
    MakeDirectory("sub");
    ASSERT_EQ(Right().ChangeDirectory((work_ + "/sub").c_str(), 0), 0);
    Right().Activate(true);
    Run("pwd");
    EXPECT_NE(console->CommandLog().find("\n" + work_ + "/sub\n"), std::string::npos);
}

TEST_F(PromptExecuteTest, ReturnsTheExitStatus) {
    PromptSetLine("exit 3");
    EXPECT_EQ(PromptExecute(), 3);
    PromptSetLine("kill -TERM $$");
    EXPECT_EQ(PromptExecute(), 128 + 15);
    EXPECT_STREQ(PromptGetLine(), "");
}

TEST_F(PromptExecuteTest, ShellMetacharactersReachTheShellAsTyped) {
    Run("printf '%s|' \"a b\" 'c;d'");
    EXPECT_NE(console->CommandLog().find("a b|c;d|"), std::string::npos);
}

TEST_F(PromptExecuteTest, TitleShowsTheDirectoryAgainAfterwards) {
    Run("true");
    EXPECT_NE(console->Title().find(work_), std::string::npos);
}

TEST_F(PromptExecuteTest, CodePageTextReachesTheShellAsUtf8) {
    // 0x81 is u-umlaut in code page 437.
    PromptSetLine("printf '\x81' | od -An -tx1");
    PromptExecute();
    EXPECT_NE(console->CommandLog().find("c3 bc"), std::string::npos);
}

}  // namespace
}  // namespace kq::shell::testing
