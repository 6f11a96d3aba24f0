// Runs one command line in a pseudo-terminal between the real terminal and the main-screen
// model.
#pragma once

#include <termios.h>

#include <string>

namespace kq::console {

class VtermMainScreen;

struct CommandOptions {
    // The termios the program found at start; the command's pty starts with them. Null: the
    // pty's defaults.
    const termios* savedModes = nullptr;
    // The signalfd to read the console's signals from (the console's SignalWatch); -1: none,
    // the runner then polls the child alone. SIGWINCH resizes the pty. SIGTERM, SIGHUP and
    // SIGINT are passed on to the command's process groups, as a terminal sends them, and
    // reported through endRequested. SIGTSTP gives the terminal its savedModes back and stops
    // the program until it is continued; SIGCONT puts the terminal in raw mode again.
    int signalFd = -1;
    // Receives the terminating signal that arrived while the command ran (0: none); the
    // program is to end after the command, as it would have ended when idle.
    int* endRequested = nullptr;
};

// The terminal a command talks to: input and output may be two descriptors of one terminal.
struct CommandTerminal {
    int inputFd = -1;
    int outputFd = -1;
};

// Runs `/bin/sh -c command` in `directory` on a pty sized like the terminal. The terminal's
// input (already in raw mode: the caller's business) is copied to the pty; the pty's output
// goes to the terminal and into `model` (may be null). Returns the exit status (128 + the
// signal number for a command killed by a signal, -1 when the command could not start).
int RunCommand(const std::string& command, const std::string& directory, CommandTerminal terminal,
               VtermMainScreen* model, const CommandOptions& options = {});

}  // namespace kq::console
