// ZProgressBar: "[####  50%   ]", filled from the left in proportion to a percentage, with the
// number written from the middle column of the middle row when the bar is at least 6 wide.
#pragma once

#include "kq/window.h"

class ZProgressBar : public ZWindow {
  public:
    int Draw() override;

    // Stores a value from 0 to 100 (anything else stores 0), repaints and returns the stored
    // value.
    virtual int SetProgress(int percent);

    int GetProgress() const { return percent_; }

  private:
    int percent_ = 0;
};
