// A small program for the real-terminal tests: it opens the console layer, draws every
// attribute and a sample of the code page's graphic characters, and logs what the layer
// reports (its size, every key event) to a file that the test reads.
//
// Usage: terminal_probe LOGFILE [--crash|--hang]
//   (none)   runs until Esc is pressed, then closes the console and exits 0
//   --crash  faults (SIGSEGV) right after drawing
//   --hang   never exits on its own: only a signal ends it
//
// Log lines: "PID n", "SIZE cols rows" (on opening and after every resize), "READY" once the
// screen is drawn, "KEY xxxxxxxx" (the raw event in hex), "BYE" before closing.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "console/Console.h"
#include "kq/keys.h"

namespace {

// Where the drawing goes; the test reads the same rows back.
constexpr int kGridTop = 1;       // rows 1-16: background 0-15, columns: foreground 0-15
constexpr int kGraphicsRow = 18;  // bytes 0xB0-0xDF
constexpr int kControlRow = 19;   // bytes 0x00-0x1F, then 0x7F
constexpr uint8_t kGraphicsAttribute = 0x1E;
constexpr uint8_t kControlAttribute = 0x70;

int g_log = -1;

void Log(const std::string& line) {
    const std::string text = line + "\n";
    const char* data = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t written = ::write(g_log, data, left);
        if (written <= 0) return;
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void WriteCells(int x, int y, const std::vector<uint8_t>& cells) {
    ConWrite(static_cast<int16_t>(x), static_cast<int16_t>(y), cells.data(),
             static_cast<int>(cells.size() / 2));
}

void Draw(int cols, int rows) {
    const char* hex = "0123456789ABCDEF";
    std::vector<uint8_t> cells;
    // The whole screen first: blanks in light grey on black.
    for (int i = 0; i < cols * rows; ++i) cells.insert(cells.end(), {' ', 0x07});
    WriteCells(0, 0, cells);
    cells.clear();
    const std::string title = "kq terminal probe";
    for (const char c : title) {
        cells.push_back(static_cast<uint8_t>(c));
        cells.push_back(0x07);
    }
    WriteCells(0, 0, cells);

    // Each sample shows its own attribute in hex: two cells in that attribute.
    for (int background = 0; background < 16; ++background) {
        cells.clear();
        for (int foreground = 0; foreground < 16; ++foreground) {
            const auto attribute = static_cast<uint8_t>(background << 4 | foreground);
            cells.insert(cells.end(), {static_cast<uint8_t>(hex[background]), attribute,
                                       static_cast<uint8_t>(hex[foreground]), attribute});
        }
        WriteCells(0, kGridTop + background, cells);
    }

    cells.clear();
    for (int byte = 0xB0; byte <= 0xDF; ++byte) {
        cells.push_back(static_cast<uint8_t>(byte));
        cells.push_back(kGraphicsAttribute);
    }
    WriteCells(0, kGraphicsRow, cells);

    // Control bytes are characters like any other: they must come out as their glyphs.
    cells.clear();
    for (int byte = 0x00; byte <= 0x1F; ++byte) {
        cells.push_back(static_cast<uint8_t>(byte));
        cells.push_back(kControlAttribute);
    }
    cells.push_back(0x7F);
    cells.push_back(kControlAttribute);
    WriteCells(0, kControlRow, cells);
}

void LogSize(int cols, int rows) {
    Log("SIZE " + std::to_string(cols) + " " + std::to_string(rows));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s LOGFILE [--crash|--hang]\n", argv[0]);
        return 2;
    }
    const bool crash = argc > 2 && std::strcmp(argv[2], "--crash") == 0;
    const bool hang = argc > 2 && std::strcmp(argv[2], "--hang") == 0;
    g_log = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (g_log < 0) {
        std::perror(argv[1]);
        return 2;
    }
    Log("PID " + std::to_string(getpid()));

    int16_t cols = 0;
    int16_t rows = 0;
    if (ConInit(&cols, &rows) != 0) {
        Log("INIT FAILED");
        return 2;
    }
    LogSize(cols, rows);
    ConSetTitle("kq probe title");
    ConSetCursorSize(0);
    Draw(cols, rows);
    // Frames are batched: give the layer a few rounds to send the drawing out.
    for (int round = 0; round < 5; ++round) ConWaitInput(20);
    Log("READY");

    if (crash) {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }

    for (;;) {
        int16_t newCols = 0;
        int16_t newRows = 0;
        if (ConTakeResize(&newCols, &newRows) == 1) {
            LogSize(newCols, newRows);
            Draw(newCols, newRows);
        }
        uint32_t event = 0;
        const int result = ConInput(&event);
        if (result < 0) {
            Log("INPUT FAILED");
            ConShutdown();
            return 3;
        }
        if (result == 1) {
            ConWaitInput(100);
            continue;
        }
        char line[32];
        std::snprintf(line, sizeof line, "KEY %08x", static_cast<unsigned>(event));
        Log(line);
        if (!hang && KEY_CODE(event) == KC_ESC && (event & KF_DOWN)) break;
    }
    Log("BYE");
    ConShutdown();
    ::close(g_log);
    return 0;
}
