// kit_host PLUGIN_FOLDER: opens the settings (under KQ_CONFIG_HOME), loads the plugins of the
// folder, finds the kit plugin after the internal one, and shuts everything down again.
#include <cstdio>
#include <cstring>

#include "kq/config.h"
#include "kq/plugin.h"

static int Fail(const char* what) {
    std::printf("kit host: %s\n", what);
    return 1;
}

int main(int argc, char** argv) {
    if (argc != 2) return Fail("usage: kit_host PLUGIN_FOLDER");
    if (CfgInit("kit") != 0) return Fail("CfgInit failed");
    std::puts("kit host: settings open");
    if (PluginsLoad(argv[1]) != 0) return Fail("PluginsLoad failed");
    PluginEntry entry{};
    if (PluginGet(1, &entry) != 0 || entry.ZGetDirectory == nullptr ||
        std::strcmp(entry.ZGetDirectory(0), "/kit") != 0) {
        return Fail("plugin 1 is not the kit plugin");
    }
    std::puts("kit host: plugin 1 is the kit plugin");
    if (PluginsFree() != 0) return Fail("PluginsFree refused");
    if (CfgShutdown() != 0) return Fail("CfgShutdown failed");
    std::puts("kit host: done");
    return 0;
}
