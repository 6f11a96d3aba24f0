// The demo the host runs until the file manager's windows exist: one window on the desktop
// that shows every colour pair and the frame characters, echoes every decoded key, follows
// terminal resizes, and quits on Esc.
#include "host/ConsoleDemo.h"

#include <cstdio>
#include <deque>
#include <string>

#include "kq/keys.h"
#include "kq/window.h"

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
        int y = 19;
        PutText(2, y++, "Keys:", kTextAttribute);
        for (const std::string& key : keys_) {
            if (y >= Height() - 1) break;
            PutText(4, y++, key, kTextAttribute);
        }
        return 0;
    }

    int OnKey(uint32_t event) override {
        if (KEY_CODE(event) == KC_ESC && (event & KF_DOWN)) {
            ZDesktop::Quit(0);
            return 0;
        }
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
    std::deque<std::string> keys_;
};

DemoWindow* g_demo = nullptr;
std::string g_title;

int StartDemo() {
    ZRec screen;
    ZDesktop::GetPos(screen);
    g_demo->Create((" " + g_title + " - Esc quits ").c_str(), ZRec(0, 0, 0, 0),
                   ZRec(0, 0, screen.w, screen.h), nullptr, WF_VISIBLE | WF_FOCUSABLE, 0);
    g_demo->Activate(true);
    ZDesktop::SetTitle(g_title.c_str());
    return 0;
}

}  // namespace

int RunConsoleDemo(const std::string& title) {
    DemoWindow demo;
    g_demo = &demo;
    g_title = title;
    const int result = ZDesktop::Create(StartDemo, nullptr);
    g_demo = nullptr;
    if (result != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    return 0;
}

}  // namespace kq::host
