// The signalfd of the console layer, and ending or stopping the process by a signal.
#include "console/SignalWatch.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "platform/Kernel.h"

namespace kq::console {

SignalWatch::SignalWatch() {
    pthread_sigmask(SIG_BLOCK, &platform::KeConsoleSignalSet(), nullptr);
    fd_ = signalfd(-1, &platform::KeConsoleSignalSet(), SFD_NONBLOCK | SFD_CLOEXEC);
}

SignalWatch& SignalWatch::Instance() {
    // Kept for the whole run: the signals stay blocked, and a signal that arrives while the
    // console is closed waits here for the next reader.
    static SignalWatch watch;
    return watch;
}

void SignalWatch::KeepTerminate(int signalNumber) {
    if (keptTerminate_ == 0) keptTerminate_ = signalNumber;
}

SignalWatch::Pending SignalWatch::Drain() {
    Pending pending;
    pending.terminate = keptTerminate_;
    keptTerminate_ = 0;
    if (fd_ < 0) return pending;
    signalfd_siginfo info;
    while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        switch (info.ssi_signo) {
            case SIGWINCH:
                pending.resized = true;
                break;
            case SIGCHLD:
                pending.childChanged = true;
                break;
            case SIGTSTP:
                pending.stopRequested = true;
                break;
            case SIGCONT:
                pending.continued = true;
                break;
            default:
                if (pending.terminate == 0) pending.terminate = static_cast<int>(info.ssi_signo);
                break;
        }
    }
    return pending;
}

namespace {

EndHookSetting& TheEndHook() {
    static EndHookSetting setting;
    return setting;
}

}  // namespace

EndHookSetting SetEndHook(EndHookSetting setting) {
    const EndHookSetting previous = TheEndHook();
    TheEndHook() = setting;
    return previous;
}

void EndBySignal(int signalNumber) {
    // Run once: a second signal during the hook ends the process at once.
    const EndHookSetting hook = SetEndHook({});
    if (hook.hook != nullptr) hook.hook(hook.context);
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    sigaction(signalNumber, &action, nullptr);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signalNumber);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signalNumber);
    _exit(128 + signalNumber);
}

void StopProcess() {
    // SIGSTOP cannot be blocked or caught: every thread stops at once, and the call returns
    // when the shell continues the process (its SIGCONT then waits in the signalfd).
    kill(getpid(), SIGSTOP);
}

}  // namespace kq::console
