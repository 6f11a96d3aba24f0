// The signals the console layer reads as events instead of letting them interrupt the
// program: SIGWINCH (the terminal's new size), SIGCHLD (for commands the program runs),
// SIGTERM, SIGHUP and SIGINT (leave cleanly). They are blocked in the UI thread and in every
// thread the kernel services start (the set is the kernel services' KeConsoleSignalSet), and
// read from one signalfd polled beside the terminal.
#pragma once

#include <signal.h>

namespace kq::console {

class SignalWatch {
  public:
    // The process-wide watch; created (and the signals blocked in the calling thread) on first
    // use.
    static SignalWatch& Instance();

    // The descriptor to poll; -1 when signalfd is unavailable.
    int Fd() const { return fd_; }

    struct Pending {
        bool resized = false;
        bool childChanged = false;
        int terminate = 0;  // SIGTERM, SIGHUP or SIGINT when one arrived, else 0
    };
    // Reads every signal waiting on the descriptor without blocking.
    Pending Drain();

  private:
    SignalWatch();
    int fd_ = -1;
};

}  // namespace kq::console
