// The exit question of an ordinary quit. The question itself is a message box, which the
// dialogs build; until they exist the quit is taken as confirmed.
#include "ui/DesktopHooks.h"

namespace kq::ui {

bool AskExitQuestion() { return true; }

}  // namespace kq::ui
