// A plugin linked against libzcomn.so that uses the library of the kq it runs in. Asked to
// stop, it counts the requests in the settings ("PluginCheck"/"Calls") and, the first time,
// shows a message box, stores the answer ("Answer") and refuses, so that kq runs on.
#include "kq/config.h"
#include "kq/plugin.h"
#include "kq/window.h"

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    static uint32_t calls = 0;
    const CfgSection section = CfgOpen("PluginCheck");
    CfgSetDw(section, "Calls", ++calls);
    if (calls == 1) {
        const int answer = ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 7), nullptr,
                                       "The check plugin stays.", 1, 1, 0);
        CfgSetDw(section, "Answer", static_cast<uint32_t>(answer));
    }
    CfgClose(section);
    return calls == 1 ? 1 : 0;
}
