// The key-bar labels of a full-screen tool window (the viewer, the editor): loaded from the
// language at each activation and handed to the key bar, which keeps pointers to them.
#pragma once

#include <array>
#include <string>

namespace kq::ui {

class ToolLabels {
  public:
    // Loads the label sets for no modifier, Shift and Alt and shows them; the previous copies
    // go only once the key bar holds the new ones.
    void Show(int plainId, int shiftId, int altId);
    // Takes the labels back from the key bar, then frees them.
    void Release();

  private:
    std::array<std::string, 3> labels_;
};

}  // namespace kq::ui
