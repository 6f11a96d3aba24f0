// The panel tests' plugin and fixture.
#include "panels/PanelTestSupport.h"

#include <atomic>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"

namespace kq::panels::testing {

FakePlugin& Fake() {
    static FakePlugin fake;
    return fake;
}

PluginEntry FakeEntry(bool withCompare) {
    PluginEntry entry{};
    entry.ZOpenPlugin = [](intptr_t, uint32_t, void* owner) -> PluginHandle {
        ++Fake().opens;
        Fake().owner = owner;
        return 42;
    };
    entry.ZClosePlugin = [](PluginHandle) { return ++Fake().closes, 0; };
    entry.ZSetDirectory = [](PluginHandle, const char* path, intptr_t) {
        Fake().directoryRequests.emplace_back(path);
        if (Fake().setDirectoryResult != 0) return Fake().setDirectoryResult;
        Fake().directory = path[0] == '/' ? path : Fake().directory + "/" + path;
        return 0;
    };
    entry.ZGetFlags = [](PluginHandle) { return Fake().flags; };
    entry.ZGetDirectory = [](PluginHandle) { return Fake().directory.c_str(); };
    entry.ZFindFiles = [](PluginHandle, PluginItem** items, int32_t* count, intptr_t) {
        const auto found = Fake().tree.find(Fake().directory);
        if (Fake().findResult != 0) return Fake().findResult;
        if (!Fake().tree.empty() && found == Fake().tree.end()) return -1;
        const std::vector<FakeItem>& listing = Fake().tree.empty() ? Fake().items : found->second;
        *items = static_cast<PluginItem*>(std::calloc(listing.size() + 1, sizeof(PluginItem)));
        for (size_t i = 0; i < listing.size(); ++i) {
            (*items)[i].size = sizeof(PluginItem);
            (*items)[i].name = ::strdup(listing[i].name.c_str());
            (*items)[i].fileSize = listing[i].size;
            (*items)[i].attributes = listing[i].attributes;
            (*items)[i].modified = listing[i].modified;
            (*items)[i].flags = listing[i].flags;
        }
        *count = static_cast<int32_t>(listing.size());
        return ++Fake().listings, 0;
    };
    entry.ZFindClose = [](PluginHandle, PluginItem* items, int32_t count) {
        for (int32_t i = 0; i < count; ++i) std::free(items[i].name);
        std::free(items);
        return ++Fake().releases, 0;
    };
    if (withCompare) {  // by name, case-sensitive
        entry.ZCompare = [](const PluginItem* first, const PluginItem* second, int32_t mode) {
            const int order = mode == PLUGIN_SORT_NAME ? std::strcmp(first->name, second->name) : 0;
            return order < 0 ? -1 : (order > 0 ? 1 : 0);
        };
    }
    entry.ZProcessInput = [](PluginHandle, uint32_t* key) {
        return *key == Fake().consumedKey ? 0 : 1;
    };
    entry.ZGetKeyBar = [](const char** plain, const char** shift, const char** alt,
                          const char** ctrl, const char** altShift, const char** ctrlShift,
                          const char** ctrlAlt) {
        *plain = "One\001Two";
        *shift = *alt = *ctrl = *altShift = *ctrlShift = *ctrlAlt = nullptr;
        return 0;
    };
    return entry;
}

void PanelTest::SetUp() {
    setenv("KQ_CODEPAGE", "437", 1);
    setenv("KQ_CONFIG_HOME", temp.Path("config").c_str(), 1);
    tree = temp.Path("tree");
    ASSERT_EQ(FsGetCwd(savedCwd_), 0);
    ASSERT_EQ(CfgInit("kq-panel-test"), 0);
    host.panels = CfgOpen("Panels");
    host.confirmations = CfgOpen("Confirmations");
#ifdef KQ_LANG_ENGLISH
    if (std::strlen(KQ_LANG_ENGLISH) > 0) {
        language_ = KeLoadDll(KQ_LANG_ENGLISH);
        if (language_ == -1) language_ = 0;
        ResSetLanguage(language_);
    }
#endif
    Fake() = FakePlugin{};
    while (kq::plugins::PluginCount() > 0) kq::plugins::UnregisterLastPlugin();
    ASSERT_EQ(FS_ZInitialise(nullptr, 0), 0);
    ASSERT_TRUE(kq::plugins::RegisterPlugin(kq::plugins::InternalPluginEntry()));
    ASSERT_TRUE(kq::plugins::RegisterPlugin(FakeEntry(true)));
    SetPanelHost(&host);
    PaletteDesktopTest::SetUp();
}

void PanelTest::TearDown() {
    host.menuBar = nullptr;
    PaletteDesktopTest::TearDown();
    SetPanelHost(nullptr);
    while (kq::plugins::PluginCount() > 0) kq::plugins::UnregisterLastPlugin();
    FS_ZTerminate(0);
    ResSetLanguage(0);
    if (language_ != 0) KeFreeDll(language_);
    CfgClose(host.panels);
    CfgClose(host.confirmations);
    CfgShutdown();
    FsSetCwd(savedCwd_);
}

void PanelTest::OpenPanel(ZFilePanel& panel, int x, int y, int w, int h, int plugin) {
    panel.Create(nullptr, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                 ZRec(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)), nullptr, WF_VISIBLE,
                 0);
    ASSERT_EQ(panel.Bind(plugin, 0), 0);
}

void PanelTest::PlaceOnTree(ZFilePanel& panel, const Names& folders, const Names& files, int x) {
    std::filesystem::create_directories(tree);
    for (const std::string& name : folders) temp.MakeFolder("tree/" + name);
    for (const std::string& name : files) temp.WriteFile("tree/" + name, "x");
    Place(panel, x, kLocal);
    ASSERT_EQ(panel.ChangeDirectory(tree.c_str(), 0), 0);
}

Names PanelTest::RowNames(const ZFilePanel& panel) {
    Names names;
    for (int row = 0; row < panel.RowCount(); ++row) {
        names.emplace_back(panel.CellText(row, ZFilePanel::kFieldName));
    }
    return names;
}

int PanelTest::RowOf(const ZFilePanel& panel, const std::string& name) {
    const Names names = RowNames(panel);
    const auto found = std::find(names.begin(), names.end(), name);
    return found == names.end() ? -1 : static_cast<int>(found - names.begin());
}

std::string PanelTest::Current(const ZFilePanel& panel) {
    const char* name = panel.CellText(panel.Cursor(), ZFilePanel::kFieldName);
    return name != nullptr ? name : "<none>";
}

Names PanelTest::SelectedNames(const ZFilePanel& panel) {
    Names names;
    for (int row = 0; row < panel.RowCount(); ++row) {
        const bool flag = (panel.RowFlags(row) & ZListPanel::kRowSelected) != 0;
        EXPECT_EQ(flag, (panel.ItemAt(row)->flags & PLUGIN_ITEM_SELECTED) != 0) << row;
        if (flag) names.emplace_back(panel.CellText(row, ZFilePanel::kFieldName));
    }
    return names;
}

void PanelTest::Answer(const std::string& text, uint32_t last) {
    for (const char c : text) {
        console->PushKey(Key(static_cast<uint8_t>(c), static_cast<uint8_t>(c)));
    }
    console->PushKey(last);
}

std::string PanelTest::MessageText() const {
    for (int y = 0; y < console->Rows(); ++y) {
        const std::string top = console->RowText(y);
        const size_t title = top.find(" Error ");
        if (title == std::string::npos) continue;
        // The box's corners are the nearest ones around its title.
        const size_t left = top.find_last_of("\xC9\xDA", title);
        const size_t right = top.find_first_of("\xBB\xBF", title);
        std::string text;  // the words of the rows inside the frame: the wrapped text whole
        for (int row = y + 1; row < console->Rows() && (console->Char(left, row) & 0xF7) != 0xC0;
             ++row) {
            std::istringstream words(console->Text(left + 1, row, right - left - 1));
            for (std::string word; words >> word;) text += (text.empty() ? "" : " ") + word;
        }
        return text;
    }
    return {};
}

bool PanelTest::ShownWhile(const std::function<void()>& action, const std::string& text) {
    // The action runs here, on the UI thread that serves the box; a watcher reads the screen.
    std::atomic<bool> ended{false}, shown{false};
    std::thread watcher([&] {
        // The limit only keeps a box that never shows the text from hanging the run.
        for (int i = 0; i < 20000 && !ended && !shown; ++i, KeSleep(1)) {
            shown = MessageText().find(text) != std::string::npos;
        }
        if (!ended) console->PushKey(kq::ui::testing::kEnter);
    });
    action();
    ended = true;
    watcher.join();
    return shown;
}

}  // namespace kq::panels::testing
