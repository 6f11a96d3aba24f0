// The model of the terminal's main screen, kept for the program's whole run.
//
// A terminal cannot be read back, so the screen the program found (and, once commands run,
// what they printed) is modelled in process. The console layer takes the model's cells as the
// saved screen each time it opens. The model starts blank (attribute 0x07) with the cursor
// where the terminal reported it; it is a terminal emulator (VtermMainScreen) that the command
// runner feeds with what commands print. Tests may put a model of their own in its place.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

namespace kq::console {

class MainScreen {
  public:
    virtual ~MainScreen() = default;
    // The terminal now has this size.
    virtual void Resize(int cols, int rows) = 0;
    // The terminal reported its cursor here (0-based) before the program took the screen.
    virtual void SetCursor(int x, int y) = 0;
    // Every cell, row-major, as (character in the console code page, attribute) pairs.
    virtual std::vector<uint8_t> Snapshot() const = 0;
};

// A main screen that nothing has printed to: blanks in light grey on black.
class BlankMainScreen final : public MainScreen {
  public:
    void Resize(int cols, int rows) override;
    void SetCursor(int x, int y) override;
    std::vector<uint8_t> Snapshot() const override;

    int CursorX() const { return cursorX_; }
    int CursorY() const { return cursorY_; }

  private:
    int cols_ = 0;
    int rows_ = 0;
    int cursorX_ = 0;
    int cursorY_ = 0;
};

// The process-wide model. Not thread-safe: the console layer uses it while opening only.
MainScreen& GetMainScreen();
void SetMainScreen(std::unique_ptr<MainScreen> screen);

}  // namespace kq::console
