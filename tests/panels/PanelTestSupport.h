// Shared pieces of the panel tests: a host that records what panels ask of the shell, a plugin
// whose listing the test sets item by item, panels that record commands, and the fixture with
// the language module, a settings store and a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "kq/config.h"
#include "kq/fs.h"
#include "kq/kernel.h"
#include "kq/keys.h"
#include "kq/plugin.h"
#include "kq/resource_ids.h"
#include "panels/PanelHost.h"
#include "panels/ZFilePanel.h"
#include "support/TempFolder.h"
#include "ui/MenuTestSupport.h"
#include "ui/ZMenu.h"

namespace kq::panels::testing {

using Names = std::vector<std::string>;
using Ids = std::vector<int>;
using kq::ui::testing::kEnter;
using kq::ui::testing::kEsc;
using kq::ui::testing::Key;
constexpr uint32_t Ctrl(uint32_t code, uint32_t character = 0) {
    return Key(code, character, KF_LCTRL);
}
constexpr uint32_t Shift(uint32_t code) {
    return Key(code, 0, KF_SHIFT);
}

class RecordingHost : public PanelHost {
  public:
    ZPanel* ActivePanel() override { return active; }
    void SetActivePanel(ZPanel* panel) override { active = panel; }
    ZMenu* MenuBar() override { return menuBar; }
    ZWindow* CommandLine() override { return commandLine; }
    CfgSection PanelsSection() override { return panels; }
    CfgSection ConfirmationsSection() override { return confirmations; }
    void SetPromptDirectory(const char* directory) override {
        prompts.emplace_back(directory != nullptr ? directory : "<null>");
    }
    const char* CommandLineText() override { return line.c_str(); }
    void SetCommandLineText(const char* text) override { line = text, cursor = 0; }
    int CommandLineCursor() override { return cursor; }
    void SetCommandLineCursor(int position) override { cursor = position; }
    int ExecuteCommandLine() override {  // runs the line and clears it, as the shell does
        executed.push_back(line);
        line.clear(), cursor = 0;
        return 0;
    }

    ZPanel* active = nullptr;
    ZMenu* menuBar = nullptr;
    ZWindow* commandLine = nullptr;
    CfgSection panels = 0;
    CfgSection confirmations = 0;
    Names prompts, executed;
    std::string line;
    int cursor = 0;
};

// A window (a panel with passOn false: only that) recording the commands it receives.
template <class Base>
class Recording : public Base {
  public:
    int OnCommand(int id) override {
        commands.push_back(id);
        return passOn ? Base::OnCommand(id) : 0;
    }
    Ids commands;
    bool passOn = false;
};
using RecordingPanel = Recording<ZFilePanel>;

struct FakeItem {
    std::string name;
    uint32_t attributes = FA_ARCHIVE;
    uint64_t size = 0;
    time_t modified = 0;
    uint32_t flags = 0;
};
inline FakeItem Dir(std::string name, uint64_t size = 0) {
    return {std::move(name), FA_DIR, size};
}
inline FakeItem File(std::string name, uint64_t size = 0, uint32_t flags = 0) {
    return {std::move(name), FA_ARCHIVE, size, 0, flags};
}

// The test plugin's listing and what it was asked.
struct FakePlugin {
    std::vector<FakeItem> items;
    // When set, the listing of each directory instead of items; others cannot be listed.
    std::map<std::string, std::vector<FakeItem>> tree;
    std::string directory = "/fake";
    int32_t findResult = 0, setDirectoryResult = 0;
    uint32_t flags = 0;
    uint32_t consumedKey = 0;  // ZProcessInput takes this key and no other
    int opens = 0, closes = 0, listings = 0, releases = 0;
    void* owner = nullptr;
    Names directoryRequests;
};
FakePlugin& Fake();
// Every entry point the tests use; without ZCompare the local one sorts.
PluginEntry FakeEntry(bool withCompare);

// Whether the item with id, anywhere in the menu's pop-ups, carries a check mark.
inline bool IsChecked(ZMenu* menu, int id) {
    if (menu->GetItem(id) != nullptr) return (menu->GetItemType(id) & MENU_TYPE_CHECKED) != 0;
    for (int i = 0; i < menu->ItemCount(); ++i) {
        const ZMenuItem* item = menu->ItemAt(i);
        if (item != nullptr && item->submenu && IsChecked(item->submenu.get(), id)) return true;
    }
    return false;
}

// Plugin 0 is the local plugin, 1 the test plugin with its own compare.
class PanelTest : public kq::ui::testing::PaletteDesktopTest {
  protected:
    static constexpr int kLocal = 0;
    static constexpr int kFakePlugin = 1;

    void SetUp() override;
    void TearDown() override;

    void OpenPanel(ZFilePanel& panel, int x, int y, int w, int h, int plugin = kFakePlugin);
    // A 40 x 20 panel at (x, 1) that becomes the host's active panel.
    void Place(ZFilePanel& panel, int x = 0, int plugin = kFakePlugin) {
        OpenPanel(panel, x, 1, 40, 20, plugin);
        host.active = &panel;
        panel.Redraw();
    }
    // Makes tree/... below the scratch folder and a local panel on tree.
    void PlaceOnTree(ZFilePanel& panel, const Names& folders, const Names& files, int x = 0);
    void SetPanelSetting(const char* name, uint32_t value) {
        ASSERT_EQ(CfgSetDw(host.panels, name, value), 0);
    }
    bool HasLanguage() const { return language_ != 0; }
    // The language module's menu bar as the host's; false without the module.
    bool OpenMenuBar() {
        if (!HasLanguage() || menuBar.CreateFromResource(IDM_MENU_BAR, ZRec(0, 0, 0, 0),
                                                         ZRec(0, 0, 80, 1), nullptr, WF_VISIBLE)) {
            return false;
        }
        host.menuBar = &menuBar;
        return true;
    }
    // Which of the sort ids first .. first + 9 and reverse carry a check mark.
    Ids Checked(int first, int reverse) {
        Ids checked;
        for (int i = 0; i <= 10; ++i) {
            const int id = i < 10 ? first + i : reverse;
            if (IsChecked(&menuBar, id)) checked.push_back(id);
        }
        return checked;
    }
    std::string PanelText(const ZFilePanel& panel, int x, int y, int count) const {
        return console->Text(panel.ScreenRect().x + x, panel.ScreenRect().y + y, count);
    }
    uint8_t PanelChar(const ZFilePanel& panel, int x, int y) const {
        return console->Char(panel.ScreenRect().x + x, panel.ScreenRect().y + y);
    }
    static Names RowNames(const ZFilePanel& panel);
    static int RowOf(const ZFilePanel& panel, const std::string& name);
    static std::string Current(const ZFilePanel& panel);
    // The selected rows' names; checks that row and item flags agree.
    static Names SelectedNames(const ZFilePanel& panel);
    // Queues typed text and a last key for the next dialog.
    void Answer(const std::string& text, uint32_t last);
    // The text of the error box on the screen, its rows joined by blanks; empty without one.
    std::string MessageText() const;
    // Runs action, which is to show an error box; once the box holds text, Enter closes it.
    // Whether the text was shown.
    bool ShownWhile(const std::function<void()>& action, const std::string& text);

    RecordingHost host;
    ZMenu menuBar;
    kq::test::TempFolder temp{"kq-panels"};
    std::string tree;

  private:
    KeHandle language_ = 0;
    char savedCwd_[FS_MAX_PATH] = {};
};

}  // namespace kq::panels::testing
