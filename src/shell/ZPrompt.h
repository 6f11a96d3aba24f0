// ZPrompt: the file manager's main window. It is the command line itself (an edit line one
// row high across the screen, drawn behind the active panel's directory) and it owns what
// surrounds it: the two file panels above it, the menu bar on the top row, the clock in the
// top-right corner and the drive menu. Every key reaches it first and is offered to the active
// panel before the command line edits it.
//
// Exactly one shell exists while the file manager runs; Create registers it, and the panels,
// the local plugin and the Prompt* functions (PromptLine.h) reach it through Shell().
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "kq/api.h"
#include "kq/config.h"
#include "panels/PanelHost.h"
#include "ui/ZClock.h"
#include "ui/ZEdit.h"
#include "ui/ZMenu.h"

class ZFilePanel;

class ZPrompt : public ZEdit, private kq::panels::PanelHost {
  public:
    // The size of the prompt-directory buffer, terminator included.
    static constexpr size_t kDirectorySize = 512;

    ZAPI ZPrompt();
    ~ZPrompt() override;

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
    // Builds the whole shell on the desktop and registers it; returns 0.
    ZAPI virtual int Create();

    // --- inside the library ---
    // The one shell, null while none is created.
    static ZPrompt* Shell();

    const char* PromptDirectory() const { return promptDirectory_ ? promptDirectory_->data() : ""; }
    void SetPromptDirectoryText(const char* directory);
    ZFilePanel* Active() const { return activePanel_; }
    // The active panel's partner (null when there are not two panels).
    ZFilePanel* Passive() const;
    // The panel whose x is smaller (the left one on the screen) and the other one.
    ZFilePanel* LeftPanel() const;
    ZFilePanel* RightPanel() const;
    ZMenu& Menu() { return menuBar_; }
    ZClock& Clock() { return clock_; }
    CfgSection Section(const char* name) const;

    // Before the plugins are unloaded at quit: both panels give their listings and plugin
    // instances back, so that no panel calls into an unloaded library when the windows are
    // destroyed afterwards.
    void ReleasePanelsForExit();
    // The quit was refused after all: the panels open the local file system again in the
    // directories they showed.
    void RestorePanelsAfterExitRefused();

  private:
    // PanelHost, for the panels.
    ZPanel* ActivePanel() override;
    void SetActivePanel(ZPanel* panel) override;
    ZMenu* MenuBar() override;
    ZWindow* CommandLine() override { return this; }
    CfgSection PanelsSection() override { return panelsSection_; }
    CfgSection ConfirmationsSection() override { return confirmationsSection_; }
    void SetPromptDirectory(const char* directory) override;
    const char* CommandLineText() override;
    void SetCommandLineText(const char* text) override;
    int CommandLineCursor() override;
    void SetCommandLineCursor(int position) override;
    int ExecuteCommandLine() override;

    // ZPrompt.cpp
    uint32_t ReadSetting(CfgSection section, const char* name, uint32_t fallback) const;
    bool BothPanels() const { return panels_[0] && panels_[1]; }
    void ShowWithoutFocus(ZFilePanel* panel);
    void ToggleOnePanel(ZFilePanel* toggled);
    void MoveDivider(int direction);
    void ChangePanelHeights(int change);
    void TogglePassivePanel();
    bool LayoutKey(uint32_t key);

    // PromptCommands.cpp
    void ShowOrHidePanels();
    void SwapPanels();
    void ShowAboutDialog();

    std::unique_ptr<std::array<char, kDirectorySize>> promptDirectory_;
    ZMenu driveMenu_;
    ZFilePanel* driveMenuTarget_ = nullptr;
    int showClock_ = 1;
    ZClock clock_;
    CfgSection panelsSection_ = 0;
    CfgSection historySection_ = 0;
    CfgSection confirmationsSection_ = 0;
    CfgSection mainSection_ = 0;
    CfgSection interfaceSection_ = 0;
    ZMenu menuBar_;
    ZFilePanel* activePanel_ = nullptr;
    // The left panel first, as created; Ctrl+U swaps their places on the screen, not here.
    std::array<std::unique_ptr<ZFilePanel>, 2> panels_;
    // The panels' directories while they are released for a quit.
    std::array<std::string, 2> releasedDirectories_;
    // The divider as last set by anything but a resize: the left panel's width at a screen
    // width. Resizes scale it from there, never from their own rounded result, so a series of
    // resizes back to that width restores it. placedWidth is the left width the last resize
    // gave; a different one means the divider was moved since.
    struct DividerShare {
        int leftWidth = 0;
        int screenWidth = 0;
        int placedWidth = -1;
    } dividerShare_;
};
