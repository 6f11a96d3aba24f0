// Tests of KeSound: the bell goes to the controlling terminal as a single BEL byte and nothing
// else, and a process without a terminal gets -1. Each case runs in a child process that has
// its own session, so the terminal running the tests never hears a bell.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "kq/kernel.h"

namespace {

// Exit codes of the child processes.
constexpr int kChildSawExpectedResult = 0;
constexpr int kChildSawOtherResult = 1;
constexpr int kChildSetupFailed = 2;

int WaitForChild(pid_t child) {
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(KeSoundTest, WithoutAControllingTerminalReturnsMinusOne) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (setsid() < 0) _exit(kChildSetupFailed);
        _exit(KeSound(440, 100) == -1 ? kChildSawExpectedResult : kChildSawOtherResult);
    }
    EXPECT_EQ(WaitForChild(child), kChildSawExpectedResult);
}

// Fault caught: printing diagnostics (or anything else) with the bell would draw over the
// full-screen UI, which shares the terminal with standard output.
TEST(KeSoundTest, WritesOnlyTheBellByteToTheTerminal) {
    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    const std::string slavePath = ptsname(master);
    // Held open here so that the output stays readable after the child has closed its side.
    int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(slave, 0);

    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The terminal becomes the child's controlling terminal and its standard output, as in
        // the program itself.
        if (setsid() < 0) _exit(kChildSetupFailed);
        int terminal = open(slavePath.c_str(), O_RDWR);
        if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) < 0) _exit(kChildSetupFailed);
        if (dup2(terminal, STDOUT_FILENO) < 0 || dup2(terminal, STDERR_FILENO) < 0) {
            _exit(kChildSetupFailed);
        }
        _exit(KeSound(880, 50) == 0 ? kChildSawExpectedResult : kChildSawOtherResult);
    }
    EXPECT_EQ(WaitForChild(child), kChildSawExpectedResult);

    // Everything the terminal received; the first wait is only a hang guard.
    std::string received;
    int timeoutMs = 30000;
    pollfd readable{master, POLLIN, 0};
    while (poll(&readable, 1, timeoutMs) == 1 && (readable.revents & POLLIN) != 0) {
        char buffer[64];
        ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0) break;
        received.append(buffer, static_cast<size_t>(count));
        timeoutMs = 100;
    }
    EXPECT_EQ(received, "\a");

    close(slave);
    close(master);
}

}  // namespace
