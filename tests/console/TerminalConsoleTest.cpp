// The terminal device on a pseudo-terminal: what it asks the terminal and how it reads the
// answers, the modes it enters and leaves, batched frames, the Esc timeout, resizes, and a
// terminal that goes away.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "console/MainScreen.h"
#include "console/TerminalConsole.h"
#include "console/VtermMainScreen.h"
#include "kq/keys.h"

namespace kq::console {
namespace {

class PseudoTerminal {
  public:
    PseudoTerminal() {
        winsize size{};
        size.ws_col = 80;
        size.ws_row = 25;
        EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
    }
    ~PseudoTerminal() {
        if (master_ >= 0) close(master_);
        if (slave_ >= 0) close(slave_);
    }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    void CloseMaster() {
        close(master_);
        master_ = -1;
    }

    // Everything the program wrote, waiting up to timeoutMs for the first byte.
    std::string ReadOutput(int timeoutMs = 200) const {
        std::string out;
        for (;;) {
            pollfd descriptor{master_, POLLIN, 0};
            if (poll(&descriptor, 1, out.empty() ? timeoutMs : 20) <= 0) break;
            char buffer[4096];
            const ssize_t count = read(master_, buffer, sizeof buffer);
            if (count <= 0) break;
            out.append(buffer, static_cast<size_t>(count));
        }
        return out;
    }
    void Type(std::string_view bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

  private:
    int master_ = -1;
    int slave_ = -1;
};

struct FakeClock {
    int64_t now = 1000;
};

TerminalConsole::Options OptionsFor(const PseudoTerminal& pty, FakeClock* clock, bool probe) {
    TerminalConsole::Options options;
    options.inputFd = pty.Slave();
    options.outputFd = pty.Slave();
    options.quirks = TerminalQuirks{};
    options.probeTerminal = probe;
    if (clock) options.clock = [clock] { return clock->now; };
    return options;
}

// Opens a console that asks the terminal nothing.
bool OpenPlain(TerminalConsole& console) {
    int cols = 0;
    int rows = 0;
    return console.Open(cols, rows);
}

// Opens the console while a thread plays the terminal and answers the queries.
std::string OpenWithAnswers(TerminalConsole& console, PseudoTerminal& pty, std::string answers,
                            int& cols, int& rows) {
    std::string queries;
    std::thread terminal([&] {
        queries = pty.ReadOutput(2000);
        pty.Type(answers);
    });
    EXPECT_TRUE(console.Open(cols, rows));
    terminal.join();
    return queries;
}

TEST(TerminalConsoleTest, KittyAnswerBeforeDeviceAttributesSelectsTheKittyProtocol) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, true));
    int cols = 0;
    int rows = 0;
    const std::string queries =
        OpenWithAnswers(console, pty, "\x1b[5;10R\x1b[?0u\x1b[?62;22c", cols, rows);
    EXPECT_EQ(queries, "\x1b[6n\x1b[?u\x1b[c");
    EXPECT_EQ(console.Keyboard(), KeyboardMode::kKittyProtocol);
    EXPECT_EQ(cols, 80);
    EXPECT_EQ(rows, 25);
    const std::string enter = pty.ReadOutput();
    EXPECT_NE(enter.find("\x1b[>31u"), std::string::npos);
    EXPECT_NE(enter.find("\x1b[?1049h"), std::string::npos);
    EXPECT_NE(enter.find("\x1b="), std::string::npos);
    // The cursor report seeded the model of the main screen (0-based).
    auto* screen = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->CursorX(), 9);
    EXPECT_EQ(screen->CursorY(), 4);
    console.Close();
    const std::string leave = pty.ReadOutput();
    const size_t pop = leave.find("\x1b[<u");
    const size_t mainScreen = leave.find("\x1b[?1049l");
    ASSERT_NE(pop, std::string::npos);
    ASSERT_NE(mainScreen, std::string::npos);
    EXPECT_LT(pop, mainScreen) << "the kitty flags must be popped on the alternate screen";
}

TEST(TerminalConsoleTest, WithoutKittyAnswerAsksForWin32InputAndModifyOtherKeys) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, true));
    int cols = 0;
    int rows = 0;
    OpenWithAnswers(console, pty, "\x1b[1;1R\x1b[?1;2c", cols, rows);
    EXPECT_EQ(console.Keyboard(), KeyboardMode::kWin32AndOther);
    const std::string enter = pty.ReadOutput();
    EXPECT_NE(enter.find("\x1b[?9001h"), std::string::npos);
    EXPECT_NE(enter.find("\x1b[>4;1m"), std::string::npos);
    EXPECT_EQ(enter.find("\x1b[>31u"), std::string::npos);
    console.Close();
    const std::string leave = pty.ReadOutput();
    EXPECT_NE(leave.find("\x1b[?9001l"), std::string::npos);
}

TEST(TerminalConsoleTest, KeysTypedDuringTheProbeAreKept) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, true));
    int cols = 0;
    int rows = 0;
    OpenWithAnswers(console, pty, "x\x1b[1;1R\x1b[?1;2c", cols, rows);
    InputItem item;
    ASSERT_EQ(console.NextInput(item), 0);
    EXPECT_EQ(std::get<KeyRecord>(item).unicodeChar, U'x');
    console.Close();
}

TEST(TerminalConsoleTest, RawModeWhileOpenAndTheOriginalModeAfterwards) {
    PseudoTerminal pty;
    termios before{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    int cols = 0;
    int rows = 0;
    ASSERT_TRUE(console.Open(cols, rows));
    termios raw{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &raw), 0);
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    console.Close();
    termios after{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &after), 0);
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
}

TEST(TerminalConsoleTest, FastRedrawsAreBatchedIntoAboutSixtyFramesASecond) {
    PseudoTerminal pty;
    FakeClock clock;
    TerminalConsole console(OptionsFor(pty, &clock, false));
    int cols = 0;
    int rows = 0;
    ASSERT_TRUE(console.Open(cols, rows));
    ScreenMirror mirror(cols, rows);
    const CursorState cursor{0, 0, 0};
    console.Present(mirror, cursor, true);
    const uint64_t writesBefore = console.GetStatistics().writes;
    std::thread drain([&] { pty.ReadOutput(500); });
    // A progress bar redrawn every millisecond for one second, the loop polling input between.
    for (int ms = 0; ms < 1000; ++ms) {
        ++clock.now;
        const uint8_t cells[4] = {static_cast<uint8_t>('0' + ms % 10), 0x1F,
                                  static_cast<uint8_t>('a' + ms % 26), 0x1F};
        mirror.Write(ms % 70, 3, cells, 2);
        console.Present(mirror, cursor, false);
        InputItem item;
        console.NextInput(item);
    }
    clock.now += 100;
    console.Present(mirror, cursor, false);
    drain.join();
    const uint64_t frames = console.GetStatistics().writes - writesBefore;
    EXPECT_LE(frames, 64u);
    EXPECT_GE(frames, 50u);
    console.Close();
}

TEST(TerminalConsoleTest, DeferredFrameReportsWhenItIsDue) {
    PseudoTerminal pty;
    FakeClock clock;
    TerminalConsole console(OptionsFor(pty, &clock, false));
    int cols = 0;
    int rows = 0;
    ASSERT_TRUE(console.Open(cols, rows));
    ScreenMirror mirror(cols, rows);
    EXPECT_EQ(console.Present(mirror, CursorState{}, false), -1);
    pty.ReadOutput();
    clock.now += 5;
    const uint8_t cell[2] = {'q', 0x07};
    mirror.Write(0, 0, cell, 1);
    EXPECT_EQ(console.Present(mirror, CursorState{}, false), TerminalConsole::kFrameInterval - 5);
    EXPECT_EQ(pty.ReadOutput(50), "");
    clock.now += 11;
    EXPECT_EQ(console.Present(mirror, CursorState{}, false), -1);
    EXPECT_NE(pty.ReadOutput().find('q'), std::string::npos);
    console.Close();
}

// A redraw used to reach the terminal in two frames 16 ms apart: the first change of a key's
// redraw was sent at once, the rest waited for the next frame. Changes now wait for the
// program to be about to wait, and go out as one frame.
TEST(TerminalConsoleTest, OneRedrawOfManyChangesIsOneFrame) {
    PseudoTerminal pty;
    FakeClock clock;
    TerminalConsole console(OptionsFor(pty, &clock, false));
    int cols = 0;
    int rows = 0;
    ASSERT_TRUE(console.Open(cols, rows));
    ScreenMirror mirror(cols, rows);
    console.Present(mirror, CursorState{}, true);
    pty.ReadOutput();
    clock.now += 1000;  // the last frame is long past
    const uint64_t writesBefore = console.GetStatistics().writes;
    for (int row = 0; row < 5; ++row) {
        const uint8_t cells[2] = {static_cast<uint8_t>('a' + row), 0x1F};
        mirror.Write(0, row, cells, 1);
        console.Changed(mirror, CursorState{});
    }
    EXPECT_EQ(console.GetStatistics().writes, writesBefore) << "a change went out on its own";
    EXPECT_EQ(console.Present(mirror, CursorState{}, false), -1);
    EXPECT_EQ(console.GetStatistics().writes, writesBefore + 1);
    const std::string frame = pty.ReadOutput();
    for (const char letter : {'a', 'b', 'c', 'd', 'e'}) {
        EXPECT_NE(frame.find(letter), std::string::npos) << letter;
    }
    console.Close();
}

TEST(TerminalConsoleTest, LoneEscIsTheEscKeyOnlyAfterTheTimeout) {
    PseudoTerminal pty;
    FakeClock clock;
    TerminalConsole console(OptionsFor(pty, &clock, false));
    ASSERT_TRUE(OpenPlain(console));
    pty.Type("\x1b");
    InputItem item;
    // Wait until the byte has arrived (the budget drops below the request once it is pending).
    for (int i = 0; i < 200 && console.NextInput(item) == 1 && console.WaitBudget(1000) == 1000;
         ++i) {
        usleep(1000);
    }
    EXPECT_EQ(console.NextInput(item), 1);
    EXPECT_LE(console.WaitBudget(1000), TerminalConsole::kEscTimeout);
    clock.now += TerminalConsole::kEscTimeout;
    ASSERT_EQ(console.NextInput(item), 0);
    EXPECT_EQ(std::get<KeyRecord>(item).virtualKey, 0x1B);
    console.Close();
}

TEST(TerminalConsoleTest, WindowSizeSignalIsReportedAsTheNewSize) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    ASSERT_TRUE(OpenPlain(console));
    int cols = 0;
    int rows = 0;
    EXPECT_FALSE(console.TakeResize(cols, rows));
    winsize size{};
    size.ws_col = 132;
    size.ws_row = 43;
    ASSERT_EQ(ioctl(pty.Master(), TIOCSWINSZ, &size), 0);
    raise(SIGWINCH);  // blocked: it waits on the console's signalfd
    ASSERT_TRUE(console.TakeResize(cols, rows));
    EXPECT_EQ(cols, 132);
    EXPECT_EQ(rows, 43);
    EXPECT_FALSE(console.TakeResize(cols, rows));
    console.Close();
}

TEST(TerminalConsoleTest, TitleLosesItsControlCharacters) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    ASSERT_TRUE(OpenPlain(console));
    pty.ReadOutput();
    EXPECT_EQ(console.SetTitle("a\x1b]0;evil\x07z\x9b"), 0);
    // 0x9B is a graphic character of code page 437 (the cent sign), not a C1 control.
    EXPECT_EQ(pty.ReadOutput(), "\x1b]2;a]0;evilz\xc2\xa2\x1b\\");
    console.Close();
}

TEST(TerminalConsoleTest, TerminalThatGoesAwayEndsInput) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    ASSERT_TRUE(OpenPlain(console));
    pty.CloseMaster();
    InputItem item;
    int result = 1;
    for (int i = 0; i < 100 && result == 1; ++i) result = console.NextInput(item);
    EXPECT_EQ(result, -1);
    console.Close();
}

TEST(TerminalConsoleTest, NotATerminalCannotBeOpened) {
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    TerminalConsole::Options options;
    options.inputFd = pipeFds[0];
    options.outputFd = pipeFds[1];
    options.probeTerminal = false;
    TerminalConsole console(options);
    int cols = 0;
    int rows = 0;
    EXPECT_FALSE(console.Open(cols, rows));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

}  // namespace
}  // namespace kq::console

namespace kq::console {
namespace {

TEST(TerminalConsoleTest, ClipboardTextIsOfferedAsBase64OfItsUtf8) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    ASSERT_TRUE(OpenPlain(console));
    pty.ReadOutput();
    // "a\x82" is "a" and e-acute in code page 437: UTF-8 61 C3 A9 -> "YcOp".
    EXPECT_TRUE(console.OfferClipboard("a\x82"));
    EXPECT_EQ(pty.ReadOutput(), "\x1b]52;c;YcOp\x1b\\");
    // A control byte never reaches the terminal inside the sequence; "ab" -> "YWI=".
    EXPECT_TRUE(
        console.OfferClipboard(std::string_view("a\x1b"
                                                "b",
                                                3)));
    EXPECT_EQ(pty.ReadOutput(), "\x1b]52;c;YWI=\x1b\\");
    console.Close();
}

// A command runs on the main screen between two openings of the console: the echo, its output
// and the closing lines reach the terminal and the main-screen model, in the terminal's own
// modes afterwards.
TEST(TerminalConsoleTest, CommandPrintsOnTheMainScreenAndTheModelFollows) {
    PseudoTerminal pty;
    termios before{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &before), 0);
    SetMainScreen(std::make_unique<VtermMainScreen>(80, 25));
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    CommandRequest request;
    request.command = "echo out-$((6*7))";
    request.before = "/d>echo\n";
    request.after = "\n\n";
    EXPECT_EQ(console.RunCommand(request), 0);
    const std::string output = pty.ReadOutput();
    EXPECT_NE(output.find("/d>echo\r\n"), std::string::npos);
    EXPECT_NE(output.find("out-42\r\n"), std::string::npos);
    termios after{};
    ASSERT_EQ(tcgetattr(pty.Slave(), &after), 0);
    EXPECT_EQ(before.c_lflag, after.c_lflag);
    EXPECT_EQ(before.c_iflag, after.c_iflag);
    EXPECT_EQ(before.c_oflag, after.c_oflag);

    const std::vector<uint8_t> cells = GetMainScreen().Snapshot();
    auto row = [&](int y) {
        std::string text;
        for (int x = 0; x < 80; ++x)
            text += static_cast<char>(cells[static_cast<size_t>(y * 80 + x) * 2]);
        return text.substr(0, text.find_last_not_of(' ') + 1);
    };
    EXPECT_EQ(row(0), "/d>echo");
    EXPECT_EQ(row(1), "out-42");
    auto* model = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->CursorY(), 4);  // two empty lines after the output
    EXPECT_EQ(model->CursorX(), 0);
}

TEST(TerminalConsoleTest, CommandIsRefusedWhileTheConsoleIsOpen) {
    PseudoTerminal pty;
    TerminalConsole console(OptionsFor(pty, nullptr, false));
    ASSERT_TRUE(OpenPlain(console));
    CommandRequest request;
    request.command = "true";
    EXPECT_EQ(console.RunCommand(request), -1);
    console.Close();
}

}  // namespace
}  // namespace kq::console
