// Quoting of file names that the panels put on the command line, so that the shell (/bin/sh)
// sees each name as exactly one word with no expansion of any kind.
#pragma once

#include <string>
#include <string_view>

namespace kq::panels {

// The word as the shell must see it: bare when it is made only of characters the shell never
// treats specially (letters, digits and . _ + - / @ % = : ,) and does not start with "-" (a
// command would take it for an option); otherwise in single quotes, each "'" written as '\''.
// An empty word gives ''.
std::string ShellQuote(std::string_view word);

// The command line that runs the file name: "./" and the quoted name when the name is in the
// shell's current directory (the shell does not search it), else the quoted name alone.
std::string ShellRunCommand(std::string_view name, bool inCurrentDirectory);

}  // namespace kq::panels
