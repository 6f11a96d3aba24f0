// Starting the file manager on the desktop: the shell window is built by the desktop's start
// callback and torn down by its quit.
#pragma once

namespace kq::host {

// Runs the file manager until the user quits; the process's exit code.
int RunFileManager();

}  // namespace kq::host
