// The internal saver's entry points: the animation's frames go to the console in one write
// each, and its waits are console pauses, during which a terminating signal still ends the
// program and a resize cuts the wait short (the trigger then starts the saver at the new size).
#include "saver/InternalSaver.h"

#include "console/Console.h"
#include "saver/FallingCharacters.h"

namespace {

constexpr int kStepMs = 50;
constexpr int kMessageMs = 15000;

// One saver per process, used by the UI thread only.
kq::saver::FallingCharacters& Animation() {
    static kq::saver::FallingCharacters animation;
    return animation;
}

}  // namespace

extern "C" {

int32_t ZPLUGIN_CALL InternalSaverLoad(void) {
    int16_t width = 0;
    int16_t height = 0;
    if (ConGetSize(&width, &height) == 0) Animation().Load(width, height);
    ConSetCursorSize(0);
    return 0;
}

int32_t ZPLUGIN_CALL InternalSaverStep(void) {
    kq::saver::FallingCharacters& animation = Animation();
    if (animation.Loaded()) {
        const bool message = animation.Step();
        ConWrite(0, 0, animation.Cells().data(), animation.Width() * animation.Height());
        if (message && ConPause(kMessageMs) != 0) return 0;
    }
    static_cast<void>(ConPause(kStepMs));
    return 0;
}

int32_t ZPLUGIN_CALL InternalSaverUnload(void) {
    Animation().Unload();
    return 0;
}

}  // extern "C"
