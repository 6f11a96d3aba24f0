// A small interactive check of the console layer: draws every colour pair and the frame
// characters, echoes every decoded key, follows resizes, and ends on Esc.
#pragma once

namespace kq::host {

int RunConsoleDemo();

}  // namespace kq::host
