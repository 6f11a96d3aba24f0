// Terminal modes: raw mode, the enter/leave sequences, and the restore on fatal signals.
#include "console/TerminalModes.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace kq::console {

namespace {

// What a signal handler needs to put the terminal back. Written only while no terminal is
// published (published == false), read by handlers only while published.
struct EmergencyState {
    std::atomic<bool> published{false};
    int inputFd = -1;
    int outputFd = -1;
    termios saved{};
    char leave[512] = {};
    size_t leaveLength = 0;
};

EmergencyState g_emergency;

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT};
struct sigaction g_previousActions[sizeof kFatalSignals / sizeof kFatalSignals[0]];

void WriteAll(int fd, const char* data, size_t length) {
    while (length > 0) {
        const ssize_t written = ::write(fd, data, length);
        if (written < 0) {
            if (errno == EINTR) continue;
            return;
        }
        data += written;
        length -= static_cast<size_t>(written);
    }
}

void OnFatalSignal(int signalNumber, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    TerminalModes::EmergencyRestore();
    // Hand the signal to whatever handled it before (or the default action). A handler that
    // takes the fault's record (the crash reporter) gets it with its context; otherwise the
    // signal is raised again: it stays blocked while this handler runs and is delivered on
    // return.
    for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i) {
        if (kFatalSignals[i] != signalNumber) continue;
        const struct sigaction previous = g_previousActions[i];
        sigaction(signalNumber, &previous, nullptr);
        if ((previous.sa_flags & SA_SIGINFO) != 0 && previous.sa_sigaction != nullptr) {
            previous.sa_sigaction(signalNumber, info, context);
            errno = savedErrno;
            return;
        }
    }
    raise(signalNumber);
    errno = savedErrno;
}

}  // namespace

TerminalModes::TerminalModes(int inputFd, int outputFd, const TerminalQuirks& quirks)
    : inputFd_(inputFd), outputFd_(outputFd), quirks_(quirks) {}

TerminalModes::~TerminalModes() {
    if (active_) Leave();
}

bool TerminalModes::EnterRawMode() {
    if (tcgetattr(inputFd_, &saved_) != 0) return false;
    return ApplyRawMode();
}

bool TerminalModes::ApplyRawMode() {
    termios raw = saved_;
    raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                          ICRNL | IXON | IXOFF);
    raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB);
    raw.c_cflag |= CS8;
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    if (tcsetattr(inputFd_, TCSAFLUSH, &raw) != 0) return false;
    active_ = true;
    PublishForSignals(true);
    return true;
}

std::string TerminalModes::EnterSequence(KeyboardMode keyboard) const {
    std::string sequence;
    if (quirks_.titles) sequence += "\x1b[22;0t";  // push the title
    if (quirks_.alternateScreen) sequence += "\x1b[?1049h";
    sequence += "\x1b=";        // application keypad: keypad + - * differ from the main keys
    sequence += "\x1b[?1036h";  // Alt sends ESC as a prefix
    sequence += "\x1b[?7l";     // no auto-wrap: writing the last column never scrolls
    sequence += "\x1b[?2004h";  // bracketed paste: pasted text is told apart from keys
    sequence += "\x1b[0m";
    switch (keyboard) {
        case KeyboardMode::kKittyProtocol:
            sequence += "\x1b[>31u";
            break;
        case KeyboardMode::kWin32AndOther:
            sequence += "\x1b[?9001h\x1b[>4;1m";
            break;
        case KeyboardMode::kLegacy:
            break;
    }
    return sequence;
}

std::string TerminalModes::LeaveSequence() const {
    std::string sequence = "\x1b[0m";
    switch (keyboard_) {
        case KeyboardMode::kKittyProtocol:
            sequence += "\x1b[<u";  // pop our flags before leaving the alternate screen
            break;
        case KeyboardMode::kWin32AndOther:
            sequence += "\x1b[>4m\x1b[?9001l";
            break;
        case KeyboardMode::kLegacy:
            break;
    }
    sequence += "\x1b[?2004l\x1b[?7h\x1b[?1036l\x1b>";
    if (quirks_.cursorShape) sequence += "\x1b[0 q";
    sequence += "\x1b[?25h";
    if (quirks_.alternateScreen) {
        sequence += "\x1b[?1049l";
    } else {
        // Without an alternate screen the program's drawing stays; clear it.
        sequence += "\x1b[H\x1b[2J";
    }
    if (quirks_.titles) sequence += "\x1b[23;0t";  // pop the title
    return sequence;
}

void TerminalModes::PublishForSignals(bool active) {
    g_emergency.published.store(false);
    if (!active) return;
    const std::string leave = LeaveSequence();
    g_emergency.inputFd = inputFd_;
    g_emergency.outputFd = outputFd_;
    g_emergency.saved = saved_;
    g_emergency.leaveLength = std::min(leave.size(), sizeof g_emergency.leave);
    std::memcpy(g_emergency.leave, leave.data(), g_emergency.leaveLength);
    g_emergency.published.store(true);
}

void TerminalModes::Leave() {
    if (!active_) return;
    PublishForSignals(false);
    const std::string leave = LeaveSequence();
    WriteAll(outputFd_, leave.data(), leave.size());
    tcsetattr(inputFd_, TCSAFLUSH, &saved_);
    // Replies and key releases may still be on their way: take what arrives until the input
    // has been quiet for a moment, then discard it, so none of it reaches the shell.
    for (int round = 0; round < 10; ++round) {
        pollfd descriptor{inputFd_, POLLIN, 0};
        if (poll(&descriptor, 1, 20) <= 0) break;
        char discard[256];
        if (::read(inputFd_, discard, sizeof discard) <= 0) break;
    }
    tcflush(inputFd_, TCIFLUSH);
    active_ = false;
}

void TerminalModes::SetKeyboardModeForLeave(KeyboardMode keyboard) {
    keyboard_ = keyboard;
    if (active_) PublishForSignals(true);
}

void TerminalModes::InstallFatalSignalHandlers() {
    static std::atomic<bool> installed{false};
    if (installed.exchange(true)) return;
    // A fault from a stack overflow needs a stack of its own to run the handler on.
    static char alternateStack[64 * 1024];
    stack_t stack{};
    stack.ss_sp = alternateStack;
    stack.ss_size = sizeof alternateStack;
    sigaltstack(&stack, nullptr);
    for (size_t i = 0; i < sizeof kFatalSignals / sizeof kFatalSignals[0]; ++i) {
        struct sigaction action {};
        action.sa_sigaction = OnFatalSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_SIGINFO | SA_ONSTACK | SA_RESETHAND;
        sigaction(kFatalSignals[i], &action, &g_previousActions[i]);
    }
}

void TerminalModes::EmergencyRestore() {
    if (!g_emergency.published.exchange(false)) return;
    WriteAll(g_emergency.outputFd, g_emergency.leave, g_emergency.leaveLength);
    tcsetattr(g_emergency.inputFd, TCSAFLUSH, &g_emergency.saved);
    tcflush(g_emergency.inputFd, TCIFLUSH);
}

}  // namespace kq::console
