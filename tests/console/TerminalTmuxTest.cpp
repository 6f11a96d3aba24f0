// The console layer on a real terminal emulator: tmux runs the probe program (terminal_probe)
// in a detached session of its own. The tests read the screen back with capture-pane and
// compare every cell's character and colours with what the probe drew, type keys with
// send-keys and check the events the probe logged, resize the window, and check that the
// terminal is given back as it was found after a normal exit, a terminating signal and a crash.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kq/keys.h"
#include "support/ProcessTestSupport.h"
#include "support/TmuxCapture.h"
#include "support/TmuxServer.h"

#ifndef TERMINAL_PROBE
#error "TERMINAL_PROBE must name the probe program"
#endif

namespace {

// Hang guard for everything the tests wait for; generous, since CI machines are loaded.
constexpr int kWaitMs = 10000;
constexpr int kPollMs = 20;
constexpr const char* kSession = "probe";
constexpr const char* kProbeTerm = "tmux-256color";

// ---------------------------------------------------------------------------------------------
// Running programs: the shared helpers, waiting with this file's hang guard.

using namespace kq::testing;

bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = kWaitMs) {
    return kq::testing::WaitUntil(condition, timeoutMs, kPollMs);
}

// ---------------------------------------------------------------------------------------------
// The screen as capture-pane -e shows it.

std::string Describe(const ScreenCell& cell) {
    char text[96];
    std::snprintf(text, sizeof text, "'%s' U+%04X fg %d bg %d%s%s%s", Utf8(cell.character).c_str(),
                  static_cast<unsigned>(cell.character), cell.foreground, cell.background,
                  cell.bold ? " bold" : "", cell.blink ? " blink" : "",
                  cell.reverse ? " reverse" : "");
    return text;
}

// ---------------------------------------------------------------------------------------------
// What the probe draws (see TerminalProbe.cpp), as the terminal must show it.

constexpr int kGridTop = 1;
constexpr int kGraphicsRow = 18;
constexpr int kControlRow = 19;
constexpr uint8_t kGraphicsAttribute = 0x1E;
constexpr uint8_t kControlAttribute = 0x70;
constexpr uint8_t kBlankAttribute = 0x07;

// Console colours have blue in bit 0 and red in bit 2; terminal colours the other way round.
// Bit 3 (intensity) selects the bright half of the 16 colours.
constexpr std::array<int, 16> kTerminalColourOfConsoleColour = {
    0,   // black
    4,   // blue
    2,   // green
    6,   // cyan
    1,   // red
    5,   // magenta
    3,   // brown (yellow)
    7,   // light grey
    8,   // dark grey
    12,  // light blue
    10,  // light green
    14,  // light cyan
    9,   // light red
    13,  // light magenta
    11,  // yellow
    15,  // white
};

// Code page 437, bytes 0xB0-0xDF: shades, box drawing, blocks and half blocks.
constexpr std::u32string_view kGraphicsGlyphs = U"░▒▓│┤╡╢╖╕╣║╗╝╜╛┐└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀";
static_assert(kGraphicsGlyphs.size() == 0xDF - 0xB0 + 1);

// Bytes 0x00-0x1F and 0x7F are shown as the graphic glyphs of the OEM fonts (0x00 is blank).
constexpr std::u32string_view kControlGlyphs = U" ☺☻♥♦♣♠•◘○◙♂♀♪♫☼►◄↕‼¶§▬↨↑↓→←∟↔▲▼⌂";
static_assert(kControlGlyphs.size() == 33);

// A few of the glyphs checked above, spelled out by byte.
struct NamedGlyph {
    uint8_t byte;
    char32_t unicode;
};
constexpr NamedGlyph kNamedGlyphs[] = {
    {0xC4, U'─'}, {0xB3, U'│'}, {0xDA, U'┌'}, {0xBF, U'┐'}, {0xC0, U'└'}, {0xD9, U'┘'},
    {0xC5, U'┼'}, {0xCD, U'═'}, {0xBA, U'║'}, {0xC9, U'╔'}, {0xBB, U'╗'}, {0xC8, U'╚'},
    {0xBC, U'╝'}, {0xDB, U'█'}, {0xDC, U'▄'}, {0xDF, U'▀'}, {0xDD, U'▌'}, {0xDE, U'▐'},
    {0xB0, U'░'}, {0xB1, U'▒'}, {0xB2, U'▓'}, {0x01, U'☺'}, {0x1B, U'←'}, {0x07, U'•'},
    {0x7F, U'⌂'}, {0x00, U' '},
};

char32_t GlyphOf(uint8_t byte) {
    if (byte >= 0xB0 && byte <= 0xDF) return kGraphicsGlyphs[byte - 0xB0];
    if (byte < 0x20) return kControlGlyphs[byte];
    if (byte == 0x7F) return kControlGlyphs[32];
    return byte;
}

ScreenCell Expected(char32_t character, uint8_t attribute) {
    ScreenCell cell;
    cell.character = character;
    cell.foreground = kTerminalColourOfConsoleColour[attribute & 0x0F];
    cell.background = kTerminalColourOfConsoleColour[attribute >> 4];
    return cell;
}

ScreenRows ExpectedScreen(int cols, int rows) {
    ScreenRows screen(
        static_cast<size_t>(rows),
        std::vector<ScreenCell>(static_cast<size_t>(cols), Expected(U' ', kBlankAttribute)));
    const auto put = [&](int x, int y, char32_t character, uint8_t attribute) {
        if (x < cols && y < rows) screen[y][x] = Expected(character, attribute);
    };
    const std::string_view title = "kq terminal probe";
    for (size_t i = 0; i < title.size(); ++i) {
        put(static_cast<int>(i), 0, static_cast<char32_t>(title[i]), kBlankAttribute);
    }
    const char* hex = "0123456789ABCDEF";
    for (int background = 0; background < 16; ++background) {
        for (int foreground = 0; foreground < 16; ++foreground) {
            const auto attribute = static_cast<uint8_t>(background << 4 | foreground);
            put(2 * foreground, kGridTop + background, static_cast<char32_t>(hex[background]),
                attribute);
            put(2 * foreground + 1, kGridTop + background, static_cast<char32_t>(hex[foreground]),
                attribute);
        }
    }
    for (int byte = 0xB0; byte <= 0xDF; ++byte) {
        put(byte - 0xB0, kGraphicsRow, GlyphOf(static_cast<uint8_t>(byte)), kGraphicsAttribute);
    }
    for (int byte = 0; byte < 0x20; ++byte) {
        put(byte, kControlRow, GlyphOf(static_cast<uint8_t>(byte)), kControlAttribute);
    }
    put(0x20, kControlRow, GlyphOf(0x7F), kControlAttribute);
    return screen;
}

// The differences between the expected screen and a capture, at most limit of them.
std::vector<std::string> CompareScreens(const ScreenRows& expected, const ScreenRows& actual,
                                        size_t limit = 24) {
    std::vector<std::string> differences;
    for (size_t y = 0; y < expected.size(); ++y) {
        for (size_t x = 0; x < expected[y].size(); ++x) {
            const ScreenCell got = CellAt(actual, static_cast<int>(x), static_cast<int>(y));
            if (got == expected[y][x]) continue;
            if (differences.size() == limit) {
                differences.push_back("...");
                return differences;
            }
            differences.push_back("row " + std::to_string(y) + " column " + std::to_string(x) +
                                  ": expected " + Describe(expected[y][x]) + ", shown " +
                                  Describe(got));
        }
    }
    return differences;
}

std::string JoinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += "  " + line + "\n";
    return text;
}

// ---------------------------------------------------------------------------------------------
// One tmux server (own socket, no configuration, minimal environment) running the probe.

class TmuxSession {
  public:
    // Starts the server and a cols x rows session whose shell saves the terminal settings,
    // prints a line, then waits for Go() before it runs the probe with probeArguments.
    TmuxSession(const std::string& probeArguments, int cols, int rows) {
        if (server_.Folder().empty()) {
            startError_ = "cannot create the temporary folder";
            return;
        }
        dir_ = server_.Folder();

        const std::string d = dir_.string();
        std::ofstream script(dir_ / "run.sh");
        script << "ulimit -c 0\n"
               << "stty -g > " << ShellQuote(d + "/before.tmp") << " && mv "
               << ShellQuote(d + "/before.tmp") << ' ' << ShellQuote(d + "/before.stty") << "\n"
               << "printf 'hello before\\n'\n"
               << "while [ ! -e " << ShellQuote(d + "/go") << " ]; do sleep 0.05; done\n"
               << "TERM=" << kProbeTerm << ' ' << ShellQuote(TERMINAL_PROBE) << ' '
               << ShellQuote(d + "/probe.log") << ' ' << probeArguments << "\n"
               << "echo \"EXIT=$?\"\n"
               << "stty -g > " << ShellQuote(d + "/after.tmp") << " && mv "
               << ShellQuote(d + "/after.tmp") << ' ' << ShellQuote(d + "/after.stty") << "\n"
               << "exec sleep 600\n";
        script.close();

        started_ = server_.StartSession(kSession, kProbeTerm, cols, rows,
                                        "sh " + ShellQuote(d + "/run.sh"), startError_);
    }

    TmuxSession(const TmuxSession&) = delete;
    TmuxSession& operator=(const TmuxSession&) = delete;

    bool Started() const { return started_; }
    const std::string& StartError() const { return startError_; }

    CommandResult Tmux(const std::vector<std::string>& arguments) const {
        return server_.Tmux(arguments);
    }
    std::string Display(const std::string& format) const {
        return server_.Display(kSession, format);
    }
    std::string PaneFlags() const { return Display(kPaneFlagsFormat); }
    std::string PaneTitle() const { return Display("#{pane_title}"); }

    ScreenRows Capture() const {
        return ParseCapture(Tmux({"capture-pane", "-p", "-e", "-N", "-t", kSession}).output);
    }
    std::vector<std::string> CaptureText() const {
        return SplitLines(Tmux({"capture-pane", "-p", "-t", kSession}).output);
    }

    void SendKeys(const std::vector<std::string>& keys, bool literal) const {
        std::vector<std::string> arguments = {"send-keys", "-t", kSession};
        if (literal) arguments.push_back("-l");
        arguments.insert(arguments.end(), keys.begin(), keys.end());
        Tmux(arguments);
    }

    // Lets the shell run the probe.
    void Go() const { std::ofstream(dir_ / "go").put('\n'); }

    std::string File(const char* name) const { return ReadFile(dir_ / name); }
    bool HasFile(const char* name) const { return std::filesystem::exists(dir_ / name); }
    std::vector<std::string> Log() const { return SplitLines(File("probe.log")); }
    bool LogHas(const std::string& line) const {
        for (const std::string& logged : Log()) {
            if (logged == line) return true;
        }
        return false;
    }
    std::string LogText() const { return JoinLines(Log()); }

    std::vector<uint32_t> KeyEvents() const {
        std::vector<uint32_t> events;
        for (const std::string& line : Log()) {
            if (line.rfind("KEY ", 0) == 0) {
                events.push_back(static_cast<uint32_t>(std::stoul(line.substr(4), nullptr, 16)));
            }
        }
        return events;
    }

    // The sizes the probe reported, oldest first.
    std::vector<std::string> SizeLines() const {
        std::vector<std::string> sizes;
        for (const std::string& line : Log()) {
            if (line.rfind("SIZE ", 0) == 0) sizes.push_back(line);
        }
        return sizes;
    }

    // The probe's process id, once it has logged it.
    pid_t ProbePid() const {
        for (const std::string& line : Log()) {
            if (line.rfind("PID ", 0) == 0) return static_cast<pid_t>(std::stol(line.substr(4)));
        }
        return -1;
    }

    // The shell's "EXIT=n", wherever it landed on the screen; empty while the probe runs.
    std::string ExitLine() const {
        for (const std::string& line : CaptureText()) {
            const size_t found = line.find("EXIT=");
            if (found != std::string::npos) return line.substr(found);
        }
        return {};
    }

  private:
    kq::testing::TmuxServer server_{"/tmp/kq-tmux-XXXXXX"};
    std::filesystem::path dir_;
    bool started_ = false;
    std::string startError_;
};

std::string DescribeEvent(uint32_t event) {
    char text[64];
    std::snprintf(text, sizeof text, "%08x (code %02X char %02X flags %04X)",
                  static_cast<unsigned>(event), KEY_CODE(event), KEY_CHAR(event), KEY_FLAGS(event));
    return text;
}

// ---------------------------------------------------------------------------------------------

class TerminalTmuxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!TmuxPath()) GTEST_SKIP() << "tmux is not installed";
    }

    // Starts the session, records how the pane looks before the probe runs, starts the probe
    // and waits until it has drawn (or, for a crash, until it got that far).
    void StartProbe(const std::string& arguments, int cols = 100, int rows = 30) {
        session_ = std::make_unique<TmuxSession>(arguments, cols, rows);
        ASSERT_TRUE(session_->Started()) << "tmux did not start: " << session_->StartError();
        ASSERT_TRUE(WaitUntil([&] {
            const auto lines = session_->CaptureText();
            return session_->HasFile("before.stty") && !lines.empty() && lines[0] == "hello before";
        })) << "the shell did not start";
        flagsBefore_ = session_->PaneFlags();
        titleBefore_ = session_->PaneTitle();
        ASSERT_NE(flagsBefore_, "");
        session_->Go();
        ASSERT_TRUE(WaitUntil([&] { return session_->LogHas("READY"); }))
            << "the probe did not get ready; log:\n"
            << session_->LogText() << "screen:\n"
            << JoinLines(session_->CaptureText());
    }

    // Waits until the shell has printed the probe's exit status and saved the settings again.
    void WaitForExit(const std::string& expectedExitLine) {
        ASSERT_TRUE(WaitUntil([&] {
            return !session_->ExitLine().empty() && session_->HasFile("after.stty");
        })) << "the probe did not end; log:\n"
            << session_->LogText() << "screen:\n"
            << JoinLines(session_->CaptureText());
        EXPECT_EQ(session_->ExitLine(), expectedExitLine);
    }

    // The terminal must be as the probe found it: settings, modes, title, the main screen.
    void ExpectTerminalRestored() {
        EXPECT_EQ(session_->File("after.stty"), session_->File("before.stty"))
            << "the terminal settings were not restored";
        EXPECT_EQ(session_->PaneFlags(), flagsBefore_);
        EXPECT_EQ(session_->PaneTitle(), titleBefore_);
        const std::vector<std::string> lines = session_->CaptureText();
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines[0], "hello before") << "the main screen did not come back";
        for (const std::string& line : lines) {
            EXPECT_EQ(line.find("kq terminal probe"), std::string::npos)
                << "the probe's drawing is still shown: " << line;
            EXPECT_EQ(line.find("═"), std::string::npos)
                << "the probe's drawing is still shown: " << line;
        }
    }

    // Waits until the screen shows exactly what the probe draws at this size.
    void ExpectDrawing(int cols, int rows) {
        const ScreenRows expected = ExpectedScreen(cols, rows);
        std::vector<std::string> differences;
        const bool matched = WaitUntil([&] {
            differences = CompareScreens(expected, session_->Capture());
            return differences.empty();
        });
        EXPECT_TRUE(matched) << "the screen differs from the drawing:\n" << JoinLines(differences);
    }

    std::unique_ptr<TmuxSession> session_;
    std::string flagsBefore_;
    std::string titleBefore_;
};

// ---------------------------------------------------------------------------------------------
// Drawing: every attribute's colours, the code page's graphic characters and control glyphs.

TEST_F(TerminalTmuxTest, DrawsEveryAttributeAndGlyph) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(""));
    EXPECT_TRUE(session_->LogHas("SIZE 100 30")) << session_->LogText();
    ExpectDrawing(100, 30);

    // The glyphs named by byte, read back from the rows they were drawn on.
    const ScreenRows screen = session_->Capture();
    for (const NamedGlyph& glyph : kNamedGlyphs) {
        const bool graphics = glyph.byte >= 0xB0;
        const int x = graphics ? glyph.byte - 0xB0 : (glyph.byte == 0x7F ? 0x20 : glyph.byte);
        const ScreenCell cell = CellAt(screen, x, graphics ? kGraphicsRow : kControlRow);
        EXPECT_EQ(cell.character, glyph.unicode)
            << "byte " << std::hex << static_cast<int>(glyph.byte) << " shown as "
            << Describe(cell);
    }

    // While the probe runs, the pane is in the program's modes: the alternate screen, the
    // application keypad, no auto-wrap, the cursor hidden, the program's title.
    const std::string modes = "#{alternate_on} #{keypad_flag} #{wrap_flag} #{cursor_flag}";
    std::string shown;
    EXPECT_TRUE(WaitUntil([&] { return (shown = session_->Display(modes)) == "1 1 0 0"; }))
        << "alternate_on keypad_flag wrap_flag cursor_flag: " << shown;
    EXPECT_EQ(session_->PaneTitle(), "kq probe title");
}

// ---------------------------------------------------------------------------------------------
// Keys typed into tmux, decoded from the legacy xterm sequences tmux sends.

struct KeyCase {
    const char* name;
    std::vector<std::string> keys;  // tmux key names (or text with literal)
    bool literal;
    uint8_t code;
    uint8_t character;
    uint32_t modifiers;  // KF_SHIFT, KF_LCTRL (either Ctrl), KF_LALT (either Alt)
};

const KeyCase kKeyCases[] = {
    {"a", {"a"}, false, 'a', 'a', 0},
    {"z", {"z"}, false, 'z', 'z', 0},
    {"Shift+A", {"A"}, false, 'a', 'A', KF_SHIFT},
    {"Shift+Q", {"Q"}, false, 'q', 'Q', KF_SHIFT},
    {"0", {"0"}, false, '0', '0', 0},
    {"7", {"7"}, false, '7', '7', 0},
    {"Space", {"Space"}, false, KC_SPACE, ' ', 0},
    {"F1", {"F1"}, false, KC_F1, 0, 0},
    {"F5", {"F5"}, false, KC_F5, 0, 0},
    {"F12", {"F12"}, false, KC_F12, 0, 0},
    {"Shift+F5", {"S-F5"}, false, KC_F5, 0, KF_SHIFT},
    {"Ctrl+F1", {"C-F1"}, false, KC_F1, 0, KF_LCTRL},
    {"Up", {"Up"}, false, KC_UP, 0, 0},
    {"Down", {"Down"}, false, KC_DOWN, 0, 0},
    {"Left", {"Left"}, false, KC_LEFT, 0, 0},
    {"Right", {"Right"}, false, KC_RIGHT, 0, 0},
    {"Home", {"Home"}, false, KC_HOME, 0, 0},
    {"End", {"End"}, false, KC_END, 0, 0},
    {"PageUp", {"PPage"}, false, KC_PGUP, 0, 0},
    {"PageDown", {"NPage"}, false, KC_PGDN, 0, 0},
    {"Insert", {"IC"}, false, KC_INS, 0, 0},
    {"Delete", {"DC"}, false, KC_DEL, 0, 0},
    {"Ctrl+A", {"C-a"}, false, 'a', 0x01, KF_LCTRL},
    {"Ctrl+H", {"C-h"}, false, 'h', 0x08, KF_LCTRL},
    {"Backspace", {"BSpace"}, false, KC_BACK, 0x08, 0},
    {"Tab", {"Tab"}, false, KC_TAB, 0x09, 0},
    {"Shift+Tab", {"BTab"}, false, KC_TAB, 0x09, KF_SHIFT},
    {"Enter", {"Enter"}, false, KC_ENTER, 0x0D, 0},
    {"Alt+X", {"M-x"}, false, 'x', 'x', KF_LALT},
    {"Ctrl+Up", {"C-Up"}, false, KC_UP, 0, KF_LCTRL},
    {"Shift+Up", {"S-Up"}, false, KC_UP, 0, KF_SHIFT},
    {"Alt+Up", {"M-Up"}, false, KC_UP, 0, KF_LALT},
    {"Ctrl+Shift+Right", {"C-S-Right"}, false, KC_RIGHT, 0, KF_LCTRL | KF_SHIFT},
    {"e acute (CP437 0x82)", {"é"}, true, KC_NONE, 0x82, 0},
};

// Shift, either Ctrl and either Alt, reduced to one bit each.
uint32_t ModifierClasses(uint32_t event) {
    uint32_t classes = 0;
    if (event & KF_SHIFT) classes |= KF_SHIFT;
    if (event & KF_CTRL) classes |= KF_LCTRL;
    if (event & KF_ALT) classes |= KF_LALT;
    return classes;
}

TEST_F(TerminalTmuxTest, DecodesKeysTypedIntoTmux) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(""));
    // Each key is followed by a marker ('~'); the events between are the key's.
    for (const KeyCase& key : kKeyCases) {
        SCOPED_TRACE(key.name);
        const size_t before = session_->KeyEvents().size();
        session_->SendKeys(key.keys, key.literal);
        session_->SendKeys({"~"}, true);
        std::vector<uint32_t> events;
        ASSERT_TRUE(WaitUntil([&] {
            events = session_->KeyEvents();
            return events.size() > before && KEY_CHAR(events.back()) == '~';
        })) << "no marker after the key; log:\n"
            << session_->LogText();
        const std::vector<uint32_t> produced(events.begin() + static_cast<ptrdiff_t>(before),
                                             events.end() - 1);
        std::string described;
        for (const uint32_t event : produced) described += " " + DescribeEvent(event);
        ASSERT_EQ(produced.size(), 1u) << "events:" << described;
        const uint32_t event = produced[0];
        EXPECT_EQ(KEY_CODE(event), key.code) << DescribeEvent(event);
        EXPECT_EQ(KEY_CHAR(event), key.character) << DescribeEvent(event);
        EXPECT_TRUE(event & KF_DOWN) << DescribeEvent(event);
        EXPECT_EQ(ModifierClasses(event), key.modifiers) << DescribeEvent(event);
    }

    session_->SendKeys({"Escape"}, false);
    ASSERT_NO_FATAL_FAILURE(WaitForExit("EXIT=0"));
    const std::vector<uint32_t> events = session_->KeyEvents();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(KEY_CODE(events.back()), KC_ESC) << DescribeEvent(events.back());
    EXPECT_EQ(KEY_CHAR(events.back()), 0x1B) << DescribeEvent(events.back());
    EXPECT_EQ(ModifierClasses(events.back()), 0u) << DescribeEvent(events.back());
    EXPECT_TRUE(session_->LogHas("BYE"));
}

// ---------------------------------------------------------------------------------------------
// Giving the terminal back.

TEST_F(TerminalTmuxTest, RestoresTheTerminalOnExit) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(""));
    // The probe has taken the pane over before it is asked to leave.
    EXPECT_TRUE(WaitUntil([&] { return session_->Display("#{alternate_on}") == "1"; }))
        << "the probe did not switch to the alternate screen";
    session_->SendKeys({"Escape"}, false);
    ASSERT_NO_FATAL_FAILURE(WaitForExit("EXIT=0"));
    EXPECT_TRUE(session_->LogHas("BYE")) << session_->LogText();
    ExpectTerminalRestored();
    // The cursor came back too: the shell went on right below its last line.
    const std::vector<std::string> lines = session_->CaptureText();
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[1], "EXIT=0");
}

struct EndingCase {
    const char* name;
    int signalNumber;  // sent to the probe; 0 when the probe crashes by itself
    const char* exitLine;
};

void PrintTo(const EndingCase& ending, std::ostream* out) {
    *out << ending.name;
}

class TerminalEndingTest : public TerminalTmuxTest,
                           public ::testing::WithParamInterface<EndingCase> {};

TEST_P(TerminalEndingTest, RestoresTheTerminal) {
    const EndingCase& ending = GetParam();
    ASSERT_NO_FATAL_FAILURE(StartProbe(ending.signalNumber != 0 ? "--hang" : "--crash"));
    if (ending.signalNumber != 0) {
        EXPECT_TRUE(WaitUntil([&] { return session_->Display("#{alternate_on}") == "1"; }))
            << "the probe did not switch to the alternate screen";
        const pid_t pid = session_->ProbePid();
        ASSERT_GT(pid, 0) << session_->LogText();
        ASSERT_EQ(kill(pid, ending.signalNumber), 0);
    }
    ASSERT_NO_FATAL_FAILURE(WaitForExit(ending.exitLine));
    EXPECT_FALSE(session_->LogHas("BYE"));
    ExpectTerminalRestored();
}

const EndingCase kEndingCases[] = {
    {"Sigterm", SIGTERM, "EXIT=143"},
    {"Sighup", SIGHUP, "EXIT=129"},
    {"Sigint", SIGINT, "EXIT=130"},
    {"Segfault", 0, "EXIT=139"},
};

std::string EndingName(const ::testing::TestParamInfo<EndingCase>& ending) {
    return ending.param.name;
}

INSTANTIATE_TEST_SUITE_P(Endings, TerminalEndingTest, ::testing::ValuesIn(kEndingCases),
                         EndingName);

// ---------------------------------------------------------------------------------------------
// Resizing the window while the probe runs: the new size is reported and the redraw fills it.

TEST_F(TerminalTmuxTest, ReportsResizesAndRedraws) {
    ASSERT_NO_FATAL_FAILURE(StartProbe(""));
    EXPECT_TRUE(session_->LogHas("SIZE 100 30")) << session_->LogText();
    struct Size {
        int cols;
        int rows;
    };
    for (const Size size : {Size{120, 40}, Size{80, 25}, Size{100, 30}}) {
        const std::string line =
            "SIZE " + std::to_string(size.cols) + " " + std::to_string(size.rows);
        SCOPED_TRACE(line);
        const size_t sizesBefore = session_->SizeLines().size();
        session_->Tmux({"resize-window", "-t", kSession, "-x", std::to_string(size.cols), "-y",
                        std::to_string(size.rows)});
        ASSERT_TRUE(WaitUntil([&] {
            const std::vector<std::string> sizes = session_->SizeLines();
            return sizes.size() > sizesBefore && sizes.back() == line;
        })) << "log:\n"
            << session_->LogText();
        EXPECT_EQ(session_->Display("#{pane_width} #{pane_height}"),
                  std::to_string(size.cols) + " " + std::to_string(size.rows));
        ExpectDrawing(size.cols, size.rows);
    }
    session_->SendKeys({"Escape"}, false);
    ASSERT_NO_FATAL_FAILURE(WaitForExit("EXIT=0"));
    ExpectTerminalRestored();
}

}  // namespace
