// Z3State and ZCheckBox: "[x] text" boxes. The three-state box cycles 0 -> 1 -> 2 -> 0 on Space
// and shows ' ', 'x' or '*'; the check box is the same control with two states. Space first
// reports the box's id to the owner's OnCommand (which still sees the old state), then
// advances; every other key goes to the owner. The character after a '~' is the hot key.
#pragma once

#include <cstdint>

#include "kq/window.h"

class Z3State : public ZWindow {
  public:
    // The cursor sits on the mark.
    Z3State();

    int Draw() override;
    int OnKey(uint32_t key) override;

    // 0 and 2 are kept, anything else becomes 1. Repaints the mark; returns the new state.
    virtual int SetState(int state);
    virtual int GetState();

  protected:
    // For the check box: the number of states Space cycles through.
    explicit Z3State(int stateCount);
    void StoreState(int state);

  private:
    int stateCount_;
    int state_ = 0;
};

class ZCheckBox : public Z3State {
  public:
    ZCheckBox();

    // A check box has two states: any non-zero state sets it.
    int SetState(int state) override;
    // State 1 for true, 0 for false. Repaints the mark; returns the new state.
    int SetCheck(bool check) { return SetState(check ? 1 : 0); }
};
