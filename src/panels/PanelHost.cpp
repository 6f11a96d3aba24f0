// The registered panel host: one process-wide pointer, set by the shell while it exists (or by
// a test), read by every panel whenever it needs the shell.
#include "panels/PanelHost.h"

#include <atomic>

namespace kq::panels {
namespace {

std::atomic<PanelHost*> g_host{nullptr};

}  // namespace

PanelHost* GetPanelHost() {
    return g_host.load();
}

void SetPanelHost(PanelHost* host) {
    g_host.store(host);
}

}  // namespace kq::panels
