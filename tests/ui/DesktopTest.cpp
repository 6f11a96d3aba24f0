// The desktop: Ctrl+Tab switching, modal runs on the UI thread and from worker threads, the
// start callback, quitting with and without a veto, suspend and resume, terminal resizes.
#include <chrono>
#include <thread>

#include "ui/ControlTestSupport.h"

namespace kq::ui::testing {
namespace {

constexpr uint32_t kCtrlTab = Key(KC_TAB, 9, KF_LCTRL);

TEST_F(DesktopTest, CtrlTabBringsTheLowestFocusableWindowUpUnlessAModalOneIsOnTop) {
    Box a('a'), b('b'), c('c'), modal('m');
    Open(a, 0, 0, 10, 3);
    Open(b, 5, 1, 10, 3);
    Open(c, 10, 2, 10, 3);
    Press({kCtrlTab});
    EXPECT_EQ(ZDesktop::GetFocus(), &a);
    Press({kCtrlTab});
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_TRUE(c.keys.empty() && a.keys.empty());  // Ctrl+Tab reaches no window
    Open(modal, 5, 1, 10, 3, nullptr, WF_VISIBLE | WF_FOCUSABLE | WF_MODAL);
    Press({kCtrlTab});
    EXPECT_EQ(ZDesktop::GetFocus(), &modal);
}

TEST_F(DesktopTest, KeysGoToTheFocusedChild) {
    Box parent('p'), child('c');
    Open(parent, 0, 0, 20, 5);
    Open(child, 1, 1, 5, 2, &parent);
    Press({CharKey('a')});
    EXPECT_EQ(child.keys, std::vector<uint32_t>{CharKey('a')});
    EXPECT_TRUE(parent.keys.empty());
}

// Regression: the loop read the next event before it looked at its stop flag, so the key typed
// after the one that closed a dialog was lost.
TEST_F(DesktopTest, ModalRunReturnsTheEndRunValueAndTheKeyTypedAheadReachesTheNextWindow) {
    Box main('m'), dialog('d');
    Open(main, 0, 0, 40, 10);
    Open(dialog, 10, 5, 20, 5);
    dialog.endOnKey = true;
    console->PushKey(CharKey('1'));
    console->PushKey(CharKey('2'));
    EXPECT_EQ(dialog.Run(), '1');
    dialog.Destroy();
    RunQueuedKeys(*console);
    EXPECT_EQ(main.keys, std::vector<uint32_t>{CharKey('2')});
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

TEST_F(DesktopTest, DestroyEndsAModalRunWithMinusOne) {
    Box dialog('d');
    Open(dialog, 10, 5, 20, 5);
    struct Destroyer : Box {
        explicit Destroyer(ZWindow& target) : Box(' '), victim(target) {}
        int OnKey(uint32_t) override { return victim.Destroy(); }
        ZWindow& victim;
    } destroyer(dialog);
    Open(destroyer, 0, 0, 5, 5, &dialog);
    console->PushKey(CharKey('a'));
    EXPECT_EQ(dialog.Run(), -1);
}

TEST_F(DesktopTest, QuitVetoedByTheHostOrRefusedByAWindowKeepsEverything) {
    Box stubborn('s');
    Open(stubborn, 0, 0, 5, 5);
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
    EXPECT_FALSE(console->IsOpen());
    EXPECT_FALSE(window.IsAttached());
}

TEST_F(DesktopTest, TitleAndScreenSaver) {
    ZDesktop::SetTitle(nullptr);
    EXPECT_EQ(console->Title(), "kq/w32");
    ZDesktop::SetTitle("x");
    EXPECT_EQ(console->Title(), "kq/w32 - x");
    EXPECT_GT(ZDesktop::LastActivity(), 0);
    ZScreenSaver();
    EXPECT_EQ(ZDesktop::LastActivity(), 0);

    // The key that stops the saver reaches no window.
    static bool saverRunning = true;
    Box window('w');
    Open(window, 0, 0, 5, 5);
    console->PushKey(CharKey('a'));
    console->PushKey(CharKey('b'));
    RunQueuedKeys(*console, [](uint32_t) { return std::exchange(saverRunning, false); });
    EXPECT_EQ(window.keys, std::vector<uint32_t>{CharKey('b')});
}

TEST_F(DesktopTest, ResumeTakesTheNewBackground) {
    Box window('w');
    Open(window, 0, 0, 5, 2);
    ZDesktop::Suspend();
    EXPECT_FALSE(console->IsOpen());
    std::vector<uint8_t> printed(80 * 25 * 2, 0x02);
    for (size_t i = 0; i < printed.size(); i += 2) printed[i] = '#';
    console->SetSavedScreen(printed);
    ASSERT_EQ(ZDesktop::Resume(), 0);
    EXPECT_EQ(console->Char(40, 12), '#');
    EXPECT_EQ(console->Attr(40, 12), 0x02);
    EXPECT_EQ(console->Char(1, 1), 'w');
}

TEST_F(DesktopTest, ResizeKeepsEveryWindowInsideTheScreen) {
    Box corner('c'), wide('w');
    Open(corner, 70, 20, 10, 5);
    Open(wide, 0, 0, 80, 3);
    console->SetSize(60, 20);
    ASSERT_TRUE(DesktopTakeResize());
    ZRec desktop, keyBar;
    ZDesktop::GetPos(desktop);
    EXPECT_EQ(desktop, ZRec(0, 0, 60, 20));
    EXPECT_EQ(corner.ScreenRect(), ZRec(50, 15, 10, 5));
    EXPECT_EQ(wide.ScreenRect(), ZRec(0, 0, 60, 3));
    ZDesktop::KeyBar()->GetPos(keyBar);
    EXPECT_EQ(keyBar, ZRec(0, 19, 60, 1));
    EXPECT_EQ(console->Char(55, 17), 'c');
    EXPECT_FALSE(DesktopTakeResize());
}

// Create takes the console's size and background, quits without entering the loop when the
// start callback fails, and fails with no console.
TEST(DesktopCreateTest, StartCallbackAndConsole) {
    auto console = std::make_shared<kq::console::MemoryConsole>(100, 30);
    std::vector<uint8_t> before(100 * 30 * 2, 0x4E);
    for (size_t i = 0; i < before.size(); i += 2) before[i] = 'z';
    console->SetSavedScreen(before);
    console->PushKey(kEnter);  // the ordinary quit asks the exit question
    console->PushKey(CharKey('a'));
    kq::console::InstallBackend(console);
    static std::shared_ptr<kq::console::MemoryConsole> seen;
    seen = console;
    EXPECT_EQ(ZDesktop::Create(
                  [] {
                      ZRec rect;
                      ZDesktop::GetPos(rect);
                      EXPECT_EQ(rect, ZRec(0, 0, 100, 30));
                      EXPECT_EQ(seen->Char(50, 10), 'z');
                      EXPECT_EQ(seen->Attr(50, 10), 0x4E);
                      return 1;
                  },
                  nullptr),
              0);
    seen.reset();
    EXPECT_EQ(console->PendingInput(), 1u);
    EXPECT_FALSE(console->IsOpen());
    EXPECT_EQ(ZDesktop::Desktop(), nullptr);
    kq::console::InstallBackend(std::make_shared<kq::console::MemoryConsole>(0, 0));
    EXPECT_EQ(ZDesktop::Create([] { return 0; }, nullptr), -1);
    EXPECT_EQ(ZDesktop::Desktop(), nullptr);
    kq::console::InstallBackend(nullptr);
}

}  // namespace
}  // namespace kq::ui::testing
