// The shell's screen: the start-up layout from the settings, the keys that move, hide and show
// the panels, the routing of keys between the panels and the command line, and the relayout
// after a terminal resize.
#include "shell/ShellTestSupport.h"

namespace kq::shell::testing {
namespace {

TEST_F(ShellTest, StartsWithMenuPanelsAndCommandLineWhenNothingIsConfigured) {
    Start(80, 25);
    EXPECT_TRUE(Visible(Shell().Menu()));
    EXPECT_EQ(RectOf(Shell().Menu()), ZRec(0, 0, 80, 1));
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 40, 23));
    EXPECT_EQ(RectOf(Right()), ZRec(40, 1, 40, 23));
    EXPECT_EQ(RectOf(Shell()), ZRec(0, 24, 80, 1));
    EXPECT_FALSE(Visible(*ZKeyBar::Get()));
    EXPECT_TRUE(Visible(Shell().Clock()));
    EXPECT_EQ(RectOf(Shell().Clock()), ZRec(75, 0, 6, 1));
    // The right panel is active after start-up and the command line has the keyboard.
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    // The frames of both panels are on the screen, the command line shows the directory.
    EXPECT_EQ(console->Char(0, 1), 201);
    EXPECT_EQ(console->Char(40, 1), 201);
    EXPECT_EQ(console->RowText(24).substr(0, work_.size() + 1), work_ + ">");
}

TEST_F(ShellTest, OddWidthGivesTheRightPanelTheExtraColumn) {
    Start(81, 25);
    EXPECT_EQ(RectOf(Left()).w, 40);
    EXPECT_EQ(RectOf(Right()), ZRec(40, 1, 41, 23));
}

TEST_F(ShellTest, HiddenMenuAndShownKeyBarMovePanelsUpAndCommandLineUp) {
    WriteSetting("Interface", "ShowMenu", 0);
    WriteSetting("Interface", "ShowKeyBar", 1);
    Start(80, 25);
    EXPECT_FALSE(Visible(Shell().Menu()));
    EXPECT_TRUE(Visible(*ZKeyBar::Get()));
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

TEST_F(ShellTest, ClockSettingZeroLeavesTheClockHidden) {
    WriteSetting("Interface", "ShowClock", 0);
    Start();
    EXPECT_FALSE(Visible(Shell().Clock()));
}

TEST_F(ShellTest, TabSwitchesPanelsButNotToAHiddenOne) {
    Start();
    Press({Key(KC_TAB)});
    EXPECT_EQ(Shell().Active(), &Left());
    Press({Key(KC_TAB)});
    EXPECT_EQ(Shell().Active(), &Right());
    Press({Ctrl(KC_F1)});  // hides the left panel
    ASSERT_FALSE(Visible(Left()));
    Press({Key(KC_TAB)});
    EXPECT_EQ(Shell().Active(), &Right());
    // The Tab did not reach the command line either.
    EXPECT_STREQ(Shell().GetTitle(), "");
}

TEST_F(ShellTest, CtrlLeftStopsAtALeftPanelTwoColumnsWide) {
    Start();
    for (int i = 0; i < 37; ++i) Press({Ctrl(KC_LEFT)});
    ASSERT_EQ(RectOf(Left()).w, 3);
    Press({Ctrl(KC_LEFT)});
    EXPECT_EQ(RectOf(Left()).w, 2);
    EXPECT_EQ(RectOf(Right()), ZRec(2, 1, 78, 23));
    Press({Ctrl(KC_LEFT)});
    EXPECT_EQ(RectOf(Left()).w, 2);
    EXPECT_EQ(RectOf(Right()), ZRec(2, 1, 78, 23));
    Press({Ctrl(KC_RIGHT)});
    EXPECT_EQ(RectOf(Left()).w, 3);
    EXPECT_EQ(RectOf(Right()), ZRec(3, 1, 77, 23));
}

TEST_F(ShellTest, CtrlDownDoesNothingWhenPanelsTouchTheCommandLine) {
    Start();
    Press({Ctrl(KC_DOWN)});
    EXPECT_EQ(RectOf(Left()).h, 23);
    Press({Ctrl(KC_UP), Ctrl(KC_UP)});
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 40, 21));
    EXPECT_EQ(RectOf(Right()), ZRec(40, 1, 40, 21));
    Press({Ctrl(KC_DOWN)});
    EXPECT_EQ(RectOf(Right()).h, 22);
}

TEST_F(ShellTest, CtrlUpStopsAtPanelsTwoRowsHigh) {
    Start(80, 8);
    for (int i = 0; i < 10; ++i) Press({Ctrl(KC_UP)});
    EXPECT_EQ(RectOf(Left()).h, 2);
    EXPECT_EQ(RectOf(Right()).h, 2);
}

TEST_F(ShellTest, EnterOnAnEmptyCommandLineRunsNothing) {
    Start();
    Press({Key(KC_ENTER, 0, '\r')});
    EXPECT_EQ(console->CommandLog(), "");
    EXPECT_TRUE(console->IsOpen());
}

TEST_F(ShellTest, CtrlF1AfterSwapTogglesThePanelNowOnTheLeft) {
    Start();
    ZFilePanel* created = &Left();
    Press({Ctrl('u')});
    EXPECT_EQ(RectOf(*created).x, 40);
    EXPECT_NE(&Left(), created);
    ZFilePanel* nowLeft = &Left();
    Press({Ctrl(KC_F1)});
    EXPECT_FALSE(Visible(*nowLeft));
    EXPECT_TRUE(Visible(*created));
}

TEST_F(ShellTest, SwapKeepsTheActivePanel) {
    Start();
    ZFilePanel* active = Shell().Active();
    const ZRec before = RectOf(*active);
    Press({Ctrl('u')});
    EXPECT_EQ(Shell().Active(), active);
    EXPECT_NE(RectOf(*active).x, before.x);
}

TEST_F(ShellTest, TogglingAPanelBackOnLeavesTheFocusWithTheOther) {
    Start();
    Press({Ctrl(KC_F1)});
    EXPECT_FALSE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
    Press({Ctrl(KC_F1)});
    EXPECT_TRUE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
}

TEST_F(ShellTest, HidingTheActivePanelActivatesTheOther) {
    Start();
    Press({Ctrl(KC_F2)});  // the right panel is the active one
    EXPECT_FALSE(Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Left());
    // With the other one hidden too, toggling a panel back activates it.
    Press({Ctrl(KC_F1)});
    EXPECT_FALSE(Visible(Left()));
    Press({Ctrl(KC_F2)});
    EXPECT_TRUE(Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Right());
}

TEST_F(ShellTest, CtrlPHidesAndShowsThePassivePanel) {
    Start();
    Press({Ctrl('p')});
    EXPECT_FALSE(Visible(Left()));
    EXPECT_TRUE(Visible(Right()));
    Press({Ctrl('p')});
    EXPECT_TRUE(Visible(Left()));
    EXPECT_EQ(Shell().Active(), &Right());
}

TEST_F(ShellTest, CtrlOHidesBothPanelsAndKeysThenEditTheCommandLine) {
    Start();
    Press({Ctrl('o')});
    EXPECT_FALSE(Visible(Left()));
    EXPECT_FALSE(Visible(Right()));
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
    Type("ls");
    EXPECT_STREQ(Shell().GetTitle(), "ls");
    Press({Ctrl('o')});
    EXPECT_TRUE(Visible(Left()));
    EXPECT_TRUE(Visible(Right()));
    EXPECT_EQ(Shell().Active(), &Right());
}

TEST_F(ShellTest, EscClearsTheCommandLine) {
    Start();
    Type("echo x");
    Press({Key(KC_ESC)});
    EXPECT_STREQ(Shell().GetTitle(), "");
}

TEST_F(ShellTest, F10AsksAndQuits) {
    Start();
    Press({Key(KC_F10), Key(KC_ENTER, 0, '\r')});
    EXPECT_FALSE(console->IsOpen());
}

TEST_F(ShellTest, F10WithExitQuestionRefusedKeepsRunning) {
    Start();
    Press({Key(KC_F10), Key(KC_ESC)});
    EXPECT_TRUE(console->IsOpen());
    EXPECT_TRUE(Shell().IsAttached());
}

TEST_F(ShellTest, ResizeKeepsTheDividerShareAndStretchesToTheCommandLine) {
    Start(80, 25);
    Press({Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT), Ctrl(KC_LEFT)});  // left: 36 of 80
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

TEST_F(ShellTest, PanelsLetGoOfTheirPluginsBeforeAQuitAndComeBackWhenItIsRefused) {
    MakeDirectory("sub");
    Start();
    ASSERT_EQ(Left().ChangeDirectory((work_ + "/sub").c_str(), 0), 0);
    Shell().ReleasePanelsForExit();
    EXPECT_FALSE(Left().IsBound());
    EXPECT_FALSE(Right().IsBound());
    Shell().RestorePanelsAfterExitRefused();
    ASSERT_TRUE(Left().IsBound());
    EXPECT_EQ(Left().Directory(), work_ + "/sub");
    EXPECT_EQ(Right().Directory(), work_);
    EXPECT_EQ(Shell().Active(), &Right());
    EXPECT_EQ(ZDesktop::GetFocus(), &Shell());
}

// The panels' own keep-inside-the-screen step used to run before the shell's layout and moved
// them onto the menu bar's row.
TEST_F(ShellTest, ShrinkingTheScreenKeepsThePanelsBelowTheMenuBar) {
    Start(100, 30);
    console->SetSize(80, 25);
    Press({});
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 40, 23));
    EXPECT_EQ(RectOf(Right()), ZRec(40, 1, 40, 23));
    EXPECT_EQ(console->RowText(0).substr(0, 6), "  Left");
    EXPECT_EQ(console->Char(40, 1), 201);
    console->SetSize(100, 30);
    Press({});
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 50, 28));
    EXPECT_EQ(RectOf(Right()), ZRec(50, 1, 50, 28));
}

// Fault caught: each resize scaled the divider from its last rounded place, so a series of
// resizes back to the first size left the panels of unequal widths.
TEST_F(ShellTest, ResizesBackToTheFirstSizeShareTheWidthAsBefore) {
    Start(100, 30);
    for (const int width : {37, 23, 61, 3, 100}) {
        console->SetSize(width, 30);
        Press({});
    }
    EXPECT_EQ(RectOf(Left()), ZRec(0, 1, 50, 28));
    EXPECT_EQ(RectOf(Right()), ZRec(50, 1, 50, 28));
}

}  // namespace
}  // namespace kq::shell::testing
