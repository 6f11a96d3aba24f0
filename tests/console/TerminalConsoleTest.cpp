// The terminal device and the command runner on a pseudo-terminal of the test's own: the
// slave stands for the real terminal, the test reads and types on the master.
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "console/CommandRunner.h"
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
    EXPECT_NE(pty_.ReadOutput().find("\x1b[>31u"), std::string::npos);
    probing_.Close();
    EXPECT_NE(pty_.ReadOutput().find("\x1b[<u"), std::string::npos);  // the flags are popped
    // Without a kitty answer: win32-input-mode, and keys typed meanwhile are kept.
    OpenWithAnswers("x\x1b[1;1R\x1b[?1;2c");
    EXPECT_EQ(probing_.Keyboard(), KeyboardMode::kWin32AndOther);
    EXPECT_NE(pty_.ReadOutput().find("\x1b[?9001h"), std::string::npos);
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

// Raw while open, opened once, the original modes afterwards; no command runs while it is
// open, and a terminal that goes away ends input.
TEST_F(TerminalConsoleTest, RawModeWhileOpenTheOriginalModeAfterwards) {
    const termios before = Modes(pty_.Slave());
    ASSERT_TRUE(console_.Open(cols_, rows_));
    EXPECT_FALSE(console_.Open(cols_, rows_));
    CommandRequest request;
    request.command = "true";
    EXPECT_EQ(console_.RunCommand(request), -1);
    const termios raw = Modes(pty_.Slave());
    EXPECT_EQ(raw.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL), 0u);
    console_.Close();
    EXPECT_EQ(Modes(pty_.Slave()).c_lflag, before.c_lflag);
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.CloseMaster();
    InputItem item;
    int result = 1;
    for (int i = 0; i < 100 && result == 1; ++i) result = console_.NextInput(item);
    EXPECT_EQ(result, -1);
}

// A redraw used to reach the terminal in two frames 16 ms apart: the first change of a key's
// redraw was sent at once, the rest waited for the next frame. Changes now wait for the
// program to be about to wait, and go out as one frame.
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
}

// Neither a title nor clipboard text can carry a control byte to the terminal.
TEST_F(TerminalConsoleTest, TitleAndClipboardLoseTheirControlCharacters) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.ReadOutput();
    EXPECT_EQ(console_.SetTitle("a\x1b]0;evil\x07z\x9b"), 0);
    // 0x9B is a graphic character of code page 437 (the cent sign), not a C1 control.
    EXPECT_EQ(pty_.ReadOutput(), "\x1b]2;a]0;evilz\xc2\xa2\x1b\\");
    EXPECT_TRUE(console_.OfferClipboard("a\x1b\x62"));  // "a", ESC, "b"
    EXPECT_EQ(pty_.ReadOutput(), "\x1b]52;c;YWI=\x1b\\");
}

// Another screen size is asked of the terminal with xterm's window request; the size in use
// stays until the terminal reports a resize.
TEST_F(TerminalConsoleTest, AScreenSizeIsAskedOfTheTerminal) {
    ASSERT_TRUE(console_.Open(cols_, rows_));
    pty_.ReadOutput();
    console_.RequestSize(100, 30);
    EXPECT_EQ(pty_.ReadOutput(), "\x1b[8;30;100t");
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
    const std::filesystem::path before = std::filesystem::current_path();
    VtermMainScreen model(80, 24);
    EXPECT_EQ(Run("echo hello; pwd; exit 3", &model), 3);
    EXPECT_NE(pty_.ReadOutput().find("hello\r\n/\r\n"), std::string::npos);
    EXPECT_EQ(model.CursorY(), 2);  // the model of the main screen saw the output
    EXPECT_EQ(std::filesystem::current_path(), before);
    // Typed input reaches the command; a stopped command is continued.
    pty_.Type("abc\r");
    EXPECT_EQ(Run("read x; kill -STOP $$; echo got$x"), 0);
    EXPECT_NE(pty_.ReadOutput().find("gotabc"), std::string::npos);
    // An alternate screen left on is taken out.
    EXPECT_EQ(Run("printf '\\033[?1049h'", &model), 0);
    EXPECT_FALSE(model.AlternateScreen());
    pty_.ReadOutput();
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
