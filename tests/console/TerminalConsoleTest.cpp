// The terminal device and the command runner on a pseudo-terminal of the test's own: the
// slave stands for the real terminal, the test reads and types on the master.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "console/CommandRunner.h"
#include "console/MainScreen.h"
#include "console/SignalWatch.h"
#include "console/TerminalConsole.h"
#include "console/VtermMainScreen.h"
#include "kq/keys.h"
#include "support/TempFolder.h"

namespace kq::console {
namespace {

using namespace std::chrono_literals;

// The master end stands for the user: it reads what the program wrote and types.
struct PseudoTerminal {
    explicit PseudoTerminal(int rows = 25) {
        const winsize size{static_cast<unsigned short>(rows), 80, 0, 0};
        EXPECT_EQ(openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
    }
    ~PseudoTerminal() {
        if (master_ >= 0) close(master_);
        close(slave_);
    }
    int Master() const { return master_; }
    int Slave() const { return slave_; }
    void CloseMaster() { close(std::exchange(master_, -1)); }
    // Everything the program wrote, waiting up to timeoutMs for the first byte.
    std::string ReadOutput(int timeoutMs = 200) const {
        std::string out;
        char buffer[4096];
        ssize_t count = 0;
        for (pollfd fd{master_, POLLIN, 0}; poll(&fd, 1, out.empty() ? timeoutMs : 20) > 0 &&
                                            (count = read(master_, buffer, sizeof buffer)) > 0;) {
            out.append(buffer, static_cast<size_t>(count));
        }
        return out;
    }
    void Type(std::string_view bytes) const {
        ASSERT_EQ(write(master_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    int master_ = -1, slave_ = -1;
};

termios Modes(int fd) {
    termios modes{};
    EXPECT_EQ(tcgetattr(fd, &modes), 0);
    return modes;
}

std::tuple<tcflag_t, tcflag_t, tcflag_t> Flags(const termios& modes) {
    return {modes.c_lflag, modes.c_iflag, modes.c_oflag};
}

std::string RowText(const std::vector<uint8_t>& cells, int cols, int row) {
    std::string text;
    for (int x = 0; x < cols; ++x) text += static_cast<char>(cells[(row * cols + x) * 2]);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

class TerminalConsoleTest : public ::testing::Test {
  protected:
    TerminalConsole::Options Options(bool probe = false) {
        TerminalConsole::Options options;
        options.inputFd = options.outputFd = pty_.Slave();
        options.quirks = TerminalQuirks{};
        options.probeTerminal = probe;
        options.clock = [this] { return now_; };
        return options;
    }
    void TearDown() override { console_.Close(); }
    // Opens the console while a thread plays the terminal and answers the queries.
    std::string OpenWithAnswers(const std::string& answers) {
        std::string queries;
        std::thread terminal([&] {
            queries = pty_.ReadOutput(2000);
            pty_.Type(answers);
        });
        EXPECT_TRUE(probing_.Open(cols_, rows_));
        terminal.join();
        return queries;
    }
    PseudoTerminal pty_;
    TerminalConsole console_{Options()}, probing_{Options(true)};
    int64_t now_ = 1000;
    int cols_ = 0, rows_ = 0;
};

TEST_F(TerminalConsoleTest, KittyAnswerBeforeDeviceAttributesSelectsKittyElseWin32Input) {
    EXPECT_EQ(OpenWithAnswers("\x1b[5;10R\x1b[?0u\x1b[?62;22c"), "\x1b[6n\x1b[?u\x1b[c");
    EXPECT_EQ(probing_.Keyboard(), KeyboardMode::kKittyProtocol);
    EXPECT_EQ(cols_ * 100 + rows_, 8025);
    const std::string enter = pty_.ReadOutput();
    for (const char* sequence : {"\x1b[>31u", "\x1b[?1049h", "\x1b="}) {
        EXPECT_NE(enter.find(sequence), std::string::npos) << sequence + 1;
    }
    // The cursor report seeded the model of the main screen (0-based).
    auto* screen = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->CursorX() * 100 + screen->CursorY(), 904);
    probing_.Close();
    const std::string leave = pty_.ReadOutput();  // the flags are popped on the alternate screen
    EXPECT_LT(leave.find("\x1b[<u"), leave.find("\x1b[?1049l"));
    // Without a kitty answer: win32-input-mode, and keys typed meanwhile are kept.
    OpenWithAnswers("x\x1b[1;1R\x1b[?1;2c");
    EXPECT_EQ(probing_.Keyboard(), KeyboardMode::kWin32AndOther);
    const std::string win32 = pty_.ReadOutput();
    EXPECT_NE(win32.find("\x1b[?9001h"), std::string::npos);
    EXPECT_NE(win32.find("\x1b[>4;1m"), std::string::npos);
    EXPECT_EQ(win32.find("\x1b[>31u"), std::string::npos);
    InputItem item;
    ASSERT_EQ(probing_.NextInput(item), 0);
    EXPECT_EQ(std::get<KeyRecord>(item).unicodeChar, U'x');
    probing_.Close();
    EXPECT_NE(pty_.ReadOutput().find("\x1b[?9001l"), std::string::npos);
}

// Opened for the desktop, the console sends the queries only and returns at once; the answers
// are read, and the screen entered, when the console is first used, even after the probe's
// deadline (they are not taken for keys).
TEST_F(TerminalConsoleTest, ProbeAnswersAwaitedWhenTheConsoleIsFirstUsed) {
    TerminalConsole::Options options = Options(true);
    options.awaitProbeLater = true;
    TerminalConsole later(options);
    ASSERT_TRUE(later.Open(cols_, rows_));
    EXPECT_EQ(pty_.ReadOutput(), "\x1b[6n\x1b[?u\x1b[c");
    pty_.Type("\x1b[3;7R\x1b[?0u\x1b[?62;22c");
    usleep(50000);  // the answers reach the terminal's side
    now_ += 1000;   // a start that took longer than the deadline
    InputItem item;
    EXPECT_EQ(later.NextInput(item), 1);
    EXPECT_EQ(later.Keyboard(), KeyboardMode::kKittyProtocol);
    const std::string enter = pty_.ReadOutput();
    EXPECT_NE(enter.find("\x1b[>31u"), std::string::npos);
    EXPECT_NE(enter.find("\x1b[?1049h"), std::string::npos);
    auto* screen = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->CursorX() * 100 + screen->CursorY(), 602);
    later.Close();
}

// Raw while open, opened once, the original modes afterwards; a terminal that goes away ends
// input, and what is no terminal cannot be opened.
TEST_F(TerminalConsoleTest, RawModeWhileOpenTheOriginalModeAfterwards) {
    const termios before = Modes(pty_.Slave());
    ASSERT_TRUE(console_.Open(cols_, rows_));
    EXPECT_FALSE(console_.Open(cols_, rows_));
    const termios raw = Modes(pty_.Slave());
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    console_.Close();
    EXPECT_EQ(Flags(Modes(pty_.Slave())), Flags(before));
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.CloseMaster();
    InputItem item;
    int result = 1;
    for (int i = 0; i < 100 && result == 1; ++i) result = console_.NextInput(item);
    EXPECT_EQ(result, -1);
    int pipeFds[2];
    ASSERT_EQ(pipe(pipeFds), 0);
    TerminalConsole::Options options = Options();
    options.inputFd = pipeFds[0];
    options.outputFd = pipeFds[1];
    EXPECT_FALSE(TerminalConsole(options).Open(cols_, rows_));
    close(pipeFds[0]);
    close(pipeFds[1]);
}

// A redraw used to reach the terminal in two frames 16 ms apart: the first change of a key's
// redraw was sent at once, the rest waited for the next frame. Changes now wait for the
// program to be about to wait, and go out as one frame; one too early says when it is due.
// Fast redraws are batched into about sixty frames a second.
TEST_F(TerminalConsoleTest, OneRedrawOfManyChangesIsOneFrameWhenDue) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    ScreenMirror mirror(cols_, rows_);
    EXPECT_EQ(console_.Present(mirror, CursorState{}, true), -1);
    pty_.ReadOutput();
    now_ += 1000;  // the last frame is long past
    uint64_t writesBefore = console_.GetStatistics().writes;
    for (int row = 0; row < 5; ++row) {
        const uint8_t cells[2] = {static_cast<uint8_t>('a' + row), 0x1F};
        mirror.Write(0, row, cells, 1);
        console_.Changed(mirror, CursorState{});
    }
    EXPECT_EQ(console_.GetStatistics().writes, writesBefore) << "a change went out on its own";
    EXPECT_EQ(console_.Present(mirror, CursorState{}, false), -1);
    EXPECT_EQ(console_.GetStatistics().writes, writesBefore + 1);
    const std::string frame = pty_.ReadOutput();
    for (const char letter : std::string("abcde")) EXPECT_NE(frame.find(letter), std::string::npos);
    now_ += 5;
    const uint8_t cell[2] = {'q', 0x1F};
    mirror.Write(0, 0, cell, 1);
    EXPECT_EQ(console_.Present(mirror, CursorState{}, false), TerminalConsole::kFrameInterval - 5);
    EXPECT_EQ(pty_.ReadOutput(50), "");
    now_ += 11;
    EXPECT_EQ(console_.Present(mirror, CursorState{}, false), -1);
    EXPECT_NE(pty_.ReadOutput().find('q'), std::string::npos);
    writesBefore = console_.GetStatistics().writes;
    std::thread drain([&] { pty_.ReadOutput(500); });
    // A progress bar redrawn every millisecond for one second, the loop polling input between.
    for (int ms = 0; ms < 1000; ++ms) {
        ++now_;
        const uint8_t cells[4] = {static_cast<uint8_t>('0' + ms % 10), 0x1F,
                                  static_cast<uint8_t>('a' + ms % 26), 0x1F};
        mirror.Write(ms % 70, 3, cells, 2);
        console_.Present(mirror, CursorState{}, false);
        InputItem item;
        console_.NextInput(item);
    }
    now_ += 100;
    console_.Present(mirror, CursorState{}, false);
    drain.join();
    const uint64_t frames = console_.GetStatistics().writes - writesBefore;
    EXPECT_TRUE(frames >= 50u && frames <= 64u) << frames;
}

TEST_F(TerminalConsoleTest, LoneEscIsTheEscKeyOnlyAfterTheTimeout) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.Type("\x1b");
    InputItem item;
    // Wait until the byte has arrived (the budget drops below the request once it is pending).
    for (int i = 0; i < 200 && console_.NextInput(item) == 1 && console_.WaitBudget(1000) == 1000;
         ++i) {
        usleep(1000);
    }
    EXPECT_EQ(console_.NextInput(item), 1);
    EXPECT_LE(console_.WaitBudget(1000), TerminalConsole::kEscTimeout);
    now_ += TerminalConsole::kEscTimeout;
    ASSERT_EQ(console_.NextInput(item), 0);
    EXPECT_EQ(std::get<KeyRecord>(item).virtualKey, 0x1B);
}

TEST_F(TerminalConsoleTest, WindowSizeSignalIsReportedAsTheNewSize) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    EXPECT_FALSE(console_.TakeResize(cols_, rows_));
    const winsize size{43, 132, 0, 0};
    ASSERT_EQ(ioctl(pty_.Master(), TIOCSWINSZ, &size), 0);
    raise(SIGWINCH);  // blocked: it waits on the console's signalfd
    ASSERT_TRUE(console_.TakeResize(cols_, rows_));
    EXPECT_EQ(cols_ * 100 + rows_, 13243);
    EXPECT_FALSE(console_.TakeResize(cols_, rows_));
}

// Neither a title nor clipboard text can carry a control byte to the terminal.
TEST_F(TerminalConsoleTest, TitleAndClipboardLoseTheirControlCharacters) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.ReadOutput();
    EXPECT_EQ(console_.SetTitle("a\x1b]0;evil\x07z\x9b"), 0);
    // 0x9B is a graphic character of code page 437 (the cent sign), not a C1 control.
    EXPECT_EQ(pty_.ReadOutput(), "\x1b]2;a]0;evilz\xc2\xa2\x1b\\");
    // Base64 of the UTF-8: "a\x82" is "a" and e-acute in code page 437, 61 C3 A9.
    EXPECT_TRUE(console_.OfferClipboard("a\x82"));
    EXPECT_EQ(pty_.ReadOutput(), "\x1b]52;c;YcOp\x1b\\");
    EXPECT_TRUE(console_.OfferClipboard("a\x1b\x62"));  // "a", ESC, "b"
    EXPECT_EQ(pty_.ReadOutput(), "\x1b]52;c;YWI=\x1b\\");
}

// A command runs on the main screen between two openings of the console: the echo, its output
// and the closing lines reach the terminal and the main-screen model, in the terminal's own
// modes afterwards. While the console is open it is refused.
TEST_F(TerminalConsoleTest, CommandPrintsOnTheMainScreenAndTheModelFollows) {
    const termios before = Modes(pty_.Slave());
    SetMainScreen(std::make_unique<VtermMainScreen>(80, 25));
    CommandRequest request;
    request.command = "echo out-$((6*7))";
    request.before = "/d>echo\n";
    request.after = "\n\n";
    EXPECT_EQ(console_.RunCommand(request), 0);
    const std::string output = pty_.ReadOutput();
    EXPECT_NE(output.find("/d>echo\r\nout-42\r\n"), std::string::npos);
    EXPECT_EQ(Flags(Modes(pty_.Slave())), Flags(before));
    const std::vector<uint8_t> cells = GetMainScreen().Snapshot();
    EXPECT_EQ(RowText(cells, 80, 0) + "|" + RowText(cells, 80, 1), "/d>echo|out-42");
    auto* model = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    ASSERT_NE(model, nullptr);
    EXPECT_EQ(model->CursorY() * 100 + model->CursorX(), 400);  // two empty lines after it
    ASSERT_TRUE(console_.Open(cols_, rows_));
    request.command = "true";
    EXPECT_EQ(console_.RunCommand(request), -1);
}

class CommandRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        termios modes = Modes(pty_.Slave());
        cfmakeraw(&modes);  // the caller's business in the program: the terminal is raw
        tcsetattr(pty_.Slave(), TCSANOW, &modes);
    }
    int Run(const std::string& command, VtermMainScreen* model = nullptr,
            const CommandOptions& options = {}, const std::string& directory = "/") {
        return RunCommand(command, directory, {pty_.Slave(), pty_.Slave()}, model, options);
    }
    PseudoTerminal pty_{24};
};

TEST_F(CommandRunnerTest, OutputStatusDirectoryInputAndTheTerminalsState) {
    const kq::test::TempFolder folder("kq-runner");
    const std::string real = std::filesystem::canonical(folder.root()).string();
    const std::filesystem::path before = std::filesystem::current_path();
    VtermMainScreen model(80, 24);
    EXPECT_EQ(Run("echo hello; pwd; exit 3", &model, {}, folder.root().string()), 3);
    EXPECT_NE(pty_.ReadOutput().find("hello\r\n" + real), std::string::npos);
    EXPECT_EQ(RowText(model.Snapshot(), 80, 0), "hello");
    EXPECT_EQ(model.CursorY(), 2);
    EXPECT_EQ(std::filesystem::current_path(), before);
    // Typed input reaches the command; a stopped command is continued.
    pty_.Type("abc\r");
    EXPECT_EQ(Run("read x; kill -STOP $$; echo got$x"), 0);
    EXPECT_NE(pty_.ReadOutput().find("gotabc"), std::string::npos);
    // An alternate screen left on is taken out.
    EXPECT_EQ(Run("printf '\\033[?1049h'", &model), 0);
    EXPECT_FALSE(model.AlternateScreen());
    const std::string shown = pty_.ReadOutput();
    EXPECT_GT(shown.rfind("\x1b[?1049l"), shown.find("\x1b[?1049h"));
    // The command starts with the saved modes and the terminal's size.
    termios modes = Modes(pty_.Slave());
    modes.c_lflag |= ECHO | ICANON;
    CommandOptions options;
    options.savedModes = &modes;
    VtermMainScreen small(10, 5);
    EXPECT_EQ(Run("stty size", &small, options), 0);
    EXPECT_NE(pty_.ReadOutput().find("24 80"), std::string::npos);
    EXPECT_EQ(small.Cols(), 80);
    // A background job holding the pty does not hold the runner (a hang guard: 5 s otherwise).
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(Run("sleep 5 & echo started"), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 4500ms);
    EXPECT_NE(pty_.ReadOutput().find("started"), std::string::npos);
}

// kill -TERM of the program during "sleep 123" did nothing, and closing the terminal while a
// command ran left both running. The signal (the hang-up) reaches the command, which ends,
// and the runner reports it so that the program ends after the command. A resize is passed on.
TEST_F(CommandRunnerTest, SignalsReachTheCommand) {
    CommandOptions options;
    options.signalFd = SignalWatch::Instance().Fd();  // blocked before any thread starts
    VtermMainScreen model(80, 24);
    // The command resizes the "real" terminal and signals the runner's process, then waits
    // until its own pty has the new size.
    EXPECT_EQ(Run(std::string("stty cols 100 rows 30 < ") + ptsname(pty_.Master()) +
                      "; kill -WINCH $PPID; while [ \"$(stty size)\" != '30 100' ];"
                      " do sleep 0.05; done; echo resized",
                  &model, options),
              0);
    EXPECT_NE(pty_.ReadOutput().find("resized"), std::string::npos);
    EXPECT_EQ(model.Cols() * 100 + model.Rows(), 10030);
    const kq::test::TempFolder folder("kq-runner");
    const std::string marker = folder.Path("started");
    int endRequested = 0;
    options.endRequested = &endRequested;
    for (const int trapped : {SIGTERM, SIGHUP}) {
        std::filesystem::remove(marker);
        endRequested = 0;
        std::thread sender([&] {
            while (!std::filesystem::exists(marker)) std::this_thread::sleep_for(10ms);
            trapped == SIGTERM ? void(kill(getpid(), SIGTERM)) : pty_.CloseMaster();
        });
        const std::string command = "trap 'exit " + std::to_string(trapped + 100) + "' " +
                                    (trapped == SIGTERM ? "TERM" : "HUP") + "; touch " + marker +
                                    "; while :; do sleep 0.05; done";
        EXPECT_EQ(Run(command, nullptr, options), trapped + 100);
        EXPECT_EQ(endRequested, trapped);
        sender.join();
    }
}

}  // namespace
}  // namespace kq::console
