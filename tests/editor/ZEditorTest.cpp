// The editor window on the in-memory console: typing and saving, the close prompt, a save that
// fails or meets another program's change, and replace.
#include <filesystem>
#include <fstream>

#include "editor/ZEditor.h"
#include "kq/config.h"
#include "kq/editor.h"
#include "support/LanguageDesktopTest.h"

namespace kq::editor {
namespace {

using kq::ui::testing::CharKey;
using kq::ui::testing::kEnter;
using kq::ui::testing::kEsc;
using kq::ui::testing::Key;
using kq::ui::testing::kTab;
using kq::ui::testing::Letter;

class ZEditorTest : public kq::test::LanguageDesktopTest {
  protected:
    // Queues keys, then edits the file until the keys close the editor.
    int Edit(const std::string& path, const std::vector<uint32_t>& keys) {
        for (const uint32_t key : keys) console->PushKey(key);
        return ZEditFile(path.c_str(), 0, 0, -1, -1, 0);
    }
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    kq::test::TempFolder folder_{"kq-editor"};
};

TEST_F(ZEditorTest, TypesSavesAndClosesAskingOnlyAboutUnsavedChanges) {
    const std::string path = folder_.WriteFile("text", "abc\n");
    ASSERT_EQ(Edit(path, {CharKey('x'), kEnter, Key(KC_END), CharKey('!'), Key(KC_F2), kEsc}), 0);
    EXPECT_EQ(Read(path), "x\nabc!\n");
    // Esc at the question keeps the editor; "No" leaves without saving.
    ASSERT_EQ(Edit(path, {CharKey('z'), kEsc, kEsc, kEsc, Letter('n')}), 0);
    EXPECT_EQ(Read(path), "x\nabc!\n");
}

// Shift marks a block, Ctrl+C copies and Ctrl+X cuts it to the clipboard, Ctrl+V and Shift+Ins
// paste it, Ctrl+Y takes a line out, Ctrl+Right moves by words; AltGr types.
TEST_F(ZEditorTest, BlocksGoThroughTheClipboard) {
    const std::string path = folder_.WriteFile("text", "one two\nthree\ngone\n");
    const uint32_t shiftRight = Key(KC_RIGHT, 0, KF_SHIFT);
    ASSERT_EQ(Edit(path, {shiftRight,
                          shiftRight,
                          shiftRight,
                          Key('c', 0, KF_LCTRL),
                          Key(KC_END),
                          Key('v', 0, KF_LCTRL),
                          Key(KC_HOME),
                          shiftRight,
                          shiftRight,
                          shiftRight,
                          Key('x', 0, KF_LCTRL),
                          Key(KC_RIGHT, 0, KF_LCTRL),
                          CharKey('_'),
                          Key(KC_DOWN),
                          Key(KC_END),
                          Key(KC_INS, 0, KF_SHIFT),
                          Key(KC_DOWN),
                          Key('y', 0, KF_LCTRL),
                          CharKey('@', KF_LCTRL | KF_RALT),
                          Key(KC_F2),
                          kEsc}),
              0);
    EXPECT_EQ(Read(path), " twoone_\nthreeone\n@");  // '@' typed with AltGr (Ctrl and Alt)
}

TEST_F(ZEditorTest, AFailedSaveKeepsTheChangesAndTheTitle) {
    const std::string path = folder_.WriteFile("text", "abc");
    ZEditor editor;
    ASSERT_EQ(
        editor.Create(path.c_str(), ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 24), nullptr, WF_FOCUSABLE, 0),
        0);
    editor.Activate(true);
    Press({CharKey('z'), Key(KC_LEFT, 0, KF_SHIFT)});
    EXPECT_EQ(console->Attr(0, 0), ColGetPalette()[29]);  // the status line, then text and block
    EXPECT_EQ(console->Attr(1, 1), ColGetPalette()[30]);
    EXPECT_EQ(console->Attr(0, 1), ColGetPalette()[31]);
    console->PushKey(kEnter);  // closes the message
    EXPECT_FALSE(editor.Save(folder_.Path("missing/folder/text"), false));
    EXPECT_TRUE(editor.Document().Changed());
    EXPECT_EQ(std::string(editor.GetTitle()), path);
    // Another program changed the file meanwhile: the save asks, and "No" keeps its text.
    std::ofstream(path) << "changed elsewhere, longer";
    console->PushKey(Letter('n'));
    EXPECT_FALSE(editor.Save(path, true));
    EXPECT_EQ(Read(path), "changed elsewhere, longer");
    EXPECT_TRUE(editor.Document().Changed());
    // "Yes" at the close prompt (and over the vanished file) with a save that fails: the editor
    // stays, with its changes.
    std::filesystem::remove_all(folder_.root());
    for (const uint32_t key : {Letter('y'), Letter('y'), kEnter}) console->PushKey(key);
    EXPECT_EQ(editor.Destroy(), -1);
    EXPECT_TRUE(editor.IsAttached() && editor.Document().Changed());
    EXPECT_EQ(console->PendingInput(), 0u);
    console->PushKey(Letter('n'));
    editor.Destroy();
}

// A long line scrolls to keep the cursor in view; text pasted into the terminal is inserted,
// its line break splitting the line once.
TEST_F(ZEditorTest, LongLinesScrollAndTerminalPasteIsInserted) {
    const std::string path = folder_.WriteFile("text", std::string(100, 'a') + "b\n");
    ZEditor editor;
    ASSERT_EQ(
        editor.Create(path.c_str(), ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 24), nullptr, WF_FOCUSABLE, 0),
        0);
    editor.Activate(true);
    Press({Key(KC_END)});
    EXPECT_EQ(console->RowText(1).substr(78), "b ");
    EXPECT_EQ(console->Cursor().x, 79);  // after the 'b', on the first text row, in insert shape
    EXPECT_EQ(console->Cursor().y, 1);
    EXPECT_EQ(console->Cursor().size, 10);
    console->PushPaste("x\r\ny");
    Press({});
    EXPECT_EQ(editor.Document().Text(0).substr(100), "bx");
    EXPECT_EQ(editor.Document().Text(1), "y");
    console->PushKey(Letter('n'));
    editor.Destroy();
}

// Go to, search, the code page (UTF-16 refused), and save-as, which asks before it replaces
// another file.
TEST_F(ZEditorTest, DialogsGoSearchChangeTheCodePageAndSaveAs) {
    const std::string path = folder_.WriteFile("text", "one\ntwo\nthree\n");
    const std::string other = folder_.WriteFile("other", "keep");
    ZEditor editor;
    ASSERT_EQ(
        editor.Create(path.c_str(), ZRec(0, 0, 0, 0), ZRec(0, 0, 80, 24), nullptr, WF_FOCUSABLE, 0),
        0);
    editor.Activate(true);
    Press({Key(KC_F5), CharKey('3'), kEnter, Key(KC_F7, 0, KF_LALT)});  // nothing yet to find
    EXPECT_EQ(editor.CursorPosition(), (TextPosition{2, 0}));
    Press({Key(KC_F5), CharKey('1'), kEnter, Key(KC_F7), CharKey('W'), CharKey('o'), kEnter});
    EXPECT_EQ(editor.CursorPosition(), (TextPosition{1, 1}));
    Press({Key(KC_F8), CharKey('1'), CharKey('2'), CharKey('0'), CharKey('0'), kEnter, kEnter});
    EXPECT_NE(console->RowText(0).find("CP:437"), std::string::npos);
    Press({Key(KC_F8), CharKey('8'), CharKey('5'), CharKey('0'), kEnter});
    EXPECT_NE(console->RowText(0).find("CP:850"), std::string::npos);
    Press({CharKey('\x9B')});  // the cent sign typed in code page 437 is stored in the file's 850
    EXPECT_EQ(editor.Document().Text(1), "t\xBD");  // in place of the match "wo"
    const auto saveAs = [this](const std::string& name) {
        console->PushKey(Key(KC_F3));
        for (const char c : name) console->PushKey(CharKey(c));
    };
    saveAs(other);
    Press({kEnter, Letter('n')});
    EXPECT_EQ(Read(other), "keep");
    saveAs(folder_.Path("copy"));
    Press({kEnter});
    EXPECT_EQ(Read(folder_.Path("copy")), "one\nt\xBD\nthree\n");
    EXPECT_EQ(std::string(editor.GetTitle()), folder_.Path("copy"));
    editor.Destroy();
}

// Replace all ends, finds adjacent matches, and never finds its own replacement again, in both
// directions.
TEST_F(ZEditorTest, ReplaceAllEndsInBothDirections) {
    const std::string path = folder_.WriteFile("text", "xaa\naab\n");
    const auto replace = [](char search, std::string_view with, bool backward) {
        std::vector<uint32_t> keys{Key(KC_F6), CharKey(search), kTab};
        for (const char c : with) keys.push_back(CharKey(c));
        if (backward)
            keys.insert(keys.end(), {kTab, Key(KC_DOWN), CharKey(' ')});  // the box under "case"
        keys.insert(keys.end(), {kEnter, Letter('a')});
        return keys;
    };
    std::vector<uint32_t> keys = replace('a', "ba", false);
    keys.push_back(Key(KC_PGDN));
    const std::vector<uint32_t> back = replace('b', "bb", true);
    keys.insert(keys.end(), back.begin(), back.end());
    keys.insert(keys.end(), {Key(KC_F2), kEsc});
    ASSERT_EQ(Edit(path, keys), 0);
    EXPECT_EQ(Read(path), "xbbabba\nbbabbabb\n");
    const CfgSection section = CfgOpen("Viewer_Files");  // the texts are kept for next time
    char text[16] = {};
    EXPECT_TRUE(CfgQuerySz(section, "ReplaceString", text, sizeof text) == 0 &&
                std::string(text) == "bb");
    CfgClose(section);
}

}  // namespace
}  // namespace kq::editor
