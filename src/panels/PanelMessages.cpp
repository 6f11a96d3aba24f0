// The panels' failure messages (see PanelMessages.h).
#include "panels/PanelMessages.h"

#include <algorithm>
#include <cstring>

#include "kq/resource_ids.h"
#include "kq/window.h"
#include "kq/window_flags.h"
#include "panels/PanelTexts.h"

namespace kq::panels {
namespace {

// A subject longer than this (a path of hundreds of bytes) shows only its end.
constexpr size_t kSubjectLimit = 160;
constexpr int kMinimumWidth = 40;

std::string Shortened(std::string_view subject) {
    if (subject.size() <= kSubjectLimit) return std::string(subject);
    return "..." + std::string(subject.substr(subject.size() - (kSubjectLimit - 3)));
}

// The box is as wide as the text needs, within the screen, and tall enough for the text
// wrapped at word boundaries (one row more than the bare count, for the wrapping's loss).
void ShowBox(const std::string& text) {
    ZRec screen;
    ZDesktop::GetPos(screen);
    const int length = static_cast<int>(text.size());
    const int widest = std::max(kMinimumWidth, screen.w - 4);
    const int width = std::clamp(length + 6, kMinimumWidth, widest);
    const int perRow = std::max(1, width - 5);  // the label's last column stays blank
    const int rows = (length + perRow - 1) / perRow + (length > perRow ? 1 : 0);
    const int height = std::clamp(rows + 4, 5, std::max(5, static_cast<int>(screen.h) - 2));
    const std::string title = LoadLanguageText(IDS_ERROR_TITLE);
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0),
                ZRec(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)),
                title.c_str(), text.c_str(), MB_BUTTON_OK, MB_BUTTON_OK, WF_DEFAULT | WF_BEEP);
}

}  // namespace

std::string ReasonText(int error) {
    // The UI thread is the only caller; strerror's buffer is not shared with another.
    if (error != 0) return std::strerror(error);
    return LoadLanguageText(IDS_NO_REASON);
}

void ShowFailure(int formatId, std::string_view subject, int error) {
    ShowBox(FormatTexts(LoadLanguageText(formatId), {Shortened(subject), ReasonText(error)}));
}

void ShowMessage(int textId) {
    ShowBox(LoadLanguageText(textId));
}

}  // namespace kq::panels
