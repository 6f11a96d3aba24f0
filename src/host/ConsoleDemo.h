// A small interactive check of the console layer and the desktop: draws every colour pair and
// the frame characters, echoes every decoded key, follows resizes, and ends on Esc.
#pragma once

#include <string>

namespace kq::host {

int RunConsoleDemo(const std::string& title);

}  // namespace kq::host
