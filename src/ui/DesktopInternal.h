// The desktop's steps, for the library and its tests: Create is Open, the start callback,
// RunLoop and Quit. Tests open the desktop on the in-memory console, build windows, drive the
// loop with queued keys, and close it again.
#pragma once

#include "kq/window.h"

namespace kq::ui {

// Steps 1 to 7 of Create: the console is opened, the desktop takes its content as background
// and the key-bar window is attached. -1 when the console cannot be opened.
int DesktopOpen(ZDesktop::Callback exitQuery);
// Takes a terminal resize when one is pending: the desktop and the key bar follow, every
// top-level window is told, everything is redrawn. True when the size changed.
bool DesktopTakeResize();
// While Create's start callback builds the windows, refreshes are skipped; everything is drawn
// once when it returns, or when a loop inside it first waits for keys (ReleaseRedraws).
bool RedrawsHeld();
void ReleaseRedraws();

}  // namespace kq::ui
