// The panel tests' plugin and fixture.
#include "panels/PanelTestSupport.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <thread>

#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"

namespace kq::panels::testing {
namespace {

constexpr PluginHandle kFakeHandle = 42;

PluginHandle Open(intptr_t, uint32_t start, void* owner) {
    ++Fake().opens;
    Fake().openStart = start;
    Fake().owner = owner;
    return kFakeHandle;
}
int32_t Close(PluginHandle handle) {
    if (handle == kFakeHandle) ++Fake().closes;
    return 0;
}
int32_t SetDirectory(PluginHandle, const char* path, intptr_t) {
    Fake().directoryRequests.emplace_back(path != nullptr ? path : "<null>");
    if (Fake().setDirectoryResult != 0) return Fake().setDirectoryResult;
    Fake().directory = path[0] == '/' ? path : Fake().directory + "/" + path;
    return 0;
}
uint32_t GetFlags(PluginHandle) { return Fake().flags; }
const char* GetDirectory(PluginHandle) { return Fake().directory.c_str(); }
int32_t FindFiles(PluginHandle, PluginItem** items, int32_t* count, intptr_t) {
    if (Fake().findResult != 0) return Fake().findResult;
    const std::vector<FakeItem>* listing = &Fake().items;
    if (!Fake().tree.empty()) {
        const auto found = Fake().tree.find(Fake().directory);
        if (found == Fake().tree.end()) return -1;
        listing = &found->second;
    }
    const size_t total = listing->size();
    auto* array = static_cast<PluginItem*>(std::calloc(total > 0 ? total : 1, sizeof(PluginItem)));
    for (size_t i = 0; i < total; ++i) {
        const FakeItem& from = (*listing)[i];
        array[i].size = sizeof(PluginItem);
        array[i].name = ::strdup(from.name.c_str());
        array[i].fileSize = from.size;
        array[i].attributes = from.attributes;
        array[i].modified = from.modified;
        array[i].flags = from.flags;
    }
    *items = array;
    *count = static_cast<int32_t>(total);
    ++Fake().listings;
    return 0;
}
int32_t FindClose(PluginHandle, PluginItem* items, int32_t count) {
    ++Fake().releases;
    for (int32_t i = 0; i < count; ++i) std::free(items[i].name);
    std::free(items);
    return 0;
}
int32_t Compare(const PluginItem* first, const PluginItem* second, int32_t mode) {
    if (mode != PLUGIN_SORT_NAME) return 0;
    const int result = std::strcmp(first->name, second->name);
    return result < 0 ? -1 : (result > 0 ? 1 : 0);
}
int32_t ProcessInput(PluginHandle, uint32_t* key) {
    Fake().keys.push_back(*key);
    return *key == Fake().consumedKey ? 0 : 1;
}
const char kPlainLabels[] = "One\001Two";
int32_t GetKeyBar(const char** plain, const char** shift, const char** alt, const char** ctrl,
                  const char** altShift, const char** ctrlShift, const char** ctrlAlt) {
    *plain = kPlainLabels;
    *shift = *alt = *ctrl = *altShift = *ctrlShift = *ctrlAlt = nullptr;
    return 0;
}

}  // namespace

FakePlugin& Fake() {
    static FakePlugin fake;
    return fake;
}

PluginEntry FakeEntry(bool withCompare) {
    PluginEntry entry{};
    entry.ZOpenPlugin = Open;
    entry.ZClosePlugin = Close;
    entry.ZSetDirectory = SetDirectory;
    entry.ZGetFlags = GetFlags;
    entry.ZGetDirectory = GetDirectory;
    entry.ZFindFiles = FindFiles;
    entry.ZFindClose = FindClose;
    entry.ZCompare = withCompare ? Compare : nullptr;
    entry.ZProcessInput = ProcessInput;
    entry.ZGetKeyBar = GetKeyBar;
    return entry;
}

time_t LocalTime(int year, int month, int day, int hour, int minute) {
    std::tm local{};
    local.tm_year = year - 1900;
    local.tm_mon = month - 1;
    local.tm_mday = day;
    local.tm_hour = hour;
    local.tm_min = minute;
    local.tm_isdst = -1;
    return std::mktime(&local);
}

void PanelTest::SetUp() {
    setenv("KQ_CODEPAGE", "437", 1);
    setenv("KQ_CONFIG_HOME", temp.Path("config").c_str(), 1);
    tree = temp.Path("tree");
    ASSERT_EQ(FsGetCwd(savedCwd_), 0);
    ASSERT_EQ(CfgInit("kq-panel-test"), 0);
    host.panels = CfgOpen("Panels");
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
    ASSERT_TRUE(kq::plugins::RegisterPlugin(FakeEntry(false)));
    SetPanelHost(&host);
    PaletteDesktopTest::SetUp();
}

void PanelTest::TearDown() {
    PaletteDesktopTest::TearDown();
    SetPanelHost(nullptr);
    while (kq::plugins::PluginCount() > 0) kq::plugins::UnregisterLastPlugin();
    FS_ZTerminate(0);
    ResSetLanguage(0);
    if (language_ != 0) KeFreeDll(language_);
    CfgClose(host.panels);
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

std::string PanelTest::PanelText(const ZFilePanel& panel, int x, int y, int count) const {
    const ZRec screen = panel.ScreenRect();
    return console->Text(screen.x + x, screen.y + y, count);
}

uint8_t PanelTest::PanelChar(const ZFilePanel& panel, int x, int y) const {
    const ZRec screen = panel.ScreenRect();
    return console->Char(screen.x + x, screen.y + y);
}

uint8_t PanelTest::PanelAttr(const ZFilePanel& panel, int x, int y) const {
    const ZRec screen = panel.ScreenRect();
    return console->Attr(screen.x + x, screen.y + y);
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
        for (int row = y + 1; row < console->Rows() && console->Char(left, row) != 0xC8 &&
                              console->Char(left, row) != 0xC0;
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
    std::atomic<bool> ended{false};
    std::atomic<bool> shown{false};
    std::thread watcher([&] {
        // The limit only keeps a box that never shows the text from hanging the run.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!ended && !shown && std::chrono::steady_clock::now() < deadline) {
            shown = MessageText().find(text) != std::string::npos;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (!ended) console->PushKey(kq::ui::testing::kEnter);
    });
    action();
    ended = true;
    watcher.join();
    return shown;
}

}  // namespace kq::panels::testing
