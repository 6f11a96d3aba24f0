// A test plugin whose ZInitialise fails with error 5: it must not be registered.
#include "kq/plugin.h"

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZInitialise(PluginInfo*, intptr_t) {
    return 5;
}

// Must never be reached: a plugin that failed to initialise gets no record.
ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    return 0;
}
