// Shared pieces of the menu, key-bar and clock tests: the desktop with the default palette,
// the input loop run over queued keys, and an application window that records the commands
// and keys its menus hand on.
#pragma once

#include <atomic>
#include <vector>

#include "kq/text.h"
#include "ui/DesktopHooks.h"
#include "ui/WindowTestSupport.h"

namespace kq::ui::testing {

// Ends a queue of keys. The screen saver's key hook takes it, so it reaches no window.
constexpr uint32_t kEndOfKeys = KEY_EVENT(KC_NONE, 0, KF_DOWN);

// Runs the desktop's input loop until every queued key has been dispatched.
inline void RunQueuedKeys(kq::console::MemoryConsole& console) {
    static std::atomic<int> stop{0};
    stop = 0;
    SaverHooks hooks;
    hooks.takeKey = [](uint32_t event) {
        if (event != kEndOfKeys) return false;
        stop = 1;
        return true;
    };
    SetSaverHooks(hooks);
    console.PushKey(kEndOfKeys);
    ZDesktop::RunLoop(&stop);
    SetSaverHooks(SaverHooks{});
}

// The window that owns a menu bar: it records every command and every key it receives.
class Application : public Box {
  public:
    Application() : Box('.', 0x07) {}
    int OnCommand(int id) override {
        commands.push_back(id);
        return 0;
    }
    int OnKey(uint32_t key) override {
        keys.push_back(key);
        return 0;
    }

    std::vector<int> commands;
};

class PaletteDesktopTest : public DesktopTest {
  protected:
    void SetUp() override {
        ColDefaultPalette();
        DesktopTest::SetUp();
    }

    // Queues the keys and lets the input loop dispatch them.
    void Press(const std::vector<uint32_t>& keys) {
        for (const uint32_t key : keys) console->PushKey(key);
        RunQueuedKeys(*console);
    }

    static uint8_t Colour(int index) { return ColGetPalette()[index]; }
};

constexpr uint32_t Key(uint32_t code, uint32_t character = 0, uint32_t flags = 0) {
    return KEY_EVENT(code, character, flags | KF_DOWN);
}
constexpr uint32_t kEnter = Key(KC_ENTER, 13);
constexpr uint32_t kEsc = Key(KC_ESC, 27);
constexpr uint32_t kLeft = Key(KC_LEFT);
constexpr uint32_t kRight = Key(KC_RIGHT);
constexpr uint32_t kUp = Key(KC_UP);
constexpr uint32_t kDown = Key(KC_DOWN);
constexpr uint32_t kHome = Key(KC_HOME);
constexpr uint32_t kEnd = Key(KC_END);

// A letter as typed, for hot keys.
constexpr uint32_t Letter(char letter) {
    return Key(static_cast<uint32_t>(letter | 0x20), static_cast<uint8_t>(letter));
}

}  // namespace kq::ui::testing
