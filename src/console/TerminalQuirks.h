// What a terminal, named by TERM, can be asked to do. Sequences are written directly (no
// terminfo: it is missing for many modern terminals); this small table covers the terminals
// that lack what an xterm-compatible one has.
#pragma once

#include <string_view>

namespace kq::console {

struct TerminalQuirks {
    bool alternateScreen = true;     // CSI ?1049h/l; else the screen is cleared on close
    bool brightColours = true;       // SGR 90-97/100-107; else bold and blink stand for bright
    bool richKeyboard = true;        // kitty, win32-input-mode and modifyOtherKeys requests
    bool synchronizedOutput = true;  // CSI ?2026h ... l around multi-row updates
    bool cursorShape = true;         // CSI n SP q
    bool titles = true;              // OSC 2 and the title stack (CSI 22;0t / 23;0t)
    bool clipboard = true;           // OSC 52: text offered to the terminal's clipboard
};

TerminalQuirks QuirksForTerm(std::string_view term);

}  // namespace kq::console
