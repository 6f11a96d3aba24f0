// Running what is typed on the command line: the echo, the command's output on the screen that
// becomes the background, the panels re-read afterwards, the exit status.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

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

// Commands ran in the directory of the last panel activation: after Enter on a directory,
// "..", Ctrl+PgDn/PgUp, Ctrl+\ or "cd", "pwd" printed the old one and Enter on go.sh ran the
// old directory's go.sh. Every way the active panel moves, the next command runs there.
TEST_F(PromptExecuteTest, CommandsRunWhereTheActivePanelMovedTo) {
    MakeDirectory("sub");
    MakeFile("go.sh");
    MakeFile("sub/go.sh");
    ASSERT_EQ(chmod((work_ + "/sub/go.sh").c_str(), 0755), 0);
    std::ofstream(work_ + "/sub/go.sh") << "#!/bin/sh\necho ran-in-$(pwd)\n";
    const uint32_t enter = Key(KC_ENTER, 0, '\r');
    const struct {
        const char* how;
        std::vector<uint32_t> keys;
        const char* typed;  // then typed and run
        std::string printed;
    } cases[] = {
        {"Enter on sub", {Key(KC_DOWN), enter}, "pwd", work_ + "/sub\n"},
        {"Enter on sub, then on ..", {Key(KC_DOWN), enter, enter}, "pwd", work_ + "\n"},
        {"Ctrl+PgDn", {Key(KC_DOWN), Ctrl(KC_PGDN)}, "pwd", work_ + "/sub\n"},
        {"Ctrl+PgDn, Ctrl+PgUp", {Key(KC_DOWN), Ctrl(KC_PGDN), Ctrl(KC_PGUP)}, "pwd", work_ + "\n"},
        {"Ctrl+\\", {Key('\\', KF_LCTRL, 0x1C)}, "pwd", "/\n"},
        {"Enter on go.sh in sub",
         {Key(KC_DOWN), enter, Key(KC_DOWN), Key(KC_DOWN), enter},
         "",
         "ran-in-" + work_ + "/sub\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.how);
        ASSERT_EQ(Shell().Active()->ChangeDirectory(work_.c_str(), 0), 0);
        const size_t logged = console->CommandLog().size();
        Press(entry.keys);
        if (*entry.typed != '\0') Run(entry.typed);
        const std::string log = console->CommandLog().substr(logged);
        EXPECT_NE(log.find("\n" + entry.printed), std::string::npos) << log;
    }
    // The same through the "cd" hook, which runs nothing itself.
    ASSERT_EQ(Shell().Active()->ChangeDirectory(work_.c_str(), 0), 0);
    Run("cd sub");
    Run("pwd");
    EXPECT_NE(console->CommandLog().find(">pwd\n" + work_ + "/sub\n"), std::string::npos);
}

// The active panel's directory was removed: the command is refused with the reason and stays
// on the command line, instead of running somewhere else.
TEST_F(PromptExecuteTest, CommandForADirectoryThatIsGoneIsNotRunAnywhere) {
    MakeDirectory("gone");
    ASSERT_EQ(Shell().Active()->ChangeDirectory((work_ + "/gone").c_str(), 0), 0);
    ASSERT_EQ(rmdir((work_ + "/gone").c_str()), 0);
    static std::string shown;
    static kq::console::MemoryConsole* screen = nullptr;
    screen = console.get();
    kq::ui::SaverHooks hooks;
    hooks.takeKey = [](uint32_t) {  // the Esc that closes the message
        shown = screen->ScreenText();
        return false;
    };
    kq::ui::SetSaverHooks(hooks);
    console->PushKey(Key(KC_ESC));
    PromptSetLine("touch made-by-command");
    EXPECT_EQ(PromptExecute(), kCommandDirectoryRefused);
    kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    EXPECT_EQ(console->CommandLog(), "");
    EXPECT_STREQ(PromptGetLine(), "touch made-by-command");
    EXPECT_NE(shown.find("cannot be entered"), std::string::npos) << shown;
}

// Pasted text used to act as keys: "echo A<Enter>echo B" ran the first line and lost the
// second. It lands on the command line, line end shown, and runs only on the user's Enter.
TEST_F(PromptExecuteTest, PastedLinesWaitOnTheCommandLineForEnter) {
    console->PushPaste("echo A\necho B");
    Press({});
    EXPECT_STREQ(PromptGetLine(), "echo A\necho B");
    EXPECT_EQ(console->CommandLog(), "");
    Press({Key(KC_ENTER, 0, '\r')});
    EXPECT_NE(console->CommandLog().find("\nA\nB\n"), std::string::npos) << console->CommandLog();
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
