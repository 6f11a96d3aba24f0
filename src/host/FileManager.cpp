// The host's start and exit callbacks around the one shell window.
#include "host/FileManager.h"

#include <cstdio>
#include <memory>

#include "kq/plugin.h"
#include "kq/window.h"
#include "shell/ZPrompt.h"

namespace kq::host {

namespace {

// Owned by RunFileManager for the desktop's whole run; the callbacks take no arguments.
ZPrompt* g_shell = nullptr;

int StartShell() {
    return g_shell->Create();
}

// Unloads the plugins while the desktop still exists, so that a plugin may ask before it
// stops (1: the program goes on). The panels let go of their plugin instances first: the
// windows are destroyed only after this, when a plugin's library may be gone.
int ExitQuery() {
    g_shell->ReleasePanelsForExit();
    const int result = PluginsFree();
    if (result != 0) g_shell->RestorePanelsAfterExitRefused();
    return result;
}

}  // namespace

int RunFileManager() {
    auto shell = std::make_unique<ZPrompt>();
    g_shell = shell.get();
    const int result = ZDesktop::Create(StartShell, ExitQuery);
    g_shell = nullptr;
    if (result != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    return 0;
}

}  // namespace kq::host
