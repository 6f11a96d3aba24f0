// The quirks table by TERM.
#include "console/TerminalQuirks.h"

namespace kq::console {

TerminalQuirks QuirksForTerm(std::string_view term) {
    TerminalQuirks quirks;
    const auto startsWith = [term](std::string_view prefix) {
        return term.substr(0, prefix.size()) == prefix;
    };
    const bool kernelConsole = term == "linux" || startsWith("linux-");
    const bool plainTerminal =
        startsWith("vt1") || startsWith("vt2") || term == "ansi" || term == "dumb";
    if (kernelConsole || plainTerminal) {
        // 8 colours with bold/blink for bright, and none of the private extensions: unknown
        // private sequences may show up as text on these terminals.
        quirks.brightColours = false;
        quirks.richKeyboard = false;
        quirks.synchronizedOutput = false;
        quirks.cursorShape = false;
        quirks.titles = false;
        quirks.clipboard = false;
    }
    // The kernel's virtual console has no alternate screen either.
    if (kernelConsole) quirks.alternateScreen = false;
    return quirks;
}

}  // namespace kq::console
