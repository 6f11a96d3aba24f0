// Shared pieces of the panel tests: a panel host that records what the panels ask of the
// shell, a plugin with a listing the test sets item by item, the language module and a
// settings store in a temporary folder, and the desktop with the default palette.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "kq/config.h"
#include "kq/fs.h"
#include "kq/kernel.h"
#include "kq/plugin.h"
#include "kq/resources.h"
#include "panels/PanelHost.h"
#include "panels/ZFilePanel.h"
#include "ui/MenuTestSupport.h"
#include "ui/ZMenu.h"

namespace kq::panels::testing {

// What a panel asks of the shell, recorded; the test decides the menu bar and command line.
class RecordingHost : public PanelHost {
  public:
    ZPanel* ActivePanel() override { return active; }
    void SetActivePanel(ZPanel* panel) override { active = panel; }
    ZMenu* MenuBar() override { return menuBar; }
    ZWindow* CommandLine() override { return commandLine; }
    CfgSection PanelsSection() override { return panels; }
    CfgSection ConfirmationsSection() override { return 0; }
    void SetPromptDirectory(const char* directory) override {
        prompts.emplace_back(directory != nullptr ? directory : "<null>");
    }
    const char* CommandLineText() override { return line.c_str(); }
    void SetCommandLineText(const char* text) override {
        line = text != nullptr ? text : "";
        cursor = 0;
    }
    int CommandLineCursor() override { return cursor; }
    void SetCommandLineCursor(int position) override { cursor = position; }
    // Records the line as run and clears it, as the shell does.
    int ExecuteCommandLine() override {
        executed.push_back(line);
        line.clear();
        cursor = 0;
        return 0;
    }

    ZPanel* active = nullptr;
    ZMenu* menuBar = nullptr;
    ZWindow* commandLine = nullptr;
    CfgSection panels = 0;
    std::vector<std::string> prompts;
    std::string line;
    int cursor = 0;
    std::vector<std::string> executed;
};

// One item of the test plugin's listing.
struct FakeItem {
    std::string name;
    uint32_t attributes = FA_ARCHIVE;
    uint64_t size = 0;
    time_t modified = 0;
    uint32_t flags = 0;
};

inline FakeItem Dir(std::string name, uint64_t size = 0) {
    return FakeItem{std::move(name), FA_DIR, size, 0, 0};
}
inline FakeItem File(std::string name, uint64_t size = 0, uint32_t flags = 0) {
    return FakeItem{std::move(name), FA_ARCHIVE, size, 0, flags};
}

// The test plugin's state: its listing and what it was asked.
struct FakePlugin {
    std::vector<FakeItem> items;
    std::string directory = "/fake";
    int32_t findResult = 0;
    int32_t setDirectoryResult = 0;
    uint32_t flags = 0;
    uint32_t consumedKey = 0;  // ZProcessInput takes this key and no other
    bool randomCompare = false;
    std::mt19937 random{12345};
    long compareCalls = 0;

    int opens = 0;
    int closes = 0;
    int listings = 0;  // ZFindFiles calls that handed out an array
    int releases = 0;  // ZFindClose calls
    uint32_t openStart = 0;
    void* owner = nullptr;
    std::vector<std::string> directoryRequests;
    std::vector<uint32_t> keys;
};

FakePlugin& Fake();
void ResetFake();
// The record: every entry point the tests use; without ZCompare the local one sorts.
PluginEntry FakeEntry(bool withCompare);

// A time stamp of the local time zone.
time_t LocalTime(int year, int month, int day, int hour, int minute);

// The temporary settings folder, the language module, plugin 0 (the local plugin) and the
// test plugin (numbers 1: own compare, 2: the local compare), and a registered host.
class PanelTest : public kq::ui::testing::PaletteDesktopTest {
  protected:
    static constexpr int kFakePlugin = 1;
    static constexpr int kFakePluginLocalCompare = 2;

    void SetUp() override;
    void TearDown() override;

    // A panel attached to the desktop at (x, y), visible, bound to plugin.
    void OpenPanel(ZFilePanel& panel, int x, int y, int w, int h, int plugin = kFakePlugin);
    // Sets a value of the "Panels" section.
    void SetPanelSetting(const char* name, uint32_t value);
    bool HasLanguage() const { return language_ != 0; }
    // The screen cell of panel cell (x, y).
    static ZRec At(const ZFilePanel& panel, int x, int y);
    std::string PanelText(const ZFilePanel& panel, int x, int y, int count) const;
    uint8_t PanelChar(const ZFilePanel& panel, int x, int y) const;
    uint8_t PanelAttr(const ZFilePanel& panel, int x, int y) const;
    // The names of the panel's rows in order.
    static std::vector<std::string> RowNames(const ZFilePanel& panel);
    // The text of the error message box on the screen, its rows joined by blanks; empty when
    // none is shown.
    std::string MessageText() const;
    // Runs action, which is to show an error message; once the message holds text, Enter
    // closes it. Whether the text was shown before the action ended.
    bool ShownWhile(const std::function<void()>& action, const std::string& text);

    RecordingHost host;
    std::string folder;

  private:
    KeHandle language_ = 0;
};

}  // namespace kq::panels::testing
