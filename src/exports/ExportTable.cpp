// Every export of libzcomn with its ordinal. Ordinals are part of the interface: a plugin or
// host built against one version finds the same function under the same number in the next.
// Add a row here whenever a function gets ZAPI; the export tests fail on a symbol that is
// exported but missing here, or listed but not exported.
#include "exports/ExportTable.h"

namespace kq::exports {

namespace {

constexpr ExportEntry kExports[] = {
    // Console screen and input.
    {130, "ConInput"},
    {131, "ConWrite"},
    {132, "ConSetCursorPos"},
    {133, "ConSetCursorSize"},
    {134, "ConSetTitle"},
    {135, "ConGetSize"},
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
};

}  // namespace

std::span<const ExportEntry> ExportTable() {
    return kExports;
}

}  // namespace kq::exports
