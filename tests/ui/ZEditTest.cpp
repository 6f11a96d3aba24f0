// ZEdit: typing in insert and overwrite mode, WF_LIMIT and WF_PASSWORD fields, scrolling, the
// cursor, caret moves by character and word, selection with Shift, the clipboard keys, and the
// keys that belong to the owner.
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "ControlTestSupport.h"
#include "ui/ZEdit.h"

namespace kq::ui::testing {
namespace {

constexpr int kTextColour = 13;
constexpr int kSelectionColour = 14;

constexpr uint32_t kShift = KF_SHIFT;
constexpr uint32_t kCtrl = KF_LCTRL;

class EditTest : public ControlTest {
  protected:
    // A 10 x 1 edit line at (2, 1) of the dialog holding text, the caret at its end.
    void OpenEdit(const char* text, uint32_t flags = 0, int width = 10, int height = 1) {
        Place(edit, text, 2, 1, width, height, flags);
        edit.SetCaret(static_cast<int>(std::string(text).size()));
    }
    std::string Text() const { return edit.GetTitle(); }
    std::string Shown(int width = 10, int row = 0) const { return Row(2, 1 + row, width); }
    std::pair<int, int> Selection() {
        int start = 0, end = 0;
        edit.GetSelection(&start, &end);
        return {start, end};
    }
    // The console cursor relative to the edit line.
    std::pair<int, int> CursorCell() const {
        return {console->Cursor().x - kDialogX - 2, console->Cursor().y - kDialogY - 1};
    }
    std::string Clipboard() const {
        const int size = ClipBrdGet(nullptr, 0);
        if (size <= 0) return "<none>";
        std::string text(static_cast<size_t>(size), '\0');
        ClipBrdGet(text.data(), size);
        text.resize(static_cast<size_t>(size - 1));
        return text;
    }

    ZEdit edit;
};

TEST_F(EditTest, TypedCharactersAreInsertedAtTheCaret) {
    OpenEdit("held");
    Press({Key(KC_LEFT), Key(KC_LEFT)});
    Type("ar");
    EXPECT_EQ(Text(), "hearld");
    EXPECT_EQ(edit.GetCaret(), 4);
    EXPECT_EQ(Shown(), "hearld    ");
    EXPECT_EQ(AttrAt(2, 1), Palette(kTextColour));
    EXPECT_EQ(CursorCell(), std::make_pair(4, 0));
    EXPECT_EQ(console->Cursor().size, 10);
}

TEST_F(EditTest, InsertTogglesTheSharedOverwriteMode) {
    OpenEdit("abc");
    Press({Key(KC_HOME), Key(KC_INS)});
    EXPECT_TRUE(OverwriteMode());
    EXPECT_EQ(console->Cursor().size, 100);
    Type("XY");
    EXPECT_EQ(Text(), "XYc");
    Type("ZW");  // past the end overwriting becomes inserting
    EXPECT_EQ(Text(), "XYZW");
    // Another edit line finds the mode as this one left it.
    ZEdit other;
    Place(other, "", 2, 3, 10, 1);
    EXPECT_EQ(console->Cursor().size, 100);
    Press({Key(KC_INS)});
    EXPECT_FALSE(OverwriteMode());
    EXPECT_EQ(console->Cursor().size, 10);
}

TEST_F(EditTest, FullLimitedFieldTakesNoMoreCharactersInInsertMode) {
    OpenEdit("0123456789", WF_LIMIT);
    EXPECT_EQ(edit.GetCaret(), 9);  // a full field keeps the caret on its last cell
    Press({Key(KC_HOME)});
    Type("ab");
    EXPECT_EQ(Text(), "0123456789");
    EXPECT_EQ(Shown(), "0123456789");
}

TEST_F(EditTest, FullLimitedFieldIsOverwrittenInOverwriteMode) {
    OpenEdit("0123456789", WF_LIMIT);
    SetOverwriteMode(true);
    Press({Key(KC_HOME), Key(KC_RIGHT)});
    Type("ab");
    EXPECT_EQ(Text(), "0ab3456789");
    Press({Key(KC_END)});
    Type("xyz");  // the last cell is overwritten again and again
    EXPECT_EQ(Text(), "0ab345678z");
}

TEST_F(EditTest, LongTextScrollsToKeepTheCaretVisible) {
    OpenEdit("abcdefghijklmno");
    EXPECT_EQ(Shown(), "ghijklmno ");
    EXPECT_EQ(edit.GetScroll(), 6);
    EXPECT_EQ(CursorCell(), std::make_pair(9, 0));
    Press({Key(KC_HOME)});
    EXPECT_EQ(Shown(), "abcdefghij");
    EXPECT_EQ(CursorCell(), std::make_pair(0, 0));
}

TEST_F(EditTest, MultiRowFieldFlowsTheTextOverItsRows) {
    OpenEdit("", 0, 5, 2);
    Type("abcdefg");
    EXPECT_EQ(Shown(5, 0), "abcde");
    EXPECT_EQ(Shown(5, 1), "fg   ");
    EXPECT_EQ(CursorCell(), std::make_pair(2, 1));
}

TEST_F(EditTest, PasswordFieldShowsStars) {
    OpenEdit("secret", WF_PASSWORD);
    EXPECT_EQ(Shown(), "******    ");
}

TEST_F(EditTest, BackspaceAndDeleteRemoveOneCharacter) {
    struct Case {
        const char* name;
        int caret;
        uint32_t key;
        const char* text;
        int caretAfter;
    };
    const Case cases[] = {
        {"backspace in the middle", 2, Key(KC_BACK), "acd", 1},
        {"backspace at the start", 0, Key(KC_BACK), "abcd", 0},
        {"backspace at the end", 4, Key(KC_BACK), "abc", 3},
        {"delete in the middle", 2, Key(KC_DEL), "abd", 2},
        {"delete at the end", 4, Key(KC_DEL), "abcd", 4},
    };
    for (const Case& removal : cases) {
        SCOPED_TRACE(removal.name);
        ZEdit line;
        Place(line, "abcd", 2, 1, 10, 1);
        line.SetCaret(removal.caret);
        Press({removal.key});
        EXPECT_EQ(std::string(line.GetTitle()), removal.text);
        EXPECT_EQ(line.GetCaret(), removal.caretAfter);
        line.Destroy();
    }
}

TEST_F(EditTest, CtrlLeftAndRightMoveByWords) {
    // Word characters: letters, digits and bytes from 128; '-' and spaces are not.
    OpenEdit("foo bar  x-\xE4y");
    struct Step {
        uint32_t key;
        int caret;
    };
    const Step steps[] = {
        {Key(KC_HOME), 0},          {Key(KC_RIGHT, kCtrl), 3},  {Key(KC_RIGHT, kCtrl), 7},
        {Key(KC_RIGHT, kCtrl), 10}, {Key(KC_RIGHT, kCtrl), 13}, {Key(KC_RIGHT, kCtrl), 13},
        {Key(KC_LEFT, kCtrl), 11},  {Key(KC_LEFT, kCtrl), 9},   {Key(KC_LEFT, kCtrl), 4},
        {Key(KC_LEFT, kCtrl), 0},   {Key(KC_LEFT, kCtrl), 0},   {Key(KC_RIGHT), 1},
        {Key(KC_RIGHT, kCtrl), 3},
    };
    for (size_t i = 0; i < std::size(steps); ++i) {
        Press({steps[i].key});
        EXPECT_EQ(edit.GetCaret(), steps[i].caret) << "step " << i;
    }
}

TEST_F(EditTest, ShiftExtendsTheSelectionFromTheOldCaret) {
    struct Case {
        const char* name;
        int caret;
        std::vector<uint32_t> keys;
        std::pair<int, int> selection;
    };
    const Case cases[] = {
        {"shift+right three times",
         0,
         {Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift)},
         {0, 2}},
        {"shift+home", 5, {Key(KC_HOME, kShift)}, {0, 4}},
        {"shift+end", 2, {Key(KC_END, kShift)}, {2, 10}},
        {"back over the start flips the range",
         4,
         {Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift), Key(KC_HOME, kShift)},
         {0, 3}},
        {"forward over the end flips the range",
         4,
         {Key(KC_LEFT, kShift), Key(KC_LEFT, kShift), Key(KC_END, kShift)},
         {4, 10}},
        {"shrinking from the end",
         2,
         {Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift), Key(KC_LEFT, kShift)},
         {2, 2}},
        {"back to the anchor clears", 2, {Key(KC_RIGHT, kShift), Key(KC_LEFT, kShift)}, {-1, -1}},
        {"shift+ctrl+right selects a word", 0, {Key(KC_RIGHT, kShift | kCtrl)}, {0, 4}},
        {"a caret that does not move leaves an empty range", 0, {Key(KC_HOME, kShift)}, {0, -1}},
        {"a key without shift clears",
         0,
         {Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift), Key(KC_LEFT)},
         {-1, -1}},
    };
    for (const Case& selectionCase : cases) {
        SCOPED_TRACE(selectionCase.name);
        ZEdit line;
        Place(line, "hello world", 2, 1, 20, 1);
        line.SetCaret(selectionCase.caret);
        for (uint32_t key : selectionCase.keys) Press({key});
        int start = 0, end = 0;
        line.GetSelection(&start, &end);
        EXPECT_EQ(std::make_pair(start, end), selectionCase.selection);
        line.Destroy();
    }
}

TEST_F(EditTest, SelectionIsShownOnlyWhileTheEditLineHasTheFocus) {
    OpenEdit("hello");
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift), Key(KC_RIGHT, kShift)});
    EXPECT_EQ(AttrAt(2, 1), Palette(kSelectionColour));
    EXPECT_EQ(AttrAt(3, 1), Palette(kSelectionColour));
    EXPECT_EQ(AttrAt(4, 1), Palette(kTextColour));
    ZEdit other;
    Place(other, "", 2, 3, 10, 1);
    EXPECT_EQ(AttrAt(2, 1), Palette(kTextColour));
    edit.Activate(true);
    EXPECT_EQ(AttrAt(2, 1), Palette(kSelectionColour));
}

TEST_F(EditTest, TypingReplacesTheSelection) {
    for (bool overwrite : {false, true}) {
        SCOPED_TRACE(overwrite ? "overwrite" : "insert");
        SetOverwriteMode(overwrite);
        ZEdit line;
        Place(line, "hello world", 2, 1, 20, 1);
        line.SetCaret(0);
        Press({Key(KC_END, kShift)});
        Type("bye");
        EXPECT_EQ(std::string(line.GetTitle()), "bye");
        line.Destroy();
    }
}

TEST_F(EditTest, CtrlWithACharacterInsertsNothing) {
    OpenEdit("abc");
    Press({CharKey('x', kCtrl)});
    EXPECT_EQ(Text(), "abc");
}

TEST_F(EditTest, CtrlInsertCopiesAndShiftDeleteCuts) {
    OpenEdit("hello world");
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift | kCtrl), Key(KC_INS, kCtrl)});
    EXPECT_EQ(Clipboard(), "hello");
    EXPECT_EQ(Text(), "hello world");
    EXPECT_FALSE(OverwriteMode());  // copying does not toggle the mode
    Press({Key(KC_END), Key(KC_LEFT, kShift | kCtrl), Key(KC_DEL, kShift)});
    EXPECT_EQ(Clipboard(), "world");
    EXPECT_EQ(Text(), "hello ");
    EXPECT_EQ(Selection(), std::make_pair(-1, -1));
    EXPECT_EQ(edit.GetCaret(), 6);
}

TEST_F(EditTest, DeleteWithASelectionRemovesItWithoutCopying) {
    ClipBrdPut("kept", 4);
    OpenEdit("hello world");
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift | kCtrl), Key(KC_DEL)});
    EXPECT_EQ(Text(), " world");
    EXPECT_EQ(Clipboard(), "kept");
}

TEST_F(EditTest, PasteReplacesControlCharactersAndLeavesTheCaretBeforeTheText) {
    ClipBrdPut("a\tb", 3);
    OpenEdit("[]");
    Press({Key(KC_LEFT), Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "[a b]");
    EXPECT_EQ(edit.GetCaret(), 1);
}

TEST_F(EditTest, PasteReplacesTheSelection) {
    ClipBrdPut("XY", 2);
    OpenEdit("hello world");
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift | kCtrl), Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "XY world");
    EXPECT_EQ(edit.GetCaret(), 0);
}

// Shift+Insert used to extend the selection from the caret before the paste, so that the pasted
// text ended up selected and the next typed character deleted it.
TEST_F(EditTest, PastedTextIsNotSelectedAfterwards) {
    ClipBrdPut("XY", 2);
    OpenEdit("hello world");
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift | kCtrl), Key(KC_INS, kShift)});
    EXPECT_EQ(Selection(), std::make_pair(-1, -1));
    Type("z");
    EXPECT_EQ(Text(), "zXY world");
}

TEST_F(EditTest, EmptyOrMissingClipboardPastesNothing) {
    OpenEdit("abc");
    Press({Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "abc");
    ClipBrdPut("", 0);
    Press({Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "abc");
}

TEST_F(EditTest, PasteThatDoesNotFitALimitedFieldDoesNothingButRing) {
    ClipBrdPut("12345", 5);
    OpenEdit("abcdef", WF_LIMIT);
    Press({Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "abcdef");
    // The same for text pasted into the terminal, which arrives as one event.
    console->PushPaste("xyz\tw");
    Press({});
    EXPECT_EQ(Text(), "abcdef");
    EXPECT_EQ(console->BellCount(), 2);
    ClipBrdPut("1234", 4);
    Press({Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "abcdef1234");
}

// The selection used to be deleted before the fit was checked, so a refused paste still lost
// the selected text.
TEST_F(EditTest, RefusedPasteKeepsTheSelection) {
    ClipBrdPut("123456", 6);
    OpenEdit("abcdefghi", WF_LIMIT);
    Press({Key(KC_HOME), Key(KC_RIGHT, kShift), Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "abcdefghi");
    EXPECT_EQ(Selection(), std::make_pair(0, 0));
    // Replacing five characters makes room.
    Press({Key(KC_HOME), Key(KC_END, kShift), Key(KC_LEFT, kShift), Key(KC_LEFT, kShift),
           Key(KC_LEFT, kShift), Key(KC_LEFT, kShift), Key(KC_INS, kShift)});
    EXPECT_EQ(Text(), "123456fghi");
}

TEST_F(EditTest, PasswordNeverReachesTheClipboard) {
    ClipBrdPut("kept", 4);
    OpenEdit("secret", WF_PASSWORD);
    Press({Key(KC_HOME), Key(KC_END, kShift), Key(KC_INS, kCtrl)});
    EXPECT_EQ(Clipboard(), "kept");
    Press({Key(KC_HOME), Key(KC_END, kShift), Key(KC_DEL, kShift)});
    EXPECT_EQ(Clipboard(), "kept");
    EXPECT_EQ(Text(), "");  // the cut still removes the text
}

// Copying the empty range that a Shift key without a caret move leaves used to empty the
// clipboard.
TEST_F(EditTest, CopyingAnEmptyRangeKeepsTheClipboard) {
    ClipBrdPut("kept", 4);
    OpenEdit("abc");
    Press({Key(KC_END, kShift)});
    EXPECT_EQ(Selection(), std::make_pair(3, 2));
    Press({Key(KC_INS, kCtrl | kShift)});
    EXPECT_EQ(Clipboard(), "kept");
}

TEST_F(EditTest, OtherKeysGoToTheOwner) {
    OpenEdit("abc");
    const std::vector<uint32_t> keys = {Key(KC_ENTER),        Key(KC_ESC),  Key(KC_TAB),
                                        Key(KC_UP),           Key(KC_PGDN), Key(KC_F3),
                                        CharKey('a', KF_LALT)};
    for (uint32_t key : keys) Press({key});
    EXPECT_EQ(dialog.keys, keys);
    EXPECT_EQ(Text(), "abc");
}

TEST_F(EditTest, DisabledEditLinePassesEveryKeyToTheOwner) {
    OpenEdit("abc", WF_DISABLED);
    Press({CharKey('x'), Key(KC_BACK), Key(KC_INS)});
    EXPECT_EQ(Text(), "abc");
    EXPECT_FALSE(OverwriteMode());
    EXPECT_EQ(dialog.keys.size(), 3u);
}

TEST_F(EditTest, OwnersResultIsReturned) {
    OpenEdit("abc");
    dialog.keyResult = 5;
    EXPECT_EQ(edit.OnKey(Key(KC_ENTER)), 5);
    EXPECT_EQ(edit.OnKey(CharKey('x')), 0);
}

TEST_F(EditTest, SetSelectionNormalisesItsRange) {
    struct Case {
        int start, end;
        std::pair<int, int> stored;
    };
    const Case cases[] = {
        {0, -1, {0, 4}}, {1, 3, {1, 3}}, {2, 5, {2, 4}}, {2, 99, {2, 4}}, {-1, 3, {-1, -1}},
    };
    OpenEdit("hello");
    for (const Case& range : cases) {
        SCOPED_TRACE(std::to_string(range.start) + ".." + std::to_string(range.end));
        edit.SetSelection(range.start, range.end);
        EXPECT_EQ(Selection(), range.stored);
    }
}

TEST_F(EditTest, DeleteSelectionRemovesTheRangeAndMovesTheCaret) {
    OpenEdit("hello world", 0, 20);
    EXPECT_EQ(edit.DeleteSelection(), -1);
    edit.SetSelection(2, 6);
    EXPECT_EQ(edit.DeleteSelection(), 0);
    EXPECT_EQ(Text(), "heorld");
    EXPECT_EQ(edit.GetCaret(), 2);
    EXPECT_EQ(Selection(), std::make_pair(-1, -1));
    EXPECT_EQ(Shown(12), "heorld      ");
}

TEST_F(EditTest, CaretBeyondAShortenedTextGoesBackToTheStart) {
    OpenEdit("hello world");
    edit.SetTitle("hi");
    EXPECT_EQ(edit.GetCaret(), 0);
    EXPECT_EQ(CursorCell(), std::make_pair(0, 0));
}

// A caret left beyond the text by a SetTitle on a hidden edit line (which is not drawn) used to
// index past the text on the next key.
TEST_F(EditTest, KeysAfterTheTextShrankWhileHiddenStayInsideIt) {
    OpenEdit("hello world");
    edit.Show(false);
    edit.SetTitle("hi");
    edit.SetSelection(5, 8);
    EXPECT_EQ(edit.OnKey(CharKey('x')), 0);
    EXPECT_EQ(Text(), "xhi");
    edit.SetTitle("hi");
    edit.SetCaret(9);
    EXPECT_EQ(edit.OnKey(Key(KC_BACK)), 0);
    EXPECT_EQ(edit.OnKey(Key(KC_DEL)), 0);
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
