// ZFilePanel's commands: viewing and editing a file, sort order and reverse flag, reload, a new
// directory, selecting by mask and inverting, directory sizes and the hidden-files setting.
// Copying and moving are in ZFilePanelCopy.cpp; deleting is taken here and does nothing yet.
#include <algorithm>
#include <string>

#include "kq/config.h"
#include "kq/edit.h"
#include "kq/editor.h"
#include "kq/resource_ids.h"
#include "kq/viewer.h"
#include "panels/MatchMask.h"
#include "panels/PanelHost.h"
#include "panels/PanelMessages.h"
#include "panels/PanelSort.h"
#include "panels/ZFilePanel.h"
#include "plugins/LocalFallback.h"
#include "ui/WindowLock.h"
#include "ui/ZDialog.h"

using kq::panels::GetPanelHost;
using kq::panels::PanelHost;
using kq::ui::WindowLock;
using kq::ui::WindowLockGuard;

namespace {

// The stored mask is up to 511 characters; a longer text typed into the dialog ends the command.
constexpr size_t kMaskLimit = 512;

CfgSection PanelsSection() {
    PanelHost* host = GetPanelHost();
    return host != nullptr ? host->PanelsSection() : 0;
}

// The edit line's text of a dialog that ran, empty when it has none.
std::string ControlText(const ZDialog& dialog, int id) {
    const char* text = dialog.GetControlText(id);
    return text != nullptr ? text : "";
}

}  // namespace

int ZFilePanel::OnCommand(int id) {
    switch (id) {
        case CMD_VIEW:
        case CMD_EDIT:
            OpenCurrentFile(id == CMD_EDIT);
            return 0;
        case CMD_COPY:
        case CMD_MOVE:
            CopyOrMove(id == CMD_MOVE);
            return 0;
        case CMD_DELETE:
            Delete();
            return 0;
        case CMD_MAKE_DIR:
            MakeDirectory();
            return 0;
        case CMD_RELOAD:
            Reload();
            Redraw();
            return 0;
        case CMD_SELECT:
        case CMD_UNSELECT:
            SelectByMask(id == CMD_SELECT);
            return 0;
        case CMD_INVERT_SELECTION:
            InvertSelection();
            return 0;
        case CMD_DIR_SIZES:
            MeasureDirectorySizes();
            return 0;
        case CMD_TOGGLE_HIDDEN:
            FlipShowHidden();
            return 0;
        case CMD_REVERSE:
            // SetSortOrder re-sorts, repaints and sets the check marks of the active panel.
            SetSortOrder(sortMode_, !reverse_);
            return 0;
        default:
            break;
    }
    if (id >= CMD_SORT_RIGHT && id < CMD_SORT_RIGHT + kSortModeCount) {
        SetSortOrder(id - CMD_SORT_RIGHT, reverse_);
        return 0;
    }
    return ZListPanel::OnCommand(id);
}

void ZFilePanel::OpenCurrentFile(bool edit) {
    std::string path;
    {
        WindowLockGuard lock(WindowLock());
        const PluginItem* item = ItemAt(Cursor());
        if (!bound_ || plugin_.ZGetFlags == nullptr ||
            (plugin_.ZGetFlags(handle_) & PLUGIN_FLAG_LOCAL_PATHS) == 0 || item == nullptr ||
            item->name == nullptr || kq::panels::IsDirectoryItem(*item)) {
            return;
        }
        path = Directory();
        if (path.empty() || path.back() != '/') path += '/';
        path += item->name;
    }
    if (!edit) {
        ZViewFile(path.c_str(), 0, 0, -1, -1, 0);
    } else {
        ZEditFile(path.c_str(), 0, 0, -1, -1, 0);
        // Both panels show the file's new size and time (or a file the editor created).
        OnCommand(CMD_RELOAD);
        if (ZPanel* other = Other(); other != nullptr && other != this)
            other->OnCommand(CMD_RELOAD);
    }
    Activate(true);
}

void ZFilePanel::MakeDirectory() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_MAKE_DIR, nullptr, 0) != 0) return;
    const int result = dialog.Run();
    const std::string name = ControlText(dialog, IDC_NAME);
    dialog.Destroy();
    // An empty name names nothing to create; one of blanks only is refused, and said so.
    if (result != 1 || name.empty()) return;
    if (std::all_of(name.begin(), name.end(),
                    [](char c) { return static_cast<unsigned char>(c) <= ' '; })) {
        kq::panels::ShowMessage(IDS_BLANK_NAME);
        return;
    }

    PluginEntry local{};
    PluginGet(0, &local);
    kq::plugins::FileOperationCall call;
    call.operation = kq::plugins::FileOperation::kCreateDirectory;
    call.name = name.c_str();
    kq::plugins::FileOperationOutcome outcome;
    const kq::plugins::FileOperationRoute route =
        kq::plugins::RunFileOperation(plugin_, handle_, this, call, local, &outcome);
    if (outcome.result != 0) {
        kq::panels::ShowFailure(IDS_CANNOT_MAKE_DIR, PathShown(name), outcome.error);
        return;
    }
    if (route == kq::plugins::FileOperationRoute::kNotDone) return;

    WindowLockGuard lock(WindowLock());
    Reload();
    for (int row = 0; row < RowCount(); ++row) {
        const char* shown = CellText(row, kFieldName);
        if (shown != nullptr && name == shown) {
            PlaceCursor(row);
            break;
        }
    }
    Redraw();
    if (ZPanel* other = Other(); other != nullptr && other != this) other->OnCommand(CMD_RELOAD);
}

bool ZFilePanel::SelectionReaches(int row, bool folders) const {
    const PluginItem* item = ItemAt(row);
    if (item == nullptr || kq::panels::IsParentEntry(*item)) return false;
    return folders || !kq::panels::IsDirectoryItem(*item);
}

void ZFilePanel::SelectByMask(bool select) {
    ZDialog dialog;
    if (dialog.CreateFromResource(select ? IDD_SELECT : IDD_UNSELECT, nullptr, 0) != 0) return;
    const CfgSection section = PanelsSection();
    char stored[kMaskLimit] = {};
    if (section == 0 || CfgQuerySz(section, "FileSelect", stored, sizeof stored) != 0) {
        stored[0] = '\0';
    }
    dialog.SetControlText(IDC_NAME, stored);
    if (auto* edit = dynamic_cast<ZEdit*>(dialog.GetControl(IDC_NAME))) edit->SetSelection(0, -1);
    const int result = dialog.Run();
    const std::string mask = ControlText(dialog, IDC_NAME);
    dialog.Destroy();
    if (result == 2 || mask.size() >= kMaskLimit) return;
    if (section != 0) CfgSetSz(section, "FileSelect", mask.c_str());

    WindowLockGuard lock(WindowLock());
    const bool folders = PanelSetting("SelectFolders", 0) != 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (!SelectionReaches(row, folders)) continue;
        const char* name = CellText(row, kFieldName);
        if (name != nullptr && kq::panels::MatchMask(name, mask)) ChangeRowSelection(row, select);
    }
    Redraw();
}

void ZFilePanel::InvertSelection() {
    WindowLockGuard lock(WindowLock());
    const bool folders = PanelSetting("SelectFolders", 0) != 0;
    for (int row = 0; row < RowCount(); ++row) {
        if (SelectionReaches(row, folders)) {
            ChangeRowSelection(row, (RowFlags(row) & kRowSelected) == 0);
        }
    }
    Redraw();
}

void ZFilePanel::MeasureDirectorySizes() {
    ComputeSizes(PanelSetting("PauseAfterCalc", 1) != 0);
    // The measured sizes are in the items now: the size order may have changed.
    WindowLockGuard lock(WindowLock());
    BuildRows();
    Redraw();
}

void ZFilePanel::FlipShowHidden() {
    const CfgSection section = PanelsSection();
    if (section != 0) {
        CfgSetDw(section, "ShowHidden", PanelSetting("ShowHidden", 1) == 0 ? 1 : 0);
    }
    WindowLockGuard lock(WindowLock());
    BuildRows();
    Redraw();
}
