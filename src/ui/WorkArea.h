// The area a full-screen tool window (the viewer, the editor) takes on the desktop.
#pragma once

#include <string>
#include <string_view>

#include "kq/window.h"

namespace kq::ui {

// The desktop's rectangle moved to (x, y), with the given size when both width and height are
// positive, else the desktop's size less the key bar's row while the key bar shows.
ZRec WorkArea(int x, int y, int width, int height);

// The whole work area after the screen changed to width x height.
ZRec WorkAreaWithin(int width, int height);

// The start of a tool window's status line: the label ("View: ", "Edit: ") and the title, or,
// when the title is not shorter than width - 44, the label, "..." and the title's last
// width - 46 characters.
std::string StatusTitle(std::string_view label, std::string_view title, int width);

}  // namespace kq::ui
