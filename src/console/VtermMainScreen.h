// The main screen modelled by a terminal emulator (libvterm): fed with everything commands
// print, read back as console cells for the saved screen.
#pragma once

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "console/MainScreen.h"

struct VTerm;

namespace kq::console {

class VtermMainScreen final : public MainScreen {
  public:
    VtermMainScreen(int cols, int rows);
    ~VtermMainScreen() override;
    VtermMainScreen(const VtermMainScreen&) = delete;
    VtermMainScreen& operator=(const VtermMainScreen&) = delete;

    // Bytes the terminal received. What the emulator would answer (device reports) is
    // dropped: the real terminal answers those itself.
    void Feed(std::string_view bytes);

    void Resize(int cols, int rows) override;
    void SetCursor(int x, int y) override;
    // Cells in the console code page (never a control byte) and console attributes; wide
    // characters and those the code page lacks are '?'.
    std::vector<uint8_t> Snapshot() const override;

    int Cols() const { return cols_; }
    int Rows() const { return rows_; }
    int CursorX() const;
    int CursorY() const;
    // Whether the emulated program switched to the alternate screen and left it on.
    bool AlternateScreen() const { return altScreen_; }

  private:
    struct Deleter {
        void operator()(VTerm* vt) const;
    };
    static int OnTermProp(int prop, void* value, void* user);

    // The emulator, made when the first bytes are fed: until then the screen is blank and
    // only the cursor is kept, which spares every start the emulator's screen buffers.
    VTerm* Emulator();

    std::unique_ptr<VTerm, Deleter> vt_;
    int cols_;
    int rows_;
    int cursorX_ = 0;  // while there is no emulator, clamped to the screen
    int cursorY_ = 0;
    bool altScreen_ = false;
};

}  // namespace kq::console
