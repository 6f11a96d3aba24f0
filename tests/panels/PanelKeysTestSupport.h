// Shared pieces of the panel key and command tests: key events as the decoder makes them, a
// file panel that records the commands its keys send, and a window that records the commands
// sent to the shell.
#pragma once

#include <cstdint>
#include <vector>

#include "kq/keys.h"
#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {

constexpr uint32_t Pressed(uint32_t code, uint32_t character = 0, uint32_t flags = 0) {
    return KEY_EVENT(code, character, flags | KF_DOWN);
}
constexpr uint32_t Ctrl(uint32_t code, uint32_t character = 0) {
    return Pressed(code, character, KF_LCTRL);
}
constexpr uint32_t Shift(uint32_t code, uint32_t character = 0) {
    return Pressed(code, character, KF_SHIFT);
}
// A typed character, as an edit line of a dialog takes it.
constexpr uint32_t Typed(char character) {
    return KEY_EVENT(static_cast<uint8_t>(character), static_cast<uint8_t>(character), KF_DOWN);
}

// A file panel that records every command it receives; with passOn the panel then carries it
// out, else the command stops there (the ones that open dialogs would wait for keys).
class RecordingPanel : public ZFilePanel {
  public:
    int OnCommand(int id) override {
        commands.push_back(id);
        return passOn ? ZFilePanel::OnCommand(id) : 0;
    }

    std::vector<int> commands;
    bool passOn = false;
};

// Stands in for the shell's command line: records the commands panels send it.
class RecordingShell : public ZWindow {
  public:
    int OnCommand(int id) override {
        commands.push_back(id);
        return 0;
    }

    std::vector<int> commands;
};

}  // namespace kq::panels::testing
