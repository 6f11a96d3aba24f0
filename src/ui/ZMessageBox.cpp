// The message box: a dialog built in code with a text and a row of buttons chosen by bit mask,
// and ZMessageBox, which shows one modally.
#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "console/Console.h"
#include "kq/kernel.h"
#include "kq/resources.h"
#include "kq/text.h"
#include "ui/ZButton.h"
#include "ui/ZDialog.h"
#include "ui/ZStatic.h"

namespace {

constexpr int kAlertBackgroundColour = 15;
constexpr int kAlertFrameColour = 16;
constexpr int kMinimumButtonWidth = 8;

// The language string of each button bit, from the lowest bit up.
constexpr int kButtonStrings[14] = {100, 101, 102, 103, 104, 105, 106,
                                    107, 115, 116, 108, 109, 110, 111};

}  // namespace

int ZMessageBoxWindow::Draw() {
    if (!(GetFlags() & WF_DEFAULT)) return ZDialog::Draw();
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kAlertBackgroundColour]);
    DrawFrame(2, palette[kAlertFrameColour]);
    return 0;
}

int ZMessageBoxWindow::OnCommand(int id) {
    EndRun(id);
    return 0;
}

int ZMessageBoxWindow::Init(ZWindow* parent, ZRec pos, ZRec size, const char* title,
                            const char* text, uint32_t buttons, int defaultButton, uint32_t flags) {
    if (parent == nullptr) parent = ZDesktop::Desktop();
    ZRec parentRect;
    if (parent) parent->GetPos(parentRect);
    if (pos.x < 0) pos.x = static_cast<int16_t>((parentRect.w - size.w) / 2);
    if (pos.y < 0) pos.y = static_cast<int16_t>((parentRect.h - size.h) / 2);
    Create(title, pos, size, parent, flags, 0);
    // The bell rings on the terminal the program draws on; without an open console (a box
    // shown before or after the desktop) the kernel's bell serves.
    if ((flags & WF_BEEP) && ConBell() != 0) KeSound(1000, 100);

    ZWindow* label = AdoptControl(std::make_unique<ZStatic>());
    label->Create(text, ZRec(2, 1, 0, 0),
                  ZRec(0, 0, static_cast<int16_t>(size.w - 4), static_cast<int16_t>(size.h - 3)),
                  this, WF_VISIBLE, 0);

    std::vector<ZWindow*> row;
    int total = 0;
    for (int bit = 0; bit < 14; ++bit) {
        const uint32_t mask = 1u << bit;
        if (!(buttons & mask)) continue;
        char* caption = ResLoadString(ResGetLanguage(), kButtonStrings[bit]);
        const int width =
            std::max(static_cast<int>(caption ? std::strlen(caption) : 0) + 1, kMinimumButtonWidth);
        uint32_t buttonFlags = WF_VISIBLE | WF_FOCUSABLE;
        if (row.empty()) buttonFlags |= WF_GROUP;
        if (static_cast<int>(mask) == defaultButton) buttonFlags |= WF_DEFAULT;
        ZWindow* button = AdoptControl(std::make_unique<ZButton>());
        button->Create(caption ? caption : "", ZRec(1, static_cast<int16_t>(size.h - 2), 0, 0),
                       ZRec(0, 0, static_cast<int16_t>(width), 1), this, buttonFlags,
                       static_cast<int>(mask));
        ResFreeString(caption);
        row.push_back(button);
        total += width + 1;
    }
    int x = size.w / 2 - total / 2;
    for (ZWindow* button : row) {
        ZRec rect;
        button->GetPos(rect);
        button->SetPos(ZRec(static_cast<int16_t>(x), rect.y, 0, 0), rect);
        x += rect.w + 1;
    }
    // The default button has the focus, else the first focusable control.
    ZWindow* focus = GetControl(defaultButton);
    if (focus == nullptr || !(focus->GetFlags() & WF_FOCUSABLE)) {
        focus = nullptr;
        for (ZWindow* child : Children()) {
            if (child->GetFlags() & WF_FOCUSABLE) {
                focus = child;
                break;
            }
        }
    }
    if (focus) PutOnTop(focus);
    return 0;
}

extern "C" int ZMessageBox(ZWindow* parent, ZRec pos, ZRec size, const char* title,
                           const char* text, uint32_t buttons, int defaultButton, uint32_t flags) {
    ZMessageBoxWindow box;
    box.Init(parent, pos, size, title, text, buttons, defaultButton, flags);
    const int result = box.Run();
    box.Destroy();
    return result;
}
