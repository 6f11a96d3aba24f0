// ZPanel: the framed pane of a file panel. It knows the other panel of the shell and which of
// the two is active, and makes itself the active one through the registered panel host.
#pragma once

#include <cstdint>

#include "kq/window.h"

class ZPanel : public ZWindow {
  public:
    // Palette entries of the panels.
    static constexpr int kColourText = 17;
    static constexpr int kColourFrame = 18;
    static constexpr int kColourCursor = 21;
    static constexpr int kColourSelected = 22;
    static constexpr int kColourSelectedCursor = 23;
    static constexpr int kColourTitles = 24;

    ZPanel() = default;
    // Unlinks the other panel and the host from this one.
    ~ZPanel() override;

    // Blanks in the text colour and a double-line frame with the title.
    int Draw() override;
    // On: this panel becomes the host's active panel and the focusable one of the two; the
    // other panel (when visible), the menu bar (when visible) and this panel rise to the top in
    // that order, and the host's command line is activated last, so that it keeps the keyboard.
    // Off: as any window.
    int Activate(bool on) override;
    // The window that holds the panels lays them out after a terminal resize; a panel on its
    // own keeps itself inside the screen.
    int OnScreenResize(int width, int height) override;
    // Visible and the host's active panel (with no host: visible and on the focus chain).
    bool IsActive() override;

    // Added after the window's own operations: whether this is a file panel.
    virtual bool IsFilePanel();

    // The other panel of the shell (null until the shell links the two).
    void SetOther(ZPanel* other) { other_ = other; }
    ZPanel* Other() const { return other_; }

  protected:
    // A value of the "Panels" section of the host, fallback when it is missing (or there is no
    // host or no open section). Settings are read at every use.
    static uint32_t PanelSetting(const char* name, uint32_t fallback);
    // The same for the "Confirmations" section.
    static uint32_t ConfirmationSetting(const char* name, uint32_t fallback);

  private:
    // Brings the panel to the top of its siblings through the window's own activation. While it
    // runs, IsActive answers false: the base skips windows that are active already, and the
    // host names this panel active before it rises. The panel repaints as inactive meanwhile.
    void RaiseToTop();

    ZPanel* other_ = nullptr;
    bool raising_ = false;
};
