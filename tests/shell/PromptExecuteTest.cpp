// Running what is typed on the command line: the echo, the output that becomes the screen
// behind the panels, the panels re-read afterwards, the exit status; "cd" through the local
// plugin's hook, which moves the active panel and runs nothing.
#include <sys/stat.h>

#include <fstream>

#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

class PromptExecuteTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        Start(80, 25);
    }
    static bool Lists(ZFilePanel& panel, const std::string& name) {
        for (int row = 0; row < panel.RowCount(); ++row) {
            if (name == panel.CellText(row, 0)) return true;
        }
        return false;
    }
};

TEST_F(PromptExecuteTest, EchoesTheCommandShowsItsOutputBehindAndReadsThePanelsAgain) {
    ASSERT_FALSE(Lists(Left(), "made"));
    Run("echo hello; touch made");
    EXPECT_EQ(console->CommandLog(), work_ + ">echo hello; touch made\nhello\n\n\n");
    EXPECT_STREQ(Shell().GetTitle(), "");
    EXPECT_TRUE(console->IsOpen());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    EXPECT_NE(console->Title().find(work_), std::string::npos);
    EXPECT_TRUE(Lists(Left(), "made") && Lists(Right(), "made"));
    EXPECT_EQ(console->ScreenText().find("hello\n"), std::string::npos);
    Press({Ctrl('o')});
    // The echo went to the first row, under the menu bar; the output follows it.
    EXPECT_EQ(console->RowText(1).substr(0, 6), "hello ");
    EXPECT_EQ(console->RowText(24).substr(0, work_.size() + 1), work_ + ">");
}

TEST_F(ShellTest, WithoutTheMenuCtrlOShowsTheEchoLineAndTheOutput) {
    WriteSetting("ShowMenu", 0);
    WriteSetting("ShowClock", 0);
    Start(80, 25);
    Run("echo hello");
    Press({Ctrl('o')});
    EXPECT_EQ(console->RowText(0).substr(0, work_.size() + 11), work_ + ">echo hello");
    EXPECT_EQ(console->RowText(1).substr(0, 6), "hello ");
    EXPECT_EQ(console->RowText(2).find_first_not_of(' '), std::string::npos);
    Press({Ctrl('o')});
    Run("echo again");  // below the first one's two empty lines
    Press({Ctrl('o')});
    EXPECT_EQ(console->RowText(4).substr(0, work_.size() + 11), work_ + ">echo again");
}

// Commands ran in the directory of the last panel activation: after Enter on a directory,
// "..", Ctrl+PgDn/PgUp, Ctrl+\ or "cd", "pwd" printed the old one and Enter on go.sh ran the
// old directory's go.sh. Every way the active panel moves, the next command runs there.
TEST_F(PromptExecuteTest, CommandsRunWhereTheActivePanelMovedTo) {
    folder_.WriteFile("work/go.sh", "");
    folder_.WriteFile("work/sub/go.sh", "#!/bin/sh\necho ran-in-$(pwd)\n");
    ASSERT_EQ(chmod((work_ + "/sub/go.sh").c_str(), 0755), 0);
    const struct {
        std::vector<uint32_t> keys;
        const char* typed;  // then typed and run
        std::string printed;
    } cases[] = {
        {{Key(KC_DOWN), kEnter}, "pwd", work_ + "/sub\n"},
        {{Key(KC_DOWN), kEnter, kEnter}, "pwd", work_ + "\n"},
        {{Key(KC_DOWN), Ctrl(KC_PGDN)}, "pwd", work_ + "/sub\n"},
        {{Key(KC_DOWN), Ctrl(KC_PGDN), Ctrl(KC_PGUP)}, "pwd", work_ + "\n"},
        {{Key('\\', KF_LCTRL, 0x1C)}, "pwd", "/\n"},
        {{}, "cd sub", work_ + "/sub\n"},
        {{Key(KC_DOWN), kEnter, Key(KC_DOWN), Key(KC_DOWN), kEnter}, "", "ran-in-" + work_ + "/sub\n"},
    };
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.printed);
        ASSERT_EQ(Shell().Active()->ChangeDirectory(work_.c_str(), 0), 0);
        const size_t logged = console->CommandLog().size();
        Press(entry.keys);
        if (*entry.typed != '\0') Run(entry.typed);
        if (entry.typed == std::string("cd sub")) Run("pwd");
        const std::string log = console->CommandLog().substr(logged);
        EXPECT_NE(log.find("\n" + entry.printed), std::string::npos) << log;
    }
}

TEST_F(PromptExecuteTest, CdMovesTheActivePanelAndRunsNothingButCdAloneRuns) {
    folder_.MakeFolder("work/sub");
    ZFilePanel* passive = Shell().Passive();
    Run("cd sub");
    EXPECT_EQ(Shell().Active()->Directory(), work_ + "/sub");
    EXPECT_EQ(std::string(Shell().Active()->GetTitle()), work_ + "/sub");
    EXPECT_STREQ(PromptGetDir(), (work_ + "/sub").c_str());
    EXPECT_EQ(passive->Directory(), work_);
    Run("   CD ..");
    EXPECT_EQ(Shell().Active()->Directory(), work_);
    EXPECT_STREQ(PromptGetLine(), "");
    EXPECT_EQ(console->CommandLog(), "");
    Run("cd");
    EXPECT_EQ(Shell().Active()->Directory(), work_);
    EXPECT_NE(console->CommandLog().find(">cd"), std::string::npos);
}

// The active panel's directory was removed: the command is refused with the reason and stays
// on the command line, instead of running somewhere else.
TEST_F(PromptExecuteTest, CommandForADirectoryThatIsGoneIsNotRunAnywhere) {
    ASSERT_EQ(Shell().Active()->ChangeDirectory(folder_.MakeFolder("work/gone").c_str(), 0), 0);
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
    PromptSetLine("touch made");
    EXPECT_EQ(PromptExecute(), kCommandDirectoryRefused);
    kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    EXPECT_EQ(console->CommandLog(), "");
    EXPECT_STREQ(PromptGetLine(), "touch made");
    EXPECT_NE(shown.find("cannot be entered"), std::string::npos) << shown;
}

// Pasted text used to act as keys: "echo A<Enter>echo B" ran the first line and lost the
// second. It lands on the command line and runs only on the user's Enter.
TEST_F(PromptExecuteTest, PastedLinesWaitForEnterAndTextReachesTheShellAsTyped) {
    console->PushPaste("echo A\necho B");
    Press({});
    EXPECT_STREQ(PromptGetLine(), "echo A\necho B");
    EXPECT_EQ(console->CommandLog(), "");
    Press({kEnter});
    EXPECT_NE(console->CommandLog().find("\nA\nB\n"), std::string::npos) << console->CommandLog();
    Run("printf '%s|' \"a b\" 'c;d'");
    EXPECT_NE(console->CommandLog().find("a b|c;d|"), std::string::npos);
    PromptSetLine("printf '\x81' | od -An -tx1");  // code page 437's u-umlaut, as UTF-8
    PromptExecute();
    EXPECT_NE(console->CommandLog().find("c3 bc"), std::string::npos);
    PromptSetLine("exit 3");
    EXPECT_EQ(PromptExecute(), 3);
    PromptSetLine("kill -TERM $$");
    EXPECT_EQ(PromptExecute(), 128 + 15);
    EXPECT_STREQ(PromptGetLine(), "");
}

}  // namespace
}  // namespace kq::shell::testing
