// "cd" typed on the shell's command line: the local plugin's hook moves the active panel and
// nothing reaches the command interpreter.
#include <string>

#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

class CdHookTest : public ShellTest {
  protected:
    void SetUp() override {
        ShellTest::SetUp();
        MakeDirectory("sub");
        MakeFile("sub/inside.txt", 3);
        Start(80, 25);
    }
};

TEST_F(CdHookTest, CdSubMovesTheActivePanelAndRunsNothing) {
    ZFilePanel* active = Shell().Active();
    ASSERT_NE(active, nullptr);
    ZFilePanel* passive = Shell().Passive();
    ASSERT_NE(passive, nullptr);
    Type("cd sub");
    Press({Key(KC_ENTER, 0, '\r')});
    EXPECT_EQ(active->Directory(), work_ + "/sub");
    EXPECT_EQ(std::string(active->GetTitle()), work_ + "/sub");
    EXPECT_EQ(passive->Directory(), work_);
    EXPECT_STREQ(PromptGetLine(), "");
    EXPECT_EQ(console->CommandLog(), "");
    // The prompt shows the new directory.
    EXPECT_STREQ(PromptGetDir(), (work_ + "/sub").c_str());
}

TEST_F(CdHookTest, CdDotDotFromTheSubdirectoryComesBack) {
    Type("cd sub");
    Press({Key(KC_ENTER, 0, '\r')});
    Type("   CD ..");
    Press({Key(KC_ENTER, 0, '\r')});
    EXPECT_EQ(Shell().Active()->Directory(), work_);
    EXPECT_STREQ(PromptGetLine(), "");
    EXPECT_EQ(console->CommandLog(), "");
}

TEST_F(CdHookTest, CdAloneStillRunsInTheInterpreter) {
    Type("cd");
    Press({Key(KC_ENTER, 0, '\r')});
    EXPECT_EQ(Shell().Active()->Directory(), work_);
    EXPECT_NE(console->CommandLog().find(">cd"), std::string::npos);
}

}  // namespace
}  // namespace kq::shell::testing
