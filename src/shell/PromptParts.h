// What the shell window holds inside the library: the prompt directory, the panels, the menu
// bar, the drive menu, the clock and the settings sections, with the layout and panel
// operations. The panels reach it as their PanelHost, the Prompt* functions and the local
// plugin's command-line hook through CurrentShell().
//
// Owned by its ZPrompt (created with it, destroyed with it); it refers back to that window, which
// is the command line.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "kq/config.h"
#include "kq/prompt.h"
#include "panels/PanelHost.h"
#include "ui/ZClock.h"
#include "ui/ZMenu.h"

class ZFilePanel;

namespace kq::shell {

class PromptParts : public kq::panels::PanelHost {
  public:
    // The size of the prompt-directory buffer, terminator included.
    static constexpr size_t kDirectorySize = 512;

    explicit PromptParts(ZPrompt& prompt) : prompt_(prompt) {}
    PromptParts(const PromptParts&) = delete;
    PromptParts& operator=(const PromptParts&) = delete;

    ZPrompt& Prompt() { return prompt_; }
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
    friend class ::ZPrompt;

    // PanelHost, for the panels.
    ZPanel* ActivePanel() override;
    void SetActivePanel(ZPanel* panel) override;
    ZMenu* MenuBar() override { return menuBar_.IsAttached() ? &menuBar_ : nullptr; }
    ZWindow* CommandLine() override { return &prompt_; }
    CfgSection PanelsSection() override { return panelsSection_; }
    CfgSection ConfirmationsSection() override { return confirmationsSection_; }
    void SetPromptDirectory(const char* directory) override;
    const char* CommandLineText() override;
    void SetCommandLineText(const char* text) override;
    int CommandLineCursor() override;
    void SetCommandLineCursor(int position) override;
    int ExecuteCommandLine() override;

    // ZPrompt.cpp
    int Create();
    void Destroy();
    // The menu bar from menu 1 of the current language, shown or hiding by "ShowMenu"; the
    // rows it takes (0 or 1).
    int CreateMenuBar(int width);
    // Stops being the one shell: the Prompt* functions, the command-line hook, the panels and
    // PluginsFree no longer reach it.
    void Unregister();
    bool BothPanels() const { return panels_[0] && panels_[1]; }
    void ShowWithoutFocus(ZFilePanel* panel);
    void ToggleOnePanel(ZFilePanel* toggled);
    void MoveDivider(int direction);
    void ChangePanelHeights(int change);
    void TogglePassivePanel();
    bool LayoutKey(uint32_t key);
    void Resize(int width, int height);

    // OptionDialogs.cpp: the confirmations (1066), panel options (1077), interface (1076) and
    // system (1080) dialogs; LayOut places menu bar, clock, command line and panels for the
    // screen's size and the stored "ShowMenu" and "ShowKeyBar".
    void ShowConfirmations();
    void ShowPanelOptions();
    void ShowInterfaceOptions();
    void ShowSystemOptions();
    void LayOut();
    // LanguageChoice.cpp (1087).
    void ChooseLanguage();
    // DriveMenu.cpp (1101 for the left panel, 1102 for the right one).
    void ShowDriveMenu(bool left);

    // PromptCommands.cpp
    void RunCommand(int id);
    void ShowOrHidePanels();
    void SwapPanels();

    ZPrompt& prompt_;
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

// The one shell's parts, null while no shell is created.
PromptParts* CurrentShell();

}  // namespace kq::shell
