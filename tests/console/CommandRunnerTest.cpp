// The command runner against a pty of the test's own: the slave stands for the real terminal,
// the test reads and types on the master.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <utility>

using namespace std::chrono_literals;

#include "console/CommandRunner.h"
#include "console/VtermMainScreen.h"

namespace kq::console {
namespace {

class CommandRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        winsize size{};
        size.ws_col = 80;
        size.ws_row = 24;
        ASSERT_EQ(openpty(&master_, &slave_, nullptr, nullptr, &size), 0);
        termios modes{};
        tcgetattr(slave_, &modes);
        cfmakeraw(&modes);  // the caller's business in the program: the terminal is raw
        tcsetattr(slave_, TCSANOW, &modes);
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    }
    void TearDown() override {
        if (master_ >= 0) ::close(master_);
        ::close(slave_);
    }

    // Everything the "terminal" has shown so far.
    std::string Shown() {
        std::string text;
        char buffer[4096];
        pollfd p{master_, POLLIN, 0};
        while (::poll(&p, 1, 50) > 0) {
            const ssize_t n = ::read(master_, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        return text;
    }

    std::string Row(const VtermMainScreen& screen, int row) {
        const auto cells = screen.Snapshot();
        std::string text;
        for (int col = 0; col < screen.Cols(); ++col) {
            text += static_cast<char>(cells[(static_cast<size_t>(row) * screen.Cols() + col) * 2]);
        }
        return text;
    }

    int master_ = -1;
    int slave_ = -1;
};

TEST_F(CommandRunnerTest, EchoReachesTerminalAndModel) {
    VtermMainScreen model(80, 24);
    EXPECT_EQ(RunCommand("echo hello", "/", {slave_, slave_}, &model), 0);
    EXPECT_NE(Shown().find("hello"), std::string::npos);
    EXPECT_EQ(Row(model, 0).substr(0, 5), "hello");
    EXPECT_EQ(model.CursorY(), 1);
}

TEST_F(CommandRunnerTest, ExitStatus) {
    EXPECT_EQ(RunCommand("exit 3", "/", {slave_, slave_}, nullptr), 3);
}

TEST_F(CommandRunnerTest, RunsInTheGivenDirectory) {
    const std::filesystem::path before = std::filesystem::current_path();
    char temp[] = "/tmp/kq-runner-XXXXXX";
    ASSERT_NE(mkdtemp(temp), nullptr);
    char real[PATH_MAX];
    ASSERT_NE(realpath(temp, real), nullptr);
    EXPECT_EQ(RunCommand("pwd", temp, {slave_, slave_}, nullptr), 0);
    EXPECT_NE(Shown().find(real), std::string::npos);
    EXPECT_EQ(std::filesystem::current_path(), before);
    ::rmdir(temp);
}

TEST_F(CommandRunnerTest, AlternateScreenLeftOnIsTakenOut) {
    VtermMainScreen model(80, 24);
    EXPECT_EQ(RunCommand("printf '\\033[?1049h'", "/", {slave_, slave_}, &model), 0);
    EXPECT_FALSE(model.AlternateScreen());
    const std::string shown = Shown();
    const size_t on = shown.find("\x1b[?1049h");
    const size_t off = shown.rfind("\x1b[?1049l");
    ASSERT_NE(on, std::string::npos);
    ASSERT_NE(off, std::string::npos);
    EXPECT_GT(off, on);
}

TEST_F(CommandRunnerTest, BackgroundJobHoldingThePtyDoesNotHold) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(RunCommand("sleep 5 & echo started", "/", {slave_, slave_}, nullptr), 0);
    // A hang guard only: waiting for the job would take the full 5 s.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(4500));
    EXPECT_NE(Shown().find("started"), std::string::npos);
}

TEST_F(CommandRunnerTest, TypedInputReachesTheCommand) {
    const std::string typed = "abc\r";
    ASSERT_EQ(::write(master_, typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
    EXPECT_EQ(RunCommand("read x; echo got$x", "/", {slave_, slave_}, nullptr), 0);
    EXPECT_NE(Shown().find("gotabc"), std::string::npos);
}

TEST_F(CommandRunnerTest, StartsWithTheSavedModesAndTheTerminalSize) {
    termios modes{};
    tcgetattr(slave_, &modes);
    modes.c_lflag |= ECHO | ICANON;
    CommandOptions options;
    options.savedModes = &modes;
    VtermMainScreen model(10, 5);
    EXPECT_EQ(RunCommand("stty size", "/", {slave_, slave_}, &model, options), 0);
    EXPECT_NE(Shown().find("24 80"), std::string::npos);
    EXPECT_EQ(model.Cols(), 80);
}

TEST_F(CommandRunnerTest, StoppedCommandIsContinued) {
    EXPECT_EQ(RunCommand("kill -STOP $$; echo resumed", "/", {slave_, slave_}, nullptr), 0);
    EXPECT_NE(Shown().find("resumed"), std::string::npos);
}

TEST_F(CommandRunnerTest, ResizeIsPassedOn) {
    // The program reads SIGWINCH from a signalfd with the signal blocked; so does this test.
    sigset_t winch;
    sigemptyset(&winch);
    sigaddset(&winch, SIGWINCH);
    sigset_t old;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &winch, &old), 0);
    const int signalFd = signalfd(-1, &winch, SFD_NONBLOCK | SFD_CLOEXEC);
    ASSERT_GE(signalFd, 0);
    const std::string terminal = ptsname(master_);
    CommandOptions options;
    options.signalFd = signalFd;
    VtermMainScreen model(80, 24);
    // The command resizes the "real" terminal and signals the runner's process, then waits
    // until its own pty has the new size.
    const std::string command = "stty cols 100 rows 30 < " + terminal +
                                "; kill -WINCH $PPID;"
                                " while [ \"$(stty size)\" != '30 100' ]; do sleep 0.05; done;"
                                " echo resized";
    EXPECT_EQ(RunCommand(command, "/", {slave_, slave_}, &model, options), 0);
    EXPECT_NE(Shown().find("resized"), std::string::npos);
    EXPECT_EQ(model.Cols(), 100);
    EXPECT_EQ(model.Rows(), 30);
    ::close(signalFd);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

// kill -TERM of the program during "sleep 123" did nothing, and closing the terminal while a
// command ran left both running. The signal (the hang-up) reaches the command, which ends,
// and the runner reports it so that the program ends after the command.
TEST_F(CommandRunnerTest, TerminationReachesTheCommandAndIsReported) {
    sigset_t terminate;
    sigemptyset(&terminate);
    sigaddset(&terminate, SIGTERM);
    sigset_t old;
    ASSERT_EQ(pthread_sigmask(SIG_BLOCK, &terminate, &old), 0);
    const int signalFd = signalfd(-1, &terminate, SFD_NONBLOCK | SFD_CLOEXEC);
    ASSERT_GE(signalFd, 0);
    char folder[] = "/tmp/kq-runner-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string marker = std::string(folder) + "/started";
    const struct {
        const char* how;
        int trapped;
        int exitStatus;
    } cases[] = {{"kill -TERM", SIGTERM, 7}, {"terminal closed", SIGHUP, 9}};
    for (const auto& entry : cases) {
        SCOPED_TRACE(entry.how);
        std::filesystem::remove(marker);
        std::thread sender([&] {
            while (!std::filesystem::exists(marker)) std::this_thread::sleep_for(10ms);
            if (entry.trapped == SIGTERM) {
                kill(getpid(), SIGTERM);
            } else {
                ::close(std::exchange(master_, -1));
            }
        });
        CommandOptions options;
        options.signalFd = signalFd;
        int endRequested = 0;
        options.endRequested = &endRequested;
        const std::string command = "trap 'exit " + std::to_string(entry.exitStatus) + "' " +
                                    (entry.trapped == SIGTERM ? "TERM" : "HUP") + "; touch " +
                                    marker + "; while :; do sleep 0.05; done";
        EXPECT_EQ(RunCommand(command, "/", {slave_, slave_}, nullptr, options), entry.exitStatus);
        EXPECT_EQ(endRequested, entry.trapped);
        sender.join();
    }
    std::filesystem::remove_all(folder);
    ::close(signalFd);
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
}

}  // namespace
}  // namespace kq::console
