// A test plugin that refuses its first ZTerminate (as when background work still runs) and
// agrees to the second.
#include <cstdio>

#include "kq/plugin.h"

namespace {
int refusals = 0;
uint32_t ownNumber = 0;
}  // namespace

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZInitialise(PluginInfo* info, intptr_t) {
    ownNumber = info->number;
    return 0;
}

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    if (refusals++ == 0) {
        std::printf("[refusing %u] ZTerminate refused\n", ownNumber);
        std::fflush(stdout);
        return 1;
    }
    std::printf("[refusing %u] ZTerminate\n", ownNumber);
    std::fflush(stdout);
    return 0;
}
