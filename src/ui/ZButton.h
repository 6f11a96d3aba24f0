// ZButton: a push button "[ text ]". The character after a '~' in the title is its hot key.
// Enter or Space reports the button's id to its owner's OnCommand; other keys go to the owner.
// With WF_DEFAULT the brackets take the hot-key colour.
#pragma once

#include <cstdint>

#include "kq/window.h"

class ZButton : public ZWindow {
  public:
    int Draw() override;
    // Repaints as well: the colours follow the focus.
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;
};
