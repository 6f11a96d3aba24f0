// The console layer's interface inside the library: opening and closing, the saved screen,
// waiting for input, terminal resizes, and choosing the backend (tests install the in-memory
// console). The exported operations are declared in kq/console.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kq/console.h"

// Opens the layer (cols and rows may be null; the device keeps its size and reports it back).
// -1 when already open or the device cannot be opened.
int ConInit(int16_t* cols, int16_t* rows);
// Closes the layer and gives the device back as it was found. -1 when not open.
int ConShutdown();
// The screen's content when the layer was opened: cols x rows (character, attribute) pairs,
// row-major, while open; null otherwise.
const uint8_t* ConGetSavedScreen();
// Presents what is pending, then blocks up to timeoutMs until input may be waiting (or a
// deferred update is due). 0 when it waited, -1 when the layer is closed.
int ConWaitInput(int timeoutMs);
// Presents what is pending, then lets timeoutMs pass without reading input: keys typed meanwhile
// wait for the next ConInput, while signals are handled as ConInput would (a terminating one
// ends the process with the terminal given back). 1 as soon as the device has changed size (the
// caller stops drawing for the old size), 0 when the time has passed, -1 when the layer is closed.
int ConPause(int timeoutMs);
// 1 when the device changed size since the last call: the mirror takes the new size (blank),
// the saved screen is taken anew at that size,
// and the whole screen will be repainted; the caller must redraw everything. 0 otherwise, -1
// when the layer is closed.
int ConTakeResize(int16_t* cols, int16_t* rows);
// Asks the device for another size; when it can change it, the new size comes as a resize
// (ConTakeResize), at once or later. -1 when closed or the size is outside 1 to 32767.
int ConRequestSize(int cols, int rows);
// Makes a ConWaitInput in progress (or else the next one) return at once, so that a window
// ended from another thread is seen without waiting for input. Any thread; -1 when closed.
int ConWake();
// Rings the bell of the device the layer draws on.
int ConBell();
// The text of the paste that the last event from ConInput (KC_PASTE) announced, in the console
// code page: line ends as '\n', tabs kept, other control characters left out. Empty once
// taken, or when the last event was no paste.
std::string ConTakePaste();

// Offers text (console code page) to the terminal's own clipboard (OSC 52), where the terminal
// accepts it. 0 when offered, -1 when the layer is closed or the device has no clipboard.
int ConOfferClipboard(const char* text, size_t length);

// What ConRunCommand returns when the directory cannot be entered (errno says why).
inline constexpr int kCommandDirectoryRefused = -2;

// Runs a command line with /bin/sh in a directory while the layer is closed (the interface
// is suspended): before is printed first, after when the command has ended; the command's
// output stays on the device's screen and becomes the next saved screen. The texts are in the
// console code page; the directory is a file-system path (empty: the process's current
// directory). The exit status (128 + the signal for a command killed by one), -1 when the layer
// is open or the command could not run, kCommandDirectoryRefused (nothing printed, nothing
// run) when the directory is not one that can be entered.
int ConRunCommand(const char* before, const char* command, const char* directory,
                  const char* after);

namespace kq::console {

class ConsoleBackend;

// What ConInput makes of pasted bytes (UTF-8, as the terminal sent them): the code-page text,
// or nothing when the paste must be refused as a whole: it holds a character the code page
// lacks (a '?' in its place could run as a glob) or is not valid UTF-8.
std::optional<std::string> PasteToCodePage(std::string_view pasted);

// Chooses the device for the next ConInit; null restores the real terminal. The layer must
// be closed.
void InstallBackend(std::shared_ptr<ConsoleBackend> backend);

}  // namespace kq::console
