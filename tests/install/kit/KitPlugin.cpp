// A plugin with two entry points: it names a directory, and says when it is stopped.
#include <cstdio>

#include "kq/plugin.h"

ZPLUGIN_EXPORT const char* ZPLUGIN_CALL ZGetDirectory(PluginHandle) {
    return "/kit";
}

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    std::puts("kit plugin: stopped");
    return 0;
}
