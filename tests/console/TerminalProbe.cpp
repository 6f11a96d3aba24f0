// terminal_probe LOGFILE [--crash|--hang]: opens the console layer, draws every attribute and
// a sample of the code page's graphic characters, and logs what the layer reports: "PID n",
// "SIZE cols rows" (on opening and after every resize), "READY" once drawn, "KEY xxxxxxxx" (the
// raw event in hex), "BYE" before closing. It exits 0 on Esc; --crash faults right after
// drawing, --hang reads no keys and ends only by a signal: it waits in long console pauses,
// which a resize cuts short.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "console/Console.h"
#include "kq/keys.h"

namespace {

int g_log = -1;

void Log(const std::string& line) {
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t written = ::write(g_log, text.data(), text.size());
}

// Writes the bytes in one attribute from column 0 of a row.
void WriteBytes(int y, const std::vector<uint8_t>& bytes, uint8_t attribute) {
    std::vector<uint8_t> cells;
    for (const uint8_t byte : bytes) cells.insert(cells.end(), {byte, attribute});
    ConWrite(0, static_cast<int16_t>(y), cells.data(), static_cast<int>(bytes.size()));
}

// Blanks, the title, rows 1-16 with background 0-15 and foreground 0-15 across (each sample
// shows its attribute in hex), bytes 0xB0-0xDF on row 18, control bytes on row 19: these
// are characters like any other and must come out as their glyphs.
void Draw(int cols, int rows) {
    const char* hex = "0123456789ABCDEF";
    WriteBytes(0, std::vector<uint8_t>(static_cast<size_t>(cols * rows), ' '), 0x07);
    const std::string title = "kq terminal probe";
    WriteBytes(0, std::vector<uint8_t>(title.begin(), title.end()), 0x07);
    for (int background = 0; background < 16; ++background) {
        std::vector<uint8_t> cells;
        for (int foreground = 0; foreground < 16; ++foreground) {
            const auto attribute = static_cast<uint8_t>(background << 4 | foreground);
            cells.insert(cells.end(), {static_cast<uint8_t>(hex[background]), attribute,
                                       static_cast<uint8_t>(hex[foreground]), attribute});
        }
        ConWrite(0, static_cast<int16_t>(1 + background), cells.data(), 32);
    }
    std::vector<uint8_t> graphics, controls;
    for (int byte = 0xB0; byte <= 0xDF; ++byte) graphics.push_back(static_cast<uint8_t>(byte));
    for (int byte = 0x00; byte <= 0x20; ++byte) controls.push_back(byte < 0x20 ? byte : 0x7F);
    WriteBytes(18, graphics, 0x1E);
    WriteBytes(19, controls, 0x70);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string mode = argc > 2 ? argv[2] : "";
    g_log = ::open(argv[1], O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (g_log < 0) return 2;
    Log("PID " + std::to_string(getpid()));
    int16_t cols = 0, rows = 0;
    if (ConInit(&cols, &rows) != 0) {
        Log("INIT FAILED");
        return 2;
    }
    const auto logSize = [&] { Log("SIZE " + std::to_string(cols) + " " + std::to_string(rows)); };
    logSize();
    ConSetTitle("kq probe title");
    ConSetCursorSize(0);
    Draw(cols, rows);
    // Frames are batched: give the layer a few rounds to send the drawing out.
    for (int round = 0; round < 5; ++round) ConWaitInput(20);
    Log("READY");
    if (mode == "--crash") {
        volatile int* volatile nowhere = nullptr;
        *nowhere = 1;
    }
    for (;;) {
        if (mode == "--hang") {
            if (ConPause(15000) == 1 && ConTakeResize(&cols, &rows) == 1) logSize();
            continue;
        }
        if (ConTakeResize(&cols, &rows) == 1) {
            logSize();
            Draw(cols, rows);
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
        if (mode != "--hang" && KEY_CODE(event) == KC_ESC && (event & KF_DOWN)) break;
    }
    Log("BYE");
    ConShutdown();
    ::close(g_log);
    return 0;
}
