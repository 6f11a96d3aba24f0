// The blank main-screen model and the process-wide slot that holds the current model, a
// terminal emulator from the start so that commands' output can be fed to it.
#include "console/MainScreen.h"

#include <algorithm>

#include "console/VtermMainScreen.h"

namespace kq::console {

namespace {

std::unique_ptr<MainScreen>& Slot() {
    static std::unique_ptr<MainScreen> screen = std::make_unique<VtermMainScreen>(80, 25);
    return screen;
}

}  // namespace

void BlankMainScreen::Resize(int cols, int rows) {
    cols_ = std::max(cols, 0);
    rows_ = std::max(rows, 0);
}

void BlankMainScreen::SetCursor(int x, int y) {
    cursorX_ = x;
    cursorY_ = y;
}

std::vector<uint8_t> BlankMainScreen::Snapshot() const {
    std::vector<uint8_t> cells(static_cast<size_t>(cols_) * static_cast<size_t>(rows_) * 2);
    for (size_t i = 0; i < cells.size(); i += 2) {
        cells[i] = ' ';
        cells[i + 1] = 0x07;
    }
    return cells;
}

MainScreen& GetMainScreen() {
    return *Slot();
}

void SetMainScreen(std::unique_ptr<MainScreen> screen) {
    if (screen) Slot() = std::move(screen);
}

}  // namespace kq::console
