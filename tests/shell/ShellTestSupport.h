// The shell on the in-memory console: settings in a folder of the test's own, the English
// language module, the plugins loaded (the local file system as plugin 0), and a working
// directory with a few prepared files. Settings a test wants are written before Start.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
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
#include "ui/DesktopHooks.h"
#include "ui/DesktopInternal.h"
#include "ui/ZKeyBar.h"

namespace kq::shell::testing {

constexpr uint32_t kEndOfKeys = KEY_EVENT(KC_NONE, 0, KF_DOWN);

inline uint32_t Key(uint8_t code, uint32_t flags = 0, uint8_t character = 0) {
    return KEY_EVENT(code, character, KF_DOWN | flags);
}
inline uint32_t Ctrl(uint8_t code) {
    return Key(code, KF_LCTRL);
}
inline uint32_t Alt(uint8_t code) {
    return Key(code, KF_LALT);
}

inline ZRec RectOf(const ZWindow& window) {
    ZRec rect;
    window.GetPos(rect);
    return rect;
}

class ShellTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("KQ_CODEPAGE", "437", 1);
        char folder[] = "/tmp/kq-shell-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        setenv("KQ_CONFIG_HOME", (folder_ + "/config").c_str(), 1);
        ASSERT_EQ(CfgInit("kq-shell-test"), 0);
        ColDefaultPalette();
#ifdef KQ_LANG_ENGLISH
        language_ = KeLoadDll(KQ_LANG_ENGLISH);
        ASSERT_NE(language_, -1);
        ResSetLanguage(language_);
#endif
        ASSERT_EQ(PluginsLoad((folder_ + "/no-plugins").c_str()), 0);
        work_ = folder_ + "/work";
        ASSERT_EQ(mkdir(work_.c_str(), 0755), 0);
        char here[4096];
        ASSERT_NE(getcwd(here, sizeof here), nullptr);
        previousDirectory_ = here;
        ASSERT_EQ(chdir(work_.c_str()), 0);
    }

    void TearDown() override {
        if (shell_) {
            shell_->Destroy();
            shell_.reset();
        }
        if (console) {
            ZDesktop::Quit(1);
            kq::console::InstallBackend(nullptr);
        }
        while (PluginsFree() == 1) {
        }
        ResSetLanguage(0);
        if (language_ > 0) KeFreeDll(language_);
        CfgShutdown();
        (void)!chdir(previousDirectory_.c_str());
        std::system(("rm -rf '" + folder_ + "'").c_str());
    }

    void WriteSetting(const char* section, const char* name, uint32_t value) {
        const CfgSection handle = CfgOpen(section);
        CfgSetDw(handle, name, value);
        CfgClose(handle);
    }

    void MakeFile(const std::string& name, size_t size = 0) {
        std::ofstream file(work_ + "/" + name, std::ios::binary);
        file << std::string(size, 'x');
    }
    void MakeDirectory(const std::string& name) {
        ASSERT_EQ(mkdir((work_ + "/" + name).c_str(), 0755), 0);
    }

    // Opens the desktop on an in-memory console of this size and builds the shell.
    void Start(int cols = 80, int rows = 25) {
        console = std::make_shared<kq::console::MemoryConsole>(cols, rows);
        kq::console::InstallBackend(console);
        ASSERT_EQ(kq::ui::DesktopOpen(nullptr), 0);
        shell_ = std::make_unique<ZPrompt>();
        ASSERT_EQ(shell_->Create(), 0);
    }

    // Queues the keys and lets the desktop's input loop dispatch them.
    void Press(const std::vector<uint32_t>& keys) {
        static std::atomic<int> stop{0};
        stop = 0;
        kq::ui::SaverHooks hooks;
        hooks.takeKey = [](uint32_t event) {
            if (event != kEndOfKeys) return false;
            stop = 1;
            return true;
        };
        kq::ui::SetSaverHooks(hooks);
        for (const uint32_t key : keys) console->PushKey(key);
        console->PushKey(kEndOfKeys);
        ZDesktop::RunLoop(&stop);
        kq::ui::SetSaverHooks(kq::ui::SaverHooks{});
    }
    void Type(const std::string& text) {
        console->PushText(text);
        Press({});
    }

    ZPrompt& Shell() {
        return *shell_;
    }
    ZFilePanel& Left() {
        return *shell_->LeftPanel();
    }
    ZFilePanel& Right() {
        return *shell_->RightPanel();
    }
    static bool Visible(const ZWindow& window) {
        return (window.GetFlags() & WF_VISIBLE) != 0;
    }

    std::shared_ptr<kq::console::MemoryConsole> console;
    std::string folder_;
    std::string work_;

  private:
    std::string previousDirectory_;
    KeHandle language_ = 0;
    std::unique_ptr<ZPrompt> shell_;
};

}  // namespace kq::shell::testing
