// The signalfd of the console layer.
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

SignalWatch::Pending SignalWatch::Drain() {
    Pending pending;
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
            default:
                pending.terminate = static_cast<int>(info.ssi_signo);
                break;
        }
    }
    return pending;
}

}  // namespace kq::console
