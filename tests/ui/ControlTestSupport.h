// Shared pieces of the control tests: a dialog-like owner that records the commands and keys its
// controls pass on, and a fixture that places controls in it and types keys through the real
// input loop of the desktop on the in-memory console.
#pragma once

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "kq/keys.h"
#include "kq/text.h"
#include "ui/Clipboard.h"
#include "ui/OverwriteMode.h"
#include "ui/WindowTestSupport.h"

namespace kq::ui::testing {

// Ends a batch of typed keys; every control passes it to its owner.
constexpr uint32_t kEndOfKeys = KEY_EVENT(KC_F12, 0, KF_DOWN);

inline uint32_t Key(uint32_t code, uint32_t flags = 0) {
    return KEY_EVENT(code, 0, KF_DOWN | flags);
}

inline uint32_t CharKey(char character, uint32_t flags = 0) {
    return KEY_EVENT(static_cast<uint8_t>(character), static_cast<uint8_t>(character),
                     KF_DOWN | flags);
}

// The controls' parent and owner. Its left half is drawn in kLeftColour, its right half in
// kRightColour.
class Dialog : public ZWindow {
  public:
    static constexpr uint8_t kLeftColour = 0x1E;
    static constexpr uint8_t kRightColour = 0x4F;

    int Draw() override {
        const int width = Width();
        FillCells(' ', kLeftColour);
        for (int y = 0; y < Height(); ++y) {
            PutText(width / 2, y, std::string(static_cast<size_t>(width - width / 2), ' '),
                    kRightColour);
        }
        return 0;
    }
    int OnKey(uint32_t key) override {
        if (key == kEndOfKeys) {
            stop = 1;
            return 0;
        }
        keys.push_back(key);
        return keyResult;
    }
    int OnCommand(int id) override {
        commands.push_back(id);
        if (onCommand) onCommand(id);
        return 0;
    }

    std::atomic<int> stop{0};
    std::vector<uint32_t> keys;
    int keyResult = 0;
    std::vector<int> commands;
    std::function<void(int)> onCommand;
};

class ControlTest : public DesktopTest {
  protected:
    // Where the dialog sits on the screen.
    static constexpr int kDialogX = 10;
    static constexpr int kDialogY = 5;

    void SetUp() override {
        DesktopTest::SetUp();
        ColDefaultPalette();
        SetOverwriteMode(false);
        ClearClipboardForTesting();
        Open(dialog, kDialogX, kDialogY, 40, 12);
    }

    // Creates a control in the dialog (x, y relative to it) and gives it the focus.
    void Place(ZWindow& control, const char* title, int x, int y, int w, int h, uint32_t flags = 0,
               int id = 0) {
        control.Create(title, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                       ZRec(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)), &dialog,
                       WF_VISIBLE | WF_FOCUSABLE | flags, id);
        control.Activate(true);
    }

    // Types the keys at the focused window through the desktop's input loop.
    void Press(std::initializer_list<uint32_t> keys) {
        for (uint32_t key : keys) console->PushKey(key);
        Finish();
    }
    void Type(std::string_view text) {
        for (char character : text) console->PushKey(CharKey(character));
        Finish();
    }

    // Screen text and attributes of a control's cells, in dialog coordinates.
    std::string Row(int x, int y, int count) const {
        return console->Text(kDialogX + x, kDialogY + y, count);
    }
    uint8_t AttrAt(int x, int y) const { return console->Attr(kDialogX + x, kDialogY + y); }

    static uint8_t Palette(int index) { return ColGetPalette()[index]; }

    Dialog dialog;

  private:
    void Finish() {
        console->PushKey(kEndOfKeys);
        dialog.stop = 0;
        ZDesktop::RunLoop(&dialog.stop);
    }
};

}  // namespace kq::ui::testing
