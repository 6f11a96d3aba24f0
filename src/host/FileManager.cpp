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

// The one shell: built by the start callback, deleted once the desktop has gone.
std::unique_ptr<ZPrompt> g_shell;

int StartShell() {
    g_shell = std::make_unique<ZPrompt>();
    return g_shell->Create();
}

}  // namespace

int RunFileManager() {
    const int result = ZDesktop::Create(StartShell, PluginsFree);
    g_shell.reset();
    if (result != 0) {
        std::fprintf(stderr, "kq: cannot open the terminal\n");
        return 1;
    }
    return 0;
}

}  // namespace kq::host
