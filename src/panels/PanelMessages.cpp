// The panels' failure messages (see PanelMessages.h).
#include "panels/PanelMessages.h"

#include "panels/PanelTexts.h"
#include "ui/AlertBox.h"

namespace kq::panels {
namespace {

// A subject longer than this (a path of hundreds of bytes) shows only its end.
constexpr size_t kSubjectLimit = 160;

}  // namespace

std::string ReasonText(int error) {
    return ui::ReasonText(error);
}

void ShowFailure(int formatId, std::string_view subject, int error) {
    ui::ShowAlert(FormatTexts(LoadLanguageText(formatId),
                              {ui::ShortenedFromStart(subject, kSubjectLimit), ReasonText(error)}));
}

void ShowMessage(int textId) {
    ui::ShowAlert(LoadLanguageText(textId));
}

}  // namespace kq::panels
