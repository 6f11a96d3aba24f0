// The drive menu (commands 1101 and 1102): every plugin's drive-menu items in one pop-up,
// centred on the panel it is for; the chosen place opens in that panel. The new place is opened
// and listed first: when that fails the panel stays where it was and the user is told why.
#include <cerrno>
#include <string>

#include "kq/plugin.h"
#include "kq/resource_ids.h"
#include "panels/PanelMessages.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptParts.h"
#include "shell/ShellGeometry.h"
#include "ui/LanguageTexts.h"

namespace kq::shell {
namespace {

// The menu's first size, before the items widen and lengthen it.
constexpr int16_t kMenuWidth = 22;
constexpr int kDriveMenuId = 2;
// A chosen item's id: (plugin number + 1) x kPluginStep + the plugin's own id.
constexpr uint32_t kPluginStep = 65536;

// The item's text as a message names it: without the hot-key mark, up to its label.
std::string PlaceName(const ZMenuItem* item) {
    std::string name;
    if (item == nullptr) return name;
    for (const char c : item->text) {
        if (c == '\t') break;
        if (c != '~') name += c;
    }
    return name;
}

}  // namespace

void PromptParts::ShowDriveMenu(bool left) {
    if (!BothPanels()) return;
    ZFilePanel* target = left ? LeftPanel() : RightPanel();
    driveMenuTarget_ = target;
    const ZRec panel = RectOf(*target);
    std::string title = ui::LoadLanguageText(IDS_DRIVE_MENU_TITLE);
    const ResMenu empty{0, title.data(), nullptr};
    driveMenu_.CreateFromMenu(&empty, ZRec(panel.x, panel.y, 0, 0), ZRec(0, 0, kMenuWidth, 1),
                              ZDesktop::Desktop(), WF_POPUP, kDriveMenuId);
    driveMenu_.SetOwner(ZDesktop::Desktop());
    PluginEntry entry{};
    for (int number = 0; PluginGet(number, &entry) == 0; ++number) {
        if (entry.ZCreateDiskMenu == nullptr) continue;
        PluginMenuItem* items = nullptr;
        const int32_t count = entry.ZCreateDiskMenu(&items);
        for (int32_t i = 0; items != nullptr && i < count; ++i) {
            // The plugin's own array carries the shell's ids from now on.
            items[i].id = static_cast<uint32_t>(number + 1) * kPluginStep + (items[i].id & 0xFFFF);
            const ResMenuItem item{items[i].id, items[i].type, nullptr, items[i].text};
            driveMenu_.InsertItem(item, -1);
        }
    }
    const ZRec menu = RectOf(driveMenu_);
    const int x = panel.x + panel.w / 2 - menu.w / 2;
    const int y = panel.y + panel.h / 2 - menu.h / 2;
    Place(driveMenu_, x > 0 ? x : 0, y > 0 ? y : 0, menu.w, menu.h);
    const int chosen = driveMenu_.Run();
    const std::string place = PlaceName(driveMenu_.GetItem(chosen));
    driveMenu_.Destroy();
    if (chosen == -1 || driveMenuTarget_ != target) return;

    const auto id = static_cast<uint32_t>(chosen);
    errno = 0;
    if (target->OpenPlace(static_cast<int>(id / kPluginStep) - 1, id % kPluginStep) != 0) {
        kq::panels::ShowFailure(IDS_CANNOT_ENTER_DIR, place, errno);
    }
    ZFilePanel* other = target == panels_[0].get() ? panels_[1].get() : panels_[0].get();
    if (other->IsActive()) {
        target->Show(true);
    } else {
        target->Activate(true);
    }
}

}  // namespace kq::shell
