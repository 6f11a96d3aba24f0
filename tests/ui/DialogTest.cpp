// Dialogs and message boxes on the in-memory console: focus at start, Tab and arrow
// navigation, hot keys, Enter and Esc, button widths, the bell, the exit question, and every
// dialog of both language modules drawn at 80 x 25 and closed with Esc and with Enter.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "kq/config.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "ui/DesktopHooks.h"
#include "ui/WindowTestSupport.h"
#include "ui/ZDialog.h"

namespace kq::ui::testing {
namespace {

// A template built in code: items as (class, text, x, y, w, h, id, style).
struct TemplateBuilder {
    std::vector<ResDialogItem> items;
    std::vector<std::string> texts;
    ResDialog dialog{};

    TemplateBuilder& Add(const char* className, const char* text, int x, int y, int w, int h,
                         int id, uint32_t style) {
        ResDialogItem item{};
        item.className = const_cast<char*>(className);
        item.text = const_cast<char*>(text);
        item.x = x;
        item.y = y;
        item.w = w;
        item.h = h;
        item.id = id;
        item.style = style;
        items.push_back(item);
        return *this;
    }
    const ResDialog* Build(int w, int h) {
        dialog.x = -1;
        dialog.y = -1;
        dialog.w = w;
        dialog.h = h;
        dialog.title = const_cast<char*>(" Test ");
        dialog.items = items.data();
        dialog.itemCount = static_cast<int>(items.size());
        return &dialog;
    }
};

constexpr uint32_t kInput = WF_VISIBLE | WF_FOCUSABLE;
constexpr uint32_t kKeyEnter = KEY_EVENT(KC_ENTER, 13, KF_DOWN);
constexpr uint32_t kKeyEsc = KEY_EVENT(KC_ESC, 27, KF_DOWN);
constexpr uint32_t kKeyTab = KEY_EVENT(KC_TAB, 9, KF_DOWN);
constexpr uint32_t kKeyRight = KEY_EVENT(KC_RIGHT, 0, KF_DOWN);
constexpr uint32_t kKeyDown = KEY_EVENT(KC_DOWN, 0, KF_DOWN);

class DialogTest : public DesktopTest {
  protected:
    void SetUp() override {
        DesktopTest::SetUp();
        ColDefaultPalette();
    }
};

TEST_F(DialogTest, EditAfterALabelHasTheFocusAtStart) {
    TemplateBuilder builder;
    builder.Add("static", "Name:", 2, 2, 6, 1, 10, WF_VISIBLE)
        .Add("edit", "start", 9, 2, 20, 1, 11, kInput | WF_GROUP)
        .Add("button", "~OK", 5, 4, 8, 1, 1, kInput | WF_GROUP | WF_DEFAULT);
    ZDialog dialog;
    ASSERT_EQ(dialog.CreateFromTemplate(builder.Build(40, 7), nullptr), 0);
    dialog.Activate(true);
    EXPECT_EQ(ZDesktop::GetFocus(), dialog.GetControl(11));
    EXPECT_STREQ(dialog.GetControlText(11), "start");
    ZRec rect;
    dialog.GetPos(rect);
    EXPECT_EQ(rect, ZRec(20, 9, 40, 7));  // centred in 80 x 25
    dialog.Destroy();
}

TEST_F(DialogTest, TabWithASingleGroupStartDoesNothing) {
    TemplateBuilder builder;
    builder.Add("button", "~One", 2, 2, 8, 1, 21, kInput | WF_GROUP)
        .Add("button", "~Two", 12, 2, 8, 1, 22, kInput);
    ZDialog dialog;
    dialog.CreateFromTemplate(builder.Build(30, 5), nullptr);
    dialog.Activate(true);
    ZWindow* before = ZDesktop::GetFocus();
    dialog.OnKey(kKeyTab);
    EXPECT_EQ(ZDesktop::GetFocus(), before);
    dialog.Destroy();
}

TEST_F(DialogTest, TabMovesBetweenGroupsAndArrowsWrapInsideOne) {
    TemplateBuilder builder;
    builder.Add("checkbox", "~A", 2, 1, 10, 1, 31, kInput | WF_GROUP)
        .Add("checkbox", "~B", 2, 2, 10, 1, 32, kInput)
        .Add("checkbox", "~C", 2, 3, 10, 1, 33, kInput)
        .Add("button", "~OK", 2, 5, 8, 1, 1, kInput | WF_GROUP | WF_DEFAULT);
    ZDialog dialog;
    dialog.CreateFromTemplate(builder.Build(30, 8), nullptr);
    dialog.Activate(true);
    const auto focusId = [] { return ZDesktop::GetFocus()->GetId(); };
    ASSERT_EQ(focusId(), 31);
    const struct {
        uint32_t key;
        int expected;
    } steps[] = {
        {kKeyDown, 32},
        {kKeyDown, 33},
        {kKeyDown, 31},                      // wraps to the group's start
        {KEY_EVENT(KC_UP, 0, KF_DOWN), 33},  // from the start back to the group's end
        {kKeyTab, 1},
        {kKeyTab, 31},  // Tab goes round the group starts
        {KEY_EVENT(KC_TAB, 9, KF_DOWN | KF_SHIFT), 1},
    };
    for (const auto& step : steps) {
        dialog.OnKey(step.key);
        EXPECT_EQ(focusId(), step.expected);
    }
    dialog.Destroy();
}

TEST_F(DialogTest, MessageBoxEnterEscAndRightThenEnter) {
    const struct {
        std::vector<uint32_t> keys;
        int expected;
    } cases[] = {
        {{kKeyEnter}, 0x40},
        {{kKeyEsc}, 2},
        {{kKeyRight, kKeyEnter}, 0x80},
    };
    for (const auto& entry : cases) {
        for (uint32_t key : entry.keys) console->PushKey(key);
        EXPECT_EQ(ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 6), "Question", "Go?",
                              0x40 | 0x80, 0x40, 0),
                  entry.expected);
    }
}

TEST_F(DialogTest, ShortButtonCaptionsStillGetEightColumns) {
    struct Probe : ZMessageBoxWindow {
        using ZDialog::GetControl;
    } box;
    box.Init(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 50, 6), "t", "x", 0x1 | 0x2, 1, 0);
    for (const int id : {1, 2}) {
        ZRec rect;
        box.GetControl(id)->GetPos(rect);
        EXPECT_GE(rect.w, 8) << id;
        EXPECT_EQ(rect.y, 4);
    }
    box.Destroy();
}

TEST_F(DialogTest, BeepingMessageBoxRingsOnceWhenItOpens) {
    console->PushKey(kKeyEsc);
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 6), "t", "x", 0x40, 0x40, WF_BEEP);
    EXPECT_EQ(console->BellCount(), 1);
    console->PushKey(kKeyEsc);
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 6), "t", "x", 0x40, 0x40, 0);
    EXPECT_EQ(console->BellCount(), 1);
}

TEST_F(DialogTest, HotKeyPressesTheButtonInEitherCase) {
    for (const char letter : {'n', 'N'}) {
        TemplateBuilder builder;
        builder.Add("button", "~Yes", 2, 2, 8, 1, 1, kInput | WF_GROUP | WF_DEFAULT)
            .Add("button", "~No", 12, 2, 8, 1, 2, kInput);
        ZDialog dialog;
        dialog.CreateFromTemplate(builder.Build(30, 5), nullptr);
        console->PushKey(KEY_EVENT(0x6E, letter, KF_DOWN | (letter == 'N' ? KF_SHIFT : 0)));
        EXPECT_EQ(dialog.Run(), 2) << letter;
        dialog.Destroy();
    }
}

TEST_F(DialogTest, MissingTemplateCreatesNothing) {
    ZDialog dialog;
    EXPECT_EQ(dialog.CreateFromResource(4321, nullptr, 0), -1);
    EXPECT_FALSE(dialog.IsAttached());
}

class ExitQuestionTest : public DialogTest {
  protected:
    void SetUp() override {
        char folder[] = "/tmp/kq-exit-XXXXXX";
        ASSERT_NE(mkdtemp(folder), nullptr);
        folder_ = folder;
        setenv("KQ_CONFIG_HOME", folder, 1);
        ASSERT_EQ(CfgInit("kq-exit-test"), 0);
        DialogTest::SetUp();
    }
    void TearDown() override {
        DialogTest::TearDown();
        CfgShutdown();
        std::system(("rm -rf " + folder_).c_str());
    }
    std::string folder_;
};

TEST_F(ExitQuestionTest, AskedWhenTheSettingIsAbsentAndEscKeepsRunning) {
    console->PushKey(kKeyEsc);
    EXPECT_EQ(ZDesktop::Quit(0), 1);
    EXPECT_TRUE(console->IsOpen());
    EXPECT_EQ(console->PendingInput(), 0u);
    console->PushKey(kKeyEnter);  // the first button, "yes", is the default
    EXPECT_EQ(ZDesktop::Quit(0), 0);
    EXPECT_FALSE(console->IsOpen());
}

TEST_F(ExitQuestionTest, SettingZeroQuitsWithoutAQuestion) {
    const CfgSection confirmations = CfgOpen("Confirmations");
    CfgSetDw(confirmations, "Exit", 0);
    CfgClose(confirmations);
    console->PushKey(kKeyEsc);  // would refuse, were the question asked
    EXPECT_EQ(ZDesktop::Quit(0), 0);
    EXPECT_EQ(console->PendingInput(), 1u);
}

#ifdef KQ_LANG_ENGLISH
class LanguageDialogTest : public DialogTest, public ::testing::WithParamInterface<const char*> {
  protected:
    void SetUp() override {
        setenv("KQ_CODEPAGE", "437", 1);
        DialogTest::SetUp();
        module_ = KeLoadDll(GetParam());
        ASSERT_NE(module_, -1);
        ResSetLanguage(module_);
    }
    void TearDown() override {
        ResSetLanguage(0);
        KeFreeDll(module_);
        DialogTest::TearDown();
    }
    KeHandle module_ = 0;
};

TEST_P(LanguageDialogTest, EveryDialogFitsTheScreenAndClosesWithEscAndEnter) {
    for (int id = 100; id <= 120; ++id) {
        SCOPED_TRACE("dialog " + std::to_string(id));
        for (const uint32_t closing : {kKeyEsc, kKeyEnter}) {
            ZDialog dialog;
            ASSERT_EQ(dialog.CreateFromResource(id, nullptr, 0), 0);
            const ZRec box = dialog.ScreenRect();
            EXPECT_GE(box.x, 0);
            EXPECT_GE(box.y, 0);
            EXPECT_LE(box.x + box.w, 80);
            EXPECT_LE(box.y + box.h, 25);
            for (const ZWindow* control : dialog.Children()) {
                const ZRec rect = control->ScreenRect();
                EXPECT_GE(rect.x, box.x) << control->GetId();
                EXPECT_GE(rect.y, box.y) << control->GetId();
                EXPECT_LE(rect.x + rect.w, box.x + box.w) << control->GetId();
                EXPECT_LE(rect.y + rect.h, box.y + box.h) << control->GetId();
            }
            // The frame corners are on the screen where the dialog says.
            dialog.Activate(true);
            EXPECT_EQ(console->Char(box.x, box.y), 0xC9);
            EXPECT_EQ(console->Char(box.x + box.w - 1, box.y + box.h - 1), 0xBC);
            // Enter in a focused edit line may be taken by the line; Esc then closes.
            console->PushKey(closing);
            console->PushKey(kKeyEsc);
            const int result = dialog.Run();
            EXPECT_TRUE(result == 1 || result == 2) << result;
            dialog.Destroy();
            while (console->PendingInput() > 0) {
                uint32_t event = 0;
                ConInput(&event);
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modules, LanguageDialogTest,
                         ::testing::Values(KQ_LANG_ENGLISH, KQ_LANG_GERMAN));
#endif

}  // namespace
}  // namespace kq::ui::testing
