// Commands on the in-memory console: run for real with /bin/sh, their output read from a pipe
// and printed on an emulated screen that the next open takes as the saved screen, as the
// terminal's main screen is.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "console/MemoryConsole.h"
#include "console/VtermMainScreen.h"

namespace kq::console {

namespace {

// In the child, between fork and exec: async-signal-safe calls only.
[[noreturn]] void ExecCommand(int output, const char* command, const char* directory) {
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP) ::signal(sig, SIG_DFL);
    }
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    const int input = ::open("/dev/null", O_RDONLY);
    if (input >= 0) ::dup2(input, STDIN_FILENO);
    ::dup2(output, STDOUT_FILENO);
    ::dup2(output, STDERR_FILENO);
    if (directory[0] != '\0' && ::chdir(directory) != 0) _exit(126);
    execl("/bin/sh", "sh", "-c", command, static_cast<char*>(nullptr));
    _exit(127);
}

// Reads the command's output until the child is gone and the pipe is drained (a background
// job holding the pipe open is given up on after the child ends).
std::string Collect(int pipeFd, pid_t child, int& status) {
    std::string output;
    bool reaped = false;
    int quietPolls = 0;
    for (;;) {
        pollfd descriptor{pipeFd, POLLIN, 0};
        const int ready = ::poll(&descriptor, 1, reaped ? 50 : 100);
        if (ready > 0) {
            char buffer[4096];
            const ssize_t n = ::read(pipeFd, buffer, sizeof buffer);
            if (n > 0) {
                output.append(buffer, static_cast<size_t>(n));
                continue;
            }
            if (n == 0) break;  // every writer is gone
        }
        if (!reaped) {
            reaped = ::waitpid(child, &status, WNOHANG) == child;
        } else if (ready == 0 && ++quietPolls >= 1) {
            break;
        }
    }
    if (!reaped) ::waitpid(child, &status, 0);
    return output;
}

std::string WithCarriageReturns(const std::string& text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c;
    }
    return out;
}

}  // namespace

MemoryConsole::~MemoryConsole() = default;

int MemoryConsole::RunCommand(const CommandRequest& request) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) return -1;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return -1;
    }
    if (child == 0) ExecCommand(pipeFds[1], request.command.c_str(), request.directory.c_str());
    ::close(pipeFds[1]);
    int status = 0;
    const std::string output = Collect(pipeFds[0], child, status);
    ::close(pipeFds[0]);

    std::lock_guard lock(mutex_);
    if (!commandScreen_) commandScreen_ = std::make_unique<VtermMainScreen>(cols_, rows_);
    commandScreen_->Resize(cols_, rows_);
    const std::string printed = request.before + output + request.after;
    commandLog_ += printed;
    // A pipe has no output processing: the line feeds are turned as a terminal turns them.
    commandScreen_->Feed(WithCarriageReturns(printed));
    savedScreen_ = commandScreen_->Snapshot();
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

std::string MemoryConsole::CommandLog() const {
    std::lock_guard lock(mutex_);
    return commandLog_;
}

}  // namespace kq::console
