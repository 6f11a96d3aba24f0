// The trigger's rule as a table, and the trigger with the internal plugin's saver on the
// in-memory console, where pauses take no time: started on request, held on its message,
// stopped by a key that reaches no window, following a resize, never started when switched off.
#include <gtest/gtest.h>

#include <climits>
#include <thread>

#include "kq/config.h"
#include "kq/plugin.h"
#include "saver/SaverTrigger.h"
#include "support/TempFolder.h"
#include "ui/ControlTestSupport.h"

namespace kq::saver {
namespace {

using kq::ui::testing::CharKey;

TEST(SaverRuleTest, StartAndWaitBudget) {
    const struct {
        bool haveSaver;
        SaverSettings settings;
        int64_t idleMs;
        bool due;
        int budget;
    } cases[] = {
        {true, {1, 5}, 5000, false, 1},  // exactly the idle time is not enough
        {true, {1, 5}, 5001, true, 0},
        {true, {0, 5}, INT64_MAX, false, -1},   // switched off: not even on request
        {true, {1, 5}, INT64_MAX, true, 0},     // asked for by ZScreenSaver
        {false, {1, 5}, INT64_MAX, false, -1},  // no plugin has a saver
        {true, {1, 0xFFFFFFFF}, 0, false, INT_MAX},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SaverDue(c.haveSaver, c.settings, c.idleMs), c.due) << c.idleMs;
        EXPECT_EQ(SaverIdleBudget(false, c.haveSaver, c.settings, c.idleMs), c.budget) << c.idleMs;
    }
}

class SaverTriggerTest : public kq::ui::testing::PaletteDesktopTest {
  protected:
    void SetUp() override {
        PaletteDesktopTest::SetUp();
        ASSERT_EQ(PluginsLoad(nullptr), 0);  // the internal plugin alone: its saver is chosen
        Open(main, 0, 0, 80, 24);
        main.endOnKey = true;
    }
    void TearDown() override {
        EXPECT_EQ(PluginsFree(), 0);
        PaletteDesktopTest::TearDown();
    }
    kq::ui::testing::Box main{'m'};
};

TEST_F(SaverTriggerTest, StartsWhenAskedHoldsItsMessageAndAKeyBringsTheScreenBack) {
    main.SetCursor(ZRec(5, 3, 1, 25));
    main.Redraw();
    const std::string text = console->ScreenText(), attributes = console->ScreenAttributes();
    const kq::console::CursorState cursor = console->Cursor();
    std::string message;
    console->SetPauseHook([&](int milliseconds) {
        if (milliseconds != 15000) return;
        main.Redraw();  // nothing is drawn while the saver runs
        message = console->Text(32, 12, 16);
        for (char key : {'a', 'b'}) console->PushKey(CharKey(key));  // taken after the message
    });
    ZScreenSaver();
    EXPECT_EQ(main.Run(), 'b');
    EXPECT_EQ(main.keys, std::vector<uint32_t>{CharKey('b')});  // 'a' only stopped the saver
    EXPECT_EQ(message, "\xB3SYSTEM FAILURE\xB3");
    EXPECT_EQ(console->ScreenText(), text);
    EXPECT_EQ(console->ScreenAttributes(), attributes);
    EXPECT_EQ(console->Cursor(), cursor);
}

TEST_F(SaverTriggerTest, FollowsAResizeAndNeverStartsWhenSwitchedOff) {
    int pauses = 0;
    console->SetPauseHook([&](int) {
        if (++pauses == 3) console->SetSize(100, 30);
        if (pauses < 6) return;
        const std::string lastRow = console->ScreenAttributes().substr(29 * 101);
        EXPECT_GT(std::count(lastRow.begin(), lastRow.end(), '\x02'), 50) << "not at 100x30";
        for (char key : {'a', 'b'}) console->PushKey(CharKey(key));
    });
    ZScreenSaver();
    EXPECT_EQ(main.Run(), 'b');
    EXPECT_EQ(console->Text(0, 0, 80), std::string(80, 'm'));
    EXPECT_EQ(console->ScreenAttributes().find('\x02'), std::string::npos);

    const kq::test::SettingsHome home;
    ASSERT_EQ(CfgInit("kq-saver-test"), 0);
    const CfgSection section = CfgOpen("Main");
    ASSERT_EQ(CfgSetDw(section, "SaverActive", 0), 0);
    CfgClose(section);
    pauses = 0;
    ZScreenSaver();
    std::thread typist([&] {  // after the idle passes of more than a second
        std::this_thread::sleep_for(std::chrono::milliseconds(1200));
        console->PushKey(CharKey('c'));
    });
    EXPECT_EQ(main.Run(), 'c');
    typist.join();
    CfgShutdown();
    EXPECT_EQ(pauses, 0);
}

}  // namespace
}  // namespace kq::saver
