// The console demo the host runs until the file manager's windows exist.
#include "host/ConsoleDemo.h"

#include <cstdio>
#include <deque>
#include <string>
#include <vector>

#include "console/Console.h"
#include "kq/keys.h"

namespace kq::host {

namespace {

constexpr uint8_t kFrameAttribute = 0x1F;  // bright white on blue
constexpr uint8_t kTextAttribute = 0x17;

class Canvas {
  public:
    Canvas(int cols, int rows) : cols_(cols), rows_(rows) {}

    void Text(int x, int y, const std::string& text, uint8_t attribute) {
        std::vector<uint8_t> cells;
        for (const char c : text) {
            if (x + static_cast<int>(cells.size() / 2) >= cols_) break;
            cells.push_back(static_cast<uint8_t>(c));
            cells.push_back(attribute);
        }
        if (y < rows_ && x < cols_ && !cells.empty()) {
            ConWrite(static_cast<int16_t>(x), static_cast<int16_t>(y), cells.data(),
                     static_cast<int>(cells.size() / 2));
        }
    }

    void Fill(int y, uint8_t character, uint8_t attribute) {
        Text(0, y, std::string(static_cast<size_t>(cols_), static_cast<char>(character)),
             attribute);
    }

    void Frame(int x, int y, int width, int height, uint8_t attribute) {
        // Double-line frame in code page 437: corners C9 BB C8 BC, lines CD BA.
        std::string top(static_cast<size_t>(width), '\xCD');
        top.front() = '\xC9';
        top.back() = '\xBB';
        std::string bottom = top;
        bottom.front() = '\xC8';
        bottom.back() = '\xBC';
        Text(x, y, top, attribute);
        for (int row = y + 1; row < y + height - 1; ++row) {
            std::string middle(static_cast<size_t>(width), ' ');
            middle.front() = middle.back() = '\xBA';
            Text(x, row, middle, attribute);
        }
        Text(x, y + height - 1, bottom, attribute);
    }

    int Cols() const { return cols_; }
    int Rows() const { return rows_; }

  private:
    int cols_;
    int rows_;
};

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

void Draw(Canvas& canvas, const std::string& title, const std::deque<std::string>& keys) {
    for (int y = 0; y < canvas.Rows(); ++y) canvas.Fill(y, ' ', kTextAttribute);
    canvas.Frame(0, 0, canvas.Cols(), canvas.Rows(), kFrameAttribute);
    canvas.Text(2, 0, " " + title + " - Esc quits ", kFrameAttribute);
    // All 256 attributes: row = background, column = foreground.
    for (int background = 0; background < 16 && 2 + background < canvas.Rows() - 1; ++background) {
        for (int foreground = 0; foreground < 16; ++foreground) {
            char sample[4];
            std::snprintf(sample, sizeof sample, "%X%X", background, foreground);
            canvas.Text(2 + foreground * 3, 2 + background, sample,
                        static_cast<uint8_t>(background << 4 | foreground));
        }
    }
    // Frame, block and half-block characters of code page 437.
    canvas.Text(52, 2, "\xDA\xC4\xC2\xC4\xBF \xC9\xCD\xCB\xCD\xBB \xB0\xB1\xB2\xDB",
                kTextAttribute);
    canvas.Text(52, 3, "\xC3\xC4\xC5\xC4\xB4 \xCC\xCD\xCE\xCD\xB9 \xDC\xDF\xDD\xDE",
                kTextAttribute);
    canvas.Text(52, 4, "\xC0\xC4\xC1\xC4\xD9 \xC8\xCD\xCA\xCD\xBC \x01\x02\x03\x04\x7F",
                kTextAttribute);
    char size[32];
    std::snprintf(size, sizeof size, "%d x %d", canvas.Cols(), canvas.Rows());
    canvas.Text(52, 6, size, kTextAttribute);
    int y = 19;
    canvas.Text(2, y++, "Keys:", kTextAttribute);
    for (const std::string& key : keys) {
        if (y >= canvas.Rows() - 1) break;
        canvas.Text(4, y++, key, kTextAttribute);
    }
}

}  // namespace

int RunConsoleDemo(const std::string& title) {
    int16_t cols = 0;
    int16_t rows = 0;
    if (ConInit(&cols, &rows) != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    ConSetTitle(title.c_str());
    ConSetCursorSize(0);
    Canvas canvas(cols, rows);
    std::deque<std::string> keys;
    Draw(canvas, title, keys);
    for (;;) {
        uint32_t event = 0;
        const int result = ConInput(&event);
        if (result < 0) break;
        if (ConTakeResize(&cols, &rows) == 1) {
            canvas = Canvas(cols, rows);
            Draw(canvas, title, keys);
        }
        if (result == 1) {
            ConWaitInput(1000);
            continue;
        }
        if (KEY_CODE(event) == KC_ESC && (event & KF_DOWN)) break;
        keys.push_front(DescribeKey(event));
        if (keys.size() > 64) keys.pop_back();
        Draw(canvas, title, keys);
    }
    ConShutdown();
    return 0;
}

}  // namespace kq::host
