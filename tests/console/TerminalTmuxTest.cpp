// The console layer on a real terminal: tmux runs terminal_probe; the tests compare every cell
// it drew (character and colours) with the screen, type keys and read the events it logged,
// resize the window, and check the terminal given back after an exit, a signal and a crash.
#include <signal.h>

#include <array>

#include "kq/keys.h"
#include "support/TmuxSession.h"

#ifndef TERMINAL_PROBE
#error "TERMINAL_PROBE must name the probe program"
#endif

namespace {

using namespace kq::testing;

// Console colours have blue in bit 0 and red in bit 2; terminal colours the other way round.
constexpr std::array<int, 16> kTerminalColour = {0, 4,  2,  6,  1, 5,  3,  7,
                                                 8, 12, 10, 14, 9, 13, 11, 15};
// Code page 437 bytes 0xB0-0xDF, and the glyphs of bytes 0x00-0x1F and 0x7F (0x00 blank).
constexpr std::u32string_view kGraphics = U"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀";
constexpr std::u32string_view kControls = U" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼⌂";

// What the probe draws: its title, every attribute as two hex digits (rows 1-16), the
// graphic characters on row 18 and the control glyphs on row 19.
Screen ExpectedScreen(int cols, int rows) {
    Screen screen;
    const auto cell = [](char32_t ch, int attribute) {
        return Cell{ch, kTerminalColour[attribute & 15], kTerminalColour[attribute >> 4], 0};
    };
    screen.rows.assign(rows, std::vector<Cell>(cols, cell(U' ', 0x07)));
    const auto put = [&](int x, int y, char32_t ch, int attribute) {
        if (x < cols && y < rows) screen.rows[y][x] = cell(ch, attribute);
    };
    for (int i = 0; i < 17; ++i) put(i, 0, "kq terminal probe"[i], 0x07);
    for (int attribute = 0; attribute < 256; ++attribute) {
        put(2 * (attribute & 15), 1 + (attribute >> 4), "0123456789ABCDEF"[attribute >> 4],
            attribute);
        put(2 * (attribute & 15) + 1, 1 + (attribute >> 4), "0123456789ABCDEF"[attribute & 15],
            attribute);
    }
    for (int i = 0; i < 48; ++i) put(i, 18, kGraphics[i], 0x1E);
    for (int i = 0; i < 33; ++i) put(i, 19, kControls[i], 0x70);
    return screen;
}

class TerminalTmuxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxSession::TmuxPath()) GTEST_SKIP() << "tmux is not installed";
    }
    void StartProbe(const std::string& arguments) {
        s_ = std::make_unique<TmuxSession>(
            "TERM=tmux-256color " + ShellQuote(TERMINAL_PROBE) + " \"$PWD/probe.log\" " + arguments,
            100, 30);
        ASSERT_NO_FATAL_FAILURE(s_->Start());
        ASSERT_TRUE(WaitUntil([&] { return Logged("READY"); })) << s_->File("probe.log");
    }
    // The log lines that start with prefix, without it.
    std::vector<std::string> Log(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const std::string& line : SplitLines(s_->File("probe.log"))) {
            if (line.starts_with(prefix)) lines.push_back(line.substr(prefix.size()));
        }
        return lines;
    }
    bool Logged(const std::string& line) const { return !Log(line).empty(); }
    std::vector<uint32_t> Keys() const {
        std::vector<uint32_t> events;
        for (const std::string& key : Log("KEY ")) events.push_back(std::stoul(key, nullptr, 16));
        return events;
    }
    // Each cell as character fg/bg/attributes, a row a line.
    static std::string Cells(const Screen& screen, int cols, int rows) {
        std::string text;
        for (int y = 0; y < rows; ++y, text += '\n') {
            for (int x = 0; x < cols; ++x) {
                const Cell c = screen.At(x, y);
                text += Utf8(c.ch) + std::to_string(c.fg) + "/" + std::to_string(c.bg) + "/" +
                        std::to_string(c.attrs) + " ";
            }
        }
        return text;
    }
    void ExpectDrawing(int cols, int rows) {
        const std::string expected = Cells(ExpectedScreen(cols, rows), cols, rows);
        std::string shown;
        WaitUntil([&] { return (shown = Cells(s_->Capture(), cols, rows)) == expected; }, 10000,
                  20);
        EXPECT_EQ(shown, expected);
    }
    std::unique_ptr<TmuxSession> s_;
};

// Shift, either Ctrl and either Alt, one bit each.
uint32_t Modifiers(uint32_t event) {
    return (event & KF_SHIFT ? KF_SHIFT : 0) | (event & KF_CTRL ? KF_LCTRL : 0) |
           (event & KF_ALT ? KF_LALT : 0);
}

TEST_F(TerminalTmuxTest, DrawsDecodesKeysFollowsResizesAndGivesTheTerminalBack) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(""));
    EXPECT_TRUE(Logged("SIZE 100 30"));
    ExpectDrawing(100, 30);
    // The program's modes: the alternate screen, application keypad, no wrap, no cursor.
    EXPECT_TRUE(WaitUntil([&] {
        return s_->Display("#{alternate_on} #{keypad_flag} #{wrap_flag} #{cursor_flag}") ==
               "1 1 0 0";
    }));
    EXPECT_EQ(s_->Display("#{pane_title}"), "kq probe title");

    // Keys as tmux sends them (legacy xterm sequences); each followed by a '~' marker.
    const struct {
        std::string key;  // a tmux key name; sent as text when not ASCII
        uint8_t code, character;
        uint32_t modifiers;
    } keys[] = {{"A", 'a', 'A', KF_SHIFT},
                {"F1", KC_F1, 0, 0},
                {"S-F5", KC_F5, 0, KF_SHIFT},
                {"Up", KC_UP, 0, 0},
                {"Home", KC_HOME, 0, 0},
                {"DC", KC_DEL, 0, 0},
                {"C-a", 'a', 0x01, KF_LCTRL},
                {"C-h", 'h', 0x08, KF_LCTRL},
                {"BSpace", KC_BACK, 0x08, 0},
                {"BTab", KC_TAB, 0x09, KF_SHIFT},
                {"Enter", KC_ENTER, 0x0D, 0},
                {"M-x", 'x', 'x', KF_LALT},
                {"C-S-Right", KC_RIGHT, 0, KF_LCTRL | KF_SHIFT},
                {"é", KC_NONE, 0x82, 0}};  // code page 437's e acute
    for (const auto& key : keys) {
        SCOPED_TRACE(key.key);
        const size_t before = Keys().size();
        s_->Keys({key.key}, key.key[0] & 0x80);
        s_->Text("~");
        std::vector<uint32_t> events;
        ASSERT_TRUE(WaitUntil([&] {
            events = Keys();
            return events.size() > before && KEY_CHAR(events.back()) == '~';
        }));
        ASSERT_EQ(events.size(), before + 2);
        const uint32_t e = events[before];
        EXPECT_EQ((std::array<uint32_t, 4>{KEY_CODE(e), KEY_CHAR(e), Modifiers(e), e & KF_DOWN}),
                  (std::array<uint32_t, 4>{key.code, key.character, key.modifiers, KF_DOWN}))
            << std::hex << e;
    }

    // After a resize the new size is reported and the redraw fills it.
    s_->Resize(120, 40);
    ASSERT_TRUE(WaitUntil([&] { return Log("SIZE ").back() == "120 40"; }));
    EXPECT_EQ(s_->Display("#{pane_width} #{pane_height}"), "120 40");
    ExpectDrawing(120, 40);
    s_->Resize(100, 30);  // and back to the starting size before the end
    ASSERT_TRUE(WaitUntil([&] { return Log("SIZE ").back() == "100 30"; }));

    s_->Keys({"Escape"});
    s_->ExpectEndedAndRestored("EXIT=0");
    EXPECT_TRUE(Logged("BYE"));
    EXPECT_EQ(s_->Capture().Row(1), "EXIT=0");  // the cursor came back below the shell's line
}

struct Ending {
    const char* name;
    int signalNumber;  // 0: the probe crashes by itself
    const char* exitLine;
};

class TerminalEndingTest : public TerminalTmuxTest, public ::testing::WithParamInterface<Ending> {};

TEST_P(TerminalEndingTest, RestoresTheTerminal) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(GetParam().signalNumber != 0 ? "--hang" : "--crash"));
    if (GetParam().signalNumber != 0) {
        EXPECT_TRUE(WaitUntil([&] { return s_->Alternate(); }));
        s_->Resize(90, 28);  // seen within the long pause, as the signal is
        EXPECT_TRUE(WaitUntil([&] { return Log("SIZE ").back() == "90 28"; }));
        ASSERT_FALSE(Log("PID ").empty());
        ASSERT_EQ(kill(std::stoi(Log("PID ")[0]), GetParam().signalNumber), 0);
    }
    s_->ExpectEndedAndRestored(GetParam().exitLine);
    EXPECT_FALSE(Logged("BYE"));
}

INSTANTIATE_TEST_SUITE_P(Endings, TerminalEndingTest,
                         ::testing::Values(Ending{"Sigterm", SIGTERM, "EXIT=143"},
                                           Ending{"Sighup", SIGHUP, "EXIT=129"},
                                           Ending{"Sigint", SIGINT, "EXIT=130"},
                                           Ending{"Segfault", 0, "EXIT=139"}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
