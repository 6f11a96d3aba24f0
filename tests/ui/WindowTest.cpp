// The window tree and the desktop on the in-memory console.
#include <chrono>
#include <memory>
#include <thread>

#include "ui/ControlTestSupport.h"

namespace kq::ui::testing {
namespace {

using WindowTest = DesktopTest;

TEST_F(WindowTest, FocusAndDrawingFollowActivateShowAndHide) {
    Box a('a'), b('b');
    Open(a, 0, 0, 20, 5);
    Open(b, 10, 2, 20, 5);
    a.Activate(true);
    EXPECT_EQ(ZDesktop::GetFocus(), &a);
    EXPECT_EQ(console->Char(15, 3), 'a');  // a is drawn over b where they overlap
    a.Show(false);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_EQ(console->Char(15, 3), 'b');
    EXPECT_EQ(console->Char(2, 1), ' ');  // the background came back where a was
    // Hiding gave b the top place: showing a again draws it below b.
    a.Show(true);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_EQ(console->Char(2, 1), 'a');
    EXPECT_EQ(console->Char(15, 3), 'b');
}

TEST_F(WindowTest, RefreshIsClippedToTheParentTheScreenAVisibleParentAndOverlays) {
    Box parent('P');
    Open(parent, 10, 5, 20, 10);
    // Child rectangle, then a cell inside the child but outside the parent, and one inside both.
    const int cases[][8] = {{-3, 2, 6, 2, 8, 7, 11, 7}, {2, 8, 4, 4, 13, 15, 13, 14}};
    for (const auto& c : cases) {
        Box child('c');
        Open(child, c[0], c[1], c[2], c[3], &parent);
        child.Redraw();
        EXPECT_EQ(console->Char(c[4], c[5]), ' ') << c[0] << "," << c[1];
        EXPECT_EQ(console->Char(c[6], c[7]), 'c') << c[0] << "," << c[1];
        child.Destroy();
    }
    Box corner('w');
    Open(corner, 75, 22, 10, 6);
    EXPECT_EQ(console->Text(74, 22, 2), " w");
    EXPECT_EQ(console->Char(79, 24), 'w');
    // An overlay sibling is painted over a window above it.
    Box overlay('O'), window('W');
    Open(overlay, 0, 0, 10, 3, nullptr, WF_VISIBLE | WF_OVERLAY);
    Open(window, 5, 1, 10, 3);
    ASSERT_EQ(ZDesktop::Desktop()->Children().back(), &window);
    window.Redraw();
    EXPECT_EQ(console->Text(5, 1, 10), "OOOOOWWWWW");
}

TEST_F(WindowTest, DestroyRefusedByAChildLeavesTheTreeFromItOnAndDeletingDetaches) {
    Box parent('P'), first('1'), refusing('2'), last('3');
    Open(parent, 0, 0, 30, 10);
    Open(first, 0, 0, 2, 2, &parent);
    Open(refusing, 3, 0, 2, 2, &parent);
    Open(last, 6, 0, 2, 2, &parent);
    refusing.refuseDestroy = true;
    // Destroy takes the child at index 0 each time: first, then the refusing one.
    EXPECT_EQ(parent.Destroy(), 1);
    EXPECT_FALSE(first.IsAttached());
    EXPECT_TRUE(refusing.IsAttached() && last.IsAttached());
    refusing.refuseDestroy = false;
    EXPECT_EQ(parent.Destroy(), 0);
    EXPECT_FALSE(last.IsAttached());
    // Deleting a window detaches it.
    auto window = std::make_unique<Box>('x');
    Open(*window, 0, 0, 5, 5);
    const size_t before = ZDesktop::Desktop()->Children().size();
    window.reset();
    EXPECT_EQ(ZDesktop::Desktop()->Children().size(), before - 1);
    ZDesktop::RedrawAll();
}

// ---------------------------------------------------------------------------------------------
// The desktop.

constexpr uint32_t kCtrlTab = Key(KC_TAB, 9, KF_LCTRL);

TEST_F(DesktopTest, CtrlTabBringsTheLowestFocusableWindowUpUnlessAModalOneIsOnTop) {
    Box a('a'), b('b'), c('c'), modal('m');
    Open(a, 0, 0, 10, 3);
    Open(b, 5, 1, 10, 3);
    Open(c, 10, 2, 10, 3);
    Press({kCtrlTab, kCtrlTab});
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_TRUE(c.keys.empty() && a.keys.empty());  // Ctrl+Tab reaches no window
    Open(modal, 5, 1, 10, 3, nullptr, WF_VISIBLE | WF_FOCUSABLE | WF_MODAL);
    Press({kCtrlTab});
    EXPECT_EQ(ZDesktop::GetFocus(), &modal);
}

// Regression: the loop read the next event before it looked at its stop flag, so the key typed
// after the one that closed a dialog was lost.
TEST_F(DesktopTest, ModalRunReturnsTheEndRunValueOrMinusOneWhenDestroyedAndKeysTypedAheadStay) {
    Box main('m'), dialog('d'), destroyed('x');
    Open(main, 0, 0, 40, 10);
    Open(dialog, 10, 5, 20, 5);
    dialog.endOnKey = true;
    console->PushKey(CharKey('1'));
    console->PushKey(CharKey('2'));
    EXPECT_EQ(dialog.Run(), '1');
    dialog.Destroy();
    RunQueuedKeys(*console);
    EXPECT_EQ(main.keys, std::vector<uint32_t>{CharKey('2')});
    struct Destroyer : Box {
        explicit Destroyer(ZWindow& target) : Box(' '), victim(target) {}
        int OnKey(uint32_t) override { return victim.Destroy(); }
        ZWindow& victim;
    } destroyer(destroyed);
    Open(destroyed, 10, 5, 20, 5);
    Open(destroyer, 0, 0, 5, 5, &destroyed);
    console->PushKey(CharKey('a'));
    EXPECT_EQ(destroyed.Run(), -1);
}

TEST_F(DesktopTest, RunFromAWorkerThreadReturnsTheValueGivenOnTheUiThread) {
    Box dialog('d');
    std::atomic<int> stop{0};
    std::atomic<int> result{-100};
    std::thread worker([&] {
        dialog.Create("worker", ZRec(10, 5, 0, 0), ZRec(0, 0, 20, 5), nullptr,
                      WF_VISIBLE | WF_FOCUSABLE, 0);
        dialog.endOnKey = true;
        result = dialog.Run();
        stop = 1;
        console->PushKey(0);
    });
    // Wait until the worker's window has the focus, then type into it on this (the UI) thread.
    for (int i = 0; i < 10000 && ZDesktop::GetFocus() != &dialog; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    console->PushKey(CharKey('5'));
    ZDesktop::RunLoop(&stop);
    worker.join();
    EXPECT_EQ(result, '5');
    dialog.Destroy();
}

TEST_F(DesktopTest, QuitVetoedByTheHostOrRefusedByAWindowKeepsEverything) {
    Box stubborn('s');
    Open(stubborn, 0, 0, 5, 5);
    console->PushKey(kEsc);  // no to the exit question
    EXPECT_EQ(ZDesktop::Quit(0), 1);
    stubborn.refuseDestroy = true;
    console->PushKey(kEnter);  // yes to the exit question
    EXPECT_EQ(ZDesktop::Quit(0), 1);
    EXPECT_TRUE(console->IsOpen());
    stubborn.refuseDestroy = false;

    ZDesktop::Quit(1);
    static int vetoes = 0;
    ASSERT_EQ(DesktopOpen([] { return ++vetoes, 1; }), 0);
    Box window('w');
    Open(window, 0, 0, 5, 5);
    console->PushKey(kEnter);  // yes to the exit question; then the host vetoes
    EXPECT_EQ(ZDesktop::Quit(0), 1);
    EXPECT_EQ(vetoes, 1);
    EXPECT_TRUE(window.IsAttached());
    EXPECT_TRUE(console->IsOpen());
    EXPECT_EQ(ZDesktop::Quit(1), 0);
    EXPECT_FALSE(window.IsAttached());
}

TEST_F(DesktopTest, ResizeKeepsEveryWindowInsideTheScreen) {
    Box corner('c'), wide('w');
    Open(corner, 70, 20, 10, 5);
    Open(wide, 0, 0, 80, 3);
    console->SetSize(60, 20);
    ASSERT_TRUE(DesktopTakeResize());
    EXPECT_EQ(corner.ScreenRect(), ZRec(50, 15, 10, 5));
    EXPECT_EQ(wide.ScreenRect(), ZRec(0, 0, 60, 3));
}

}  // namespace
}  // namespace kq::ui::testing
