// The console layer's front: the state of the one console of the process, the exported Con*
// operations, and the key-repeat delivery. Devices are backends (terminal or in-memory).
//
// Thread rules: drawing may come from worker threads (progress dialogs) while the UI thread
// reads input, so every operation holds one mutex; only the blocking wait runs without it.
#include "console/Console.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>
#include <utility>

#include "console/ConsoleBackend.h"
#include "console/GlyphTable.h"
#include "console/ScreenMirror.h"
#include "console/TerminalConsole.h"

namespace kq::console {

namespace {

struct ConsoleState {
    std::mutex mutex;
    bool initialized = false;
    std::shared_ptr<ConsoleBackend> installed;  // the device for the next ConInit
    std::shared_ptr<ConsoleBackend> backend;    // the open device
    ScreenMirror mirror;
    std::vector<uint8_t> savedScreen;
    CursorState cursor;
    int pendingRepeats = 0;
    uint32_t lastEvent = 0;
    // The paste the last KC_PASTE event announced, until ConTakePaste.
    std::string paste;
};

ConsoleState& State() {
    static ConsoleState state;
    return state;
}

uint8_t ToConsoleCodePage(char32_t character) {
    return ConsoleGlyphs().FromUnicode(character);
}

// A record whose character the code page lacks. Typed as text (no Ctrl or Alt, or both
// together: AltGr), it is refused: a '?' in its place would be a glob on a command line. As
// part of a Ctrl or Alt chord, the key stays and only the character goes.
bool RefuseMissingCharacter(KeyRecord& record) {
    if (record.unicodeChar == 0 || ConsoleGlyphs().Holds(record.unicodeChar)) return false;
    const bool ctrl = (record.controlState & (cks::kLeftCtrl | cks::kRightCtrl)) != 0;
    const bool alt = (record.controlState & (cks::kLeftAlt | cks::kRightAlt)) != 0;
    if (ctrl != alt) {
        record.unicodeChar = 0;
        return false;
    }
    return true;
}

}  // namespace

std::optional<std::string> PasteToCodePage(std::string_view pasted) {
    const GlyphTable& glyphs = ConsoleGlyphs();
    std::string text;
    text.reserve(pasted.size());
    for (size_t i = 0; i < pasted.size();) {
        const char32_t character = DecodeUtf8(pasted, i);
        if (character == kNotUtf8 || !glyphs.Holds(character)) return std::nullopt;
        if (character == U'\r') {
            // CR LF and a lone CR are one line end.
            if (i < pasted.size() && pasted[i] == '\n') ++i;
            text += '\n';
        } else if (character == U'\n' || character == U'\t') {
            text += static_cast<char>(character);
        } else if (character >= 0x20 && character != 0x7F &&
                   !(character >= 0x80 && character < 0xA0)) {
            text += static_cast<char>(glyphs.FromUnicode(character));
        }
        // Other control characters (ESC among them) are left out: nothing pasted may act.
    }
    return text;
}

void InstallBackend(std::shared_ptr<ConsoleBackend> backend) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    state.installed = std::move(backend);
}

}  // namespace kq::console

using namespace kq::console;

int ConInit(int16_t* cols, int16_t* rows) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (state.initialized || ConsoleCodePage() <= 0) return -1;
    std::shared_ptr<ConsoleBackend> backend = state.installed;
    if (!backend) {
        TerminalConsole::Options options;
        // The desktop and the shell are built while the probe's answers are on their way.
        options.awaitProbeLater = true;
        backend = std::make_shared<TerminalConsole>(options);
    }
    int width = 0;
    int height = 0;
    // A requested size is not honoured: a terminal keeps the size its user gave it.
    if (!backend->Open(width, height)) return -1;
    width = std::clamp(width, 1, 0x7FFF);
    height = std::clamp(height, 1, 0x7FFF);
    state.backend = std::move(backend);
    state.mirror = ScreenMirror(width, height);
    state.savedScreen = state.backend->SavedScreen(width, height);
    state.savedScreen.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 2);
    state.mirror.Load(state.savedScreen);
    state.cursor = CursorState{};
    state.pendingRepeats = 0;
    state.lastEvent = 0;
    state.initialized = true;
    // The device shows the saved screen until the program draws over it. It goes out with the
    // program's first frame, when the program first waits, rather than as a full frame of its
    // own that the program's drawing replaces a moment later.
    state.backend->Changed(state.mirror, state.cursor);
    if (cols) *cols = static_cast<int16_t>(width);
    if (rows) *rows = static_cast<int16_t>(height);
    return 0;
}

int ConShutdown() {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    state.backend->Present(state.mirror, state.cursor, true);
    state.backend->Close();
    state.backend.reset();
    state.mirror = ScreenMirror();
    state.savedScreen.clear();
    state.savedScreen.shrink_to_fit();
    state.initialized = false;
    return 0;
}

namespace {

// Console code-page text as UTF-8 for the terminal and the shell: printable bytes through the
// code page's glyphs, control bytes (line feeds, tabs) as themselves.
std::string ToUtf8(const char* text) {
    std::string out;
    if (text == nullptr) return out;
    const GlyphTable& glyphs = ConsoleGlyphs();
    for (const char* c = text; *c != '\0'; ++c) {
        const auto byte = static_cast<uint8_t>(*c);
        if (byte < 0x20 || byte == 0x7F) {
            out += *c;
        } else {
            out += glyphs.Utf8(byte);
        }
    }
    return out;
}

}  // namespace

int ConRunCommand(const char* before, const char* command, const char* directory,
                  const char* after) {
    ConsoleState& state = State();
    std::shared_ptr<ConsoleBackend> backend;
    {
        std::lock_guard lock(state.mutex);
        if (state.initialized || command == nullptr) return -1;
        backend = state.installed;
    }
    if (!backend) backend = std::make_shared<TerminalConsole>(TerminalConsole::Options{});
    // A command meant for one directory never runs in another: refused before anything is
    // printed when it cannot be entered.
    const std::string where = directory ? directory : "";
    if (!where.empty()) {
        struct stat status {};
        if (::stat(where.c_str(), &status) != 0) return kCommandDirectoryRefused;
        if (!S_ISDIR(status.st_mode)) {
            errno = ENOTDIR;
            return kCommandDirectoryRefused;
        }
        if (::access(where.c_str(), X_OK) != 0) return kCommandDirectoryRefused;
    }
    const CommandRequest request{ToUtf8(command), where, ToUtf8(before), ToUtf8(after)};
    // Without the lock: the command may run for hours, and other threads' drawing calls must
    // fail at once (the layer is closed) rather than wait for it.
    return backend->RunCommand(request);
}

const uint8_t* ConGetSavedScreen() {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    return state.initialized ? state.savedScreen.data() : nullptr;
}

int ConInput(uint32_t* event) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    if (state.pendingRepeats > 0) {
        --state.pendingRepeats;
        if (event) *event = state.lastEvent;
        return 0;
    }
    for (;;) {
        InputItem item;
        const int result = state.backend->NextInput(item);
        if (result != 0) {
            // No key: the caller is about to wait, so deferred drawing goes out now if due.
            if (result == 1) state.backend->Present(state.mirror, state.cursor, false);
            return result;
        }
        uint32_t translated = 0;
        int extraRepeats = 0;
        state.paste.clear();
        if (const uint32_t* ready = std::get_if<uint32_t>(&item)) {
            translated = *ready;
        } else if (const PastedText* pasted = std::get_if<PastedText>(&item)) {
            std::optional<std::string> text = PasteToCodePage(pasted->bytes);
            if (!text || pasted->cut) {
                state.backend->Bell();
                continue;
            }
            if (text->empty()) continue;
            state.paste = std::move(*text);
            translated = KEY_EVENT(KC_PASTE, 0, KF_DOWN);
        } else {
            KeyRecord& record = std::get<KeyRecord>(item);
            if (RefuseMissingCharacter(record)) {
                if (record.keyDown) state.backend->Bell();
                continue;
            }
            if (!TranslateKeyRecord(record, ToConsoleCodePage, translated, extraRepeats)) continue;
        }
        state.pendingRepeats = extraRepeats;
        state.lastEvent = translated;
        if (event) *event = translated;
        return 0;
    }
}

int ConWrite(int16_t x, int16_t y, const uint8_t* cells, int count) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    if (state.mirror.Write(x, y, cells, count) > 0)
        state.backend->Changed(state.mirror, state.cursor);
    return 0;
}

int ConSetCursorPos(int16_t x, int16_t y) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    state.cursor.x = x;
    state.cursor.y = y;
    state.backend->Changed(state.mirror, state.cursor);
    return 0;
}

int ConSetCursorSize(int size) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    state.cursor.size = std::clamp(size, 0, 100);
    state.backend->Changed(state.mirror, state.cursor);
    return 0;
}

int ConSetTitle(const char* title) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized || title == nullptr) return -1;
    return state.backend->SetTitle(title);
}

int ConGetSize(int16_t* cols, int16_t* rows) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    if (cols) *cols = static_cast<int16_t>(state.mirror.Cols());
    if (rows) *rows = static_cast<int16_t>(state.mirror.Rows());
    return 0;
}

int ConWaitInput(int timeoutMs) {
    ConsoleState& state = State();
    std::shared_ptr<ConsoleBackend> backend;
    int budget = 0;
    {
        std::lock_guard lock(state.mutex);
        if (!state.initialized) return -1;
        backend = state.backend;
        if (state.pendingRepeats > 0) return 0;
        const int presentDue = backend->Present(state.mirror, state.cursor, false);
        int requested = std::max(timeoutMs, 0);
        if (presentDue >= 0) requested = std::min(requested, presentDue);
        budget = backend->WaitBudget(requested);
    }
    if (budget > 0) backend->Wait(budget);
    std::lock_guard lock(state.mutex);
    if (state.initialized && state.backend == backend) {
        backend->Present(state.mirror, state.cursor, false);
    }
    return 0;
}

int ConPause(int timeoutMs) {
    ConsoleState& state = State();
    int remaining = timeoutMs;
    for (;;) {
        std::shared_ptr<ConsoleBackend> backend;
        int wait = 0;
        {
            std::lock_guard lock(state.mutex);
            if (!state.initialized) return -1;
            backend = state.backend;
            const int presentDue = backend->Present(state.mirror, state.cursor, false);
            if (backend->TakeSignals()) return 1;
            if (remaining <= 0) return 0;
            wait = presentDue > 0 ? std::min(remaining, presentDue) : remaining;
        }
        remaining -= backend->WaitForSignals(wait);
    }
}

int ConRequestSize(int cols, int rows) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized || cols <= 0 || rows <= 0 || cols > 0x7FFF || rows > 0x7FFF) return -1;
    if (cols != state.mirror.Cols() || rows != state.mirror.Rows()) {
        state.backend->RequestSize(cols, rows);
    }
    return 0;
}

int ConTakeResize(int16_t* cols, int16_t* rows) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    int width = 0;
    int height = 0;
    if (!state.backend->TakeResize(width, height)) return 0;
    width = std::clamp(width, 1, 0x7FFF);
    height = std::clamp(height, 1, 0x7FFF);
    state.mirror = ScreenMirror(width, height);
    // The background the program draws over follows the new size.
    state.savedScreen = state.backend->SavedScreen(width, height);
    state.savedScreen.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 2);
    state.backend->Present(state.mirror, state.cursor, true);
    if (cols) *cols = static_cast<int16_t>(width);
    if (rows) *rows = static_cast<int16_t>(height);
    return 1;
}

int ConWake() {
    ConsoleState& state = State();
    std::shared_ptr<ConsoleBackend> backend;
    {
        std::lock_guard lock(state.mutex);
        if (!state.initialized) return -1;
        backend = state.backend;
    }
    backend->Wake();
    return 0;
}

int ConBell() {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized) return -1;
    state.backend->Bell();
    return 0;
}

std::string ConTakePaste() {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    return std::exchange(state.paste, std::string());
}

int ConOfferClipboard(const char* text, size_t length) {
    ConsoleState& state = State();
    std::lock_guard lock(state.mutex);
    if (!state.initialized || (text == nullptr && length > 0)) return -1;
    return state.backend->OfferClipboard(std::string_view(text ? text : "", length)) ? 0 : -1;
}
