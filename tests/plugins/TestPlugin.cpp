// The test plugins, one per KQ_TEST_PLUGIN name. Each records its ZTerminate calls on standard
// output, beside the host's log, and "recording" its ZInitialise too, so that the tests see the
// order of calls and what each one was given. "refusing" refuses its first ZTerminate (as when
// background work still runs); "failing" fails its ZInitialise with error 5 and so must never
// get a record, nor a ZTerminate.
#include <cstdio>
#include <cstring>

#include "kq/plugin.h"

namespace {
uint32_t ownNumber = 0;
int terminations = 0;
bool Is(const char* name) {
    return std::strcmp(KQ_TEST_PLUGIN, name) == 0;
}
}  // namespace

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZInitialise(PluginInfo* info, intptr_t reserved) {
    if (Is("failing")) return 5;
    ownNumber = info->number;
    if (Is("recording")) {
        std::printf("[recording %u] ZInitialise size=%u name=%s reserved=%ld\n", info->number,
                    info->size, info->name, static_cast<long>(reserved));
        std::fflush(stdout);
    }
    return 0;
}

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    const bool refused = Is("refusing") && terminations++ == 0;
    std::printf("[%s %u] ZTerminate%s\n", KQ_TEST_PLUGIN, ownNumber, refused ? " refused" : "");
    std::fflush(stdout);
    return refused ? 1 : 0;
}

ZPLUGIN_EXPORT uint32_t ZPLUGIN_CALL ZGetFlags(PluginHandle) {
    return PLUGIN_FLAG_LOCAL_PATHS;
}
