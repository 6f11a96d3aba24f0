// The quirks table by TERM.
#include "console/TerminalQuirks.h"

namespace kq::console {

TerminalQuirks QuirksForTerm(std::string_view term) {
    TerminalQuirks quirks;
    const auto startsWith = [term](std::string_view prefix) {
        return term.substr(0, prefix.size()) == prefix;
    };
    if (term == "linux" || startsWith("linux-")) {
        // The kernel's virtual console: 8 colours with bold/blink for bright, no alternate
        // screen, no title, and unknown private sequences may show up as text.
        quirks.alternateScreen = false;
        quirks.brightColours = false;
        quirks.richKeyboard = false;
        quirks.synchronizedOutput = false;
        quirks.cursorShape = false;
        quirks.titles = false;
        quirks.clipboard = false;
    } else if (startsWith("vt1") || startsWith("vt2") || term == "ansi" || term == "dumb") {
        quirks.brightColours = false;
        quirks.richKeyboard = false;
        quirks.synchronizedOutput = false;
        quirks.cursorShape = false;
        quirks.titles = false;
        quirks.clipboard = false;
    }
    return quirks;
}

}  // namespace kq::console
