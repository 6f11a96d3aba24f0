// KeSound: the bell goes to the controlling terminal as a single BEL byte and nothing else, and
// a process without a terminal gets -1. Each case runs in a child process with a session of its
// own, so the terminal running the tests never hears a bell.
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

// Runs body in a child process of its own session; its exit code, -1 when it did not exit.
template <typename Body>
int InNewSession(Body body) {
    pid_t child = fork();
    if (child == 0) _exit(setsid() < 0 ? 100 : body());
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST(KeSoundTest, WithoutAControllingTerminalReturnsMinusOne) {
    EXPECT_EQ(InNewSession([] { return KeSound(440, 100) == -1 ? 0 : 1; }), 0);
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
    // The terminal becomes the child's controlling terminal and its standard output, as in the
    // program itself.
    EXPECT_EQ(InNewSession([&] {
                  int terminal = open(slavePath.c_str(), O_RDWR);
                  if (terminal < 0 || ioctl(terminal, TIOCSCTTY, 0) < 0 ||
                      dup2(terminal, STDOUT_FILENO) < 0 || dup2(terminal, STDERR_FILENO) < 0) {
                      return 100;
                  }
                  return KeSound(880, 50) == 0 ? 0 : 1;
              }),
              0);
    // Everything the terminal received; the first wait is only a hang guard.
    std::string received;
    pollfd readable{master, POLLIN, 0};
    for (int timeoutMs = 30000; poll(&readable, 1, timeoutMs) == 1; timeoutMs = 100) {
        char buffer[64];
        const ssize_t count = read(master, buffer, sizeof buffer);
        if (count <= 0) break;
        received.append(buffer, static_cast<size_t>(count));
    }
    EXPECT_EQ(received, "\a");
    close(slave);
    close(master);
}

}  // namespace
