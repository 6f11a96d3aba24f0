// The toolkit-wide insert/overwrite switch shared by every edit line, the shell's command line
// and the editor. It starts in insert mode and is toggled by the Insert key; any thread may read
// or change it.
#pragma once

namespace kq::ui {

// True in overwrite mode, false in insert mode.
bool OverwriteMode();
void SetOverwriteMode(bool overwrite);
// Flips the mode in one step (two edit lines toggling at once cannot lose a flip) and returns
// the new mode.
bool ToggleOverwriteMode();

}  // namespace kq::ui
