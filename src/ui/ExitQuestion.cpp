// The exit question of an ordinary quit: "Confirmations"/"Exit" decides whether it is asked;
// the answer must be the first button (0x40).
#include "kq/config.h"
#include "kq/resources.h"
#include "kq/window.h"
#include "ui/DesktopHooks.h"

namespace kq::ui {

namespace {

constexpr uint32_t kYes = 0x40;
constexpr uint32_t kNo = 0x80;

}  // namespace

bool AskExitQuestion() {
    uint32_t ask = 1;
    if (const CfgSection confirmations = CfgOpen("Confirmations")) {
        if (CfgQueryDw(confirmations, "Exit", &ask) != 0) ask = 1;
        CfgClose(confirmations);
    }
    if (ask == 0) return true;
    char* title = ResLoadString(ResGetLanguage(), 1009);
    char* text = ResLoadString(ResGetLanguage(), 1010);
    const int answer = ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 55, 5), title, text,
                                   kYes | kNo, static_cast<int>(kYes), WF_MODAL | WF_DEFAULT);
    ResFreeString(title);
    ResFreeString(text);
    return answer == static_cast<int>(kYes);
}

}  // namespace kq::ui
