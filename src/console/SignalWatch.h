// The signals the console layer reads as events instead of letting them interrupt the
// program: SIGWINCH (the terminal's new size), SIGCHLD (for commands the program runs),
// SIGTERM, SIGHUP and SIGINT (leave cleanly), SIGTSTP (give the terminal back, then stop) and
// SIGCONT (take the terminal again). They are blocked in the UI thread and in every thread the
// kernel services start (the set is the kernel services' KeConsoleSignalSet), and read from one
// signalfd polled beside the terminal. A blocked SIGCONT still continues the process; only
// its notice waits here.
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
        bool stopRequested = false;  // SIGTSTP
        bool continued = false;      // SIGCONT
        int terminate = 0;           // SIGTERM, SIGHUP or SIGINT when one arrived, else 0
    };
    // Reads every signal waiting on the descriptor without blocking. A terminating signal
    // kept by KeepTerminate comes back here first.
    Pending Drain();
    // A terminating signal that a reader could not act on yet (a command was running, the
    // terminal was being opened): the next Drain reports it again.
    void KeepTerminate(int signalNumber);

  private:
    SignalWatch();
    int fd_ = -1;
    int keptTerminate_ = 0;
};

// Ends the process by signalNumber with its default action, as if it had never been blocked,
// so that the parent sees how the program ended. The caller has put the terminal back.
[[noreturn]] void EndBySignal(int signalNumber);
// Work that must be done before the process ends by a signal (an editor keeps unsaved text);
// UI thread only. Returns the hook it replaces, so that nested users can put it back.
using EndHook = void (*)(void* context);
struct EndHookSetting {
    EndHook hook = nullptr;
    void* context = nullptr;
};
EndHookSetting SetEndHook(EndHookSetting setting);

// Stops the whole process as SIGTSTP would, and returns when it is continued.
void StopProcess();

}  // namespace kq::console
