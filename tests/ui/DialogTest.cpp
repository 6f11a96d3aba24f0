// Dialogs and message boxes on the in-memory console.
#include <vector>

#include "ui/ControlTestSupport.h"
#include "ui/ZDialog.h"

namespace kq::ui::testing {
namespace {

// A template built in code, centred in its parent.
struct TemplateBuilder {
    std::vector<ResDialogItem> items;
    ResDialog dialog{};

    TemplateBuilder& Add(const char* className, const char* text, int x, int y, int w, int id,
                         uint32_t style) {
        items.push_back(
            {style, x, y, w, 1, id, const_cast<char*>(className), const_cast<char*>(text)});
        return *this;
    }
    const ResDialog* Build(int w, int h) {
        dialog = {0,
                  -1,
                  -1,
                  w,
                  h,
                  nullptr,
                  const_cast<char*>(" Test "),
                  items.data(),
                  static_cast<int>(items.size())};
        return &dialog;
    }
};

constexpr uint32_t kInput = WF_VISIBLE | WF_FOCUSABLE;

class DialogTest : public PaletteDesktopTest {
  protected:
    static int FocusId() { return ZDesktop::GetFocus()->GetId(); }
};

TEST_F(DialogTest, EditAfterALabelHasTheFocusAtStartAndTheDialogIsCentred) {
    TemplateBuilder builder;
    builder.Add("static", "Name:", 2, 2, 6, 10, WF_VISIBLE)
        .Add("edit", "start", 9, 2, 20, 11, kInput | WF_GROUP)
        .Add("button", "~OK", 5, 4, 8, 1, kInput | WF_GROUP | WF_DEFAULT);
    ZDialog dialog;
    ASSERT_EQ(dialog.CreateFromTemplate(builder.Build(40, 7), nullptr), 0);
    dialog.Activate(true);
    EXPECT_EQ(ZDesktop::GetFocus(), dialog.GetControl(11));
    EXPECT_EQ(dialog.ScreenRect(), ZRec(20, 9, 40, 7));
    dialog.Destroy();
}

TEST_F(DialogTest, TabMovesBetweenGroupsAndArrowsWrapInsideOne) {
    TemplateBuilder builder;
    builder.Add("checkbox", "~A", 2, 1, 10, 31, kInput | WF_GROUP)
        .Add("checkbox", "~B", 2, 2, 10, 32, kInput)
        .Add("checkbox", "~C", 2, 3, 10, 33, kInput)
        .Add("button", "~OK", 2, 5, 8, 1, kInput | WF_GROUP | WF_DEFAULT);
    ZDialog dialog;
    dialog.CreateFromTemplate(builder.Build(30, 8), nullptr);
    dialog.Activate(true);
    ASSERT_EQ(FocusId(), 31);
    // Down wraps to the group's start, Up from the start to its end; Tab goes round the starts.
    const std::pair<uint32_t, int> steps[] = {{kDown, 32},
                                              {kDown, 33},
                                              {kDown, 31},
                                              {kUp, 33},
                                              {kTab, 1},
                                              {kTab, 31},
                                              {Key(KC_TAB, 9, KF_SHIFT), 1}};
    for (const auto& [key, id] : steps) {
        dialog.OnKey(key);
        EXPECT_EQ(FocusId(), id);
    }
    dialog.Destroy();
}

TEST_F(DialogTest, HotKeyPressesTheButtonInEitherCase) {
    TemplateBuilder builder;
    builder.Add("button", "~Yes", 2, 2, 8, 1, kInput | WF_GROUP | WF_DEFAULT)
        .Add("button", "~No", 12, 2, 8, 2, kInput);
    ZDialog dialog;
    dialog.CreateFromTemplate(builder.Build(30, 5), nullptr);
    console->PushKey(Key('n', 'N', KF_SHIFT));
    EXPECT_EQ(dialog.Run(), 2);
    dialog.Destroy();
}

// Only a beeping box rings, once when it opens.
TEST_F(DialogTest, MessageBoxKeysButtonsAndBell) {
    const std::pair<std::vector<uint32_t>, int> cases[] = {
        {{kEnter}, 0x40}, {{kEsc}, 2}, {{kRight, kEnter}, 0x80}};
    for (const auto& [keys, result] : cases) {
        for (uint32_t key : keys) console->PushKey(key);
        EXPECT_EQ(ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 6), "Question", "Go?",
                              0x40 | 0x80, 0x40, 0),
                  result);
    }
    EXPECT_EQ(console->BellCount(), 0);
    console->PushKey(kEsc);
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 40, 6), "t", "x", 0x40, 0x40, WF_BEEP);
    EXPECT_EQ(console->BellCount(), 1);
}

}  // namespace
}  // namespace kq::ui::testing
