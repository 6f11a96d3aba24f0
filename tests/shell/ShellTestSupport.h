// The shell on the in-memory console: settings of the test's own, the English language module,
// the plugins (the local file system), and an empty working directory as the current one.
// Settings a test wants are written before Start.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/config.h"
#include "kq/kernel.h"
#include "kq/keys.h"
#include "kq/plugin.h"
#include "kq/resources.h"
#include "kq/text.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptLine.h"
#include "shell/ZPrompt.h"
#include "support/TempFolder.h"
#include "ui/DesktopHooks.h"
#include "ui/DesktopInternal.h"
#include "ui/ZKeyBar.h"

namespace kq::shell::testing {

inline uint32_t Key(uint8_t code, uint32_t flags = 0, uint8_t character = 0) {
    return KEY_EVENT(code, character, KF_DOWN | flags);
}
inline uint32_t Ctrl(uint8_t code) { return Key(code, KF_LCTRL); }
inline const uint32_t kEnter = Key(KC_ENTER, 0, '\r');

inline ZRec RectOf(const ZWindow& window) {
    ZRec rect;
    window.GetPos(rect);
    return rect;
}

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KQ_CODEPAGE", "437", 1);
        ASSERT_EQ(CfgInit("kq-shell-test"), 0);
        ColDefaultPalette();
#ifdef KQ_LANG_ENGLISH
        language_ = KeLoadDll(KQ_LANG_ENGLISH);
        ASSERT_NE(language_, -1);
        ResSetLanguage(language_);
#endif
        ASSERT_EQ(PluginsLoad(folder_.Path("no-plugins").c_str()), 0);
        ASSERT_EQ(chdir(work_.c_str()), 0);
    }
    void TearDown() override {
        if (shell_) shell_->Destroy();
        if (console) ZDesktop::Quit(1), kq::console::InstallBackend(nullptr);
        while (PluginsFree() == 1) {
        }
        ResSetLanguage(0);
        if (language_ > 0) KeFreeDll(language_);
        CfgShutdown();
        (void)!chdir("/");
    }

    void WriteSetting(const char* name, uint32_t value) {
        const CfgSection handle = CfgOpen("Interface");
        CfgSetDw(handle, name, value);
        CfgClose(handle);
    }
    // Opens the desktop on an in-memory console of this size and builds the shell.
    void Start(int cols = 80, int rows = 25) {
        console = std::make_shared<kq::console::MemoryConsole>(cols, rows);
        kq::console::InstallBackend(console);
        ASSERT_EQ(kq::ui::DesktopOpen(nullptr), 0);
        shell_ = std::make_unique<ZPrompt>();
        ASSERT_EQ(shell_->Create(), 0);
    }
    // Queues the keys and lets the desktop's input loop dispatch them, up to an end marker.
    void Press(const std::vector<uint32_t>& keys) {
        static std::atomic<int> stop{0};
        stop = 0;
        kq::ui::SaverHooks hooks;
        hooks.takeKey = [](uint32_t event) {
            return event == KEY_EVENT(KC_NONE, 0, KF_DOWN) && (stop = 1);
        };
        kq::ui::SetSaverHooks(hooks);
        for (const uint32_t key : keys) console->PushKey(key);
        console->PushKey(KEY_EVENT(KC_NONE, 0, KF_DOWN));
        ZDesktop::RunLoop(&stop);
        kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    }
    void Type(const std::string& text) {
        console->PushText(text);
        Press({});
    }
    void Run(const std::string& command) {
        Type(command);
        Press({kEnter});
    }

    ZPrompt& Shell() { return *shell_; }
    ZFilePanel& Left() { return *shell_->LeftPanel(); }
    ZFilePanel& Right() { return *shell_->RightPanel(); }
    static bool Visible(const ZWindow& window) { return (window.GetFlags() & WF_VISIBLE) != 0; }

    kq::test::SettingsHome settings_;
    kq::test::TempFolder folder_{"kq-shell"};
    std::string work_ = folder_.MakeFolder("work");
    std::shared_ptr<kq::console::MemoryConsole> console;

  private:
    KeHandle language_ = 0;
    std::unique_ptr<ZPrompt> shell_;
};

}  // namespace kq::shell::testing
