// ZEdit: a one- or multi-row edit line over its whole w x h area. The text is the window title;
// the edit line adds a caret (index 0..length), a scroll offset (the first index shown) and an
// inclusive selection start..end (start -1: none). The process-wide OverwriteMode decides what
// a typed character does and the cursor's height.
//
// Keys: characters, Backspace, Delete, Home, End, Left/Right (with Ctrl by words), Shift with
// any of these extends the selection, Insert toggles OverwriteMode, Ctrl+Insert copies,
// Shift+Insert pastes, Shift+Delete cuts, text pasted into the terminal (KC_PASTE) is inserted
// as it came, line ends included. Other keys, Alt chords and every key of a
// WF_DISABLED edit line go to the owner. WF_LIMIT keeps the text within the field (no
// scrolling); WF_PASSWORD shows '*' and never copies to the clipboard.
//
// The class is public as the base of ZPrompt (kq/prompt.h), so that a host can construct the
// shell; its members are the library's own and are not exported.
#pragma once

#include <cstdint>
#include <string>

#include "kq/window.h"

class ZEdit : public ZWindow {
  public:
    int Draw() override;
    int Activate(bool on) override;
    int OnKey(uint32_t key) override;

    // Copies the selection's first and last index (start -1: none); either pointer may be null.
    // Returns 0.
    virtual int GetSelection(int* start, int* end);
    // An end of -1 or past the text's end selects to the end; a start of -1 (or below) clears
    // the selection. Repaints; returns 0.
    virtual int SetSelection(int start, int end);
    // Removes the selected characters and clears the selection; a caret beyond the selection's
    // start moves to it. 0, or -1 when nothing is selected.
    virtual int DeleteSelection();

    // Stores the caret (negative values become 0) and repaints; a caret beyond the text's end
    // goes back to 0 when drawn.
    void SetCaret(int caret);
    int GetCaret() const { return caret_; }
    // The index of the first character shown.
    int GetScroll() const { return scroll_; }

  protected:
    // For edit lines that draw themselves (the command line scrolls behind its prompt).
    void SetScroll(int scroll) { scroll_ = scroll; }
    void SetCaretQuietly(int caret) { caret_ = caret; }

  private:
    bool HasSelection() const { return selectionStart_ >= 0; }
    int Area() const { return Width() * Height(); }
    // Applies the rule that a caret beyond the text's end goes back to 0.
    void CheckCaret(int length);
    // Stores new text and repaints (the caret must already fit the new text).
    void StoreText(const std::string& text);
    void TypeCharacter(uint8_t character, bool ctrl);
    enum class KeyOutcome {
        kOwner,             // not an editing key: it goes to the owner
        kExtendSelection,   // Shift extends the selection to the moved caret, else it is cleared
        kSelectionSettled,  // the key already left the selection as it must be
    };
    // The editing keys that are not characters.
    KeyOutcome EditKey(uint32_t key);
    void CopySelection();
    void Paste();
    // Inserts text at the caret in place of the selection; refused with the bell, changing
    // nothing, when it does not fit a WF_LIMIT line.
    void InsertText(const std::string& pasted);
    void MoveWordLeft(const std::string& text);
    void MoveWordRight(const std::string& text);
    // After a key: extends the selection from oldCaret to the caret with Shift, else clears it.
    void UpdateSelection(int oldCaret, bool shift);
    int PassToOwner(uint32_t key);

    int caret_ = 0;
    int scroll_ = 0;
    int selectionStart_ = -1;
    int selectionEnd_ = -1;
};
