// The console layer's operations against the in-memory console: the closed-layer results,
// cell runs across rows, key repeats and releases, the saved screen, resizes, the cursor.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/keys.h"

namespace kq::console {
namespace {

class ConsoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        console_ = std::make_shared<MemoryConsole>(80, 25);
        InstallBackend(console_);
        ASSERT_EQ(ConInit(&cols_, &rows_), 0);
    }
    void TearDown() override {
        ConShutdown();
        InstallBackend(nullptr);
    }

    static std::vector<uint8_t> Cells(std::string_view text, uint8_t attribute) {
        std::vector<uint8_t> cells;
        for (const char c : text) {
            cells.push_back(static_cast<uint8_t>(c));
            cells.push_back(attribute);
        }
        return cells;
    }

    std::shared_ptr<MemoryConsole> console_;
    int16_t cols_ = 0;
    int16_t rows_ = 0;
};

TEST(ConsoleClosedTest, EveryOperationFailsWhileClosed) {
    uint32_t event = 0;
    const uint8_t cell[2] = {'x', 7};
    int16_t cols = 0;
    int16_t rows = 0;
    const std::vector<std::pair<const char*, std::function<int()>>> operations = {
        {"ConShutdown", [] { return ConShutdown(); }},
        {"ConInput", [&] { return ConInput(&event); }},
        {"ConWrite", [&] { return ConWrite(0, 0, cell, 1); }},
        {"ConSetCursorPos", [] { return ConSetCursorPos(1, 1); }},
        {"ConSetCursorSize", [] { return ConSetCursorSize(10); }},
        {"ConSetTitle", [] { return ConSetTitle("t"); }},
        {"ConGetSize", [&] { return ConGetSize(&cols, &rows); }},
        {"ConWaitInput", [] { return ConWaitInput(0); }},
        {"ConTakeResize", [&] { return ConTakeResize(&cols, &rows); }},
        {"ConWake", [] { return ConWake(); }},
    };
    for (const auto& [name, call] : operations) EXPECT_EQ(call(), -1) << name;
    EXPECT_EQ(ConGetSavedScreen(), nullptr);
}

TEST_F(ConsoleTest, OpeningTwiceFails) {
    EXPECT_EQ(cols_, 80);
    EXPECT_EQ(rows_, 25);
    EXPECT_EQ(ConInit(nullptr, nullptr), -1);
}

TEST_F(ConsoleTest, ReportsTheDeviceSizeWhateverWasRequested) {
    ConShutdown();
    int16_t cols = 80;
    int16_t rows = 50;
    ASSERT_EQ(ConInit(&cols, &rows), 0);
    EXPECT_EQ(cols, 80);
    EXPECT_EQ(rows, 25);
}

struct RunCase {
    const char* name;
    int x, y, count;
    // Expected: the last cell written and the first cell left alone.
    int lastX, lastY;
};

TEST_F(ConsoleTest, CellRunsContinueOnFollowingRowsAndStopAtTheLastCell) {
    const RunCase cases[] = {
        {"exactly the rest of the row stays on the row", 70, 3, 10, 79, 3},
        {"one more cell wraps to column 0", 70, 3, 11, 0, 4},
        {"several whole rows and a rest", 75, 2, 5 + 160 + 7, 6, 5},
        {"a run on the last row ending within it", 10, 24, 20, 29, 24},
        {"a run longer than the screen is cut at the last cell", 78, 24, 500, 79, 24},
    };
    for (const RunCase& run : cases) {
        SCOPED_TRACE(run.name);
        const std::vector<uint8_t> blank = Cells(std::string(80 * 25, '.'), 0x07);
        ASSERT_EQ(ConWrite(0, 0, blank.data(), 80 * 25), 0);
        const std::vector<uint8_t> cells =
            Cells(std::string(static_cast<size_t>(run.count), '#'), 0x1E);
        ASSERT_EQ(ConWrite(static_cast<int16_t>(run.x), static_cast<int16_t>(run.y), cells.data(),
                           run.count),
                  0);
        EXPECT_EQ(console_->Char(run.lastX, run.lastY), '#');
        EXPECT_EQ(console_->Attr(run.lastX, run.lastY), 0x1E);
        const int after = run.lastY * 80 + run.lastX + 1;
        if (after < 80 * 25) {
            EXPECT_EQ(console_->Char(after % 80, after / 80), '.');
        }
        const int before = run.y * 80 + run.x - 1;
        EXPECT_EQ(console_->Char(before % 80, before / 80), '.');
    }
}

TEST_F(ConsoleTest, WritesOutsideTheScreenAreIgnored) {
    const std::vector<uint8_t> cells = Cells("abc", 0x07);
    EXPECT_EQ(ConWrite(-1, 1, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(0, 25, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(80, 0, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(0, 0, nullptr, 3), 0);
    EXPECT_EQ(console_->RowText(0), std::string(80, ' '));
    EXPECT_EQ(console_->RowText(1), std::string(80, ' '));
}

TEST_F(ConsoleTest, RowTextAndAttributesReadBackWhatWasWritten) {
    const std::vector<uint8_t> cells = Cells("hello", 0x1F);
    ConWrite(3, 2, cells.data(), 5);
    EXPECT_EQ(console_->Text(3, 2, 5), "hello");
    EXPECT_EQ(console_->RowText(2).substr(0, 10), "   hello  ");
    EXPECT_EQ(console_->Attr(3, 2), 0x1F);
    EXPECT_EQ(console_->Attr(8, 2), 0x07);
}

TEST_F(ConsoleTest, HeldKeyWithRepeatCountThreeGivesThreeIdenticalEvents) {
    KeyRecord record;
    record.virtualKey = 0x41;
    record.unicodeChar = U'a';
    record.repeatCount = 3;
    console_->PushRecord(record);
    uint32_t events[3] = {};
    for (uint32_t& event : events) ASSERT_EQ(ConInput(&event), 0);
    EXPECT_EQ(events[0], KEY_EVENT(0x61, 'a', KF_DOWN));
    EXPECT_EQ(events[1], events[0]);
    EXPECT_EQ(events[2], events[0]);
    uint32_t none = 0;
    EXPECT_EQ(ConInput(&none), 1);
}

TEST_F(ConsoleTest, ReleasesReachTheProgramOnlyForModifierKeys) {
    KeyRecord shiftUp;
    shiftUp.virtualKey = 0x10;
    shiftUp.keyDown = false;
    KeyRecord letterUp;
    letterUp.virtualKey = 0x41;
    letterUp.unicodeChar = U'a';
    letterUp.keyDown = false;
    console_->PushRecord(letterUp);
    console_->PushRecord(shiftUp);
    uint32_t event = 0;
    ASSERT_EQ(ConInput(&event), 0);  // the letter's release is skipped
    EXPECT_EQ(KEY_CODE(event), KC_SHIFT);
    EXPECT_EQ(event & KF_DOWN, 0u);
    console_->PushRecord(letterUp);
    EXPECT_EQ(ConInput(&event), 1);
}

TEST_F(ConsoleTest, ShiftLetterGivesTheLowerCaseCodeAndTheUpperCaseCharacter) {
    KeyRecord record;
    record.virtualKey = 0x41;
    record.unicodeChar = U'A';
    record.controlState = 0x10;
    console_->PushRecord(record);
    uint32_t event = 0;
    ASSERT_EQ(ConInput(&event), 0);
    EXPECT_EQ(KEY_CODE(event), 0x61u);
    EXPECT_EQ(KEY_CHAR(event), static_cast<uint32_t>('A'));
    EXPECT_TRUE(event & KF_SHIFT);
}

// A character the code page lacks used to arrive as '?': "rm -r Привет" typed under 437 ran
// as "rm -r ??????", a glob. Typed as text (AltGr too) it is refused with the bell; in a Ctrl
// or Alt chord only the character goes and the key stays.
TEST_F(ConsoleTest, CharacterTheCodePageLacksIsNeverTypedAsQuestionMark) {
    const struct {
        char32_t character;
        uint32_t controlState;
        bool delivered;
        uint8_t expected;
    } cases[] = {
        {U'\u041F', 0, false, 0},                                // Cyrillic P under 437
        {U'\u20AC', cks::kLeftCtrl | cks::kRightAlt, false, 0},  // AltGr+E: the euro sign
        {U'\u041F', cks::kLeftCtrl, true, 0},                    // Ctrl chord: key, no char
        {U'\u00E9', 0, true, 0x82},                              // held: e acute is 0x82
    };
    for (const auto& entry : cases) {
        const int bells = console_->BellCount();
        KeyRecord record;
        record.virtualKey = vk::kLetterA + ('G' - 'A');
        record.unicodeChar = entry.character;
        record.controlState = entry.controlState;
        console_->PushRecord(record);
        uint32_t event = 0;
        ASSERT_EQ(ConInput(&event), entry.delivered ? 0 : 1) << int(entry.character);
        EXPECT_EQ(console_->BellCount(), bells + (entry.delivered ? 0 : 1));
        if (entry.delivered) {
            EXPECT_EQ(KEY_CHAR(event), entry.expected);
            EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>('g'));
        }
    }
}

// Pasted text used to arrive as keys: a line end ran the command, ESC[21~ opened the quit
// question. It is one KC_PASTE event whose text never acts: line ends kept, other control
// characters left out; with a character the code page lacks, the whole paste is refused.
TEST_F(ConsoleTest, PasteIsTextNeverKeys) {
    const struct {
        const char* pasted;
        bool delivered;
        const char* text;
    } cases[] = {
        {"echo A\r\necho B\rC\n", true, "echo A\necho B\nC\n"},
        {"x\x1b[21~y\tz\x07", true, "x[21~y\tz"},
        {"caf\xC3\xA9", true, "caf\x82"},
        {"rm -r \xD0\x9F*", false, ""},
        {"bad \xFF byte", false, ""},
    };
    for (const auto& entry : cases) {
        const int bells = console_->BellCount();
        console_->PushPaste(entry.pasted);
        uint32_t event = 0;
        ASSERT_EQ(ConInput(&event), entry.delivered ? 0 : 1) << entry.pasted;
        EXPECT_EQ(console_->BellCount(), bells + (entry.delivered ? 0 : 1)) << entry.pasted;
        if (!entry.delivered) continue;
        EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>(KC_PASTE));
        EXPECT_EQ(ConTakePaste(), entry.text);
        EXPECT_EQ(ConTakePaste(), "") << "taken once";
    }
}

TEST_F(ConsoleTest, SavedScreenIsWhatTheDeviceShowedAtOpening) {
    ConShutdown();
    std::vector<uint8_t> saved(80 * 25 * 2);
    for (size_t i = 0; i < saved.size(); i += 2) {
        saved[i] = static_cast<uint8_t>('a' + (i / 2) % 26);
        saved[i + 1] = 0x1E;
    }
    console_->SetSavedScreen(saved);
    ASSERT_EQ(ConInit(nullptr, nullptr), 0);
    const uint8_t* captured = ConGetSavedScreen();
    ASSERT_NE(captured, nullptr);
    EXPECT_TRUE(std::equal(saved.begin(), saved.end(), captured));
    EXPECT_EQ(console_->Text(0, 0, 3), "abc");
    EXPECT_EQ(console_->Attr(0, 0), 0x1E);
}

TEST_F(ConsoleTest, DefaultSavedScreenIsBlankLightGrey) {
    const uint8_t* captured = ConGetSavedScreen();
    ASSERT_NE(captured, nullptr);
    EXPECT_EQ(captured[0], ' ');
    EXPECT_EQ(captured[1], 0x07);
    EXPECT_EQ(captured[80 * 25 * 2 - 1], 0x07);
}

TEST_F(ConsoleTest, ResizeIsReportedOnceWithTheNewSize) {
    int16_t cols = 0;
    int16_t rows = 0;
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    console_->SetSize(100, 30);
    ASSERT_EQ(ConTakeResize(&cols, &rows), 1);
    EXPECT_EQ(cols, 100);
    EXPECT_EQ(rows, 30);
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    ASSERT_EQ(ConGetSize(&cols, &rows), 0);
    EXPECT_EQ(cols, 100);
    const std::vector<uint8_t> cells = Cells("edge", 0x07);
    ConWrite(96, 29, cells.data(), 4);
    EXPECT_EQ(console_->Text(96, 29, 4), "edge");
}

TEST_F(ConsoleTest, CursorSizeZeroHidesAndOneHundredIsAFullBlock) {
    ConSetCursorPos(5, 6);
    ConSetCursorSize(0);
    EXPECT_EQ(console_->Cursor().size, 0);
    ConSetCursorSize(100);
    EXPECT_EQ(console_->Cursor().size, 100);
    EXPECT_EQ(console_->Cursor().x, 5);
    EXPECT_EQ(console_->Cursor().y, 6);
}

TEST_F(ConsoleTest, TitleAndBellReachTheDevice) {
    EXPECT_EQ(ConSetTitle("kq - /home"), 0);
    EXPECT_EQ(console_->Title(), "kq - /home");
    EXPECT_EQ(ConSetTitle(nullptr), -1);
    EXPECT_EQ(ConBell(), 0);
    EXPECT_EQ(console_->BellCount(), 1);
}

TEST_F(ConsoleTest, WaitReturnsWhenAnotherThreadQueuesAKey) {
    std::thread typist([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        console_->PushKey(KEY_EVENT(KC_F1, 0, KF_DOWN));
    });
    uint32_t event = 0;
    // The timeout only guards against a hang; the key ends the wait.
    for (int round = 0; round < 100 && ConInput(&event) != 0; ++round) ConWaitInput(10000);
    typist.join();
    EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>(KC_F1));
}

TEST_F(ConsoleTest, ScreenSurvivesClosingAndReopening) {
    const std::vector<uint8_t> cells = Cells("kept", 0x4F);
    ConWrite(0, 0, cells.data(), 4);
    ConShutdown();
    EXPECT_FALSE(console_->IsOpen());
    EXPECT_EQ(console_->Text(0, 0, 4), "kept");
    ASSERT_EQ(ConInit(nullptr, nullptr), 0);
    EXPECT_TRUE(console_->IsOpen());
}

// A window ended by a worker thread used to stay up until the next key or clock tick: the UI
// thread slept in its wait for input. The wake ends that wait.
TEST_F(ConsoleTest, WakeFromAnotherThreadEndsAWaitForInput) {
    const auto start = std::chrono::steady_clock::now();
    std::thread waker([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        EXPECT_EQ(ConWake(), 0);
    });
    EXPECT_EQ(ConWaitInput(60000), 0);
    waker.join();
    // The wait would last a minute without the wake.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

TEST_F(ConsoleTest, WakeBeforeTheWaitIsNotLost) {
    EXPECT_EQ(ConWake(), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ConWaitInput(60000), 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace kq::console
