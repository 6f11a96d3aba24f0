// The alert box and the reason texts (see AlertBox.h).
#include "ui/AlertBox.h"

#include <algorithm>
#include <cstring>

#include "kq/resource_ids.h"
#include "kq/window.h"
#include "kq/window_flags.h"
#include "ui/LanguageTexts.h"

namespace kq::ui {
namespace {

constexpr int kMinimumWidth = 40;

}  // namespace

void ShowAlert(const std::string& text) {
    ZRec screen;
    ZDesktop::GetPos(screen);
    const int length = static_cast<int>(text.size());
    const int widest = std::max(kMinimumWidth, screen.w - 4);
    const int width = std::clamp(length + 6, kMinimumWidth, widest);
    // The label's last column stays blank; one row more than the bare count covers what the
    // wrapping at word boundaries loses.
    const int perRow = std::max(1, width - 5);
    const int rows = (length + perRow - 1) / perRow + (length > perRow ? 1 : 0);
    const int height = std::clamp(rows + 4, 5, std::max(5, static_cast<int>(screen.h) - 2));
    const std::string title = LoadLanguageText(IDS_ERROR_TITLE);
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0),
                ZRec(0, 0, static_cast<int16_t>(width), static_cast<int16_t>(height)),
                title.c_str(), text.c_str(), MB_BUTTON_OK, MB_BUTTON_OK, WF_DEFAULT | WF_BEEP);
}

std::string ReasonText(int error) {
    if (error == 0) return LoadLanguageText(IDS_NO_REASON);
    // The GNU strerror_r: thread-safe, returns the text (in buf only for unknown values).
    char buffer[128];
    return ::strerror_r(error, buffer, sizeof buffer);
}

std::string ShortenedFromStart(std::string_view text, size_t limit) {
    if (text.size() <= limit) return std::string(text);
    if (limit <= 3) return std::string(text.substr(text.size() - limit));
    return "..." + std::string(text.substr(text.size() - (limit - 3)));
}

}  // namespace kq::ui
