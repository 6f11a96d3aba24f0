// The demo the host runs until the file manager's windows exist: one window on the desktop
// that shows every colour pair and the frame characters, echoes every decoded key, follows
// terminal resizes, and quits on Esc.
#include "host/ConsoleDemo.h"

#include <cstdio>
#include <deque>
#include <string>

#include "kq/keys.h"
#include "kq/plugin.h"
#include "kq/window.h"
#include "ui/ZDialog.h"
#include "ui/ZKeyBar.h"
#include "ui/ZMenu.h"

namespace kq::host {

namespace {

constexpr uint8_t kFrameAttribute = 0x1F;  // bright white on blue
constexpr uint8_t kTextAttribute = 0x17;

std::string DescribeKey(uint32_t event) {
    static const struct {
        uint32_t flag;
        const char* name;
    } kFlags[] = {{KF_DOWN, "down"},     {KF_SHIFT, "Shift"}, {KF_LCTRL, "LCtrl"},
                  {KF_RCTRL, "RCtrl"},   {KF_LALT, "LAlt"},   {KF_RALT, "RAlt"},
                  {KF_CAPSLOCK, "Caps"}, {KF_NUMLOCK, "Num"}, {KF_SCROLLLOCK, "Scroll"}};
    char head[64];
    const unsigned character = KEY_CHAR(event);
    std::snprintf(head, sizeof head, "code %02X  char %02X %c ", KEY_CODE(event), character,
                  character >= 32 ? static_cast<char>(character) : ' ');
    std::string text = head;
    for (const auto& flag : kFlags) {
        if (event & flag.flag) {
            text += ' ';
            text += flag.name;
        }
    }
    return text;
}

class DemoWindow final : public ZWindow {
  public:
    int Draw() override {
        FillCells(' ', kTextAttribute);
        DrawFrame(2, kFrameAttribute);
        // All 256 attributes: row = background, column = foreground.
        for (int background = 0; background < 16; ++background) {
            for (int foreground = 0; foreground < 16; ++foreground) {
                char sample[4];
                std::snprintf(sample, sizeof sample, "%X%X", background, foreground);
                PutText(2 + foreground * 3, 2 + background, sample,
                        static_cast<uint8_t>(background << 4 | foreground));
            }
        }
        // Frame, block and half-block characters of code page 437, and control-byte glyphs.
        PutText(52, 2, "\xDA\xC4\xC2\xC4\xBF \xC9\xCD\xCB\xCD\xBB \xB0\xB1\xB2\xDB",
                kTextAttribute);
        PutText(52, 3, "\xC3\xC4\xC5\xC4\xB4 \xCC\xCD\xCE\xCD\xB9 \xDC\xDF\xDD\xDE",
                kTextAttribute);
        PutText(52, 4, "\xC0\xC4\xC1\xC4\xD9 \xC8\xCD\xCA\xCD\xBC \x01\x02\x03\x04\x7F",
                kTextAttribute);
        char size[32];
        std::snprintf(size, sizeof size, "%d x %d", Width(), Height());
        PutText(52, 6, size, kTextAttribute);
        PutText(52, 8, "F2 next dialog, F3 message box", kTextAttribute);
        PutText(52, 9, "F9 menu bar, Esc quits", kTextAttribute);
        int y = 19;
        PutText(2, y++, "Keys:", kTextAttribute);
        for (const std::string& key : keys_) {
            if (y >= Height() - 1) break;
            PutText(4, y++, key, kTextAttribute);
        }
        return 0;
    }

    int OnKey(uint32_t event) override {
        if ((KEY_CODE(event) == KC_ESC || KEY_CODE(event) == KC_F10) && (event & KF_DOWN)) {
            ZDesktop::Quit(0);
            return 0;
        }
        // A look at the toolkit: every dialog of the language in turn, a message box, and
        // the menu bar.
        if (KEY_CODE(event) == KC_F2) return ShowNextDialog();
        if (KEY_CODE(event) == KC_F3) {
            ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 50, 6), " Message ",
                        "A message box with three buttons.", 0x1 | 0x2 | 0x40, 0x1, WF_MODAL);
            return 0;
        }
        if (KEY_CODE(event) == KC_F9) return ShowMenuBar();
        keys_.push_front(DescribeKey(event));
        if (keys_.size() > 64) keys_.pop_back();
        Redraw();
        return 0;
    }

    int OnScreenResize(int width, int height) override {
        SetPos(ZRec(0, 0, 0, 0),
               ZRec(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)));
        return 0;
    }

  private:
    int ShowNextDialog() {
        ZDialog dialog;
        if (dialog.CreateFromResource(nextDialog_, nullptr, 0) == 0) {
            dialog.Activate(true);
            dialog.Run();
            dialog.Destroy();
        }
        nextDialog_ = nextDialog_ >= 120 ? 100 : nextDialog_ + 1;
        return 0;
    }

    // The menu bar stays up while its pop-ups are used; the commands its items carry come
    // back through OnCommand.
    int ShowMenuBar() {
        if (!menuBar_.IsAttached()) {
            menuBar_.CreateFromResource(1, ZRec(0, 0, 0, 0), ZRec(0, 0, Width(), 1), nullptr,
                                        WF_VISIBLE | WF_AUTOHIDE, 0);
            menuBar_.SetOwner(this);
        }
        menuBar_.Activate(true);
        return 0;
    }

  public:
    int OnCommand(int id) override {
        // Items that only open a pop-up report their own ids too; only real commands count.
        if (id >= 1000 && id < 1006) return 0;
        keys_.push_front("command " + std::to_string(id));
        menuBar_.Close();
        Redraw();
        return 0;
    }

  private:
    ZMenu menuBar_;
    std::deque<std::string> keys_;
    int nextDialog_ = 100;
};

DemoWindow* g_demo = nullptr;
std::string g_title;

int StartDemo() {
    // The key bar is shown first: a window shown later than the demo window, with nothing
    // above it, would take the focus.
    if (ZKeyBar* keyBar = ZKeyBar::Get()) {
        // Labels of F1 to F10, separated by a control character.
        static const char kLabels[] =
            "\x01"
            "Dialog"
            "\x01"
            "Box"
            "\x01\x01\x01\x01\x01\x01"
            "Menu"
            "\x01"
            "Quit";
        keyBar->SetKeyBar(kLabels, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
        keyBar->Show(true);
    }
    ZRec screen;
    ZDesktop::GetPos(screen);
    g_demo->Create((" " + g_title + " - Esc quits ").c_str(), ZRec(0, 0, 0, 0),
                   ZRec(0, 0, screen.w, static_cast<int16_t>(screen.h - 1)), nullptr,
                   WF_VISIBLE | WF_FOCUSABLE, 0);
    g_demo->Activate(true);
    ZDesktop::SetTitle(g_title.c_str());
    return 0;
}

}  // namespace

int RunConsoleDemo(const std::string& title) {
    DemoWindow demo;
    g_demo = &demo;
    g_title = title;
    // The exit query unloads the plugins while the desktop still exists, so that a plugin may
    // ask before it stops (1: the program goes on).
    const int result = ZDesktop::Create(StartDemo, [] { return PluginsFree(); });
    g_demo = nullptr;
    if (result != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    return 0;
}

}  // namespace kq::host
