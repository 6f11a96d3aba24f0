// What the file panels need from the window that holds them (the shell): which panel is
// active, the menu bar that carries the sort check marks, the command line that takes the
// keyboard after a panel is activated, the settings sections the panels read, and the prompt
// directory. The shell registers itself while it exists; tests register a host of their own.
#pragma once

#include "kq/config.h"

class ZMenu;
class ZPanel;
class ZWindow;

namespace kq::panels {

class PanelHost {
  public:
    virtual ~PanelHost() = default;

    // The panel that has the focus among the two (null before the first activation).
    virtual ZPanel* ActivePanel() = 0;
    virtual void SetActivePanel(ZPanel* panel) = 0;
    // The menu bar, null when there is none.
    virtual ZMenu* MenuBar() = 0;
    // The command line: activated last when a panel is activated, so that it keeps the
    // keyboard and offers every key to the active panel first.
    virtual ZWindow* CommandLine() = 0;
    // The open "Panels" and "Confirmations" sections (0 when the store is not open).
    virtual CfgSection PanelsSection() = 0;
    virtual CfgSection ConfirmationsSection() = 0;
    // Shows a directory as the prompt and in the terminal's title (null: none).
    virtual void SetPromptDirectory(const char* directory) = 0;

    // The command line's text (never null), its replacement (null: empty; clears the
    // selection), its cursor, and running it as typed Enter would (the exit status, -1 when
    // nothing could run).
    virtual const char* CommandLineText() = 0;
    virtual void SetCommandLineText(const char* text) = 0;
    virtual int CommandLineCursor() = 0;
    virtual void SetCommandLineCursor(int position) = 0;
    virtual int ExecuteCommandLine() = 0;
};

// The registered host, null when none.
PanelHost* GetPanelHost();
void SetPanelHost(PanelHost* host);

}  // namespace kq::panels
