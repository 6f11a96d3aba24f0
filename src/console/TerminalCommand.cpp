// Running a command on the real terminal while the interface is suspended: the terminal is on
// its main screen in the modes the program found it in; it is switched to raw mode for the
// command's pty (the pty does the line discipline) and back afterwards. Everything that reaches
// the main screen is also fed to the main-screen model, which becomes the desktop's background.
#include <termios.h>
#include <unistd.h>

#include "console/CommandRunner.h"
#include "console/MainScreen.h"
#include "console/SignalWatch.h"
#include "console/TerminalConsole.h"
#include "console/VtermMainScreen.h"

namespace kq::console {

void TerminalConsole::PrintOnMainScreen(const std::string& text, bool newlineToCrLf) {
    if (text.empty()) return;
    WriteOut(text);
    auto* model = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    if (model == nullptr) return;
    if (!newlineToCrLf) {
        model->Feed(text);
        return;
    }
    std::string fed;
    fed.reserve(text.size() + 8);
    for (const char c : text) {
        if (c == '\n') fed += '\r';
        fed += c;
    }
    model->Feed(fed);
}

int TerminalConsole::RunCommand(const CommandRequest& request) {
    if (modes_) return -1;  // only while the layer is closed
    if (!OpenDevices()) return -1;
    SignalWatch& signals = SignalWatch::Instance();
    // Resizes from before the command are not the command's. Asked to end before the command
    // could start: it never starts, and the program ends as it does when idle (the terminal
    // is as the program found it while the layer is closed).
    if (const int terminate = signals.Drain().terminate; terminate != 0) {
        CloseDevices();
        EndBySignal(terminate);
    }

    auto* model = dynamic_cast<VtermMainScreen*>(&GetMainScreen());
    int cols = 0;
    int rows = 0;
    QuerySize(cols, rows);
    if (model) model->Resize(cols, rows);

    termios found{};
    const bool haveModes = tcgetattr(inputFd_, &found) == 0;
    const bool crlf = !haveModes || ((found.c_oflag & OPOST) && (found.c_oflag & ONLCR));
    PrintOnMainScreen(request.before, crlf);

    if (haveModes) {
        termios raw = found;
        cfmakeraw(&raw);
        tcsetattr(inputFd_, TCSADRAIN, &raw);
    }
    CommandOptions options;
    options.savedModes = haveModes ? &found : nullptr;
    options.signalFd = signals.Fd();
    int endRequested = 0;
    options.endRequested = &endRequested;
    const int status = kq::console::RunCommand(
        request.command, request.directory, CommandTerminal{inputFd_, outputFd_}, model, options);
    if (haveModes) tcsetattr(inputFd_, TCSADRAIN, &found);

    PrintOnMainScreen(request.after, crlf);
    CloseDevices();
    // Asked to end while the command ran: the command has heard of it and ended; the program
    // ends now as it does when idle. The terminal is already as the program found it.
    if (endRequested != 0) EndBySignal(endRequested);
    return status;
}

}  // namespace kq::console
