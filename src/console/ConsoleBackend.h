// The device behind the console layer: the real terminal, or the in-memory screen the tests
// read. The layer's front (Console.cpp) owns the mirror, the cursor wishes and the key-repeat
// state and calls the backend with its lock held, except for Wait.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "console/KeyRecord.h"
#include "console/ScreenMirror.h"
#include "console/TerminalOutput.h"

namespace kq::console {

// A command line to run while the layer is closed, with the texts printed around it. All
// four are in UTF-8, ready for the terminal and the shell.
struct CommandRequest {
    std::string command;
    std::string directory;
    std::string before;  // printed first: the echo of the prompt and the command
    std::string after;   // printed when the command has ended
};

// What a backend delivers: a keyboard record to translate, pasted text, or (tests only) a
// finished event.
using InputItem = std::variant<KeyRecord, uint32_t, PastedText>;

class ConsoleBackend {
  public:
    virtual ~ConsoleBackend() = default;

    // Takes the device; reports its size. False when it cannot be opened.
    virtual bool Open(int& cols, int& rows) = 0;
    // Asks the device to take another size. One that can reports it later as a resize (through
    // TakeResize); the default cannot and keeps its size.
    virtual void RequestSize(int /*cols*/, int /*rows*/) {}
    // Gives the device back as it was. The front has presented the final frame.
    virtual void Close() = 0;
    // The content of the screen when the device was opened: cols x rows interleaved cells.
    virtual std::vector<uint8_t> SavedScreen(int cols, int rows) = 0;

    // The mirror or the cursor changed. The backend may defer the update (to batch fast
    // redraws); it returns the milliseconds after which it wants to be called again, or -1
    // when nothing is pending. force presents at once.
    virtual int Present(const ScreenMirror& mirror, const CursorState& cursor, bool force) = 0;
    // The mirror or the cursor changed while the program draws. A device that batches its
    // output leaves it for the next Present, when the program is about to wait, so that one
    // key's redraw reaches it as one frame; the default presents at once.
    virtual void Changed(const ScreenMirror& mirror, const CursorState& cursor) {
        Present(mirror, cursor, false);
    }

    // 0 with an item, 1 when none is waiting, -1 when the device failed or is gone.
    virtual int NextInput(InputItem& item) = 0;
    // How long the caller may block waiting for input, at most requestedMs (0: input is
    // already buffered; a pending Esc shortens it to the Esc timeout).
    virtual int WaitBudget(int requestedMs) = 0;
    // Blocks up to timeoutMs until input, a signal or a deferred update may need attention.
    // Called without the front's lock: it must not touch state that other calls change.
    virtual void Wait(int timeoutMs) = 0;
    // Lets up to timeoutMs pass watching nothing but signals (input stays unread); returns the
    // milliseconds that passed. Called without the front's lock.
    virtual int WaitForSignals(int timeoutMs) = 0;
    // Handles the signals that came meanwhile as NextInput would (a terminating one ends the
    // process); true when the device changed size and the change is not taken yet.
    virtual bool TakeSignals() = 0;

    virtual int SetTitle(std::string_view title) = 0;
    // True once per change of the device's size, with the new size.
    virtual bool TakeResize(int& cols, int& rows) = 0;
    virtual void Bell() {}
    // Makes a Wait in progress, or else the next one, return at once. Any thread.
    virtual void Wake() {}
    // Offers code-page text to the device's clipboard; false when it has none.
    virtual bool OfferClipboard(std::string_view) { return false; }
    // Runs a command on the device while it is closed: what the command prints, and the texts
    // around it, land on the device's own screen, which the next Open takes as the saved
    // screen. The command's exit status, -1 when it could not run.
    virtual int RunCommand(const CommandRequest&) { return -1; }
};

}  // namespace kq::console
