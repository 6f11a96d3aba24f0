// Every export of libzcomn with its ordinal. Ordinals are part of the interface: a plugin or
// host built against one version finds the same function under the same number in the next.
// Add a row here whenever a function gets ZAPI; the export tests fail on a symbol that is
// exported but missing here, or listed but not exported.
#include "exports/ExportTable.h"

namespace kq::exports {

namespace {

constexpr ExportEntry kExports[] = {
    // The host program's contract.
    {1, "homeDir"},
    {2, "KeSetExceptionFilter"},
    // The viewer and the editor.
    {3, "ZViewFile"},
    {4, "ZEditFile"},
    // Rectangles and the desktop (C++ members, by their mangled names; the constructor's
    // base-object alias C2 goes with C1).
    {5, "_ZN7ZPromptC1Ev"},
    {6, "_ZN4ZRecC1Essss"},
    {7, "_ZN8ZDesktop6CreateEPFivES1_"},
    {8, "_ZN7ZPrompt6CreateEv"},
    {9, "_ZN8ZDesktop6GetPosER4ZRec"},
    {23, "_ZN8ZDesktop6ResumeEv"},
    {24, "_ZN8ZDesktop8SetTitleEPKc"},
    {25, "_ZN8ZDesktop7SuspendEv"},
    // The local file-system plugin's entry points.
    {10, "FS_ZInitialise"},
    {11, "FS_ZTerminate"},
    {12, "FS_ZOpenPlugin"},
    {13, "FS_ZClosePlugin"},
    {14, "FS_ZSetDirectory"},
    {15, "FS_ZGetDirectory"},
    {16, "FS_ZFindFiles"},
    {17, "FS_ZFindClose"},
    {18, "FS_ZCreateDirectory"},
    {19, "FS_ZDeleteFiles"},
    {20, "FS_ZGetFiles"},
    {21, "FS_ZPutFiles"},
    {22, "FS_ZCreateDiskMenu"},
    // The plugin table and plugin loading.
    {100, "PluginGet"},
    {101, "PluginsLoad"},
    {102, "PluginsFree"},
    // Palette and clipboard.
    {110, "ColDefaultPalette"},
    {111, "ColGetPalette"},
    {120, "ClipBrdGet"},
    {121, "ClipBrdPut"},
    // Console screen and input.
    {130, "ConInput"},
    {131, "ConWrite"},
    {132, "ConSetCursorPos"},
    {133, "ConSetCursorSize"},
    {134, "ConSetTitle"},
    {135, "ConGetSize"},
    // Language resources.
    {140, "ResLoadDlg"},
    {141, "ResFreeDlg"},
    {142, "ResLoadString"},
    {143, "ResFreeString"},
    {144, "ResGetLanguage"},
    {145, "ResSetLanguage"},
    // Kernel services. The bell sits beside sleeping so that the family keeps its range
    // 150..167 with KeWaitThread last.
    {150, "KeSleep"},
    {151, "KeSound"},
    {152, "KeInitCS"},
    {153, "KeEnterCS"},
    {154, "KeLeaveCS"},
    {155, "KeFreeCS"},
    {156, "KeCreateEvent"},
    {157, "KeSetEvent"},
    {158, "KeResetEvent"},
    {159, "KeWaitEvent"},
    {160, "KeFreeEvent"},
    {161, "KeGetModule"},
    {162, "KeLoadDll"},
    {163, "KeFreeDll"},
    {164, "KeGetFn"},
    {165, "KeThreadId"},
    {166, "KeThread"},
    {167, "KeWaitThread"},
    // File system, in the order the family names its exports (FsMove last, at 216).
    {200, "FsGetDiskInfo"},
    {201, "FsFindInit"},
    {202, "FsFind"},
    {203, "FsFindClose"},
    {204, "FsGetDrives"},
    {205, "FsFreeDrives"},
    {206, "FsSetCwd"},
    {207, "FsGetCwd"},
    {208, "FsMkDir"},
    {209, "FsRmDir"},
    {210, "FsOpen"},
    {211, "FsClose"},
    {212, "FsRead"},
    {213, "FsSeek"},
    {214, "FsTell"},
    {215, "FsCopy"},
    {216, "FsMove"},
    // Code pages and upper-casing.
    {230, "UUctoCp"},
    {231, "UCptoUc"},
    {232, "UGetConCp"},
    {233, "UUpCase"},
    // Configuration store.
    {240, "CfgInit"},
    {241, "CfgShutdown"},
    {242, "CfgOpen"},
    {243, "CfgClose"},
    {244, "CfgQueryDw"},
    {245, "CfgQueryQw"},
    {246, "CfgQuerySz"},
    {247, "CfgQueryBytes"},
    {248, "CfgSetDw"},
    {249, "CfgSetQw"},
    {250, "CfgSetSz"},
    {251, "CfgSetBytes"},
    // The screen-saver request.
    {998, "ZScreenSaver"},
    // The message box.
    {999, "ZMessageBox"},
};

}  // namespace

std::span<const ExportEntry> ExportTable() {
    return kExports;
}

}  // namespace kq::exports
