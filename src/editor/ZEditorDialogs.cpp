// The editor's dialogs: go to a line, the code page, save as, search and replace.
#include <algorithm>
#include <cstdlib>

#include "editor/ZEditor.h"
#include "fs/FsSave.h"
#include "kq/edit.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "ui/Z3State.h"
#include "ui/ZDialog.h"

using kq::editor::TextPosition;

namespace {

std::string ControlText(const ZDialog& dialog, int id) {
    const char* text = dialog.GetControlText(id);
    return text != nullptr ? text : "";
}

void SelectAll(ZDialog& dialog, int id) {
    if (auto* edit = dynamic_cast<ZEdit*>(dialog.GetControl(id))) edit->SetSelection(0, -1);
}

void SetBox(ZDialog& dialog, int id, bool on) {
    if (auto* box = dynamic_cast<Z3State*>(dialog.GetControl(id))) box->SetState(on ? 1 : 0);
}

bool BoxState(ZDialog& dialog, int id, bool fallback) {
    auto* box = dynamic_cast<Z3State*>(dialog.GetControl(id));
    return box != nullptr ? box->GetState() == 1 : fallback;
}

}  // namespace

void ZEditor::GoToDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_GOTO, this, 0) != 0) return;
    const int result = dialog.Run();
    const long long line = std::strtoll(ControlText(dialog, IDC_LINE_NUMBER).c_str(), nullptr, 10);
    dialog.Destroy();
    if (result != 1) return;
    cursor_.line = std::clamp<int64_t>(line - 1, 0, Document().LineCount() - 1);
}

void ZEditor::CodePageDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_CODE_PAGE, this, 0) != 0) return;
    dialog.SetControlText(IDC_CODE_PAGE, std::to_string(codePage_).c_str());
    SelectAll(dialog, IDC_CODE_PAGE);
    const int result = dialog.Run();
    const long long chosen = std::strtoll(ControlText(dialog, IDC_CODE_PAGE).c_str(), nullptr, 10);
    dialog.Destroy();
    if (result == 1) {
        // The editor's text is one byte a character: UTF-16 cannot be edited as such.
        if (chosen > 0 && chosen <= 0xFFFF && chosen != 1200 && chosen != 1201 &&
            UCptoUc(static_cast<int>(chosen), nullptr, nullptr, 0) == 0) {
            SetCodePage(static_cast<int>(chosen));
        } else {
            Tell(IDS_CODE_PAGE_REFUSED, 35);
        }
    }
    Redraw();
}

void ZEditor::SaveAsDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_SAVE_AS, this, 0) != 0) return;
    dialog.SetControlText(IDC_NAME, GetTitle());
    SelectAll(dialog, IDC_NAME);
    const int result = dialog.Run();
    const std::string path = ControlText(dialog, IDC_NAME);
    dialog.Destroy();
    if (result != 1 || path.empty()) return;
    // Another file of that name is not replaced unasked.
    if (path != GetTitle() && kq::fs::StampOf(path.c_str()).exists &&
        Ask(IDS_REPLACE_EXISTING, MB_BUTTON_YES | MB_BUTTON_NO, MB_BUTTON_NO, {path}) !=
            MB_BUTTON_YES) {
        return;
    }
    Save(path, path == GetTitle());
}

bool ZEditor::FindFrom(TextPosition from, bool backward, TextPosition& found) {
    std::string pattern = search_;
    if (pattern.empty()) return false;
    const auto length = static_cast<int64_t>(pattern.size());
    if (!caseSensitive_) UUpCase(pattern.data(), static_cast<int>(length));
    const auto& document = Document();
    for (int64_t line = from.line; line >= 0 && line < document.LineCount();
         line += backward ? -1 : 1) {
        std::string text = ToConsole(document.Text(line));
        if (!caseSensitive_) UUpCase(text.data(), static_cast<int>(text.size()));
        const auto size = static_cast<int64_t>(text.size());
        if (!backward) {
            const int64_t start = line == from.line ? from.offset : 0;
            const size_t hit =
                start <= size ? text.find(pattern, static_cast<size_t>(start)) : std::string::npos;
            if (hit != std::string::npos) {
                found = {line, static_cast<int64_t>(hit)};
                return true;
            }
        } else {
            const int64_t last = std::min(line == from.line ? from.offset : size, size - length);
            const size_t hit =
                last >= 0 ? text.rfind(pattern, static_cast<size_t>(last)) : std::string::npos;
            if (hit != std::string::npos) {
                found = {line, static_cast<int64_t>(hit)};
                return true;
            }
        }
    }
    return false;
}

void ZEditor::ShowMatch(TextPosition at, int64_t length) {
    const TextPosition before = cursor_;
    cursor_ = at;
    document_.MarkBlock(at, {at.line, at.offset + length});
    Settle(before, BlockRule::kKeep);
}

bool ZEditor::Search(bool backward) {
    TextPosition found;
    const TextPosition from{cursor_.line, cursor_.offset + (backward ? -1 : 1)};
    if (!FindFrom(from, backward, found)) return false;
    ShowMatch(found, static_cast<int64_t>(search_.size()));
    return true;
}

void ZEditor::SearchDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_SEARCH, this, 0) != 0) return;
    dialog.SetControlText(IDC_SEARCH_TEXT, search_.c_str());
    SelectAll(dialog, IDC_SEARCH_TEXT);
    SetBox(dialog, IDC_CASE_SENSITIVE, caseSensitive_);
    SetBox(dialog, IDC_BACKWARD, backward_);
    const int result = dialog.Run();
    if (result == 1) {
        search_ = ControlText(dialog, IDC_SEARCH_TEXT);
        caseSensitive_ = BoxState(dialog, IDC_CASE_SENSITIVE, caseSensitive_);
        backward_ = BoxState(dialog, IDC_BACKWARD, backward_);
    }
    dialog.Destroy();
    if (result == 1 && !search_.empty() && !Search(backward_)) Tell(IDS_TEXT_NOT_FOUND, 25);
}

// Replacing goes on from the end of the text just put in (forward) or from before the replaced
// match (backward), so a replacement that holds the search text is never found again and the
// loop always ends; adjacent matches are all found.
void ZEditor::ReplaceDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_REPLACE, this, 0) != 0) return;
    dialog.SetControlText(IDC_NAME, search_.c_str());
    dialog.SetControlText(IDC_REPLACE_TEXT, replace_.c_str());
    SelectAll(dialog, IDC_NAME);
    SelectAll(dialog, IDC_REPLACE_TEXT);
    SetBox(dialog, IDC_CASE_SENSITIVE, caseSensitive_);
    SetBox(dialog, IDC_BACKWARD, backward_);
    const int result = dialog.Run();
    if (result == 1) {
        search_ = ControlText(dialog, IDC_NAME);
        replace_ = ControlText(dialog, IDC_REPLACE_TEXT);
        caseSensitive_ = BoxState(dialog, IDC_CASE_SENSITIVE, caseSensitive_);
        backward_ = BoxState(dialog, IDC_BACKWARD, backward_);
    }
    dialog.Destroy();
    if (result != 1 || search_.empty()) return;

    bool all = false;
    TextPosition from{cursor_.line, cursor_.offset + (backward_ ? -1 : 1)};
    TextPosition found;
    while (FindFrom(from, backward_, found)) {
        ShowMatch(found, static_cast<int64_t>(search_.size()));
        int answer = MB_BUTTON_YES;
        if (!all) {
            answer = Ask(IDS_REPLACE_THIS,
                         MB_BUTTON_CANCEL | MB_BUTTON_YES | MB_BUTTON_ALL | MB_BUTTON_SKIP,
                         MB_BUTTON_YES);
        }
        if (answer == MB_BUTTON_ALL) all = true;
        if (answer != MB_BUTTON_YES && answer != MB_BUTTON_ALL && answer != MB_BUTTON_SKIP) return;
        if (answer == MB_BUTTON_SKIP) {
            from = {found.line, found.offset + (backward_ ? -1 : 1)};
            continue;
        }
        InsertFromConsole(replace_);  // the match is the block: it goes first
        from = backward_ ? TextPosition{found.line, found.offset - 1} : cursor_;
        Settle(cursor_, BlockRule::kDrop);
    }
    if (!all) Tell(IDS_TEXT_NOT_FOUND, 25);
}
