// A plugin linked against libzcomn.so that uses the library of the kq it runs in. Asked to
// stop, it counts the requests in the settings ("PluginCheck"/"Calls") and, the first time,
// shows a message box, stores the answer ("Answer"), shows the file "viewed.txt" beside the
// settings folder in the viewer and then in the editor, and refuses, so that kq runs on.
#include <stdlib.h>

#include <string>

#include "kq/config.h"
#include "kq/editor.h"
#include "kq/plugin.h"
#include "kq/viewer.h"
#include "kq/window.h"

ZPLUGIN_EXPORT int32_t ZPLUGIN_CALL ZTerminate(intptr_t) {
    static uint32_t calls = 0;
    const CfgSection section = CfgOpen("PluginCheck");
    CfgSetDw(section, "Calls", ++calls);
    if (calls == 1) {
        const int answer = ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 7), nullptr,
                                       "The check plugin stays.", 1, 1, 0);
        CfgSetDw(section, "Answer", static_cast<uint32_t>(answer));
        const char* settings = getenv("KQ_CONFIG_HOME");
        const std::string viewed =
            std::string(settings != nullptr ? settings : ".") + "/../viewed.txt";
        CfgSetDw(section, "Viewed",
                 static_cast<uint32_t>(ZViewFile(viewed.c_str(), 0, 0, 0, 0, 0)));
        CfgSetDw(section, "Edited",
                 static_cast<uint32_t>(ZEditFile(viewed.c_str(), 0, 0, 0, 0, 0)));
    }
    CfgClose(section);
    return calls == 1 ? 1 : 0;
}
