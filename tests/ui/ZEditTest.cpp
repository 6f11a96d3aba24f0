// ZEdit and the shared overwrite mode on the in-memory console.
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ui/ControlTestSupport.h"
#include "kq/edit.h"

namespace kq::ui::testing {
namespace {

constexpr int kTextColour = 13;
constexpr int kSelectionColour = 14;

constexpr uint32_t Shift(uint32_t code) {
    return Key(code, 0, KF_SHIFT);
}
constexpr uint32_t Ctrl(uint32_t code) {
    return Key(code, 0, KF_LCTRL);
}
constexpr uint32_t ShiftCtrl(uint32_t code) {
    return Key(code, 0, KF_SHIFT | KF_LCTRL);
}

class EditTest : public ControlTest {
  protected:
    // A width x height edit line at (2, 1) of the dialog holding text, the caret at its end.
    void OpenEdit(const char* text, uint32_t flags = 0, int width = 10, int height = 1) {
        edit = std::make_unique<ZEdit>();
        Place(*edit, text, 2, 1, width, height, flags);
        edit->SetCaret(static_cast<int>(std::string(text).size()));
    }
    std::string Text() const { return edit->GetTitle(); }
    std::string Shown() const { return Row(2, 1, 10); }
    std::pair<int, int> Selection() {
        int start = 0, end = 0;
        edit->GetSelection(&start, &end);
        return {start, end};
    }
    // The console cursor relative to the edit line.
    std::pair<int, int> CursorCell() const {
        return {console->Cursor().x - kDialogX - 2, console->Cursor().y - kDialogY - 1};
    }
    static std::string Clipboard() {
        std::string text(64, '\0');
        const int size = ClipBrdGet(text.data(), 64);
        return size <= 0 ? "<none>" : text.substr(0, static_cast<size_t>(size - 1));
    }

    std::unique_ptr<ZEdit> edit;
};

TEST_F(EditTest, TypingInsertsAtTheCaretAndInsertTogglesTheSharedOverwriteMode) {
    OpenEdit("held");
    Press({kLeft, kLeft});
    Type("ar");
    EXPECT_EQ(Text(), "hearld");
    EXPECT_EQ(CursorCell(), std::make_pair(4, 0));
    EXPECT_EQ(console->Cursor().size, 10);
    Press({kHome, Key(KC_INS)});
    EXPECT_EQ(console->Cursor().size, 100);
    Type("XYZWUVT");  // past the end overwriting becomes inserting
    EXPECT_EQ(Text(), "XYZWUVT");
}

TEST_F(EditTest, LongTextScrollsAndPasswordsShowStars) {
    OpenEdit("abcdefghijklmno");
    EXPECT_EQ(Shown(), "ghijklmno ");
    EXPECT_EQ(CursorCell(), std::make_pair(9, 0));
    Press({kHome});
    EXPECT_EQ(Shown(), "abcdefghij");
    EXPECT_EQ(CursorCell(), std::make_pair(0, 0));
    OpenEdit("secret", WF_PASSWORD);
    EXPECT_EQ(Shown(), "******    ");
}

TEST_F(EditTest, BackspaceAndDeleteRemoveOneCharacterAndCtrlArrowsMoveByWords) {
    const struct {
        int caret;
        uint32_t key;
        const char* text;
        int caretAfter;
    } cases[] = {
        {2, Key(KC_BACK), "acd", 1}, {0, Key(KC_BACK), "abcd", 0}, {4, Key(KC_BACK), "abc", 3},
        {2, Key(KC_DEL), "abd", 2},  {4, Key(KC_DEL), "abcd", 4},
    };
    for (const auto& c : cases) {
        OpenEdit("abcd");
        edit->SetCaret(c.caret);
        Press({c.key});
        EXPECT_EQ(Text(), c.text) << c.caret;
        EXPECT_EQ(edit->GetCaret(), c.caretAfter) << c.caret;
    }
    // At the start of the line Backspace has nothing to remove: it drops the selection only.
    edit->SetSelection(1, 2);
    edit->SetCaret(0);
    Press({Key(KC_BACK)});
    EXPECT_EQ(Text(), "abcd");
    EXPECT_EQ(Selection(), std::make_pair(-1, -1));
    EXPECT_EQ(AttrAt(3, 1), Colour(kTextColour));
    // Ctrl+Left and Ctrl+Right move by words: letters, digits and bytes from 128; '-' and spaces
    // are not word characters.
    OpenEdit("foo bar  x-\xE4y");
    const std::pair<uint32_t, int> steps[] = {
        {kHome, 0},           {Ctrl(KC_RIGHT), 3},  {Ctrl(KC_RIGHT), 7},
        {Ctrl(KC_RIGHT), 10}, {Ctrl(KC_RIGHT), 13}, {Ctrl(KC_LEFT), 11},
        {Ctrl(KC_LEFT), 9},   {Ctrl(KC_LEFT), 4},   {Ctrl(KC_LEFT), 0},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        Press({steps[i].first});
        EXPECT_EQ(edit->GetCaret(), steps[i].second) << "step " << i;
    }
}

TEST_F(EditTest, ShiftExtendsTheSelectionFromTheOldCaret) {
    const uint32_t sl = Shift(KC_LEFT), sr = Shift(KC_RIGHT), sh = Shift(KC_HOME);
    const struct {
        int caret;
        std::vector<uint32_t> keys;
        std::pair<int, int> selection;
    } cases[] = {
        {0, {sr, sr, sr}, {0, 2}},
        {4, {sr, sr, sh}, {0, 3}},  // back over the start flips the range
        {2, {sr, sl}, {-1, -1}},    // back to the anchor clears
        {0, {sh}, {0, -1}},         // a caret that does not move leaves an empty range
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        OpenEdit("hello world", 0, 20);
        edit->SetCaret(cases[i].caret);
        for (uint32_t key : cases[i].keys) Press({key});
        EXPECT_EQ(Selection(), cases[i].selection) << "case " << i;
    }
}

TEST_F(EditTest, SelectionIsShownAndTypingReplacesIt) {
    OpenEdit("hello");
    Press({kHome, Shift(KC_RIGHT), Shift(KC_RIGHT)});
    EXPECT_EQ(std::vector<uint8_t>({AttrAt(2, 1), AttrAt(3, 1), AttrAt(4, 1)}),
              std::vector<uint8_t>(
                  {Colour(kSelectionColour), Colour(kSelectionColour), Colour(kTextColour)}));
    SetOverwriteMode(true);
    OpenEdit("hello world", 0, 20);
    edit->SetCaret(0);
    Press({Shift(KC_END)});
    Type("bye");
    EXPECT_EQ(Text(), "bye");
}

// The password never reaches the clipboard; copying the empty range a Shift key without a caret
// move leaves used to empty the clipboard.
TEST_F(EditTest, CopyCutAndDeleteOfTheSelection) {
    OpenEdit("hello world");
    Press({kHome, ShiftCtrl(KC_RIGHT), Ctrl(KC_INS)});
    EXPECT_EQ(Clipboard(), "hello");
    EXPECT_EQ(Text(), "hello world");
    EXPECT_FALSE(OverwriteMode());  // copying does not toggle the mode
    Press({kEnd, ShiftCtrl(KC_LEFT), Shift(KC_DEL)});
    EXPECT_EQ(Clipboard(), "world");
    EXPECT_EQ(Text(), "hello ");
    ClipBrdPut("kept", 4);
    Press({kHome, ShiftCtrl(KC_RIGHT), Key(KC_DEL)});
    EXPECT_EQ(Text(), " ");
    Press({kEnd, Shift(KC_END)});
    EXPECT_EQ(Selection(), std::make_pair(1, 0));
    Press({ShiftCtrl(KC_INS)});
    EXPECT_EQ(Clipboard(), "kept");
    OpenEdit("secret", WF_PASSWORD);
    Press({kHome, Shift(KC_END), Ctrl(KC_INS), kHome, Shift(KC_END), Shift(KC_DEL)});
    EXPECT_EQ(Clipboard(), "kept");
    EXPECT_EQ(Text(), "");  // the cut still removes the text
}

// Regressions: the pasted text used to end up selected, so the next typed character deleted it;
// and a refused paste used to delete the selection before the fit was checked.
TEST_F(EditTest, PasteReplacesControlCharactersAndTheSelectionOrIsRefused) {
    const uint32_t paste = Shift(KC_INS);
    const struct {
        const char* clipboard;  // null: none
        const char* text;
        uint32_t flags;
        std::vector<uint32_t> keys;
        const char* result;
    } cases[] = {
        {"a\tb", "[]", 0, {kLeft, paste, CharKey('z')}, "[za b]"},
        {"XY", "hello world", 0, {kHome, ShiftCtrl(KC_RIGHT), paste, CharKey('z')}, "zXY world"},
        {"12345", "abcdef", WF_LIMIT, {paste}, "abcdef"},
        {"1234", "abcdef", WF_LIMIT, {paste}, "abcdef1234"},
        {"123456", "abcdefghi", WF_LIMIT, {kHome, Shift(KC_RIGHT), paste}, "abcdefghi"},
    };
    for (const auto& c : cases) {
        ClearClipboardForTesting();
        if (c.clipboard != nullptr)
            ClipBrdPut(c.clipboard, static_cast<int>(std::strlen(c.clipboard)));
        OpenEdit(c.text, c.flags);
        Press(c.keys);
        EXPECT_EQ(Text(), c.result) << c.result;
    }
    // Text pasted into the terminal arrives as one event, refused the same way, with a bell.
    const int bells = console->BellCount();
    OpenEdit("abcdef", WF_LIMIT);
    console->PushPaste("xyz\tw");
    Press({});
    EXPECT_EQ(Text(), "abcdef");
    EXPECT_EQ(console->BellCount(), bells + 1);
}

TEST_F(EditTest, TheCaretAndTheSelectionStayInsideTheTextAfterSetTitle) {
    // Regression: a caret left beyond the text by a SetTitle on a hidden edit line (which is not
    // drawn) used to index past the text on the next key.
    OpenEdit("hello world");
    edit->SetTitle("hi");
    EXPECT_EQ(edit->GetCaret(), 0);
    EXPECT_EQ(CursorCell(), std::make_pair(0, 0));
    edit->SetTitle("hello world");
    edit->SetCaret(11);
    edit->Show(false);
    edit->SetTitle("hi");
    edit->SetSelection(5, 8);
    EXPECT_EQ(edit->OnKey(CharKey('x')), 0);
    EXPECT_EQ(Text(), "xhi");
    edit->SetTitle("hi");
    edit->SetCaret(9);
    EXPECT_EQ(edit->OnKey(Key(KC_BACK)), 0);
    EXPECT_EQ(edit->OnKey(Key(KC_DEL)), 0);
    EXPECT_EQ(Text(), "i");
}

TEST(OverwriteModeTest, TogglesFromManyThreadsAreNotLost) {
    SetOverwriteMode(false);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 1000; ++i) ToggleOverwriteMode();
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_FALSE(OverwriteMode());
    EXPECT_TRUE(ToggleOverwriteMode());
    SetOverwriteMode(false);
}

}  // namespace
}  // namespace kq::ui::testing
