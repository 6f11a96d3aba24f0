// Entering and leaving the terminal modes the program runs in, and putting the terminal back
// from a fatal signal.
//
// Enter: raw mode (no echo, no canonical input, no ISIG, no IXON, no CR/NL mapping), then the
// alternate screen, the application keypad, Alt as an ESC prefix, auto-wrap off, bracketed
// paste, the title saved. Leave undoes it in reverse order. The leave sequence and the saved
// termios are also kept in static storage so that a signal handler can restore the terminal
// with async-signal-safe calls only (write, tcsetattr, tcflush).
#pragma once

#include <termios.h>

#include <cstdint>
#include <string>

#include "console/TerminalQuirks.h"

namespace kq::console {

enum class KeyboardMode {
    kLegacy,         // nothing richer than xterm sequences was asked for
    kKittyProtocol,  // CSI >31u pushed (popped again on leave)
    kWin32AndOther,  // win32-input-mode and modifyOtherKeys requested
};

class TerminalModes {
  public:
    TerminalModes(int inputFd, int outputFd, const TerminalQuirks& quirks);
    ~TerminalModes();
    TerminalModes(const TerminalModes&) = delete;
    TerminalModes& operator=(const TerminalModes&) = delete;

    // Saves termios and switches to raw mode. False when the input is not a terminal.
    bool EnterRawMode();
    // Raw mode again from the modes saved by EnterRawMode, after Leave or after something else
    // changed the terminal (the shell, while the program was stopped). The caller writes the
    // enter sequence again.
    bool ApplyRawMode();
    // The terminal's erase character as the program found it (what Backspace sends).
    uint8_t EraseCharacter() const { return saved_.c_cc[VERASE]; }
    // The sequences that set up the screen and keyboard; written by the caller.
    std::string EnterSequence(KeyboardMode keyboard) const;
    // Undoes everything: writes the leave sequence, restores termios and discards input that
    // is still arriving (replies in flight, keys typed during shutdown).
    void Leave();
    bool Active() const { return active_; }
    // The keyboard mode that Leave (and a fatal signal) must undo.
    void SetKeyboardModeForLeave(KeyboardMode keyboard);

    // Installs handlers for SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP and SIGABRT that restore
    // the terminal and then let the signal take its default course. Idempotent.
    static void InstallFatalSignalHandlers();
    // Async-signal-safe restore of whatever terminal is active (nothing when none is).
    static void EmergencyRestore();

  private:
    std::string LeaveSequence() const;
    void PublishForSignals(bool active);

    int inputFd_;
    int outputFd_;
    TerminalQuirks quirks_;
    termios saved_{};
    bool active_ = false;
    KeyboardMode keyboard_ = KeyboardMode::kLegacy;
};

}  // namespace kq::console
