// A desktop on the in-memory console with the English texts, console code page 437 and settings
// of its own: the fixture of the windows that show language texts and keep settings.
#pragma once

#include <stdlib.h>

#include <string>

#include "kq/config.h"
#include "kq/kernel.h"
#include "kq/resources.h"
#include "support/TempFolder.h"
#include "ui/ControlTestSupport.h"

namespace kq::test {

class LanguageDesktopTest : public kq::ui::testing::PaletteDesktopTest {
  protected:
    void SetUp() override {
        if (std::string(KQ_LANG_ENGLISH).empty()) GTEST_SKIP() << "no language modules";
        ::setenv("KQ_CODEPAGE", "437", 1);
        ASSERT_EQ(CfgInit("kq-window-test"), 0);
        language_ = KeLoadDll(KQ_LANG_ENGLISH);
        ResSetLanguage(language_);
        PaletteDesktopTest::SetUp();
    }
    void TearDown() override {
        if (language_ == 0) return;
        PaletteDesktopTest::TearDown();
        ResSetLanguage(0);
        KeFreeDll(language_);
        CfgShutdown();
    }

    SettingsHome settings;

  private:
    KeHandle language_ = 0;
};

}  // namespace kq::test
