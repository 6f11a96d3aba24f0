// The editor window: one text file in memory, its painting, keys, block and clipboard, the
// dialogs, and the close prompt that guards unsaved changes. ZEditFile (kq/editor.h) builds one,
// runs it and closes it.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "editor/EditorDocument.h"
#include "fs/FsSave.h"
#include "kq/window.h"
#include "ui/ToolLabels.h"

class ZEditor : public ZWindow {
  public:
    ZEditor();
    ~ZEditor() override;

    int Draw() override;
    // Creates the window and loads the file named by the title; -1 (after a message saying
    // why, except when it cannot be opened at all) when it cannot be edited.
    int Create(const char* title, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
               int id) override;
    // Asks about unsaved changes first; -1 when the editor stays open.
    int Destroy() override;
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;
    int OnCommand(int id) override;
    int OnScreenResize(int width, int height) override;

    void FollowDesktop(bool follow) { followDesktop_ = follow; }
    bool OpenFailed() const { return openFailed_; }
    const kq::editor::EditorDocument& Document() const { return document_; }
    kq::editor::TextPosition CursorPosition() const { return cursor_; }

    // Saves to path; false (after a message) when the text is not saved, and then the changes
    // stay. askIfChanged asks first when another program changed the file since it was read.
    bool Save(const std::string& path, bool askIfChanged);
    // Writes changed text beside the file (its name and ".kq-unsaved") when the editor must go
    // without the user's answer.
    void KeepUnsavedCopy();
    // Search with the current text and case option from the cursor (one byte past it forward,
    // one before it backward); false when not found. A match is marked and shown.
    bool Search(bool backward);

  private:
    enum class BlockRule { kDrop, kExtend, kKeep, kNone };
    // The cursor and scrolling steps every handled key ends with.
    void Settle(kq::editor::TextPosition before, BlockRule rule);
    void MoveLines(int64_t lines);
    // The console cursor on the text cursor, its size by the insert/overwrite state.
    void PlaceCursor();
    void InsertFromConsole(const std::string& text);
    void CopyBlock();
    void Paste(const std::string& text);
    void PasteClipboard();
    void DeleteBlock();
    int Ask(int textId, uint32_t buttons, int defaultButton,
            std::initializer_list<std::string_view> texts = {});
    void Tell(int textId, int width, std::initializer_list<std::string_view> texts = {});
    // The file's code page, and the Unicode value of each of its bytes for painting (read once
    // per change, not at every paint).
    void SetCodePage(int codePage);
    std::string ToFile(const std::string& consoleText) const;
    std::string ToConsole(const std::string& fileText) const;
    int TextRows() const { return Height() - 2; }

    // Dialogs (ZEditorDialogs.cpp).
    void GoToDialog();
    void CodePageDialog();
    void SaveAsDialog();
    void SearchDialog();
    void ReplaceDialog();
    // The first match at or after from (forward), or ending at or before from (backward).
    bool FindFrom(kq::editor::TextPosition from, bool backward, kq::editor::TextPosition& found);
    void ShowMatch(kq::editor::TextPosition at, int64_t length);

    kq::editor::EditorDocument document_;
    kq::editor::TextPosition cursor_;
    int64_t top_ = 0;
    int64_t horizontal_ = 0;
    kq::ui::ToolLabels labels_;
    std::string search_;
    std::string replace_;
    bool caseSensitive_ = false;
    bool backward_ = false;
    int codePage_ = 0;
    std::array<char32_t, 256> characters_{};
    int consoleCodePage_ = 0;
    kq::fs::FileStamp stamp_;
    bool followDesktop_ = false;
    bool openFailed_ = false;
    std::vector<uint16_t> wide_;
};
