// The editor window: loading, painting, keys, the block and clipboard, saving and closing, and
// the exported entry point.
#include "editor/ZEditor.h"

#include <malloc.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

#include "console/Console.h"
#include "console/SignalWatch.h"
#include "kq/config.h"
#include "kq/editor.h"
#include "kq/keys.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "ui/LanguageTexts.h"
#include "ui/OverwriteMode.h"
#include "ui/ToolLabels.h"
#include "ui/WorkArea.h"
#include "viewer/ViewerText.h"

using kq::editor::EditorDocument;
using kq::editor::LineEnding;
using kq::editor::TextPosition;

namespace {

constexpr int kTabSize = 8;
constexpr int kStatusColour = 29;
constexpr int kTextColour = 30;
constexpr int kBlockColour = 31;
constexpr int kTextLimit = 512;

uint8_t Palette(int index) {
    return ColGetPalette()[index];
}

// The search and replace strings, shared with the viewer through the settings.
std::string StoredText(const char* name) {
    const CfgSection section = CfgOpen("Viewer_Files");
    char text[kTextLimit] = {};
    const bool found = section != 0 && CfgQuerySz(section, name, text, sizeof text) == 0;
    if (section != 0) CfgClose(section);
    return found ? text : "";
}

// One-byte text from one code page to another, byte for byte ('?' where the target lacks a
// character); unchanged when the pages are the same or the system cannot convert them.
std::string Recode(const std::string& text, int from, int to) {
    if (from == to || text.empty()) return text;
    std::vector<uint16_t> units(text.size());
    std::string out(text.size(), '?');
    const int count = static_cast<int>(text.size());
    if (UCptoUc(from, text.data(), units.data(), count) != 0 ||
        UUctoCp(to, units.data(), out.data(), count) != 0) {
        return text;
    }
    return out;
}

char EndingLetter(LineEnding ending) {
    return ending == LineEnding::kCrLf ? 'D' : ending == LineEnding::kNul ? 'Z' : 'U';
}

}  // namespace

ZEditor::ZEditor() : consoleCodePage_(UGetConCp()) {
    SetCodePage(consoleCodePage_);
}

ZEditor::~ZEditor() = default;

int ZEditor::Create(const char* title, ZRec pos, ZRec size, ZWindow* parent, uint32_t flags,
                    int id) {
    search_ = StoredText("SearchString");
    replace_ = StoredText("ReplaceString");
    ZWindow::Create(title, pos, size, parent, flags, id);
    kq::editor::LoadedText text;
    int error = 0;
    switch (kq::editor::LoadText(title, text, error)) {
        case kq::editor::LoadStatus::kLoaded:
            document_.Reset(std::move(text.lines), text.ending);
            stamp_ = text.stamp;
            PlaceCursor();
            return 0;
        case kq::editor::LoadStatus::kCannotOpen:
            openFailed_ = true;
            return -1;
        case kq::editor::LoadStatus::kTooLarge:
            Tell(IDS_FILE_TOO_LARGE, 40);
            return -1;
        case kq::editor::LoadStatus::kReadFailed:
            Tell(IDS_CANNOT_READ_FILE, 50, {title, std::strerror(error)});
            return -1;
    }
    return -1;
}

void ZEditor::SetCodePage(int codePage) {
    codePage_ = codePage;
    characters_ = kq::viewer::ByteCharacters(codePage);
}

std::string ZEditor::ToFile(const std::string& consoleText) const {
    return Recode(consoleText, consoleCodePage_, codePage_);
}

std::string ZEditor::ToConsole(const std::string& fileText) const {
    return Recode(fileText, codePage_, consoleCodePage_);
}

int ZEditor::Draw() {
    const int width = Width();
    const int height = Height();
    if (width <= 0 || height <= 0) return 0;
    const std::array<char32_t, 256>& characters = characters_;
    wide_.assign(static_cast<size_t>(width) * height, u' ');
    std::vector<uint8_t>& attributes = Attrs();
    std::fill(attributes.begin(), attributes.end(), Palette(kTextColour));
    const auto put = [&](int row, int64_t column, char32_t code, bool marked) {
        if (column < horizontal_ || column >= horizontal_ + width) return;
        const size_t cell =
            static_cast<size_t>(row) * width + static_cast<size_t>(column - horizontal_);
        wide_[cell] = code > 0xFFFF ? u'?' : static_cast<uint16_t>(code);
        if (marked) attributes[cell] = Palette(kBlockColour);
    };
    for (int row = 1; row < height && top_ + row - 1 < document_.LineCount(); ++row) {
        const int64_t line = top_ + row - 1;
        const std::string& text = document_.Text(line);
        int64_t column = 0;
        for (int64_t offset = 0;
             offset < static_cast<int64_t>(text.size()) && column < horizontal_ + width; ++offset) {
            const bool marked = document_.InBlock({line, offset});
            const auto byte = static_cast<uint8_t>(text[static_cast<size_t>(offset)]);
            if (byte == '\t') {
                const int64_t next = (column / kTabSize + 1) * kTabSize;
                for (; column < next; ++column) put(row, column, U' ', marked);
            } else {
                put(row, column++, characters[byte], marked);
            }
        }
        // A block that goes on past this line's end marks the rest of the row.
        if (document_.InBlock({line, static_cast<int64_t>(text.size())})) {
            for (; column < horizontal_ + width; ++column) put(row, column, U' ', true);
        }
    }
    std::vector<uint8_t>& chars = Chars();
    if (UUctoCp(consoleCodePage_, wide_.data(), reinterpret_cast<char*>(chars.data()),
                static_cast<int>(chars.size())) != 0) {
        std::fill(chars.begin(), chars.end(), static_cast<uint8_t>('?'));
    }

    std::string status(static_cast<size_t>(width), ' ');
    const auto field = [&status, width](int column, const std::string& text) {
        for (size_t i = 0; i < text.size(); ++i) {
            const int64_t at = static_cast<int64_t>(column) + static_cast<int64_t>(i);
            if (at >= 0 && at < width) status[static_cast<size_t>(at)] = text[i];
        }
    };
    const std::string title = GetTitle();
    field(0, kq::ui::StatusTitle("Edit: ", title, width));
    field(width - 27, std::string(1, EndingLetter(document_.FileEnding())));
    if (document_.Changed()) field(width - 28, "*");
    field(width - 35, "CP:" + std::to_string(codePage_));
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, "L:%5lld/%lld", static_cast<long long>(cursor_.line + 1),
                  static_cast<long long>(document_.LineCount()));
    field(width - 25, numbers);
    const int64_t column =
        kq::editor::DisplayColumn(document_.Text(cursor_.line), cursor_.offset, kTabSize);
    std::snprintf(numbers, sizeof numbers, "C:%4lld", static_cast<long long>(column + 1));
    field(width - 11, numbers);
    PutText(0, 0, status, Palette(kStatusColour));
    for (int x = 0; x < width; ++x) attributes[static_cast<size_t>(x)] = Palette(kStatusColour);
    return 0;
}

int ZEditor::Destroy() {
    if (!IsAttached()) return 0;
    // Esc or any way out of the question other than "no" keeps the editor and its changes.
    if (document_.Changed()) {
        const int answer =
            Ask(IDS_SAVE_CHANGES, MB_BUTTON_YES | MB_BUTTON_NO | MB_BUTTON_RETURN, MB_BUTTON_YES);
        if (answer != MB_BUTTON_YES && answer != MB_BUTTON_NO) return -1;
        if (answer == MB_BUTTON_YES && !Save(GetTitle(), true)) return -1;
    }
    if (ZWindow::Destroy() != 0) return -1;
    const CfgSection section = CfgOpen("Viewer_Files");
    if (section != 0) {
        CfgSetSz(section, "SearchString", search_.c_str());
        CfgSetSz(section, "ReplaceString", replace_.c_str());
        CfgClose(section);
    }
    labels_.Release();
    return 0;
}

int ZEditor::Activate(bool on) {
    if (!on) {
        Show(false);
        return ZWindow::Activate(false);
    }
    ZDesktop::SetTitle(GetTitle());
    labels_.Show(IDS_KEYBAR_EDITOR, IDS_KEYBAR_EDITOR_SHIFT, IDS_KEYBAR_EDITOR_ALT);
    return ZWindow::Activate(true);
}

int ZEditor::OnScreenResize(int width, int height) {
    if (!followDesktop_) return ZWindow::OnScreenResize(width, height);
    const ZRec rect = kq::ui::WorkAreaWithin(width, height);
    SetPos(rect, rect);
    Settle(cursor_, BlockRule::kKeep);
    return 0;
}

int ZEditor::Ask(int textId, uint32_t buttons, int defaultButton,
                 std::initializer_list<std::string_view> texts) {
    const std::string text = kq::ui::FormatTexts(kq::ui::LoadLanguageText(textId), texts);
    const int width =
        std::clamp<int>(static_cast<int>(text.size()) + 6, 50, std::max(50, Width() - 4));
    return ZMessageBox(this, ZRec(-1, -1, 0, 0), ZRec(0, 0, static_cast<int16_t>(width), 6), "",
                       text.c_str(), buttons, defaultButton, WF_DEFAULT);
}

void ZEditor::Tell(int textId, int width, std::initializer_list<std::string_view> texts) {
    const std::string text = kq::ui::FormatTexts(kq::ui::LoadLanguageText(textId), texts);
    const int shown =
        std::clamp<int>(static_cast<int>(text.size()) + 6, width, std::max(width, Width() - 4));
    const int rows = static_cast<int>(text.size()) / std::max(shown - 5, 1) + 5;
    ZMessageBox((GetFlags() & WF_VISIBLE) != 0 ? this : nullptr, ZRec(-1, -1, 0, 0),
                ZRec(0, 0, static_cast<int16_t>(shown), static_cast<int16_t>(rows)), "",
                text.c_str(), MB_BUTTON_OK, MB_BUTTON_OK, WF_DEFAULT);
}

bool ZEditor::Save(const std::string& path, bool askIfChanged) {
    // Another program's change since the file was read is not overwritten unasked.
    if (askIfChanged && path == GetTitle() && stamp_.exists &&
        !(kq::fs::StampOf(path.c_str()) == stamp_) &&
        Ask(IDS_CHANGED_ON_DISK, MB_BUTTON_YES | MB_BUTTON_NO | MB_BUTTON_RETURN, MB_BUTTON_NO) !=
            MB_BUTTON_YES) {
        return false;
    }
    const kq::fs::SaveResult result = kq::editor::SaveLines(path.c_str(), document_.Lines());
    if (result.error != 0) {
        if (result.keptCopy.empty()) {
            Tell(IDS_SAVE_FAILED, 50, {path, std::strerror(result.error)});
        } else {
            Tell(IDS_SAVE_KEPT_COPY, 50, {path, std::strerror(result.error), result.keptCopy});
        }
        return false;
    }
    SetTitle(path.c_str());
    ZDesktop::SetTitle(path.c_str());
    stamp_ = kq::fs::StampOf(path.c_str());
    document_.SetChanged(false);
    Redraw();
    return true;
}

void ZEditor::KeepUnsavedCopy() {
    if (!document_.Changed()) return;
    const std::string copy = std::string(GetTitle()) + ".kq-unsaved";
    kq::editor::SaveLines(copy.c_str(), document_.Lines());
}

void ZEditor::MoveLines(int64_t lines) {
    const std::string& before = document_.Text(cursor_.line);
    const int64_t column = kq::editor::DisplayColumn(before, cursor_.offset, kTabSize);
    cursor_.line = std::clamp<int64_t>(cursor_.line + lines, 0, document_.LineCount() - 1);
    cursor_.offset = kq::editor::OffsetForColumn(document_.Text(cursor_.line), column, kTabSize);
}

void ZEditor::Settle(TextPosition before, BlockRule rule) {
    cursor_ = document_.Clamp(cursor_);
    switch (rule) {
        case BlockRule::kExtend:
            if (!document_.HasBlock()) {
                document_.MarkBlock(before, cursor_);
            } else if (document_.BlockStart() == before) {
                document_.MarkBlock(cursor_, document_.BlockEnd());
            } else {
                document_.MarkBlock(document_.BlockStart(), cursor_);
            }
            break;
        case BlockRule::kDrop:
            document_.DropBlock();
            break;
        case BlockRule::kKeep:
        case BlockRule::kNone:
            break;
    }
    const int64_t column =
        kq::editor::DisplayColumn(document_.Text(cursor_.line), cursor_.offset, kTabSize);
    if (column < horizontal_) horizontal_ = column;
    if (column >= horizontal_ + Width()) horizontal_ = column - Width() + 1;
    if (cursor_.line > top_ + Height() - 2) top_ = cursor_.line - Height() + 2;
    if (cursor_.line < top_) top_ = cursor_.line;
    top_ = std::max<int64_t>(top_, 0);
    PlaceCursor();
    Redraw();
}

void ZEditor::PlaceCursor() {
    const int64_t column =
        kq::editor::DisplayColumn(document_.Text(cursor_.line), cursor_.offset, kTabSize);
    SetCursor(ZRec(static_cast<int16_t>(column - horizontal_),
                   static_cast<int16_t>(cursor_.line - top_ + 1), 0,
                   static_cast<int16_t>(kq::ui::OverwriteMode() ? 100 : 10)));
}

void ZEditor::CopyBlock() {
    if (!document_.HasBlock()) return;
    const std::string text =
        ToConsole(document_.Copy(document_.BlockStart(), document_.BlockEnd()));
    ClipBrdPut(text.data(), static_cast<int>(text.size()));
}

void ZEditor::DeleteBlock() {
    if (!document_.HasBlock()) return;
    cursor_ = document_.Erase(document_.BlockStart(), document_.BlockEnd());
    document_.DropBlock();
}

void ZEditor::InsertFromConsole(const std::string& text) {
    DeleteBlock();
    cursor_ = document_.Insert(cursor_, ToFile(text));
}

void ZEditor::Paste(const std::string& text) {
    if (text.empty()) return;
    InsertFromConsole(text);
}

void ZEditor::PasteClipboard() {
    const int size = ClipBrdGet(nullptr, 0);
    if (size <= 0) return;
    std::string text(static_cast<size_t>(size), '\0');
    ClipBrdGet(text.data(), size);
    text.resize(std::strlen(text.c_str()));
    Paste(text);
}

int ZEditor::OnKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    const uint32_t code = KEY_CODE(key);
    const auto character = static_cast<uint8_t>(KEY_CHAR(key));
    const bool ctrl = (flags & KF_CTRL) != 0;
    const bool alt = (flags & KF_ALT) != 0;
    const bool shift = (flags & KF_SHIFT) != 0;
    const TextPosition before = cursor_;
    const BlockRule moveRule = shift ? BlockRule::kExtend
                               : alt ? BlockRule::kKeep
                                     : BlockRule::kDrop;

    if (code == KC_PASTE) {
        Paste(ConTakePaste());
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    // Typed text, AltGr characters included (they come with both Ctrl and Alt held).
    if (character == '\t' || (character >= 32 && (!(ctrl || alt) || (ctrl && alt)))) {
        DeleteBlock();
        const std::string typed = ToFile(std::string(1, static_cast<char>(character)));
        cursor_ = document_.Type(cursor_, typed[0], kq::ui::OverwriteMode());
        Settle(before, BlockRule::kNone);
        return 0;
    }
    const uint32_t letter = code | 0x20;
    if (ctrl && letter == 'c') {
        CopyBlock();
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    if (ctrl && letter == 'v') {
        PasteClipboard();
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    if (ctrl && letter == 'x') {
        CopyBlock();
        DeleteBlock();
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    if (ctrl && letter == 'y') {
        const int64_t line = cursor_.line;
        if (line + 1 < document_.LineCount()) {
            cursor_ = document_.Erase({line, 0}, {line + 1, 0});
        } else {
            cursor_ = document_.Erase({line, 0}, {line, document_.Length(line)});
        }
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    if (alt && letter == 'c') return OnCommand(CMD_EDITOR_CODE_PAGE);
    if (alt && letter == 'l') {
        GoToDialog();
        Settle(before, BlockRule::kDrop);
        return 0;
    }
    switch (code) {
        case KC_BACK:
            document_.SetChanged(true);
            if (document_.HasBlock()) {
                DeleteBlock();
            } else {
                cursor_ = document_.Backspace(cursor_);
            }
            Settle(before, BlockRule::kDrop);
            return 0;
        case KC_ENTER:
            DeleteBlock();
            cursor_ = document_.Split(cursor_);
            Settle(before, BlockRule::kDrop);
            return 0;
        case KC_ESC:
            if (document_.HasBlock()) {
                Settle(before, BlockRule::kDrop);
                return 0;
            }
            return OnCommand(CMD_EDITOR_CLOSE);
        case KC_INS:
            if (ctrl) {
                CopyBlock();
            } else if (shift) {
                PasteClipboard();
            } else {
                kq::ui::ToggleOverwriteMode();
            }
            Settle(before, BlockRule::kDrop);
            return 0;
        case KC_DEL:
            if (shift) CopyBlock();
            if (document_.HasBlock()) {
                DeleteBlock();
            } else {
                cursor_ = document_.DeleteForward(cursor_);
            }
            Settle(before, BlockRule::kDrop);
            return 0;
        case KC_UP:
        case KC_DOWN:
            MoveLines(code == KC_UP ? -1 : 1);
            break;
        case KC_PGUP:
            if (!ctrl && cursor_.line >= TextRows()) {
                MoveLines(-TextRows());
            } else {
                cursor_ = {0, 0};
            }
            break;
        case KC_PGDN:
            if (!ctrl && document_.LineCount() - cursor_.line > TextRows()) {
                MoveLines(TextRows());
            } else {
                cursor_.line = document_.LineCount() - 1;
                cursor_.offset = document_.Length(cursor_.line);
            }
            break;
        case KC_HOME:
            if (ctrl) cursor_.line = top_;
            cursor_.offset = 0;
            break;
        case KC_END:
            if (ctrl) cursor_.line = std::min(top_ + TextRows(), document_.LineCount() - 1);
            cursor_.offset = document_.Length(cursor_.line);
            break;
        case KC_LEFT:
            if (cursor_.offset > 0) {
                cursor_.offset =
                    ctrl ? kq::editor::WordLeft(document_.Text(cursor_.line), cursor_.offset)
                         : cursor_.offset - 1;
            } else if (cursor_.line > 0) {
                --cursor_.line;
                cursor_.offset = document_.Length(cursor_.line);
            }
            break;
        case KC_RIGHT:
            if (cursor_.offset < document_.Length(cursor_.line)) {
                cursor_.offset =
                    ctrl ? kq::editor::WordRight(document_.Text(cursor_.line), cursor_.offset)
                         : cursor_.offset + 1;
            } else if (cursor_.line + 1 < document_.LineCount()) {
                ++cursor_.line;
                cursor_.offset = 0;
            }
            break;
        case KC_F2:
            return OnCommand(CMD_EDITOR_SAVE);
        case KC_F3:
            return OnCommand(CMD_EDITOR_SAVE_AS);
        case KC_F5:
            GoToDialog();
            Settle(before, BlockRule::kDrop);
            return 0;
        case KC_F6:
            return OnCommand(CMD_EDITOR_REPLACE);
        case KC_F7:
            return OnCommand(alt     ? CMD_EDITOR_SEARCH_BACK
                             : shift ? CMD_EDITOR_SEARCH_NEXT
                                     : CMD_EDITOR_SEARCH);
        case KC_F8:
            return OnCommand(CMD_EDITOR_CODE_PAGE);
        case KC_F10:
            return OnCommand(CMD_EDITOR_CLOSE);
        default:
            return 0;
    }
    Settle(before, moveRule);
    return 0;
}

int ZEditor::OnCommand(int id) {
    switch (id) {
        case CMD_EDITOR_CLOSE:
            Destroy();
            return 0;
        case CMD_EDITOR_SAVE:
            Save(GetTitle(), true);
            return 0;
        case CMD_EDITOR_SAVE_AS:
            SaveAsDialog();
            return 0;
        case CMD_EDITOR_CODE_PAGE:
            CodePageDialog();
            return 0;
        case CMD_EDITOR_SEARCH:
            SearchDialog();
            return 0;
        case CMD_EDITOR_SEARCH_BACK:
        case CMD_EDITOR_SEARCH_NEXT:
            if (!search_.empty() && !Search(id == CMD_EDITOR_SEARCH_BACK))
                Tell(IDS_TEXT_NOT_FOUND, 25);
            return 0;
        case CMD_EDITOR_REPLACE:
            ReplaceDialog();
            return 0;
        default:
            return ZWindow::OnCommand(id);
    }
}

extern "C" ZAPI int ZCALL ZEditFile(const char* path, int x, int y, int width, int height,
                                    int /*reserved*/) {
    if (path == nullptr) return -1;
    auto editor = std::make_unique<ZEditor>();
    const ZRec rect = kq::ui::WorkArea(static_cast<int16_t>(x & 0xFFFF),
                                       static_cast<int16_t>(y & 0xFFFF), width, height);
    editor->FollowDesktop(width <= 0 || height <= 0);
    if (editor->Create(path, rect, rect, nullptr, WF_FOCUSABLE, 0) != 0) {
        editor->ZWindow::Destroy();
        if (editor->OpenFailed()) {
            const std::string text = kq::ui::LoadLanguageText(IDS_CANNOT_OPEN_FILE);
            ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 35, 5), "", text.c_str(),
                        MB_BUTTON_OK, MB_BUTTON_OK, WF_BEEP | WF_DEFAULT);
        }
        return -1;
    }
    // A close the user refuses keeps the run going; it ends once the editor is gone, or when the
    // desktop itself ends (a signal, the terminal gone).
    // Ended by a signal meanwhile (kill, hang-up), the process first keeps the changes.
    const kq::console::EndHookSetting previous = kq::console::SetEndHook(
        {[](void* context) { static_cast<ZEditor*>(context)->KeepUnsavedCopy(); }, editor.get()});
    editor->Run();
    kq::console::SetEndHook(previous);
    if (editor->IsAttached() && editor->Destroy() != 0) {
        // The question about the changes could not be settled: they are kept beside the file.
        editor->KeepUnsavedCopy();
        editor->ZWindow::Destroy();
    }
    editor.reset();
    // A large file's lines were many small blocks: hand the freed memory back to the system
    // rather than keep the process at its peak size.
    malloc_trim(0);
    return 0;
}
