// The clipboard: a process-wide text in the console code page. Every put is also offered to the
// terminal's own clipboard, so that the text reaches other programs where the terminal lets it.
//
// The text is replaced as a whole under a lock, so a reader on another thread sees either the
// old text or the new one, never a mix.
#include "ui/Clipboard.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "console/Console.h"
#include "kq/text.h"

namespace kq::ui {
namespace {

struct Clipboard {
    // Puts run one at a time, store and offer together, so that the terminal ends up with the
    // same text as this clipboard. Readers take only `mutex` and never wait for the terminal.
    std::mutex putMutex;
    std::mutex mutex;
    std::optional<std::string> text;  // none until the first put; bytes, zeros allowed
};

Clipboard& TheClipboard() {
    static Clipboard clipboard;
    return clipboard;
}

}  // namespace

void ClearClipboardForTesting() {
    Clipboard& clipboard = TheClipboard();
    std::lock_guard lock(clipboard.mutex);
    clipboard.text.reset();
}

}  // namespace kq::ui

extern "C" {

ZAPI int ZCALL ClipBrdPut(const char* text, int length) {
    if (length < 0 || (text == nullptr && length > 0)) return -1;
    // ClipBrdGet reports the size with the zero as an int.
    if (length == std::numeric_limits<int>::max()) return -1;
    const size_t size = static_cast<size_t>(length);
    std::string copy = text != nullptr ? std::string(text, size) : std::string();
    kq::ui::Clipboard& clipboard = kq::ui::TheClipboard();
    std::lock_guard put(clipboard.putMutex);
    {
        std::lock_guard lock(clipboard.mutex);
        clipboard.text = std::move(copy);
    }
    // A closed console or a terminal without a clipboard keeps the text here only, which is no
    // failure. The console takes its own lock; it never calls back into the clipboard.
    ConOfferClipboard(text, size);
    return 0;
}

ZAPI int ZCALL ClipBrdGet(char* buffer, int size) {
    kq::ui::Clipboard& clipboard = kq::ui::TheClipboard();
    std::lock_guard lock(clipboard.mutex);
    if (!clipboard.text) return -1;
    // The stored string keeps its terminating zero right after the text.
    const size_t full = clipboard.text->size() + 1;
    if (buffer != nullptr && size > 0) {
        std::copy_n(clipboard.text->c_str(), std::min(full, static_cast<size_t>(size)), buffer);
    }
    return static_cast<int>(full);
}

}  // extern "C"
