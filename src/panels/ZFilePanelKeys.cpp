// ZFilePanel's keys: entering rows and running files, the command line's Ctrl+Enter, selecting
// with Insert and Shift, and the function keys that become commands of this panel or of the
// shell. Keys the panel does not take go on to the list's cursor keys.
#include <algorithm>
#include <string>
#include <string_view>

#include "fs/FsInternal.h"
#include "kq/keys.h"
#include "kq/resource_ids.h"
#include "panels/PanelHost.h"
#include "panels/PanelSort.h"
#include "panels/ShellQuote.h"
#include "panels/ZFilePanel.h"
#include "ui/WindowLock.h"

using kq::panels::GetPanelHost;
using kq::panels::PanelHost;

namespace {

// The modifier states the key table tells apart.
struct Modifiers {
    bool alt = false;
    bool ctrl = false;
    bool shift = false;

    bool None() const { return !alt && !ctrl && !shift; }
    // Ctrl held alone (Ctrl+Alt is AltGr on many keyboards and types characters).
    bool CtrlOnly() const { return ctrl && !alt && !shift; }
    bool ShiftOnly() const { return shift && !alt && !ctrl; }
};

Modifiers ModifiersOf(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    return Modifiers{(flags & KF_ALT) != 0, (flags & KF_CTRL) != 0, (flags & KF_SHIFT) != 0};
}

// The text after the last "/" or "\" of a directory; false when it has no separator.
bool LastComponent(std::string_view directory, std::string& component) {
    const size_t separator = directory.find_last_of("/\\");
    if (separator == std::string_view::npos) return false;
    component.assign(directory.substr(separator + 1));
    return true;
}

}  // namespace

int ZFilePanel::OnKey(uint32_t key) {
    if (bound_ && plugin_.ZProcessInput != nullptr) {
        uint32_t offered = key;
        if (plugin_.ZProcessInput(handle_, &offered) == 0) return 0;
    }
    if ((KEY_FLAGS(key) & KF_DOWN) == 0) return 1;

    const Modifiers held = ModifiersOf(key);
    const uint32_t code = KEY_CODE(key);
    const bool withCharacter = KEY_CHAR(key) != 0;
    PanelHost* host = GetPanelHost();
    const PluginItem* current = ItemAt(Cursor());

    if (held.None()) {
        switch (code) {
            case KC_ENTER:
                // With text on the command line Enter is the shell's: it runs that line.
                if (host == nullptr || host->CommandLineText()[0] != '\0') break;
                EnterCurrentRow();
                return 0;
            case KC_NUM0:
                if (withCharacter) break;
                [[fallthrough]];
            case KC_INS:
                if (current == nullptr || kq::panels::IsParentEntry(*current)) break;
                ToggleCurrentRow(+1);
                return 0;
            default:
                break;
        }
    }

    if (held.ShiftOnly() && current != nullptr && !kq::panels::IsParentEntry(*current)) {
        if (code == KC_UP && Cursor() > 0) {
            ToggleCurrentRow(-1);
            return 0;
        }
        if (code == KC_DOWN && Cursor() < RowCount() - 1) {
            ToggleCurrentRow(+1);
            return 0;
        }
    }

    if (!held.alt && !held.ctrl) {
        switch (code) {
            case KC_NUMMUL:
                OnCommand(CMD_INVERT_SELECTION);
                return 0;
            case KC_NUMADD:
                OnCommand(CMD_SELECT);
                return 0;
            case KC_NUMSUB:
                OnCommand(CMD_UNSELECT);
                return 0;
            case KC_F3:
                OnCommand(current != nullptr && kq::panels::IsDirectoryItem(*current)
                              ? CMD_DIR_SIZES
                              : CMD_VIEW);
                return 0;
            case KC_F4:
                OnCommand(CMD_EDIT);
                return 0;
            case KC_F5:
                OnCommand(CMD_COPY);
                return 0;
            case KC_F6:
                OnCommand(CMD_MOVE);
                return 0;
            case KC_F7:
                OnCommand(CMD_MAKE_DIR);
                return 0;
            case KC_F8:
                OnCommand(CMD_DELETE);
                return 0;
            default:
                break;
        }
    }

    if (held.CtrlOnly()) {
        switch (code) {
            case KC_ENTER:
                InsertNameIntoCommandLine();
                return 0;
            case KC_PGUP: {
                // Only where the first row leads out of the directory.
                const PluginItem* first = ItemAt(0);
                if (first != nullptr && !kq::panels::IsParentEntry(*first)) break;
                SetCurrentRow(0);
                EnterCurrentRow();
                return 0;
            }
            case KC_PGDN:
                EnterCurrentRow();
                return 0;
            case '\\':
                // "\" is the root; the terminal reports Ctrl+\ as this key with the FS byte.
                GoToDirectory("/");
                return 0;
            case KC_F3:
            case KC_F4:
            case KC_F5:
            case KC_F6:
            case KC_F7:
            case KC_F8:
                SendSortToShell(static_cast<int>(code - KC_F3) + 1);
                return 0;
            case KC_F9:
                SendSortToShell(SORT_MODE_UNSORTED);
                return 0;
            case KC_F10:
                OnCommand(CMD_REVERSE);
                return 0;
            case 'h':
                OnCommand(CMD_TOGGLE_HIDDEN);
                return 0;
            case 'q':
                OnCommand(CMD_DIR_SIZES);
                return 0;
            case 'r':
                OnCommand(CMD_RELOAD);
                return 0;
            default:
                break;
        }
    }

    return ZListPanel::OnKey(key);
}

void ZFilePanel::EnterCurrentRow() {
    const PluginItem* current = ItemAt(Cursor());
    if (current == nullptr || current->name == nullptr) return;
    // The name outlives the listing that a directory change releases.
    const std::string name = current->name;
    if (!kq::panels::IsDirectoryItem(*current)) {
        RunFile(name.c_str());
        return;
    }
    if (name != "..") {
        GoToDirectory(name.c_str());
        return;
    }
    std::string left;
    const bool found = LastComponent(GetTitle(), left);
    if (GoToDirectory("..") != 0 || !found) return;
    for (int row = 0; row < RowCount(); ++row) {
        const char* shown = CellText(row, kFieldName);
        if (shown != nullptr && left == shown) {
            SetCurrentRow(row);
            break;
        }
    }
}

void ZFilePanel::RunFile(const char* name) {
    PanelHost* host = GetPanelHost();
    if (host == nullptr) return;
    // A plugin with local paths has made the panel's directory the process's current one.
    const std::string command = kq::panels::ShellRunCommand(name, HasLocalPaths());
    host->SetCommandLineText(command.c_str());
    host->ExecuteCommandLine();
}

void ZFilePanel::InsertNameIntoCommandLine() {
    PanelHost* host = GetPanelHost();
    const PluginItem* current = ItemAt(Cursor());
    if (host == nullptr || current == nullptr || current->name == nullptr) return;
    std::string line = host->CommandLineText();
    const std::string inserted = kq::panels::ShellQuote(current->name) + ' ';
    const size_t at = static_cast<size_t>(
        std::clamp(host->CommandLineCursor(), 0, static_cast<int>(line.size())));
    line.insert(at, inserted);
    host->SetCommandLineText(line.c_str());
    host->SetCommandLineCursor(static_cast<int>(at + inserted.size()));
}

void ZFilePanel::ToggleCurrentRow(int step) {
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    const int row = Cursor();
    if (row < 0) return;
    ChangeRowSelection(row, (RowFlags(row) & kRowSelected) == 0);
    // SetCurrentRow limits the cursor to the table: Insert on the last row stays there.
    SetCurrentRow(row + step);
}

void ZFilePanel::SendSortToShell(int mode) const {
    PanelHost* host = GetPanelHost();
    ZWindow* shell = host != nullptr ? host->CommandLine() : nullptr;
    if (shell == nullptr) return;
    ZRec position;
    GetPos(position);
    shell->OnCommand((position.x == 0 ? CMD_SORT_LEFT : CMD_SORT_RIGHT) + mode);
}

std::string ZFilePanel::CommandDirectory() const {
    return HasLocalPaths() ? kq::fs::SystemPath(Directory().c_str()) : std::string();
}

bool ZFilePanel::HasLocalPaths() const {
    return bound_ && plugin_.ZGetFlags != nullptr &&
           (plugin_.ZGetFlags(handle_) & PLUGIN_FLAG_LOCAL_PATHS) != 0;
}
