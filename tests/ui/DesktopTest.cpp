// The desktop: Ctrl+Tab switching, modal runs on the UI thread and from worker threads, the
// start callback, quitting with and without a veto, suspend and resume, terminal resizes.
#include <chrono>
#include <thread>

#include "ui/DesktopHooks.h"
#include "ui/WindowTestSupport.h"

namespace kq::ui::testing {
namespace {

constexpr uint32_t kCtrlTab = KEY_EVENT(KC_TAB, 9, KF_DOWN | KF_LCTRL);
constexpr uint32_t kEnter = KEY_EVENT(KC_ENTER, 13, KF_DOWN);

std::atomic<int> g_stopLoop{0};
bool (*g_saverTakesKey)(uint32_t) = nullptr;

// Runs the loop until the queued keys are used up: an F12 queued behind them stops it. The
// F12 is taken where the screen saver takes its keys, so it reaches no window.
void RunQueuedKeys(kq::console::MemoryConsole& console, bool (*saverTakesKey)(uint32_t) = nullptr) {
    g_stopLoop = 0;
    g_saverTakesKey = saverTakesKey;
    SaverHooks hooks;
    hooks.takeKey = [](uint32_t event) {
        if (event == KEY_EVENT(KC_F12, 0, KF_DOWN)) {
            g_stopLoop = 1;
            return true;
        }
        return g_saverTakesKey != nullptr && g_saverTakesKey(event);
    };
    SetSaverHooks(hooks);
    console.PushKey(KEY_EVENT(KC_F12, 0, KF_DOWN));
    ZDesktop::RunLoop(&g_stopLoop);
    SetSaverHooks(SaverHooks{});
}

TEST_F(DesktopTest, CtrlTabBringsTheLowestFocusableWindowUp) {
    Box a('a'), b('b'), c('c');
    Open(a, 0, 0, 10, 3);
    Open(b, 5, 1, 10, 3);
    Open(c, 10, 2, 10, 3);
    ASSERT_EQ(ZDesktop::GetFocus(), &c);
    console->PushKey(kCtrlTab);
    RunQueuedKeys(*console);
    EXPECT_EQ(ZDesktop::GetFocus(), &a);
    console->PushKey(kCtrlTab);
    RunQueuedKeys(*console);
    EXPECT_EQ(ZDesktop::GetFocus(), &b);
    EXPECT_TRUE(c.keys.empty() && a.keys.empty());  // Ctrl+Tab reaches no window
}

TEST_F(DesktopTest, CtrlTabDoesNothingWhileAModalWindowIsOnTop) {
    Box a('a'), modal('m');
    Open(a, 0, 0, 10, 3);
    Open(modal, 5, 1, 10, 3, nullptr, WF_VISIBLE | WF_FOCUSABLE | WF_MODAL);
    console->PushKey(kCtrlTab);
    RunQueuedKeys(*console);
    EXPECT_EQ(ZDesktop::GetFocus(), &modal);
}

TEST_F(DesktopTest, KeysGoToTheFocusedWindow) {
    Box parent('p'), child('c');
    Open(parent, 0, 0, 20, 5);
    Open(child, 1, 1, 5, 2, &parent);
    console->PushKey(KEY_EVENT(0x61, 'a', KF_DOWN));
    RunQueuedKeys(*console);
    ASSERT_GE(child.keys.size(), 1u);
    EXPECT_EQ(child.keys.front(), KEY_EVENT(0x61, 'a', KF_DOWN));
    EXPECT_TRUE(parent.keys.empty());
}

TEST_F(DesktopTest, ModalRunOnTheUiThreadReturnsTheEndRunValue) {
    Box dialog('d');
    Open(dialog, 10, 5, 20, 5);
    dialog.endOnKey = true;
    console->PushKey(KEY_EVENT(0x37, '7', KF_DOWN));
    EXPECT_EQ(dialog.Run(), '7');
}

// Regression: the loop read the next event before it looked at its stop flag, so the key
// typed after the one that closed a dialog was lost.
TEST_F(DesktopTest, KeyTypedAheadOfAClosingDialogReachesTheNextWindow) {
    Box main('m');
    Open(main, 0, 0, 40, 10);
    Box dialog('d');
    Open(dialog, 10, 5, 20, 5);
    dialog.endOnKey = true;
    console->PushKey(KEY_EVENT(0x31, '1', KF_DOWN));
    console->PushKey(KEY_EVENT(0x32, '2', KF_DOWN));
    EXPECT_EQ(dialog.Run(), '1');
    dialog.Destroy();
    RunQueuedKeys(*console);
    ASSERT_FALSE(main.keys.empty());
    EXPECT_EQ(KEY_CHAR(main.keys.front()), static_cast<uint32_t>('2'));
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
    console->PushKey(KEY_EVENT(0x35, '5', KF_DOWN));
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
    console->PushKey(KEY_EVENT(0x61, 'a', KF_DOWN));
    EXPECT_EQ(dialog.Run(), -1);
}

TEST_F(DesktopTest, QuitWithAVetoKeepsEverything) {
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

TEST_F(DesktopTest, QuitRefusedByAWindowKeepsRunning) {
    Box stubborn('s');
    Open(stubborn, 0, 0, 5, 5);
    stubborn.refuseDestroy = true;
    console->PushKey(kEnter);  // yes to the exit question
    EXPECT_EQ(ZDesktop::Quit(0), 1);
    EXPECT_TRUE(console->IsOpen());
    stubborn.refuseDestroy = false;
}

TEST_F(DesktopTest, SetTitleAddsTheTextAfterTheProgramName) {
    ZDesktop::SetTitle(nullptr);
    EXPECT_EQ(console->Title(), "kq/w32");
    ZDesktop::SetTitle("x");
    EXPECT_EQ(console->Title(), "kq/w32 - x");
}

TEST_F(DesktopTest, ResumeTakesTheNewBackground) {
    Box window('w');
    Open(window, 0, 0, 5, 2);
    ZDesktop::Suspend();
    EXPECT_FALSE(console->IsOpen());
    std::vector<uint8_t> printed(80 * 25 * 2);
    for (size_t i = 0; i < printed.size(); i += 2) {
        printed[i] = '#';
        printed[i + 1] = 0x02;
    }
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
    ZRec desktop;
    ZDesktop::GetPos(desktop);
    EXPECT_EQ(desktop, ZRec(0, 0, 60, 20));
    for (const ZWindow* window : {static_cast<ZWindow*>(&corner), static_cast<ZWindow*>(&wide)}) {
        const ZRec rect = window->ScreenRect();
        EXPECT_GE(rect.x, 0);
        EXPECT_GE(rect.y, 0);
        EXPECT_LE(rect.x + rect.w, 60);
        EXPECT_LE(rect.y + rect.h, 20);
    }
    EXPECT_EQ(corner.ScreenRect(), ZRec(50, 15, 10, 5));
    ZRec keyBar;
    ZDesktop::KeyBar()->GetPos(keyBar);
    EXPECT_EQ(keyBar, ZRec(0, 19, 60, 1));
    EXPECT_EQ(console->Char(55, 17), 'c');
    EXPECT_FALSE(DesktopTakeResize());
}

TEST_F(DesktopTest, ScreenSaverRequestClearsTheLastActivity) {
    EXPECT_GT(ZDesktop::LastActivity(), 0);
    ZScreenSaver();
    EXPECT_EQ(ZDesktop::LastActivity(), 0);
}

TEST_F(DesktopTest, KeyThatStopsTheSaverReachesNoWindow) {
    static bool saverRunning = true;
    Box window('w');
    Open(window, 0, 0, 5, 5);
    console->PushKey(KEY_EVENT(0x61, 'a', KF_DOWN));
    console->PushKey(KEY_EVENT(0x62, 'b', KF_DOWN));
    RunQueuedKeys(*console, [](uint32_t) {
        const bool wasRunning = saverRunning;
        saverRunning = false;
        return wasRunning;
    });
    ASSERT_EQ(window.keys.size(), 1u);
    EXPECT_EQ(KEY_CHAR(window.keys.front()), static_cast<uint32_t>('b'));
}

TEST(DesktopCreateTest, StartThatFailsQuitsWithoutEnteringTheLoop) {
    auto console = std::make_shared<kq::console::MemoryConsole>(80, 25);
    kq::console::InstallBackend(console);
    console->PushKey(kEnter);  // the ordinary quit asks the exit question
    console->PushKey(KEY_EVENT(0x61, 'a', KF_DOWN));
    EXPECT_EQ(ZDesktop::Create([] { return 1; }, nullptr), 0);
    EXPECT_EQ(console->PendingInput(), 1u);
    EXPECT_FALSE(console->IsOpen());
    EXPECT_EQ(ZDesktop::Desktop(), nullptr);
    kq::console::InstallBackend(nullptr);
}

TEST(DesktopCreateTest, TakesTheConsolesSizeAndBackground) {
    auto console = std::make_shared<kq::console::MemoryConsole>(100, 30);
    std::vector<uint8_t> before(100 * 30 * 2, 0);
    for (size_t i = 0; i < before.size(); i += 2) {
        before[i] = 'z';
        before[i + 1] = 0x4E;
    }
    console->SetSavedScreen(before);
    console->PushKey(kEnter);  // the ordinary quit asks the exit question
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
    kq::console::InstallBackend(nullptr);
}

TEST(DesktopCreateTest, NoConsoleMeansMinusOne) {
    auto console = std::make_shared<kq::console::MemoryConsole>(0, 0);
    kq::console::InstallBackend(console);
    EXPECT_EQ(ZDesktop::Create([] { return 0; }, nullptr), -1);
    EXPECT_EQ(ZDesktop::Desktop(), nullptr);
    kq::console::InstallBackend(nullptr);
}

}  // namespace
}  // namespace kq::ui::testing
