// The panel tests' host, test plugin and fixture.
#include "panels/PanelTestSupport.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <sstream>
#include <thread>

#include "localfs/LocalPlugin.h"
#include "plugins/PluginTable.h"

namespace kq::panels::testing {
namespace {

constexpr PluginHandle kFakeHandle = 42;

char* CopyOf(const std::string& text) {
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    std::memcpy(copy, text.c_str(), text.size() + 1);
    return copy;
}

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
    if (Fake().setDirectoryResult == 0) Fake().directory = path;
    return Fake().setDirectoryResult;
}
uint32_t GetFlags(PluginHandle) {
    return Fake().flags;
}
const char* GetDirectory(PluginHandle) {
    return Fake().directory.c_str();
}
int32_t FindFiles(PluginHandle, PluginItem** items, int32_t* count, intptr_t) {
    if (Fake().findResult != 0) return Fake().findResult;
    const size_t total = Fake().items.size();
    auto* array = static_cast<PluginItem*>(std::calloc(total > 0 ? total : 1, sizeof(PluginItem)));
    for (size_t i = 0; i < total; ++i) {
        const FakeItem& source = Fake().items[i];
        PluginItem& item = array[i];
        item.size = sizeof(PluginItem);
        item.name = CopyOf(source.name);
        item.fileSize = source.size;
        item.attributes = source.attributes;
        item.modified = source.modified;
        item.flags = source.flags;
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
    ++Fake().compareCalls;
    if (Fake().randomCompare) return static_cast<int32_t>(Fake().random() % 3) - 1;
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

void ResetFake() {
    Fake() = FakePlugin{};
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
    char pattern[] = "/tmp/kq-panels-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    setenv("KQ_CONFIG_HOME", (folder + "/config").c_str(), 1);
    ASSERT_EQ(CfgInit("kq-panel-test"), 0);
    host.panels = CfgOpen("Panels");
#ifdef KQ_LANG_ENGLISH
    if (std::strlen(KQ_LANG_ENGLISH) > 0) {
        language_ = KeLoadDll(KQ_LANG_ENGLISH);
        if (language_ == -1) language_ = 0;
        ResSetLanguage(language_);
    }
#endif
    ResetFake();
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
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}

void PanelTest::OpenPanel(ZFilePanel& panel, int x, int y, int w, int h, int plugin) {
    panel.Create(nullptr, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
                 ZRec(0, 0, static_cast<int16_t>(w), static_cast<int16_t>(h)), nullptr, WF_VISIBLE,
                 0);
    ASSERT_EQ(panel.Bind(plugin, 0), 0);
}

void PanelTest::SetPanelSetting(const char* name, uint32_t value) {
    ASSERT_EQ(CfgSetDw(host.panels, name, value), 0);
}

ZRec PanelTest::At(const ZFilePanel& panel, int x, int y) {
    const ZRec screen = panel.ScreenRect();
    return ZRec(static_cast<int16_t>(screen.x + x), static_cast<int16_t>(screen.y + y), 1, 1);
}

std::string PanelTest::PanelText(const ZFilePanel& panel, int x, int y, int count) const {
    const ZRec cell = At(panel, x, y);
    return console->Text(cell.x, cell.y, count);
}

uint8_t PanelTest::PanelChar(const ZFilePanel& panel, int x, int y) const {
    const ZRec cell = At(panel, x, y);
    return console->Char(cell.x, cell.y);
}

uint8_t PanelTest::PanelAttr(const ZFilePanel& panel, int x, int y) const {
    const ZRec cell = At(panel, x, y);
    return console->Attr(cell.x, cell.y);
}

std::vector<std::string> PanelTest::RowNames(const ZFilePanel& panel) {
    std::vector<std::string> names;
    for (int row = 0; row < panel.RowCount(); ++row) {
        names.emplace_back(panel.CellText(row, ZFilePanel::kFieldName));
    }
    return names;
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
