// The terminal device: opening (probing the keyboard protocols), batched output, input
// decoding with the Esc timeout, resizes and terminating signals.
#include "console/TerminalConsole.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <ctime>

#include "console/MainScreen.h"
#include "console/SignalWatch.h"

namespace kq::console {

namespace {

// How long the terminal gets to answer the queries sent when the console opens. Every
// terminal answers the device-attributes query, so this only runs out on something that is
// not a terminal emulator at all.
constexpr int kProbeTimeout = 300;

int64_t SteadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TerminalQuirks QuirksFromEnvironment() {
    const char* term = std::getenv("TERM");
    return QuirksForTerm(term ? term : "");
}

}  // namespace

TerminalConsole::TerminalConsole(Options options)
    : options_(std::move(options)),
      quirks_(options_.quirks.value_or(QuirksFromEnvironment())),
      output_(ConsoleGlyphs(), quirks_) {}

TerminalConsole::~TerminalConsole() {
    if (modes_) Close();
}

int64_t TerminalConsole::Now() const {
    return options_.clock ? options_.clock() : SteadyMilliseconds();
}

bool TerminalConsole::OpenDevices() {
    inputFd_ = options_.inputFd;
    outputFd_ = options_.outputFd;
    ownsDevice_ = false;
    if (inputFd_ < 0 || outputFd_ < 0) {
        if (isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) {
            inputFd_ = STDIN_FILENO;
            outputFd_ = STDOUT_FILENO;
        } else {
            const int tty = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
            if (tty < 0) return false;
            inputFd_ = outputFd_ = tty;
            ownsDevice_ = true;
        }
    }
    if (!isatty(inputFd_)) {
        CloseDevices();
        return false;
    }
    return true;
}

void TerminalConsole::CloseDevices() {
    if (ownsDevice_ && inputFd_ >= 0) ::close(inputFd_);
    inputFd_ = outputFd_ = -1;
    ownsDevice_ = false;
}

bool TerminalConsole::QuerySize(int& cols, int& rows) const {
    winsize size{};
    if ((ioctl(outputFd_, TIOCGWINSZ, &size) == 0 || ioctl(inputFd_, TIOCGWINSZ, &size) == 0) &&
        size.ws_col > 0 && size.ws_row > 0) {
        cols = size.ws_col;
        rows = size.ws_row;
        return true;
    }
    cols = 80;
    rows = 25;
    return false;
}

bool TerminalConsole::Open(int& cols, int& rows) {
    if (modes_) return false;
    if (!OpenDevices()) return false;
    SignalWatch::Instance();  // blocks the watched signals in this (the UI) thread
    TerminalModes::InstallFatalSignalHandlers();
    modes_ = std::make_unique<TerminalModes>(inputFd_, outputFd_, quirks_);
    if (!modes_->EnterRawMode()) {
        modes_.reset();
        CloseDevices();
        return false;
    }
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    lastTitle_.clear();
    failed_ = false;
    decoder_ = KeyDecoder();
    decoder_.SetEraseCharacter(modes_->EraseCharacter());
    keys_.clear();
    keyboard_ = KeyboardMode::kLegacy;
    probePending_ = false;
    if (options_.probeTerminal) {
        SendProbe();
        if (!options_.awaitProbeLater) AwaitProbe();
    }
    // The size read below is newer than any resize signal; a request to end waits for the
    // first input read.
    if (const int terminate = SignalWatch::Instance().Drain().terminate; terminate != 0) {
        SignalWatch::Instance().KeepTerminate(terminate);
    }
    resizePending_ = false;
    QuerySize(cols_, rows_);
    GetMainScreen().Resize(cols_, rows_);
    if (!probePending_) EnterScreen();
    output_.Invalidate(cols_, rows_);
    lastFrameTime_ = Now() - kFrameInterval;
    framePending_ = false;
    cols = cols_;
    rows = rows_;
    return true;
}

void TerminalConsole::SendProbe() {
    // The cursor-position report must come before the alternate screen is entered: it seeds
    // the cursor of the main-screen model. The kitty query is answered only by terminals that
    // speak the protocol, and always before the device attributes.
    cursorReportSeen_ = kittyReplySeen_ = attributesReplySeen_ = false;
    decoder_.SetAwaitingCursorReport(true);
    std::string query = "\x1b[6n";
    if (quirks_.richKeyboard) query += "\x1b[?u";
    query += "\x1b[c";
    WriteOut(query);
    probeDeadline_ = Now() + kProbeTimeout;
    probePending_ = true;
}

void TerminalConsole::AwaitProbe() {
    // What has arrived is read even when the deadline has passed meanwhile (a start that took
    // long): answers left unread would later be taken for keys.
    while (!attributesReplySeen_ && !failed_) {
        const int64_t left = std::max<int64_t>(probeDeadline_ - Now(), 0);
        ReadAvailable(static_cast<int>(left));
        DecodedItem item;
        // Keys typed during the probe are kept for the program.
        while (decoder_.Next(item) == KeyDecoder::Result::kItem) TakeDecoded(item);
        if (left == 0) break;
    }
    decoder_.SetAwaitingCursorReport(false);
    if (kittyReplySeen_) {
        keyboard_ = KeyboardMode::kKittyProtocol;
    } else if (quirks_.richKeyboard) {
        keyboard_ = KeyboardMode::kWin32AndOther;
    }
    probePending_ = false;
}

void TerminalConsole::EnterScreen() {
    if (cursorReportSeen_) GetMainScreen().SetCursor(cursorReportX_, cursorReportY_);
    modes_->SetKeyboardModeForLeave(keyboard_);
    WriteOut(modes_->EnterSequence(keyboard_));
}

void TerminalConsole::FinishProbe() {
    if (!probePending_ || !modes_) return;
    AwaitProbe();
    EnterScreen();
}

void TerminalConsole::TakeDecoded(DecodedItem& item) {
    if (KeyRecord* key = std::get_if<KeyRecord>(&item)) {
        keys_.emplace_back(*key);
    } else if (PastedText* paste = std::get_if<PastedText>(&item)) {
        keys_.emplace_back(std::move(*paste));
    } else {
        HandleReply(item);
    }
}

void TerminalConsole::HandleReply(const DecodedItem& item) {
    if (std::holds_alternative<KittyFlagsReply>(item)) {
        if (!attributesReplySeen_) kittyReplySeen_ = true;
    } else if (std::holds_alternative<DeviceAttributesReply>(item)) {
        attributesReplySeen_ = true;
    } else if (const auto* position = std::get_if<CursorPositionReply>(&item)) {
        cursorReportSeen_ = true;
        cursorReportX_ = position->column - 1;
        cursorReportY_ = position->row - 1;
        decoder_.SetAwaitingCursorReport(false);
    }
}

void TerminalConsole::Close() {
    if (!modes_) return;
    FinishProbe();
    modes_->Leave();
    modes_.reset();
    if (wakeFd_ >= 0) ::close(wakeFd_);
    wakeFd_ = -1;
    keys_.clear();
    decoder_ = KeyDecoder();
    CloseDevices();
}

std::vector<uint8_t> TerminalConsole::SavedScreen(int cols, int rows) {
    GetMainScreen().Resize(cols, rows);
    return GetMainScreen().Snapshot();
}

void TerminalConsole::WriteOut(const std::string& bytes) {
    if (probePending_ && !bytes.empty()) FinishProbe();
    const char* data = bytes.data();
    size_t left = bytes.size();
    if (left == 0 || outputFd_ < 0) return;
    ++statistics_.writes;
    statistics_.bytes += left;
    while (left > 0) {
        const ssize_t written = ::write(outputFd_, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN) {
                pollfd descriptor{outputFd_, POLLOUT, 0};
                poll(&descriptor, 1, 100);
                continue;
            }
            failed_ = true;  // the terminal is gone
            return;
        }
        data += written;
        left -= static_cast<size_t>(written);
    }
}

void TerminalConsole::Wake() {
    const uint64_t one = 1;
    if (wakeFd_ >= 0 && ::write(wakeFd_, &one, sizeof one) < 0) {
        // Full counter: the waiter is being woken anyway.
    }
}

void TerminalConsole::RequestSize(int cols, int rows) {
    if (!modes_) return;
    WriteOut("\x1b[8;" + std::to_string(rows) + ";" + std::to_string(cols) + "t");
}

void TerminalConsole::Changed(const ScreenMirror&, const CursorState&) {
    if (!modes_ || framePending_) return;
    framePending_ = true;
    // The UI thread may be waiting for input (the change came from another thread): it must
    // come back to send the frame.
    Wake();
}

int TerminalConsole::Present(const ScreenMirror& mirror, const CursorState& cursor, bool force) {
    if (!modes_) return -1;
    const int64_t now = Now();
    const int64_t sinceFrame = now - lastFrameTime_;
    if (!force && sinceFrame < kFrameInterval) {
        if (!framePending_) {
            framePending_ = true;
            // A thread waiting for input must come back in time to send this frame.
            Wake();
        }
        return static_cast<int>(kFrameInterval - sinceFrame);
    }
    std::string frame;
    output_.Render(mirror, cursor, frame);
    framePending_ = false;
    if (!frame.empty()) {
        WriteOut(frame);
        // A forced frame (the saved screen when the console opens, the cleared screen after a
        // resize) is at once followed by the program's own drawing: it does not hold that back
        // for a frame interval, which at start delayed the first complete screen by up to 16 ms.
        if (!force) lastFrameTime_ = now;
    }
    return -1;
}

bool TerminalConsole::ReadAvailable(int timeoutMs) {
    bool any = false;
    for (int round = 0; round < 16; ++round) {
        pollfd descriptor{inputFd_, POLLIN, 0};
        const int ready = poll(&descriptor, 1, round == 0 ? timeoutMs : 0);
        if (ready <= 0) break;
        if (descriptor.revents & (POLLERR | POLLNVAL)) {
            failed_ = true;
            break;
        }
        char buffer[4096];
        const ssize_t count = ::read(inputFd_, buffer, sizeof buffer);
        if (count < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (count <= 0) {
            failed_ = true;  // end of file or hang-up: the terminal is gone
            break;
        }
        decoder_.Push(std::string_view(buffer, static_cast<size_t>(count)));
        lastInputTime_ = Now();
        any = true;
    }
    return any;
}

void TerminalConsole::HandleSignals() {
    const SignalWatch::Pending pending = SignalWatch::Instance().Drain();
    if (pending.resized) resizePending_ = true;
    if (pending.terminate != 0) {
        // Asked to end (kill, hang-up): put the terminal back, then let the signal take its
        // default course so that the parent sees how the program ended.
        if (modes_) modes_->Leave();
        EndBySignal(pending.terminate);
    }
    if (pending.stopRequested) {
        StopAndContinue();
    } else if (pending.continued) {
        // Stopped by someone else (SIGSTOP cannot be caught): the shell may have changed the
        // terminal's modes and drawn on it.
        TakeTerminalAgain();
    }
}

void TerminalConsole::StopAndContinue() {
    if (!modes_) return;
    modes_->Leave();
    // A SIGCONT sent while the terminal was being given back came before the stop it was
    // meant to end: stopping now would wait for one that never comes.
    SignalWatch& signals = SignalWatch::Instance();
    SignalWatch::Pending before = signals.Drain();
    if (!before.continued) StopProcess();
    // The SIGCONT that woke the process is this stop's own; other signals stay for later.
    const SignalWatch::Pending after = signals.Drain();
    const int terminate = before.terminate != 0 ? before.terminate : after.terminate;
    if (terminate != 0) signals.KeepTerminate(terminate);
    if (before.resized || after.resized) resizePending_ = true;
    TakeTerminalAgain();
}

void TerminalConsole::TakeTerminalAgain() {
    if (!modes_) return;
    // Leave first when still in our modes: the enter sequence pushes keyboard flags that one
    // leave pops.
    if (modes_->Active()) modes_->Leave();
    if (!modes_->ApplyRawMode()) {
        failed_ = true;
        return;
    }
    WriteOut(modes_->EnterSequence(keyboard_));
    lastTitle_.clear();
    // The terminal's content is unknown: the next frame repaints every cell.
    output_.Invalidate(cols_, rows_);
    resizePending_ = true;
}

int TerminalConsole::InputTimeout() const {
    return decoder_.InPaste() ? kPasteTimeout : kEscTimeout;
}

int TerminalConsole::NextInput(InputItem& item) {
    if (!modes_) return -1;
    FinishProbe();
    HandleSignals();
    ReadAvailable(0);
    for (int attempt = 0; attempt < 2; ++attempt) {
        DecodedItem decoded;
        KeyDecoder::Result result;
        while ((result = decoder_.Next(decoded)) == KeyDecoder::Result::kItem) {
            TakeDecoded(decoded);
        }
        if (result == KeyDecoder::Result::kNeedMore && keys_.empty() &&
            Now() - lastInputTime_ >= InputTimeout()) {
            decoder_.Expire();
            continue;
        }
        break;
    }
    if (!keys_.empty()) {
        item = std::move(keys_.front());
        keys_.pop_front();
        return 0;
    }
    return failed_ ? -1 : 1;
}

int TerminalConsole::WaitBudget(int requestedMs) {
    FinishProbe();
    if (!modes_ || !keys_.empty() || resizePending_ || failed_) return 0;
    int budget = requestedMs;
    if (decoder_.HasPendingBytes()) {
        const int64_t escLeft = InputTimeout() - (Now() - lastInputTime_);
        budget = std::min<int64_t>(budget, std::max<int64_t>(escLeft, 0));
    }
    return budget;
}

void TerminalConsole::Wait(int timeoutMs) {
    pollfd descriptors[3] = {
        {inputFd_, POLLIN, 0}, {SignalWatch::Instance().Fd(), POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (poll(descriptors, 3, timeoutMs) > 0 && (descriptors[2].revents & POLLIN)) {
        uint64_t count = 0;
        if (::read(wakeFd_, &count, sizeof count) < 0) {
            // Nothing to clear.
        }
    }
}

int TerminalConsole::WaitForSignals(int timeoutMs) {
    const int64_t start = Now();
    pollfd descriptor{SignalWatch::Instance().Fd(), POLLIN, 0};
    if (descriptor.fd < 0 || poll(&descriptor, 1, timeoutMs) < 0) {
        // Without a signal descriptor (or interrupted) the time still has to pass.
        timespec rest{timeoutMs / 1000, (timeoutMs % 1000) * 1000000L};
        while (nanosleep(&rest, &rest) != 0 && errno == EINTR) {
        }
    }
    return static_cast<int>(std::max<int64_t>(Now() - start, 0));
}

bool TerminalConsole::TakeSignals() {
    if (!modes_) return false;
    HandleSignals();
    return resizePending_;
}

int TerminalConsole::SetTitle(std::string_view title) {
    if (!modes_) return -1;
    if (!quirks_.titles) return 0;
    std::string sequence = "\x1b]2;";
    const GlyphTable& glyphs = ConsoleGlyphs();
    for (const char c : title) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x20 || byte == 0x7F) continue;  // control characters never reach the terminal
        sequence += glyphs.Utf8(byte);
    }
    sequence += "\x1b\\";
    // Activating a panel, the shell and the prompt each set the title: send a change only.
    if (sequence == lastTitle_) return failed_ ? -1 : 0;
    WriteOut(sequence);
    lastTitle_ = std::move(sequence);
    return failed_ ? -1 : 0;
}

bool TerminalConsole::TakeResize(int& cols, int& rows) {
    if (!modes_) return false;
    FinishProbe();
    HandleSignals();
    if (!resizePending_) return false;
    resizePending_ = false;
    int newCols = 0;
    int newRows = 0;
    QuerySize(newCols, newRows);
    if (newCols == cols_ && newRows == rows_) return false;
    cols_ = cols = newCols;
    rows_ = rows = newRows;
    GetMainScreen().Resize(cols_, rows_);
    output_.Invalidate(cols_, rows_);
    return true;
}

void TerminalConsole::Bell() {
    WriteOut("\a");
}

}  // namespace kq::console

namespace kq::console {

bool TerminalConsole::OfferClipboard(std::string_view text) {
    if (!modes_ || !quirks_.clipboard) return false;
    // OSC 52 carries the clipboard text as base64 of its UTF-8 form. Terminals that do not
    // accept it ignore the sequence.
    std::string utf8;
    const GlyphTable& glyphs = ConsoleGlyphs();
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        // Tabs and line ends stay what they are; other control bytes are dropped.
        if (byte == '\t' || byte == '\n' || byte == '\r') {
            utf8 += c;
        } else if (byte >= 0x20 && byte != 0x7F) {
            utf8 += glyphs.Utf8(byte);
        }
    }
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string sequence = "\x1b]52;c;";
    for (size_t i = 0; i < utf8.size(); i += 3) {
        const size_t left = utf8.size() - i;
        const uint32_t chunk = (static_cast<uint32_t>(static_cast<uint8_t>(utf8[i])) << 16) |
                               (left > 1 ? static_cast<uint8_t>(utf8[i + 1]) << 8 : 0) |
                               (left > 2 ? static_cast<uint8_t>(utf8[i + 2]) : 0);
        sequence += kAlphabet[(chunk >> 18) & 63];
        sequence += kAlphabet[(chunk >> 12) & 63];
        sequence += left > 1 ? kAlphabet[(chunk >> 6) & 63] : '=';
        sequence += left > 2 ? kAlphabet[chunk & 63] : '=';
    }
    sequence += "\x1b\\";
    WriteOut(sequence);
    return !failed_;
}

}  // namespace kq::console
