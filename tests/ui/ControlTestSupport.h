// Shared pieces of the window, menu and control tests: the desktop on the in-memory console, the
// input loop run over queued keys, a window filled with one character that records its keys,
// the application window that owns a menu bar, and a dialog-like owner for controls.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/keys.h"
#include "kq/text.h"
#include "kq/window.h"
#include "ui/Clipboard.h"
#include "ui/DesktopHooks.h"
#include "ui/DesktopInternal.h"
#include "ui/OverwriteMode.h"

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

constexpr uint32_t Key(uint32_t code, uint32_t character = 0, uint32_t flags = 0) {
    return KEY_EVENT(code, character, flags | KF_DOWN);
}
constexpr uint32_t CharKey(char character, uint32_t flags = 0) {
    return Key(static_cast<uint8_t>(character), static_cast<uint8_t>(character), flags);
}
// A letter as typed, for hot keys.
constexpr uint32_t Letter(char letter) {
    return Key(static_cast<uint32_t>(letter | 0x20), static_cast<uint8_t>(letter));
}
constexpr uint32_t kEnter = Key(KC_ENTER, 13);
constexpr uint32_t kEsc = Key(KC_ESC, 27);
constexpr uint32_t kTab = Key(KC_TAB, 9);
constexpr uint32_t kLeft = Key(KC_LEFT);
constexpr uint32_t kRight = Key(KC_RIGHT);
constexpr uint32_t kUp = Key(KC_UP);
constexpr uint32_t kDown = Key(KC_DOWN);
constexpr uint32_t kHome = Key(KC_HOME);
constexpr uint32_t kEnd = Key(KC_END);

class Box : public ZWindow {
  public:
    explicit Box(char fill, uint8_t attribute = 0x17) : fill_(fill), attribute_(attribute) {}

    int Draw() override {
        FillCells(static_cast<uint8_t>(fill_), attribute_);
        return 0;
    }
    int OnKey(uint32_t key) override {
        keys.push_back(key);
        if (endOnKey) EndRun(static_cast<int>(KEY_CHAR(key)));
        return 0;
    }
    int Destroy() override {
        if (refuseDestroy) return 1;
        return ZWindow::Destroy();
    }

    std::vector<uint32_t> keys;
    bool endOnKey = false;
    bool refuseDestroy = false;

  private:
    char fill_;
    uint8_t attribute_;
};

// The window that owns a menu bar: it records every command and every key it receives.
class Application : public Box {
  public:
    Application() : Box('.', 0x07) {}
    int OnCommand(int id) override {
        commands.push_back(id);
        return 0;
    }

    std::vector<int> commands;
};

class DesktopTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console = std::make_shared<kq::console::MemoryConsole>(80, 25);
        kq::console::InstallBackend(console);
        ASSERT_EQ(DesktopOpen(nullptr), 0);
    }
    void TearDown() override {
        ZDesktop::Quit(1);
        kq::console::InstallBackend(nullptr);
    }

    // Creates a visible window and brings it to the top.
    static void Open(ZWindow& window, int x, int y, int w, int h, ZWindow* parent = nullptr,
                     uint32_t flags = WF_VISIBLE | WF_FOCUSABLE, const char* title = nullptr,
                     int id = 0) {
        window.Create(title, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                      ZRec(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)), parent, flags,
                      id);
        window.Activate(true);
    }

    // Queues the keys and lets the input loop dispatch them.
    void Press(const std::vector<uint32_t>& keys) {
        for (const uint32_t key : keys) console->PushKey(key);
        RunQueuedKeys(*console);
    }
    void Type(std::string_view text) {
        for (char character : text) console->PushKey(CharKey(character));
        RunQueuedKeys(*console);
    }

    std::shared_ptr<kq::console::MemoryConsole> console;
};

class PaletteDesktopTest : public DesktopTest {
  protected:
    void SetUp() override {
        ColDefaultPalette();
        DesktopTest::SetUp();
    }
    static uint8_t Colour(int index) { return ColGetPalette()[index]; }
};

// The controls' parent and owner: it records the commands and keys its controls pass on. Its
// left half is drawn in kLeftColour, its right half in kRightColour.
class Dialog : public Box {
  public:
    static constexpr uint8_t kLeftColour = 0x1E;
    static constexpr uint8_t kRightColour = 0x4F;

    Dialog() : Box(' ', kLeftColour) {}
    int Draw() override {
        Box::Draw();
        const int half = Width() / 2;
        for (int y = 0; y < Height(); ++y) {
            PutText(half, y, std::string(static_cast<size_t>(Width() - half), ' '), kRightColour);
        }
        return 0;
    }
    int OnKey(uint32_t key) override {
        keys.push_back(key);
        return 0;
    }
    int OnCommand(int id) override {
        commands.push_back(id);
        if (onCommand) onCommand(id);
        return 0;
    }

    std::vector<int> commands;
    std::function<void(int)> onCommand;
};

class ControlTest : public PaletteDesktopTest {
  protected:
    // Where the dialog sits on the screen.
    static constexpr int kDialogX = 10;
    static constexpr int kDialogY = 5;

    void SetUp() override {
        PaletteDesktopTest::SetUp();
        SetOverwriteMode(false);
        ClearClipboardForTesting();
        Open(dialog, kDialogX, kDialogY, 40, 12);
    }

    // Creates a control in the dialog (x, y relative to it) and gives it the focus.
    void Place(ZWindow& control, const char* title, int x, int y, int w, int h, uint32_t flags = 0,
               int id = 0) {
        Open(control, x, y, w, h, &dialog, WF_VISIBLE | WF_FOCUSABLE | flags, title, id);
    }
    // Screen text and attributes of a control's cells, in dialog coordinates.
    std::string Row(int x, int y, int count) const {
        return console->Text(kDialogX + x, kDialogY + y, count);
    }
    uint8_t AttrAt(int x, int y) const { return console->Attr(kDialogX + x, kDialogY + y); }
    std::vector<uint8_t> Attrs(int x, int y, int count) const {
        std::vector<uint8_t> attributes;
        for (int i = 0; i < count; ++i) attributes.push_back(AttrAt(x + i, y));
        return attributes;
    }
    // The attributes of the given palette colours.
    static std::vector<uint8_t> Colours(std::initializer_list<int> indexes) {
        std::vector<uint8_t> attributes;
        for (const int index : indexes) attributes.push_back(Colour(index));
        return attributes;
    }

    Dialog dialog;
};

}  // namespace kq::ui::testing
