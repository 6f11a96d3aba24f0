// The shell's screen: the start-up layout from the settings, the keys that move, hide, show and
// swap the panels, the routing of keys between the panels and the command line, resizes.
#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

TEST_F(ShellTest, StartsWithMenuPanelsAndCommandLine) {
    Start(81, 25);  // the right panel takes the odd column
    EXPECT_EQ(RectOf(Shell().Menu()), ZRec(0, 0, 81, 1));
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 40, 23));
    EXPECT_EQ(RectOf(Right()), ZRec(40, 1, 41, 23));
    EXPECT_EQ(RectOf(Shell()), ZRec(0, 24, 81, 1));
    EXPECT_EQ(RectOf(Shell().Clock()), ZRec(76, 0, 6, 1));
    EXPECT_TRUE(Visible(Shell().Menu()) && Visible(Shell().Clock()) && !Visible(*ZKeyBar::Get()));
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    EXPECT_EQ(console->Char(0, 1), 201);
    EXPECT_EQ(console->Char(40, 1), 201);
    EXPECT_EQ(console->RowText(24).substr(0, work_.size() + 1), work_ + ">");
    Press({kEnter});  // an empty command line runs nothing
    EXPECT_EQ(console->CommandLog(), "");
}

TEST_F(ShellTest, HiddenMenuAndClockAndShownKeyBarMoveThePanels) {
    WriteSetting("ShowMenu", 0);
    WriteSetting("ShowKeyBar", 1);
    WriteSetting("ShowClock", 0);
    Start(80, 25);
    EXPECT_TRUE(!Visible(Shell().Menu()) && Visible(*ZKeyBar::Get()) && !Visible(Shell().Clock()));
    EXPECT_EQ(RectOf(Left()), ZRec(0, 0, 40, 23));
    EXPECT_EQ(RectOf(Right()), ZRec(40, 0, 40, 23));
    EXPECT_EQ(RectOf(Shell()), ZRec(0, 23, 80, 1));
    // F9 shows the bar while the menu is in use; Esc closes it and hides it again.
    Press({Key(KC_F9)});
    EXPECT_TRUE(Visible(Shell().Menu()));
    Press({Key(KC_ESC)});
    EXPECT_FALSE(Visible(Shell().Menu()));
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
}

TEST_F(ShellTest, KeysSwitchHideShowAndSwapThePanels) {
    Start();
    Press({Key(KC_TAB)});
    EXPECT_EQ(Shell().Active(), &Left());
    Press({Key(KC_TAB)});
    EXPECT_EQ(Shell().Active(), &Right());
    Press({Ctrl(KC_F1), Key(KC_TAB)});  // no Tab to a hidden panel, nor to the command line
    EXPECT_FALSE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_STREQ(Shell().GetTitle(), "");
    Press({Ctrl(KC_F1)});  // back on, the focus stays with the other
    EXPECT_TRUE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    Press({Ctrl(KC_F2)});  // hiding the active one activates the other
    EXPECT_FALSE(Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Left());
    Press({Ctrl(KC_F1), Ctrl(KC_F2)});  // with both hidden, the one back on is activated
    EXPECT_FALSE(Visible(Left()));
    EXPECT_TRUE(Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Right());
    Press({Ctrl(KC_F1), Ctrl('p')});  // Ctrl+P: the passive panel
    EXPECT_TRUE(!Visible(Left()) && Visible(Right()));
    Press({Ctrl('p')});
    EXPECT_TRUE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
    // Ctrl+O hides both; keys then edit the command line.
    Press({Ctrl('o')});
    EXPECT_TRUE(!Visible(Left()) && !Visible(Right()));
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    Type("ls");
    EXPECT_STREQ(Shell().GetTitle(), "ls");
    Press({Ctrl('o'), Key(KC_ESC)});
    EXPECT_TRUE(Visible(Left()) && Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_STREQ(Shell().GetTitle(), "");  // Esc cleared it
    // Ctrl+U swaps them and keeps the active one; Ctrl+F1 then toggles the one now on the left.
    ZFilePanel* active = Shell().Active();
    ZFilePanel* created = &Left();
    Press({Ctrl('u')});
    EXPECT_EQ(Shell().Active(), active);
    EXPECT_EQ(RectOf(*created).x, 40);
    EXPECT_EQ(RectOf(*active).x, 0);
    Press({Ctrl(KC_F1)});
    EXPECT_TRUE(!Visible(*active) && Visible(*created));
    Press({Ctrl(KC_F1), Key(KC_F9), Key('c', 0, 'c'), Key('w', 0, 'w')});  // the menu's swap
    EXPECT_EQ(RectOf(*created).x, 0);
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
}

TEST_F(ShellTest, CtrlArrowsMoveTheDividerAndTheBottomWithinLimits) {
    Start();
    for (int i = 0; i < 37; ++i) Press({Ctrl(KC_LEFT)});
    ASSERT_EQ(RectOf(Left()).w, 3);
    Press({Ctrl(KC_LEFT), Ctrl(KC_LEFT)});  // stops at two columns
    EXPECT_EQ(RectOf(Left()).w, 2);
    EXPECT_EQ(RectOf(Right()), ZRec(2, 1, 78, 23));
    Press({Ctrl(KC_RIGHT)});
    EXPECT_EQ(RectOf(Right()), ZRec(3, 1, 77, 23));
    Press({Ctrl(KC_DOWN)});  // the panels already touch the command line
    EXPECT_EQ(RectOf(Left()).h, 23);
    Press({Ctrl(KC_UP), Ctrl(KC_UP)});
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 3, 21));
    EXPECT_EQ(RectOf(Right()), ZRec(3, 1, 77, 21));
    Press({Ctrl(KC_DOWN)});
    EXPECT_EQ(RectOf(Right()).h, 22);
    for (int i = 0; i < 25; ++i) Press({Ctrl(KC_UP)});  // stops at two rows
    EXPECT_EQ(RectOf(Left()).h, 2);
    EXPECT_EQ(RectOf(Right()).h, 2);
}

TEST_F(ShellTest, ResizesKeepTheDividerShareAndStretchToTheCommandLine) {
    Start(100, 30);  // the panels' series of resizes and shrinking: in the tmux suite
    Press({Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT)});  // 45 of 100
    console->SetSize(120, 40);
    Press({});
    EXPECT_EQ(RectOf(Shell()), ZRec(0, 39, 120, 1));
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 54, 38));
    EXPECT_EQ(RectOf(Right()), ZRec(54, 1, 66, 38));
    EXPECT_EQ(RectOf(Shell().Menu()), ZRec(0, 0, 120, 1));
    EXPECT_EQ(RectOf(Shell().Clock()), ZRec(115, 0, 6, 1));
    console->SetSize(20, 6);
    Press({});
    EXPECT_EQ(RectOf(Shell()), ZRec(0, 5, 20, 1));
    EXPECT_EQ(RectOf(Left()).x + RectOf(Left()).w, RectOf(Right()).x);
    EXPECT_EQ(RectOf(Right()).x + RectOf(Right()).w, 20);
    EXPECT_LE(RectOf(Left()).y + RectOf(Left()).h, 5);
}

TEST_F(ShellTest, F10QuitsWhenConfirmedAndPanelsLetGoOfTheirPluginsMeanwhile) {
    folder_.MakeFolder("work/sub");
    Start();
    Press({Key(KC_F10), Key(KC_ESC)});
    EXPECT_TRUE(console->IsOpen() && Shell().IsAttached());
    ASSERT_EQ(Left().ChangeDirectory((work_ + "/sub").c_str(), 0), 0);
    Shell().ReleasePanelsForExit();
    EXPECT_FALSE(Left().IsBound() || Right().IsBound());
    Shell().RestorePanelsAfterExitRefused();
    ASSERT_TRUE(Left().IsBound());
    EXPECT_EQ(Left().Directory(), work_ + "/sub");
    EXPECT_EQ(Right().Directory(), work_);
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    Press({Key(KC_F10), kEnter});
    EXPECT_FALSE(console->IsOpen());
}

}  // namespace
}  // namespace kq::shell::testing
