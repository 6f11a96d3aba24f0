// Delete (command 1011): ZFilePanel::Delete confirms the selected items (or the current one),
// hands them to the plugin's delete operation (by the local fallback rule), and lists both
// panels again with the cursor on the item nearest to where it was that is still there.
#include <cstdio>
#include <string>
#include <unordered_map>
#include <vector>

#include "kq/resource_ids.h"
#include "panels/ItemCopies.h"
#include "panels/PanelSort.h"
#include "panels/PanelTexts.h"
#include "panels/ZFilePanel.h"
#include "plugins/LocalFallback.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"
#include "ui/WindowLock.h"
#include "ui/ZDialog.h"

using kq::panels::ItemCopies;
using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// Dialog 105 with the item's name or 106 with the count; only its OK goes on (a dialog closed
// any other way deletes nothing). Without the template nothing is deleted either.
bool ConfirmDelete(int selected, const std::string& name) {
    ZDialog dialog;
    if (dialog.CreateFromResource(selected > 1 ? IDD_DELETE_MANY : IDD_DELETE_ONE, nullptr, 0) !=
        0) {
        return false;
    }
    if (selected > 1) {
        char count[16];
        std::snprintf(count, sizeof count, "%9d", selected);
        dialog.SetControlText(IDC_ITEM, count);
    } else {
        dialog.SetControlText(IDC_ITEM, name.c_str());
    }
    const int result = dialog.Run();
    dialog.Destroy();
    return result == 1;
}

}  // namespace

void ZFilePanel::Delete() {
    ItemCopies items;
    int selected = 0;
    std::string currentName;
    // Where the cursor may go afterwards, nearest first: the current row, the rows below it,
    // then those above it, leaving out the other rows that are to go.
    std::vector<std::string> landings;
    {
        WindowLockGuard lock(WindowLock());
        if (!bound_) return;
        // The first selected row goes last: the jobs take the items from the end.
        for (int row = RowCount() - 1; row >= 0; --row) {
            const PluginItem* item = ItemAt(row);
            if ((RowFlags(row) & kRowSelected) && item != nullptr) {
                items.AddAsItIs(*item);
                ++selected;
            }
        }
        const PluginItem* current = ItemAt(Cursor());
        if (selected == 0) {
            if (current == nullptr || current->name == nullptr ||
                kq::panels::IsParentEntry(*current)) {
                return;
            }
            items.AddAsItIs(*current);
        }
        if (selected <= 1) currentName = items.Data()[0].name;
        const auto addLanding = [&](int row) {
            if (const char* name = CellText(row, kFieldName); name != nullptr) {
                if (!(RowFlags(row) & kRowSelected) && row != Cursor()) landings.emplace_back(name);
            }
        };
        if (const char* name = CellText(Cursor(), kFieldName)) landings.emplace_back(name);
        for (int row = Cursor() + 1; row < RowCount(); ++row) addLanding(row);
        for (int row = Cursor() - 1; row >= 0; --row) addLanding(row);
    }

    const bool several = selected > 1;
    if (ConfirmationSetting(several ? "DeleteSelected" : "DeleteFile", 1) != 0 &&
        !ConfirmDelete(selected, currentName)) {
        return;
    }
    uint32_t flags = 0;
    if (ConfirmationSetting("DeleteDirs", 1) == 0) flags |= PLUGIN_OP_DELETE_NON_EMPTY;
    if (ConfirmationSetting("DeleteRO", 1) == 0) flags |= PLUGIN_OP_DELETE_READ_ONLY;

    PluginEntry local{};
    PluginGet(0, &local);
    kq::plugins::FileOperationCall call;
    call.operation = kq::plugins::FileOperation::kDeleteFiles;
    call.items = items.Data();
    call.count = items.Count();
    call.flags = flags;
    kq::plugins::FileOperationOutcome outcome;
    const kq::plugins::FileOperationRoute route =
        kq::plugins::RunFileOperation(plugin_, handle_, this, call, local, &outcome);
    // The local plugin tells its own failures; another plugin's refusal, and a plugin that
    // cannot delete at all, are told here.
    const bool localJob = route == kq::plugins::FileOperationRoute::kLocal ||
                          plugin_.ZDeleteFiles == local.ZDeleteFiles;
    if (route == kq::plugins::FileOperationRoute::kNotDone || (outcome.result != 0 && !localJob)) {
        std::string text =
            kq::ui::FormatCounts(kq::ui::LoadLanguageText(IDS_DELETE_NOT_DONE), {items.Count()});
        if (outcome.error != 0) text += ' ' + kq::ui::ReasonText(outcome.error);
        kq::ui::ShowAlert(text);
    }

    WindowLockGuard lock(WindowLock());
    Reload();
    std::unordered_map<std::string, int> rows;
    for (int row = RowCount() - 1; row >= 0; --row) {
        if (const char* name = CellText(row, kFieldName)) rows[name] = row;
    }
    for (const std::string& name : landings) {
        if (const auto found = rows.find(name); found != rows.end()) {
            PlaceCursor(found->second);
            break;
        }
    }
    Redraw();
    if (ZPanel* other = Other(); other != nullptr && other != this) other->OnCommand(CMD_RELOAD);
}
