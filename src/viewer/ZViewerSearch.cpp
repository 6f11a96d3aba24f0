// The viewer's search as the user sees it: the search runs on the UI thread; once it has taken
// half a second a small window shows how far it got, and Esc stops it, leaving the view as it
// was. A match is shown selected, three rows below the top of the text.
#include <chrono>
#include <string>

#include "kq/console.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "ui/LanguageTexts.h"
#include "viewer/ViewerSearch.h"
#include "viewer/ZViewer.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kQuietTime = std::chrono::milliseconds(500);
constexpr auto kPollTime = std::chrono::milliseconds(25);

class SearchProgressWindow : public ZWindow {
  public:
    int Draw() override {
        FillCells(' ', kq::viewer::kStatusColour);
        DrawFrame(1, kq::viewer::kStatusColour);
        PutText(2, 1, text_, kq::viewer::kStatusColour);
        return 0;
    }
    void Show(ZWindow* parent, const std::string& text) {
        text_ = text;
        if (!IsAttached()) {
            const int width = std::min<int>(static_cast<int>(text.size()) + 4, parent->Width());
            const ZRec rect(static_cast<int16_t>((parent->Width() - width) / 2),
                            static_cast<int16_t>(std::max(parent->Height() / 2 - 1, 0)),
                            static_cast<int16_t>(width), 3);
            Create(nullptr, rect, rect, parent, WF_VISIBLE, 0);
        }
        Redraw();
    }

  private:
    std::string text_;
};

// Whether Esc was pressed since the last look. Keys typed before it are dropped; those after it
// stay for the view.
bool EscapePressed() {
    uint32_t event = 0;
    while (ConInput(&event) == 0) {
        if ((KEY_FLAGS(event) & KF_DOWN) != 0 && KEY_CODE(event) == KC_ESC) return true;
    }
    return false;
}

}  // namespace

void ZViewer::Search(bool backward) {
    if (search_.empty()) return;
    kq::viewer::SearchRequest request;
    request.text = search_;
    request.caseSensitive = caseSensitive_;
    request.backward = backward;
    request.fileCodePage = text_.CodePage();
    request.consoleCodePage = consoleCodePage_;
    const bool selected = view_.selectionStart >= 0;
    // A repeated search starts one character past the last match's start (forward), or ends
    // one character before its end (backward), so overlapping matches are all found.
    if (!backward) {
        request.from = selected ? view_.selectionStart + UnitSize() : view_.top;
    } else {
        request.from =
            selected ? std::max<int64_t>(0, view_.selectionEnd + 1 - UnitSize()) : view_.top;
    }

    SearchProgressWindow progressWindow;
    const Clock::time_point started = Clock::now();
    Clock::time_point lastLook = started;
    std::string format = kq::ui::LoadLanguageText(IDS_SEARCHING);
    if (format.empty()) format = "%d%%";
    const auto progress = [&](int64_t done, int64_t total) {
        const Clock::time_point now = Clock::now();
        if (now - started < kQuietTime || now - lastLook < kPollTime) return true;
        lastLook = now;
        const int percent = total > 0 ? static_cast<int>(done * 100 / total) : 0;
        progressWindow.Show(this, kq::ui::FormatCounts(format, {percent}));
        return !EscapePressed();
    };
    const kq::viewer::SearchResult result =
        kq::viewer::SearchFile(file_.Handle(), request, progress);
    progressWindow.Destroy();
    switch (result.outcome) {
        case kq::viewer::SearchOutcome::kCancelled:
            Redraw();
            return;
        case kq::viewer::SearchOutcome::kNotFound: {
            const std::string text = kq::ui::LoadLanguageText(IDS_TEXT_NOT_FOUND);
            ZMessageBox(this, ZRec(-1, -1, 0, 0), ZRec(0, 0, 25, 5), "", text.c_str(), MB_BUTTON_OK,
                        MB_BUTTON_OK, WF_DEFAULT);
            view_.selectionStart = view_.selectionEnd = -1;
            Redraw();
            return;
        }
        case kq::viewer::SearchOutcome::kFound:
            ShowFound(result.start, result.length);
            return;
    }
}

void ZViewer::ShowFound(int64_t start, int64_t length) {
    view_.selectionStart = start;
    view_.selectionEnd = start + length - 1;
    file_.CheckSize();
    if (view_.mode == kq::viewer::ViewMode::kHex) {
        view_.top = start;
    } else {
        // The start of the display row that holds the match.
        view_.top = text_.RowsUp(start + UnitSize(), 1, view_.mode, Width());
    }
    if (view_.mode == kq::viewer::ViewMode::kNoWrap) {
        // Scrolled so that a match past the right edge stands 20 columns left of it.
        int64_t column = 0;
        for (int64_t offset = view_.top; offset < start;) {
            const kq::viewer::TextCharacter character = text_.At(offset);
            if (character.length == 0) break;
            column = character.code == U'\t' ? (column / 8 + 1) * 8 : column + 1;
            offset += character.length;
        }
        view_.horizontal = std::max<int64_t>(0, column + 20 - Width());
    }
    view_.top = text_.RowsUp(view_.top, 3, view_.mode, Width());
    Redraw();
}
