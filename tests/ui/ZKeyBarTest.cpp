// The key bar on the in-memory console: attached hidden on the bottom row by the desktop and
// moved by terminal resizes, its label sets switched by Shift, Alt and Ctrl presses and
// releases as the desktop's input loop reports them, and labels cut to their cells.
#include <cstdio>
#include <string>
#include <vector>

#include "console/KeyRecord.h"
#include "ui/ControlTestSupport.h"
#include "ui/ZKeyBar.h"

namespace kq::ui::testing {
namespace {

namespace vk = kq::console::vk;
namespace cks = kq::console::cks;

// The row a key bar of the given width shows for labels in cells of cellWidth columns.
std::string ExpectedRow(int width, int cellWidth, const std::vector<std::string>& labels) {
    std::string row;
    for (int key = 1; key <= ZKeyBar::kKeyCount && static_cast<int>(row.size()) < width; ++key) {
        char number[12];
        std::snprintf(number, sizeof number, "%2d", key);
        std::string label = key <= static_cast<int>(labels.size()) ? labels[key - 1] : "";
        label.resize(static_cast<size_t>(cellWidth - 2), ' ');
        row += number + label;
    }
    row.resize(static_cast<size_t>(width), ' ');
    return row;
}

class KeyBarTest : public PaletteDesktopTest {
  protected:
    void SetUp() override {
        PaletteDesktopTest::SetUp();
        keyBar = ZKeyBar::Get();
        ASSERT_NE(keyBar, nullptr);
        EXPECT_EQ(keyBar->ScreenRect(), ZRec(0, 24, 80, 1));
        EXPECT_EQ(keyBar->GetFlags() & WF_VISIBLE, 0u);
        EXPECT_EQ(console->RowText(24), std::string(80, ' '));
        keyBar->Show(true);
    }

    ZKeyBar* keyBar = nullptr;
};

// The desktop attaches it hidden on the bottom row; labels are separated by control characters
// and cut to their cells; resizes move it.
TEST_F(KeyBarTest, LabelsAreSeparatedByControlCharactersAndCutToTheirCells) {
    keyBar->SetKeyBar("Help\x01Menu", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    // 80 columns: cells of 8, F11 and F12 fall off the row.
    EXPECT_EQ(console->RowText(24), ExpectedRow(80, 8, {"Help", "Menu"}));
    EXPECT_EQ(console->Attr(0, 24), Colour(ZKeyBar::kColourNumber));
    EXPECT_EQ(console->Attr(1, 24), Colour(ZKeyBar::kColourNumber));
    EXPECT_EQ(console->Attr(2, 24), Colour(ZKeyBar::kColourLabel));
    EXPECT_EQ(console->Attr(15, 24), Colour(ZKeyBar::kColourLabel));

    keyBar->SetKeyBar(
        "Averylonglabel\x02\x03Third\x1F"
        "Fourth",
        nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(console->RowText(24), ExpectedRow(80, 8, {"Averyl", "", "Third", "Fourth"}));

    keyBar->SetKeyBar(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(console->RowText(24), ExpectedRow(80, 8, {}));
    // 120 columns: cells of 10, all twelve keys.
    keyBar->SetKeyBar("Help\x01Menu", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    console->SetSize(120, 30);
    ASSERT_TRUE(DesktopTakeResize());
    EXPECT_EQ(keyBar->ScreenRect(), ZRec(0, 29, 120, 1));
    EXPECT_EQ(console->RowText(29), ExpectedRow(120, 10, {"Help", "Menu"}));
}

TEST_F(KeyBarTest, ModifierPressesAndReleasesSwitchTheLabelSet) {
    keyBar->SetKeyBar("plain", "shift", "alt", "ctrl", "altshift", "ctrlshift", "ctrlalt");
    struct Step {
        const char* name;
        kq::console::KeyRecord record;  // as the terminal reports it
        const char* shown;
    };
    const auto press = [](uint16_t key, uint32_t state) {
        return kq::console::KeyRecord{key, 0, true, 1, state};
    };
    const auto release = [](uint16_t key, uint32_t state) {
        return kq::console::KeyRecord{key, 0, false, 1, state};
    };
    const Step steps[] = {
        {"Shift", press(vk::kShift, cks::kShift), "shift"},
        {"Shift released", release(vk::kShift, 0), "plain"},
        {"Ctrl", press(vk::kControl, cks::kLeftCtrl), "ctrl"},
        {"Ctrl+Shift", press(vk::kShift, cks::kLeftCtrl | cks::kShift), "ctrlshift"},
        {"Shift released, Ctrl held", release(vk::kShift, cks::kLeftCtrl), "ctrl"},
        {"Ctrl+Alt", press(vk::kMenu, cks::kLeftCtrl | cks::kLeftAlt), "ctrlalt"},
        {"Ctrl released, Alt held", release(vk::kControl, cks::kLeftAlt), "alt"},
        {"Alt+Shift", press(vk::kShift, cks::kLeftAlt | cks::kShift), "altshift"},
        {"Ctrl+Alt+Shift", press(vk::kControl, cks::kLeftCtrl | cks::kLeftAlt | cks::kShift),
         "ctrlshift"},
        {"all released", release(vk::kMenu, 0), "plain"},
        {"right Alt", press(vk::kRMenu, cks::kRightAlt), "alt"},
        {"right Ctrl with right Alt", press(vk::kRControl, cks::kRightCtrl | cks::kRightAlt),
         "ctrlalt"},
        {"both released", release(vk::kRControl, 0), "plain"},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        console->PushRecord(step.record);
        RunQueuedKeys(*console);
        std::string label = step.shown;
        label.resize(6, ' ');  // the label column of an 8-column cell
        EXPECT_EQ(console->Text(2, 24, 6), label);
    }
}

TEST_F(KeyBarTest, OnlyModifierKeysSwitchTheLabelSet) {
    keyBar->SetKeyBar("plain", "shift", nullptr, nullptr, nullptr, nullptr, nullptr);
    // A shifted function key carries the Shift flag, but it is not a modifier key.
    Press({Key(KC_F3, 0, KF_SHIFT), Key('a', 'A', KF_SHIFT)});
    EXPECT_EQ(keyBar->Modifiers(), 0);
    EXPECT_EQ(console->Text(2, 24, 5), "plain");
    // A set that is null shows the numbers only.
    Press({Key(KC_SHIFT, 0, KF_SHIFT)});
    EXPECT_EQ(keyBar->CurrentLabelSet(), ZKeyBar::kShift);
    keyBar->SetKeyBar("plain", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(console->RowText(24), ExpectedRow(80, 8, {}));
}

}  // namespace
}  // namespace kq::ui::testing
