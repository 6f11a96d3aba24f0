// The viewer window: drawing, keys, dialogs, and the exported entry point.
#include "viewer/ZViewer.h"

#include <cstdlib>
#include <memory>

#include "kq/edit.h"
#include "kq/keys.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "kq/viewer.h"
#include "ui/LanguageTexts.h"
#include "ui/ToolLabels.h"
#include "ui/WorkArea.h"
#include "ui/Z3State.h"
#include "ui/ZDialog.h"

using kq::viewer::ViewMode;

namespace {

void ShowViewerMessage(ZWindow* parent, int textId, int width, uint32_t flags) {
    const std::string text = kq::ui::LoadLanguageText(textId);
    ZMessageBox(parent, ZRec(-1, -1, 0, 0), ZRec(0, 0, static_cast<int16_t>(width), 5), "",
                text.c_str(), MB_BUTTON_OK, MB_BUTTON_OK, flags);
}

// The leading decimal number of a text, 0 when it has none.
int64_t LeadingNumber(const char* text) {
    return text != nullptr ? std::strtoll(text, nullptr, 10) : 0;
}

}  // namespace

ZViewer::ZViewer() : consoleCodePage_(UGetConCp()) {
    text_.SetCodePage(consoleCodePage_);
}

ZViewer::~ZViewer() = default;

bool ZViewer::Open(const char* path) {
    return path != nullptr && file_.Open(path);
}

void ZViewer::Restore(const kq::viewer::ViewerHistory& history) {
    search_ = history.search;
    view_.top = history.top;
    view_.horizontal = 0;
    text_.SetCodePage(history.known ? history.codePage : GuessCodePage());
}

int ZViewer::GuessCodePage() {
    return kq::viewer::LooksLikeUtf8(file_) ? kq::viewer::kUtf8CodePage : consoleCodePage_;
}

int ZViewer::Draw() {
    if (Width() <= 0 || Height() <= 0) return 0;
    file_.CheckSize();
    if (picture_.width != Width() || picture_.height != Height()) {
        picture_.Resize(Width(), Height());
    }
    kq::viewer::RenderRows(text_, view_, picture_);
    // Every cell goes through the console code page, whose glyph table draws control bytes
    // as pictures: no byte of the file reaches the terminal as a control.
    auto& chars = Chars();
    if (UUctoCp(consoleCodePage_, picture_.cells.data(), reinterpret_cast<char*>(chars.data()),
                static_cast<int>(chars.size())) != 0) {
        std::fill(chars.begin(), chars.end(), static_cast<uint8_t>('?'));
    }
    Attrs() = picture_.attributes;
    const std::string status =
        kq::viewer::StatusLine(GetTitle(), Width(), view_, text_.CodePage(), file_.Size());
    PutText(0, 0, status, kq::viewer::kStatusColour);
    return 0;
}

int ZViewer::Destroy() {
    if (!IsAttached()) return 0;
    if (ZWindow::Destroy() != 0) return -1;
    // The key bar shows these labels until another window sets its own: it lets go of them
    // before they are freed.
    labels_.Release();
    return 0;
}

int ZViewer::Activate(bool on) {
    if (!on) {
        Show(false);
        return ZWindow::Activate(false);
    }
    ZDesktop::SetTitle(GetTitle());
    labels_.Show(IDS_KEYBAR_VIEWER, IDS_KEYBAR_VIEWER_SHIFT, IDS_KEYBAR_VIEWER_ALT);
    return ZWindow::Activate(true);
}

int ZViewer::OnScreenResize(int width, int height) {
    if (!followDesktop_) return ZWindow::OnScreenResize(width, height);
    const ZRec rect = kq::ui::WorkAreaWithin(width, height);
    SetPos(rect, rect);
    Redraw();
    return 0;
}

void ZViewer::MoveDown(int64_t rows) {
    view_.top = text_.RowsDown(view_.top, rows, view_.mode, Width());
}

void ZViewer::MoveUp(int64_t rows) {
    view_.top = text_.RowsUp(view_.top, rows, view_.mode, Width());
}

void ZViewer::MoveToEnd() {
    view_.horizontal = 0;
    file_.CheckSize();
    view_.top = file_.Size();
    MoveUp(TextRows());
}

int ZViewer::OnKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    const uint32_t code = KEY_CODE(key);
    const bool plain = KEY_CHAR(key) == 0;  // keypad keys move only with Num Lock off
    const bool ctrl = (flags & KF_CTRL) != 0;
    const bool alt = (flags & KF_ALT) != 0;
    const bool shift = (flags & KF_SHIFT) != 0;
    file_.CheckSize();
    const auto clearSelection = [this] { view_.selectionStart = view_.selectionEnd = -1; };
    switch (code) {
        case KC_ESC:
        case KC_F3:
        case KC_F10:
            Destroy();
            return 0;
        case KC_UP:
        case KC_NUM8:
        case KC_DOWN:
        case KC_NUM2:
        case KC_PGUP:
        case KC_NUM9:
        case KC_PGDN:
        case KC_NUM3:
        case KC_HOME:
        case KC_NUM7:
        case KC_END:
        case KC_NUM1:
            if (!plain) return 0;
            if (code == KC_UP || code == KC_NUM8) MoveUp(1);
            if (code == KC_DOWN || code == KC_NUM2) MoveDown(1);
            if (code == KC_PGUP || code == KC_NUM9) MoveUp(TextRows());
            if (code == KC_PGDN || code == KC_NUM3) MoveDown(TextRows());
            if (code == KC_HOME || code == KC_NUM7) view_.top = view_.horizontal = 0;
            if (code == KC_END || code == KC_NUM1) MoveToEnd();
            clearSelection();
            break;
        case KC_LEFT:
        case KC_NUM4:
            if (!plain || view_.mode != ViewMode::kNoWrap) return 0;
            view_.horizontal = std::max<int64_t>(0, view_.horizontal - (ctrl ? 32 : 8));
            break;
        case KC_RIGHT:
        case KC_NUM6:
            if (!plain || view_.mode != ViewMode::kNoWrap) return 0;
            view_.horizontal += ctrl ? 32 : 8;
            break;
        case KC_NUMADD:
            ++view_.top;
            break;
        case KC_NUMSUB:
            if (view_.top > 0) --view_.top;
            break;
        case KC_F2:
            if (view_.mode != ViewMode::kHex) {
                view_.mode = view_.mode == ViewMode::kNoWrap ? ViewMode::kWrap : ViewMode::kNoWrap;
            }
            break;
        case KC_F4:
            view_.mode = view_.mode == ViewMode::kHex ? ViewMode::kNoWrap : ViewMode::kHex;
            break;
        case KC_F5:
            GoToDialog();
            break;
        case KC_F7:
            if (shift) {
                SearchForward();
            } else if (alt) {
                SearchBackward();
            } else {
                SearchDialog();
            }
            return 0;  // the search repaints, or leaves the view as it was
        case KC_F8:
            CodePageDialog();
            return 0;
        default:
            if (alt && (code | 0x20) == 'l') {
                GoToDialog();
                break;
            }
            if (alt && (code | 0x20) == 'c') {
                CodePageDialog();
                return 0;
            }
            return 0;
    }
    Redraw();
    return 0;
}

void ZViewer::GoToDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_GOTO, this, 0) != 0) return;
    const int result = dialog.Run();
    const int64_t line = LeadingNumber(dialog.GetControlText(IDC_LINE_NUMBER));
    dialog.Destroy();
    if (result != 1) return;
    view_.top = 0;
    MoveDown(line > 0 ? line - 1 : 0);
}

void ZViewer::CodePageDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_CODE_PAGE, this, 0) != 0) return;
    const int current = text_.CodePage() == kq::viewer::kUtf16CodePage ? 1200 : text_.CodePage();
    dialog.SetControlText(IDC_CODE_PAGE, std::to_string(current).c_str());
    if (auto* edit = dynamic_cast<ZEdit*>(dialog.GetControl(IDC_CODE_PAGE))) {
        edit->SetSelection(0, -1);
    }
    const int result = dialog.Run();
    const int64_t chosen = LeadingNumber(dialog.GetControlText(IDC_CODE_PAGE));
    dialog.Destroy();
    if (result != 1) return;
    if (chosen == 0 || chosen == 1200) {
        text_.SetCodePage(kq::viewer::kUtf16CodePage);
    } else if (chosen > 0 && chosen <= 0xFFFF &&
               UCptoUc(static_cast<int>(chosen), nullptr, nullptr, 0) == 0) {
        text_.SetCodePage(static_cast<int>(chosen));
    } else {
        ShowViewerMessage(this, IDS_CODE_PAGE_REFUSED, 35, WF_DEFAULT);
        return;
    }
    Redraw();
}

void ZViewer::SearchDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(IDD_SEARCH, this, 0) != 0) return;
    dialog.SetControlText(IDC_SEARCH_TEXT, search_.c_str());
    if (auto* edit = dynamic_cast<ZEdit*>(dialog.GetControl(IDC_SEARCH_TEXT))) {
        edit->SetSelection(0, -1);
    }
    auto* caseBox = dynamic_cast<Z3State*>(dialog.GetControl(IDC_CASE_SENSITIVE));
    auto* backwardBox = dynamic_cast<Z3State*>(dialog.GetControl(IDC_BACKWARD));
    if (caseBox != nullptr) caseBox->SetState(caseSensitive_ ? 1 : 0);
    if (backwardBox != nullptr) backwardBox->SetState(backward_ ? 1 : 0);
    const int result = dialog.Run();
    if (result != 1) {
        dialog.Destroy();
        return;
    }
    if (caseBox != nullptr) caseSensitive_ = caseBox->GetState() == 1;
    if (backwardBox != nullptr) backward_ = backwardBox->GetState() == 1;
    const char* text = dialog.GetControlText(IDC_SEARCH_TEXT);
    search_ = text != nullptr ? text : "";
    dialog.Destroy();
    Search(backward_);
}

extern "C" ZAPI int ZCALL ZViewFile(const char* path, int x, int y, int width, int height,
                                    int /*reserved*/) {
    auto viewer = std::make_unique<ZViewer>();
    if (!viewer->Open(path)) {
        ShowViewerMessage(nullptr, IDS_CANNOT_OPEN_FILE, 35, WF_BEEP | WF_DEFAULT);
        return -1;
    }
    const ZRec rect = kq::ui::WorkArea(static_cast<int16_t>(x & 0xFFFF),
                                       static_cast<int16_t>(y & 0xFFFF), width, height);
    viewer->FollowDesktop(width <= 0 || height <= 0);
    const kq::viewer::ViewerHistory history = kq::viewer::ReadViewerHistory(path);
    viewer->Restore(history);
    viewer->Create(path, rect, rect, nullptr, WF_FOCUSABLE, 0);
    viewer->SetCursor(ZRec(0, 0, 0, 0));
    viewer->Run();
    viewer->Destroy();
    kq::viewer::WriteViewerHistory(path, history, viewer->View().top, viewer->CodePage(),
                                   viewer->SearchText());
    return 0;
}
