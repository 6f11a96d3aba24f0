// The host's start callback: the one shell window, built with the library's exported
// constructor and Create. The exit query is PluginsFree itself; the library lets the shell's
// panels go around it.
#include "FileManager.h"

#include <cstdio>
#include <memory>

#include "kq/plugin.h"
#include "kq/prompt.h"
#include "kq/window.h"

namespace kq::host {

namespace {

// Owned by RunFileManager for the desktop's whole run; the callbacks take no arguments.
ZPrompt* g_shell = nullptr;

int StartShell() {
    return g_shell->Create();
}

}  // namespace

int RunFileManager() {
    auto shell = std::make_unique<ZPrompt>();
    g_shell = shell.get();
    const int result = ZDesktop::Create(StartShell, PluginsFree);
    g_shell = nullptr;
    if (result != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    return 0;
}

}  // namespace kq::host
