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
    std::shared_ptr<MemoryConsole> console_ = std::make_shared<MemoryConsole>(80, 25);
    int16_t cols_ = 0, rows_ = 0;
};

TEST(ConsoleClosedTest, EveryOperationFailsWhileClosed) {
    uint32_t event = 0;
    const uint8_t cell[2] = {'x', 7};
    int16_t cols = 0, rows = 0;
    const std::function<int()> operations[] = {
        [] { return ConShutdown(); },        [&] { return ConInput(&event); },
        [&] { return ConWrite(0, 0, cell, 1); }, [] { return ConSetCursorPos(1, 1); },
        [] { return ConSetCursorSize(10); },  [] { return ConSetTitle("t"); },
        [&] { return ConGetSize(&cols, &rows); }, [] { return ConWaitInput(0); },
        [&] { return ConTakeResize(&cols, &rows); }, [] { return ConWake(); },
    };
    for (const auto& call : operations) EXPECT_EQ(call(), -1);
    EXPECT_EQ(ConGetSavedScreen(), nullptr);
}

// The screen survives closing.
TEST_F(ConsoleTest, OpensOnceAtTheDeviceSize) {
    EXPECT_EQ(cols_ * 100 + rows_, 8025);
    EXPECT_EQ(ConInit(nullptr, nullptr), -1);
    const std::vector<uint8_t> cells = Cells("kept", 0x4F);
    ConWrite(0, 0, cells.data(), 4);
    ConShutdown();
    EXPECT_FALSE(console_->IsOpen());
    EXPECT_EQ(console_->Text(0, 0, 4), "kept");
    int16_t cols = 80, rows = 50;  // whatever was requested
    ASSERT_EQ(ConInit(&cols, &rows), 0);
    EXPECT_TRUE(console_->IsOpen());
    EXPECT_EQ(rows, 25);
}

TEST_F(ConsoleTest, CellRunsContinueOnFollowingRowsAndStopAtTheLastCell) {
    const struct {
        int x, y, count;
        int lastX, lastY;  // the last cell written; the one after it is left alone
    } cases[] = {
        {70, 3, 10, 79, 3}, {70, 3, 11, 0, 4}, {75, 2, 5 + 160 + 7, 6, 5},
        {10, 24, 20, 29, 24}, {78, 24, 500, 79, 24},
    };
    for (const auto& run : cases) {
        SCOPED_TRACE(run.count);
        const std::vector<uint8_t> blank = Cells(std::string(80 * 25, '.'), 0x07);
        ASSERT_EQ(ConWrite(0, 0, blank.data(), 80 * 25), 0);
        const std::vector<uint8_t> cells = Cells(std::string(run.count, '#'), 0x1E);
        ASSERT_EQ(ConWrite(int16_t(run.x), int16_t(run.y), cells.data(), run.count), 0);
        EXPECT_EQ(console_->Char(run.lastX, run.lastY), '#');
        EXPECT_EQ(console_->Attr(run.lastX, run.lastY), 0x1E);
        const int after = run.lastY * 80 + run.lastX + 1, before = run.y * 80 + run.x - 1;
        EXPECT_TRUE(after == 80 * 25 || console_->Char(after % 80, after / 80) == '.');
        EXPECT_EQ(console_->Char(before % 80, before / 80), '.');
    }
}

TEST_F(ConsoleTest, WritesOutsideTheScreenAreIgnored) {
    const std::vector<uint8_t> cells = Cells("abc", 0x07);
    EXPECT_EQ(ConWrite(-1, 1, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(0, 25, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(80, 0, cells.data(), 3), 0);
    EXPECT_EQ(ConWrite(0, 0, nullptr, 3), 0);
    EXPECT_EQ(console_->RowText(0) + console_->RowText(1), std::string(160, ' '));
}

TEST_F(ConsoleTest, RepeatsAndReleases) {
    console_->PushRecord(Record(0x41, 'a', true, 0, 3));
    for (int i = 0; i < 3; ++i) {
        uint32_t event = 0;
        ASSERT_EQ(ConInput(&event), 0);
        EXPECT_EQ(event, KEY_EVENT(0x61, 'a', KF_DOWN));
    }
    console_->PushRecord(Record(0x41, 'a', false));  // a letter's release is skipped
    console_->PushRecord(Record(0x10, 0, false));
    uint32_t event = 0;
    ASSERT_EQ(ConInput(&event), 0);
    EXPECT_EQ(event, KEY_EVENT(KC_SHIFT, 0, 0));
    EXPECT_EQ(ConInput(&event), 1);
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
        console_->PushRecord(Record(0x47, entry.character, true, entry.controlState));
        uint32_t event = 0;
        ASSERT_EQ(ConInput(&event), entry.delivered ? 0 : 1) << int(entry.character);
        EXPECT_EQ(console_->BellCount(), bells + (entry.delivered ? 0 : 1));
        if (!entry.delivered) continue;
        EXPECT_EQ(KEY_CHAR(event), entry.expected);
        EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>('g'));
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

TEST_F(ConsoleTest, SavedScreenIsWhatTheDeviceShowedAtOpeningOrBlank) {
    const uint8_t* blank = ConGetSavedScreen();
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank[0], ' ');
    EXPECT_EQ(blank[80 * 25 * 2 - 1], 0x07);
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
}

TEST_F(ConsoleTest, ResizeIsReportedOnceWithTheNewSize) {
    int16_t cols = 0, rows = 0;
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    console_->SetSize(100, 30);
    ASSERT_EQ(ConTakeResize(&cols, &rows), 1);
    EXPECT_EQ(cols, 100);
    EXPECT_EQ(rows, 30);
    EXPECT_EQ(ConTakeResize(&cols, &rows), 0);
    cols = 0;
    ASSERT_EQ(ConGetSize(&cols, &rows), 0);
    EXPECT_EQ(cols, 100);
    const std::vector<uint8_t> cells = Cells("edge", 0x1F);
    ConWrite(96, 29, cells.data(), 4);
    EXPECT_EQ(console_->Text(96, 29, 4), "edge");
    EXPECT_EQ(console_->Attr(99, 29), 0x1F);
}

TEST_F(ConsoleTest, CursorTitleAndBellReachTheDevice) {
    ConSetCursorPos(5, 6);
    ConSetCursorSize(0);
    EXPECT_EQ(console_->Cursor().size, 0);
    ConSetCursorSize(100);
    EXPECT_EQ(console_->Cursor().size, 100);
    EXPECT_EQ(console_->Cursor().x, 5);
    EXPECT_EQ(console_->Cursor().y, 6);
    EXPECT_EQ(ConSetTitle("kq - /home"), 0);
    EXPECT_EQ(console_->Title(), "kq - /home");
    EXPECT_EQ(ConSetTitle(nullptr), -1);
    EXPECT_EQ(ConBell(), 0);
    EXPECT_EQ(console_->BellCount(), 1);
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
    // Each wait would last a minute without the wake; a key queued meanwhile ends it too.
    std::thread typist([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        console_->PushKey(KEY_EVENT(KC_F1, 0, KF_DOWN));
    });
    uint32_t event = 0;
    for (int round = 0; round < 100 && ConInput(&event) != 0; ++round) ConWaitInput(60000);
    typist.join();
    EXPECT_EQ(KEY_CODE(event), static_cast<uint32_t>(KC_F1));
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
}

}  // namespace
}  // namespace kq::console
