// ZPrompt: the file manager's main window. It is the command line itself (an edit line one row
// high across the screen, drawn behind the active panel's directory) and it owns what surrounds
// it: the two file panels, the menu bar, the clock and the drive menu.
//
// A host constructs exactly one with the exported constructor and calls the exported Create
// from the start callback it gives ZDesktop::Create; the desktop's input loop drives it from
// then on, and the host deletes it after ZDesktop::Create has returned. Everything else the
// shell holds lives inside the library, behind parts_.
#pragma once

#include <cstdint>
#include <memory>

#include "kq/api.h"
#include "kq/edit.h"

namespace kq::shell {
class PromptParts;
}

class ZPrompt : public ZEdit {
  public:
    ZAPI ZPrompt();
    ~ZPrompt() override;
    ZPrompt(const ZPrompt&) = delete;
    ZPrompt& operator=(const ZPrompt&) = delete;

    int Draw() override;
    // Tears the shell down: menus, panels, the command line; the clock stays with the desktop.
    int Destroy() override;
    // Turning on shows the prompt directory in the terminal's title.
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;
    int OnCommand(int id) override;
    // The terminal was resized: everything is laid out again, the panels keep their share of
    // the width and stretch to the command line.
    int OnScreenResize(int width, int height) override;

    using ZEdit::Create;
    // Builds the whole shell on the desktop and registers it as the one shell; returns 0.
    ZAPI virtual int Create();

  private:
    std::unique_ptr<kq::shell::PromptParts> parts_;
};
