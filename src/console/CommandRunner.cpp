// The command runner: forkpty, a copy loop between the terminal and the pty, and the child's
// reaping.
#include "console/CommandRunner.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/wait.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <string_view>

#include "console/SignalWatch.h"
#include "console/VtermMainScreen.h"

namespace kq::console {

namespace {

// Owns one descriptor.
class Fd {
  public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd() {
        if (fd_ >= 0) ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

void WriteAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd p{fd, POLLOUT, 0};
                ::poll(&p, 1, 100);
                continue;
            }
            return;
        }
        data += n;
        size -= static_cast<size_t>(n);
    }
}

// The pty's output: to the terminal and into the model. False at end of file or error.
bool CopyOutput(int master, int terminalFd, VtermMainScreen* model) {
    char buffer[4096];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) return n < 0 && (errno == EINTR || errno == EAGAIN);
    WriteAll(terminalFd, buffer, static_cast<size_t>(n));
    if (model) model->Feed(std::string_view(buffer, static_cast<size_t>(n)));
    return true;
}

long long NowMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

// In the child, between fork and exec: only async-signal-safe calls.
[[noreturn]] void ExecChild(const char* command, const char* directory) {
    // The program blocks its signals (they are read from a signalfd) and the mask survives
    // exec: the command must see them, with default handlers.
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) ::signal(sig, SIG_DFL);
    }
    sigset_t all;
    sigemptyset(&all);
    sigprocmask(SIG_SETMASK, &all, nullptr);
    // Nothing of the program's reaches the command: a descriptor it kept open (the terminal's
    // own, a plugin's file) would also keep a hang-up from being seen.
    ::close_range(3, ~0U, 0);
    if (directory[0] != '\0' && ::chdir(directory) != 0) {
        static const char message[] = "kq: cannot change to the directory\r\n";
        (void)!::write(STDERR_FILENO, message, sizeof message - 1);
        _exit(126);
    }
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(127);
}

// Raw mode for the terminal while the command's pty does the line discipline.
void MakeTerminalRaw(int terminalFd, const termios& found) {
    termios raw = found;
    cfmakeraw(&raw);
    tcsetattr(terminalFd, TCSADRAIN, &raw);
}

// A terminating signal as the terminal would deliver it: to the command's own process group
// (the shell the pty runs, a session leader) and to the pty's foreground group when that is
// another one (a job of an interactive shell).
void PassOn(int signalNumber, pid_t child, int master) {
    ::kill(-child, signalNumber);
    const pid_t foreground = ::tcgetpgrp(master);
    if (foreground > 0 && foreground != child) ::kill(-foreground, signalNumber);
}

int StatusOf(int status) {
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

}  // namespace

int RunCommand(const std::string& command, const std::string& directory, CommandTerminal terminal,
               VtermMainScreen* model, const CommandOptions& options) {
    const int terminalFd = terminal.outputFd;
    winsize size{};
    const bool haveSize = (::ioctl(terminal.outputFd, TIOCGWINSZ, &size) == 0 ||
                           ::ioctl(terminal.inputFd, TIOCGWINSZ, &size) == 0) &&
                          size.ws_col > 0;

    int masterFd = -1;
    const pid_t pid = forkpty(&masterFd, nullptr, options.savedModes, haveSize ? &size : nullptr);
    if (pid < 0) return -1;
    if (pid == 0) ExecChild(command.c_str(), directory.c_str());

    Fd master(masterFd);
    ::fcntl(master.get(), F_SETFL, ::fcntl(master.get(), F_GETFL) | O_NONBLOCK);
    ::fcntl(master.get(), F_SETFD, FD_CLOEXEC);
    if (model && haveSize) model->Resize(size.ws_col, size.ws_row);

    int status = 0;
    bool reaped = false;
    bool masterOpen = true;
    bool terminalOpen = true;
    while (!reaped) {
        pollfd fds[3] = {{master.get(), POLLIN, 0},
                         {terminal.inputFd, POLLIN, 0},
                         {options.signalFd, POLLIN, 0}};
        // Without SIGCHLD from the signalfd the child is looked at every 100 ms as well.
        const nfds_t count = options.signalFd >= 0 ? 3 : 2;
        if (!masterOpen) fds[0].fd = -1;
        // A terminal that hung up would make poll return at once forever.
        if (!terminalOpen) fds[1].fd = -1;
        const int ready = ::poll(fds, count, 100);
        if (ready < 0 && errno != EINTR) break;
        if (ready > 0) {
            if (fds[0].revents & (POLLIN | POLLHUP | POLLERR)) {
                masterOpen = CopyOutput(master.get(), terminalFd, model);
            }
            if (fds[1].revents & (POLLIN | POLLHUP | POLLERR)) {
                char buffer[1024];
                const ssize_t n = ::read(terminal.inputFd, buffer, sizeof buffer);
                if (n > 0) {
                    WriteAll(master.get(), buffer, static_cast<size_t>(n));
                } else if (n == 0 || (errno != EINTR && errno != EAGAIN)) {
                    // The terminal hung up (closed): the command hears of it as it would
                    // from its own terminal, and the program is to end after it.
                    terminalOpen = false;
                    PassOn(SIGHUP, pid, master.get());
                    if (options.endRequested && *options.endRequested == 0) {
                        *options.endRequested = SIGHUP;
                    }
                }
            }
            if (count == 3 && (fds[2].revents & POLLIN)) {
                signalfd_siginfo info;
                while (::read(options.signalFd, &info, sizeof info) ==
                       static_cast<ssize_t>(sizeof info)) {
                    const int signalNumber = static_cast<int>(info.ssi_signo);
                    if (signalNumber == SIGWINCH && ::ioctl(terminalFd, TIOCGWINSZ, &size) == 0) {
                        ::ioctl(master.get(), TIOCSWINSZ, &size);
                        if (model) model->Resize(size.ws_col, size.ws_row);
                    } else if (signalNumber == SIGTERM || signalNumber == SIGHUP ||
                               signalNumber == SIGINT) {
                        PassOn(signalNumber, pid, master.get());
                        if (options.endRequested && *options.endRequested == 0) {
                            *options.endRequested = signalNumber;
                        }
                    } else if (signalNumber == SIGTSTP && options.savedModes) {
                        // The command goes on in its pty; the shell that stopped the program
                        // gets its terminal back as it was.
                        tcsetattr(terminal.inputFd, TCSADRAIN, options.savedModes);
                        StopProcess();
                        MakeTerminalRaw(terminal.inputFd, *options.savedModes);
                    } else if (signalNumber == SIGCONT && options.savedModes) {
                        MakeTerminalRaw(terminal.inputFd, *options.savedModes);
                    }
                }
            }
        }
        const pid_t done = ::waitpid(pid, &status, WNOHANG | WUNTRACED);
        if (done == pid) {
            if (WIFSTOPPED(status)) {
                // Ctrl+Z: there is no job control here to take the command over; it goes on.
                ::kill(pid, SIGCONT);
            } else {
                reaped = true;
            }
        } else if (done < 0 && errno != EINTR) {
            status = 0;
            break;
        }
    }

    // What the command printed last is still in the pty. Drain it for a short while, never
    // waiting for end of file: a background job may hold the pty open.
    const long long deadline = NowMs() + 50;
    while (masterOpen) {
        const long long left = deadline - NowMs();
        if (left <= 0) break;
        pollfd p{master.get(), POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0) break;
        masterOpen = CopyOutput(master.get(), terminalFd, model);
    }

    if (model && model->AlternateScreen()) {
        static constexpr std::string_view kLeave = "\x1b[?1049l";
        WriteAll(terminalFd, kLeave.data(), kLeave.size());
        model->Feed(kLeave);
    }
    return reaped ? StatusOf(status) : -1;
}

}  // namespace kq::console
