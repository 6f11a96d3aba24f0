// The desktop: the root window holding the terminal's previous content as background, the
// input loop that dispatches keys to the focused window, suspend and resume around external
// programs, screen-size changes and terminal resizes, and the quit procedure.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "console/Console.h"
#include "kq/config.h"
#include "kq/keys.h"
#include "kq/window.h"
#include "ui/DesktopHooks.h"
#include "ui/DesktopInternal.h"
#include "ui/WindowLock.h"
#include "ui/ZKeyBar.h"

// The root window. It has the base class's operations and the host's exit-query callback.
class DesktopWindow final : public ZWindow {
  public:
    explicit DesktopWindow(ZDesktop::Callback exitQuery) : exitQuery_(exitQuery) {}

    // Becomes the root: visible, covering the screen, the background in its cells.
    void Cover(int width, int height) {
        rect_ = screenRect_ = ZRec(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height));
        flags_ |= WF_VISIBLE;
        AllocateCells();
        TakeBackground();
    }
    void TakeBackground() {
        const uint8_t* saved = ConGetSavedScreen();
        if (saved == nullptr) return;
        for (size_t i = 0; i < chars_.size(); ++i) {
            chars_[i] = saved[2 * i];
            attrs_[i] = saved[2 * i + 1];
        }
    }
    void SetVisible(bool visible) {
        if (visible) {
            flags_ |= WF_VISIBLE;
        } else {
            flags_ &= ~static_cast<uint32_t>(WF_VISIBLE);
        }
    }
    // Children are detached without asking them (a forced quit).
    void Abandon() {
        for (ZWindow* child : children_) child->parent_ = nullptr;
        children_.clear();
    }
    ZDesktop::Callback ExitQuery() const { return exitQuery_; }

  private:
    ZDesktop::Callback exitQuery_;
};

namespace kq::ui {

namespace {

// The modifier update of the desktop's key bar, until someone sets another hook.
void UpdateKeyBarModifiers(uint32_t event);

struct DesktopState {
    std::unique_ptr<DesktopWindow> desktop;
    std::unique_ptr<ZKeyBar> keyBar;
    std::thread::id uiThread;
    std::atomic<int64_t> lastActivity{0};
    // The same moment on the monotonic clock, which the idle time is measured on.
    std::atomic<int64_t> lastActivityMs{0};
    std::atomic<int> stop{0};
    std::atomic<bool> redrawsHeld{false};
    SaverHooks saver;
    void (*keyBarModifiers)(uint32_t) = UpdateKeyBarModifiers;
};

DesktopState& State() {
    static DesktopState state;
    return state;
}

void UpdateKeyBarModifiers(uint32_t event) {
    if (ZKeyBar* keyBar = State().keyBar.get()) keyBar->UpdateModifiers(event);
}

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

int64_t MonotonicMs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void MarkActivity() {
    State().lastActivity = Now();
    State().lastActivityMs = MonotonicMs();
}

uint32_t ReadMainValue(const char* name) {
    uint32_t value = 0;
    if (const CfgSection main = CfgOpen("Main")) {
        if (CfgQueryDw(main, name, &value) != 0) value = 0;
        CfgClose(main);
    }
    return value;
}

// How long the loop may wait for a key: until the next full second (so that the clock's Tick
// sees every second), or less when the screen saver asks for it.
int IdleTimeout() {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const auto millisecond = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    int timeout = static_cast<int>(1000 - millisecond % 1000) + 1;
    if (State().saver.idleBudget) {
        const int budget = State().saver.idleBudget();
        if (budget >= 0) timeout = std::min(timeout, budget);
    }
    return timeout;
}

void DispatchKey(uint32_t event) {
    DesktopState& state = State();
    const uint32_t code = KEY_CODE(event);
    if (code >= KC_SHIFT && code <= KC_RALT && state.keyBarModifiers) state.keyBarModifiers(event);
    if (code == KC_TAB && (event & KF_CTRL)) {
        WindowLockGuard lock(WindowLock());
        ZWindow* desktop = ZDesktop::Desktop();
        if (desktop == nullptr || desktop->Children().empty()) return;
        const auto& children = desktop->Children();
        ZWindow* top = children.back();
        if (top->GetFlags() & WF_MODAL) return;
        for (ZWindow* child : children) {
            if (child != top && (child->GetFlags() & WF_FOCUSABLE)) {
                child->Activate(true);
                break;
            }
        }
        return;
    }
    ZWindow* focus = ZDesktop::GetFocus();
    const bool used = focus != nullptr && focus->OnKey(event) == 0;
    // A paste that no edit line took is said to be lost.
    if (!used && code == KC_PASTE) ConBell();
}

void FreeDesktop() {
    DesktopState& state = State();
    state.keyBar.reset();
    state.desktop.reset();
}

}  // namespace

int DesktopOpen(ZDesktop::Callback exitQuery) {
    DesktopState& state = State();
    WindowLockGuard lock(WindowLock());
    if (state.desktop) return -1;
    MarkActivity();
    state.desktop = std::make_unique<DesktopWindow>(exitQuery);
    int16_t width = static_cast<int16_t>(ReadMainValue("Xsize"));
    int16_t height = static_cast<int16_t>(ReadMainValue("Ysize"));
    if (ConInit(&width, &height) != 0) {
        state.desktop.reset();
        return -1;
    }
    state.desktop->Cover(width, height);
    // A stored size is asked of the terminal; it comes as a resize when granted. A value that
    // is no size (0, or past the console's coordinates) asks nothing.
    const uint32_t storedWidth = ReadMainValue("Xsize");
    const uint32_t storedHeight = ReadMainValue("Ysize");
    if (storedWidth <= 0x7FFF && storedHeight <= 0x7FFF) {
        ConRequestSize(static_cast<int>(storedWidth), static_cast<int>(storedHeight));
    }
    state.uiThread = std::this_thread::get_id();
    state.keyBar = std::make_unique<ZKeyBar>();
    state.keyBar->Create(nullptr, ZRec(0, static_cast<int16_t>(height - 1), 0, 0),
                         ZRec(0, 0, width, 1), state.desktop.get(), 0, 0);
    state.desktop->Redraw();
    return 0;
}

bool DesktopTakeResize() {
    int16_t width = 0;
    int16_t height = 0;
    if (ConTakeResize(&width, &height) != 1) return false;
    DesktopState& state = State();
    WindowLockGuard lock(WindowLock());
    if (!state.desktop) return false;
    state.desktop->Cover(width, height);
    if (state.keyBar) {
        state.keyBar->SetPos(ZRec(0, static_cast<int16_t>(height - 1), 0, 0), ZRec(0, 0, width, 1));
    }
    const std::vector<ZWindow*> children = state.desktop->Children();
    for (ZWindow* child : children) {
        if (child != state.keyBar.get()) child->OnScreenResize(width, height);
    }
    ZDesktop::RedrawAll();
    return true;
}

bool RedrawsHeld() {
    return State().redrawsHeld.load(std::memory_order_relaxed);
}

void ReleaseRedraws() {
    if (State().redrawsHeld.exchange(false)) ZDesktop::RedrawAll();
}

int64_t DesktopIdleMilliseconds() {
    if (State().lastActivity == 0) return INT64_MAX;
    return std::max<int64_t>(MonotonicMs() - State().lastActivityMs, 0);
}

void DesktopSetVisible(bool visible) {
    WindowLockGuard lock(WindowLock());
    if (State().desktop) State().desktop->SetVisible(visible);
}

void SetSaverHooks(const SaverHooks& hooks) {
    State().saver = hooks;
}

void SetKeyBarModifierHook(void (*update)(uint32_t event)) {
    State().keyBarModifiers = update;
}

}  // namespace kq::ui

using kq::ui::State;
using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

int ZDesktop::Create(Callback start, Callback exitQuery) {
    if (kq::ui::DesktopOpen(exitQuery) != 0) return -1;
    if (start != nullptr) {
        // Building the shell activated and raised each panel several times, each time drawing
        // it (and the windows over it) again: the windows are drawn once, when it is built.
        State().redrawsHeld = true;
        const int failed = start();
        kq::ui::ReleaseRedraws();
        if (failed != 0) {
            if (Quit(0) != 0) Quit(1);
            return 0;
        }
    }
    State().stop = 0;
    RunLoop(&State().stop);
    // The loop also ends when the terminal goes away; nothing may stay open then.
    if (State().desktop) Quit(1);
    return 0;
}

int ZDesktop::RunLoop(std::atomic<int>* stop) {
    kq::ui::DesktopState& state = State();
    if (state.saver.choose) state.saver.choose();
    // A loop inside the start callback (a message box) shows what has been built so far.
    kq::ui::ReleaseRedraws();
    // What ticks (the clock) is brought up to date before the first wait sends the first frame:
    // that frame goes out at once and must not show the clock's time from before it ticked.
    if (ZWindow* desktop = Desktop()) desktop->Tick();
    // The stop flag is looked at before the next event is read, not after: a key typed ahead
    // of a closing dialog belongs to whatever has the focus next, and must not be swallowed by
    // the loop that is ending.
    while (*stop == 0) {
        uint32_t event = 0;
        const int result = ConInput(&event);
        if (result < 0) break;
        if (ZWindow* desktop = Desktop()) desktop->Tick();
        kq::ui::DesktopTakeResize();
        if (result == 1) {
            ConWaitInput(kq::ui::IdleTimeout());
            if (state.saver.idlePass) state.saver.idlePass();
        } else {
            kq::ui::MarkActivity();
            if (!(state.saver.takeKey && state.saver.takeKey(event))) kq::ui::DispatchKey(event);
        }
    }
    return 0;
}

ZWindow* ZDesktop::Desktop() {
    return State().desktop.get();
}

ZWindow* ZDesktop::KeyBar() {
    return State().keyBar.get();
}

ZWindow* ZDesktop::GetFocus() {
    WindowLockGuard lock(WindowLock());
    ZWindow* window = Desktop();
    while (window != nullptr) {
        ZWindow* next = window->TopVisibleChild();
        if (next == nullptr) break;
        window = next;
    }
    return window;
}

int ZDesktop::Quit(int force) {
    kq::ui::DesktopState& state = State();
    if (!state.desktop) return 0;
    if (force == 0) {
        if (!kq::ui::AskExitQuestion()) return 1;
        if (Callback query = state.desktop->ExitQuery(); query != nullptr && query() != 0) {
            return 1;
        }
        if (state.desktop->Destroy() != 0) return 1;
    } else {
        state.desktop->Destroy();
        state.desktop->Abandon();
    }
    {
        WindowLockGuard lock(WindowLock());
        kq::ui::FreeDesktop();
    }
    state.stop = 1;
    ConShutdown();
    return 0;
}

int ZDesktop::GetPos(ZRec& rect) {
    if (ZWindow* desktop = Desktop()) {
        desktop->GetPos(rect);
    } else {
        rect = ZRec();
    }
    return 0;
}

int ZDesktop::SetTitle(const char* text) {
    std::string title = "kq/w32";
    if (text != nullptr) {
        title += " - ";
        title += text;
    }
    ConSetTitle(title.c_str());
    return 0;
}

int ZDesktop::Suspend() {
    if (ZWindow* desktop = Desktop()) desktop->Show(false);
    ConShutdown();
    return 0;
}

int ZDesktop::Resume() {
    kq::ui::DesktopState& state = State();
    if (!state.desktop) return -1;
    kq::ui::MarkActivity();
    ZRec rect;
    state.desktop->GetPos(rect);
    int16_t width = rect.w;
    int16_t height = rect.h;
    if (ConInit(&width, &height) != 0) return -1;
    WindowLockGuard lock(WindowLock());
    // The terminal may have changed size while the program was away.
    state.desktop->Cover(width, height);
    if (width != rect.w || height != rect.h) {
        if (state.keyBar) {
            state.keyBar->SetPos(ZRec(0, static_cast<int16_t>(height - 1), 0, 0),
                                 ZRec(0, 0, width, 1));
        }
        const std::vector<ZWindow*> children = state.desktop->Children();
        for (ZWindow* child : children) {
            if (child != state.keyBar.get()) child->OnScreenResize(width, height);
        }
    }
    const std::vector<ZWindow*> children = state.desktop->Children();
    for (ZWindow* child : children) child->Redraw();
    return 0;
}

int ZDesktop::SetScreenSize(ZRec size) {
    kq::ui::DesktopState& state = State();
    if (!state.desktop) return -1;
    // The terminal decides: one that takes the size reports it as a resize, which the desktop
    // adopts like any other (at once here when it came at once); the others keep their size.
    if (ConRequestSize(size.w, size.h) != 0) return -1;
    if (const CfgSection main = CfgOpen("Main")) {
        CfgSetDw(main, "Xsize", static_cast<uint32_t>(size.w));
        CfgSetDw(main, "Ysize", static_cast<uint32_t>(size.h));
        CfgClose(main);
    }
    kq::ui::DesktopTakeResize();
    return 0;
}

int ZDesktop::RedrawAll() {
    if (ZWindow* desktop = Desktop()) desktop->Redraw();
    return 0;
}

int64_t ZDesktop::LastActivity() {
    return State().lastActivity;
}

bool ZDesktop::IsUiThread() {
    return std::this_thread::get_id() == State().uiThread;
}

extern "C" void ZScreenSaver(void) {
    State().lastActivity = 0;
}
