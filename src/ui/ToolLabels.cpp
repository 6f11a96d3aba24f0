// Key-bar labels of the tool windows (see ToolLabels.h).
#include "ui/ToolLabels.h"

#include "ui/LanguageTexts.h"
#include "ui/ZKeyBar.h"

namespace kq::ui {

void ToolLabels::Show(int plainId, int shiftId, int altId) {
    std::array<std::string, 3> labels = {LoadLanguageText(plainId), LoadLanguageText(shiftId),
                                         LoadLanguageText(altId)};
    if (ZKeyBar* keyBar = ZKeyBar::Get()) {
        keyBar->SetKeyBar(labels[0].c_str(), labels[1].c_str(), labels[2].c_str(), nullptr, nullptr,
                          nullptr, nullptr);
    }
    labels_.swap(labels);
}

void ToolLabels::Release() {
    if (ZKeyBar* keyBar = ZKeyBar::Get()) {
        keyBar->SetKeyBar(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    labels_ = {};
}

}  // namespace kq::ui
