// The console layer's operations against the in-memory console.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/keys.h"

namespace kq::console {
namespace {

std::vector<uint8_t> Cells(std::string_view text, uint8_t attribute) {
    std::vector<uint8_t> cells;
    for (const char c : text) cells.insert(cells.end(), {static_cast<uint8_t>(c), attribute});
    return cells;
}

KeyRecord Record(uint16_t virtualKey, char32_t character, bool keyDown = true,
                 uint32_t controlState = 0, uint16_t repeatCount = 1) {
    return KeyRecord{virtualKey, character, keyDown, repeatCount, controlState};
}

class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        InstallBackend(console_);
        ASSERT_EQ(ConInit(&cols_, &rows_), 0);
    }
    void TearDown() override {
        ConShutdown();
        InstallBackend(nullptr);
    }
    // The input's result and the bells rung for it.
    int Input(uint32_t& event, int& bells) {
        const int before = console_->BellCount(), result = ConInput(&event);
        bells = console_->BellCount() - before;
        return result;
    }
    std::shared_ptr<MemoryConsole> console_ = std::make_shared<MemoryConsole>(80, 25);
    int16_t cols_ = 0, rows_ = 0;
};

// Opened once at the device's size with the device's saved screen; the screen survives closing.
TEST_F(ConsoleTest, OpensOnceWithTheSavedScreen) {
    EXPECT_EQ(cols_ * 100 + rows_, 8025);
    EXPECT_EQ(ConInit(nullptr, nullptr), -1);
    ConWrite(0, 0, Cells("kept", 0x4F).data(), 4);
    ConShutdown();
    EXPECT_EQ(console_->Text(0, 0, 4), "kept");
    std::vector<uint8_t> saved = Cells(std::string(80 * 25, 's'), 0x1E);
    console_->SetSavedScreen(saved);
    ASSERT_EQ(ConInit(nullptr, nullptr), 0);
    ASSERT_NE(ConGetSavedScreen(), nullptr);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), ConGetSavedScreen()));
}

// A run goes on at the start of the next row and ends at the last cell of the screen.
TEST_F(ConsoleTest, CellRunsContinueOnFollowingRowsStopAtTheLastCellAndStayOnScreen) {
    ASSERT_EQ(ConWrite(0, 0, Cells(std::string(80 * 25, '.'), 0x07).data(), 80 * 25), 0);
    ASSERT_EQ(ConWrite(78, 3, Cells("wrap", 0x1E).data(), 4), 0);
    EXPECT_EQ(console_->RowText(3).substr(76) + console_->RowText(4).substr(0, 4), "..wrap..");
    ASSERT_EQ(ConWrite(78, 24, Cells(std::string(500, '#'), 0x1E).data(), 500), 0);
    EXPECT_EQ(console_->RowText(24).substr(76) + console_->RowText(0)[0], "..##.");
    const std::vector<uint8_t> cells = Cells("abc", 0x07);
    for (const auto& [x, y] : {std::pair{-1, 1}, {0, 25}, {80, 0}}) {
        EXPECT_EQ(ConWrite(int16_t(x), int16_t(y), cells.data(), 3), 0);
    }
    EXPECT_EQ(console_->RowText(1), std::string(80, '.'));
}

TEST_F(ConsoleTest, ResizeCursorTitleAndBellReachTheDevice) {
    int16_t cols = 0, rows = 0;
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    console_->SetSize(100, 30);
    ASSERT_EQ(ConTakeResize(&cols, &rows), 1);
    EXPECT_EQ(cols * 100 + rows, 10030);
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    cols = 0;
    ASSERT_EQ(ConGetSize(&cols, &rows), 0);
    EXPECT_EQ(cols, 100);
    ConSetCursorPos(5, 6);
    ConSetCursorSize(100);
    EXPECT_EQ(console_->Cursor().size * 10000 + console_->Cursor().x * 100 + console_->Cursor().y,
              1000506);
    EXPECT_EQ(ConSetTitle("kq - /home"), 0);
    EXPECT_EQ(console_->Title(), "kq - /home");
    EXPECT_EQ(ConBell(), 0);
    EXPECT_EQ(console_->BellCount(), 1);
}

// Records become key events with their repeats; of releases only a modifier key's arrives.
TEST_F(ConsoleTest, RecordsRepeatsAndReleases) {
    console_->PushRecord(Record(0x41, 'A', true, cks::kShift, 3));
    console_->PushRecord(Record(0x41, 'a', false));
    console_->PushRecord(Record(0x7C, 0));  // F13 has no code
    console_->PushRecord(Record(vk::kHome, 0, true, cks::kRightAlt | cks::kLeftCtrl));
    console_->PushRecord(Record(vk::kRControl, 0, false));
    const uint32_t shiftA = KEY_EVENT('a', 'A', KF_DOWN | KF_SHIFT);
    for (const uint32_t expected :
         {shiftA, shiftA, shiftA, KEY_EVENT(KC_NONE, 0, KF_DOWN),
          KEY_EVENT(KC_HOME, 0, KF_DOWN | KF_RALT | KF_LCTRL), KEY_EVENT(KC_RCTRL, 0, 0)}) {
        uint32_t event = 0;
        ASSERT_EQ(ConInput(&event), 0);
        EXPECT_EQ(event, expected);
    }
    uint32_t event = 0;
    EXPECT_EQ(ConInput(&event), 1);
}

// A character the code page lacks used to arrive as '?': "rm -r Привет" typed under 437 ran
// as "rm -r ??????", a glob. Typed as text it is refused with the bell; in a Ctrl
// or Alt chord only the character goes and the key stays.
TEST_F(ConsoleTest, CharacterTheCodePageLacksIsNeverTypedAsQuestionMark) {
    for (const auto& [character, controlState, delivered, expected] :
         {std::tuple{U'\u041F', 0u, false, 0u},
          {U'\u041F', cks::kLeftCtrl, true, 0u},
          {U'\u00E9', 0u, true, 0x82u}}) {
        console_->PushRecord(Record(0x47, character, true, controlState));
        uint32_t event = 0;
        int bells = 0;
        ASSERT_EQ(Input(event, bells), delivered ? 0 : 1) << int(character);
        EXPECT_EQ(bells, delivered ? 0 : 1);
        EXPECT_EQ(KEY_CODE(event) << 8 | KEY_CHAR(event), delivered ? 'g' << 8 | expected : 0u);
    }
}

// Pasted text used to arrive as keys: a line end ran the command, ESC[21~ opened the quit
// question. It is one KC_PASTE event whose text never acts: line ends kept, other control
// characters left out; with a character the code page lacks, the whole paste is refused.
TEST_F(ConsoleTest, PasteIsTextNeverKeys) {
    for (const auto& [pasted, text] : {std::pair{"echo A\r\necho B\rC\n", "echo A\necho B\nC\n"},
                                       {"x\x1b[21~y\tz\x07", "x[21~y\tz"},
                                       {"caf\xC3\xA9", "caf\x82"},
                                       {"rm -r \xD0\x9F*", ""}}) {
        const bool delivered = *text != '\0';
        console_->PushPaste(pasted);
        uint32_t event = 0;
        int bells = 0;
        ASSERT_EQ(Input(event, bells), delivered ? 0 : 1) << pasted;
        EXPECT_EQ(bells, delivered ? 0 : 1) << pasted;
        if (!delivered) continue;
        EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>(KC_PASTE));
        EXPECT_EQ(ConTakePaste(), text);
        EXPECT_EQ(ConTakePaste(), "");  // taken once
    }
}

// A window ended by a worker thread used to stay up until the next key or clock tick: the UI
// thread slept in its wait for input. The wake ends that wait, also one that comes first.
TEST_F(ConsoleTest, WakeEndsAWaitForInput) {
    const auto start = std::chrono::steady_clock::now();
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(ConWake(), 0);
    });
    EXPECT_EQ(ConWaitInput(60000), 0);
    waker.join();
    EXPECT_EQ(ConWake(), 0);
    EXPECT_EQ(ConWaitInput(60000), 0);
    // Each wait would last a minute without the wake.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace kq::console
