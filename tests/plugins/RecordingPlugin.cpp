// A test plugin with a few entry points that records each call on standard output, beside the
// host's own log, so that the tests see the order of calls and what each one was given.
#include <cstdio>
#include <cstring>

#include "kq/plugin.h"

namespace {
uint32_t ownNumber = 0;
const char* const kDirectory = "/recorded";
}  // namespace

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZInitialise(PluginInfo* info, intptr_t reserved) {
    ownNumber = info->number;
    std::printf("[recording %u] ZInitialise size=%u name=%s reserved=%ld\n", info->number,
                info->size, info->name, static_cast<long>(reserved));
    std::fflush(stdout);
    return 0;
}

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    std::printf("[recording %u] ZTerminate\n", ownNumber);
    std::fflush(stdout);
    return 0;
}

ZPLUGIN_EXPORT uint32_t ZPLUGIN_CALL ZGetFlags(PluginHandle) {
    return PLUGIN_FLAG_LOCAL_PATHS;
}

ZPLUGIN_EXPORT const char* ZPLUGIN_CALL ZGetDirectory(PluginHandle) {
    return kDirectory;
}

// Reverse name order, so that a sort through it differs from the local compare.
ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZCompare(const PluginItem* first, const PluginItem* second,
                                             int32_t) {
    return std::strcmp(second->name, first->name);
}
