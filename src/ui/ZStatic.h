// ZStatic: a text label. It has no colour of its own: every cell takes the attribute of the
// parent's cell under it, and the text (the window title) is word-wrapped over the label's area,
// centred as a block with WF_CENTER.
#pragma once

#include "kq/window.h"

class ZStatic : public ZWindow {
  public:
    int Draw() override;

  private:
    void TakeParentAttributes();
    void WrapText();
};
