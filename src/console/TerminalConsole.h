// The real terminal as the console device: raw mode and screen modes, the diffed and batched
// output, the key decoder fed from the terminal, resizes and terminating signals read through
// the signalfd, and the saved screen taken from the main-screen model.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "console/ConsoleBackend.h"
#include "console/GlyphTable.h"
#include "console/KeyDecoder.h"
#include "console/TerminalModes.h"
#include "console/TerminalOutput.h"
#include "console/TerminalQuirks.h"

namespace kq::console {

class TerminalConsole final : public ConsoleBackend {
  public:
    struct Options {
        int inputFd = -1;   // -1: standard input when it is a terminal, else /dev/tty
        int outputFd = -1;  // -1: standard output when it is a terminal, else /dev/tty
        std::optional<TerminalQuirks> quirks;  // default: from TERM
        // Ask the terminal for its keyboard protocols and cursor position when opening.
        bool probeTerminal = true;
        // Open sends the probe and returns without its answers, which are awaited when the
        // console is first used (output, input, a resize or closing): what the program does
        // meanwhile overlaps the terminal's round trip. Nothing reaches the terminal before.
        bool awaitProbeLater = false;
        // Milliseconds since an arbitrary start; the steady clock by default.
        std::function<int64_t()> clock;
    };

    // Counters for the output benchmarks.
    struct Statistics {
        uint64_t writes = 0;  // write() calls with a frame
        uint64_t bytes = 0;
    };

    explicit TerminalConsole(Options options);
    ~TerminalConsole() override;

    bool Open(int& cols, int& rows) override;
    void Close() override;
    std::vector<uint8_t> SavedScreen(int cols, int rows) override;
    int Present(const ScreenMirror& mirror, const CursorState& cursor, bool force) override;
    // Deferred to the next Present; a waiting thread is woken to send it.
    void Changed(const ScreenMirror& mirror, const CursorState& cursor) override;
    // The window-size request of xterm (CSI 8 ; rows ; cols t). Terminals that honour it send
    // a resize signal; the others (tmux, most emulators by default) ignore it.
    void RequestSize(int cols, int rows) override;
    int NextInput(InputItem& item) override;
    int WaitBudget(int requestedMs) override;
    void Wait(int timeoutMs) override;
    int WaitForSignals(int timeoutMs) override;
    bool TakeSignals() override;
    int SetTitle(std::string_view title) override;
    bool TakeResize(int& cols, int& rows) override;
    void Bell() override;
    void Wake() override;
    bool OfferClipboard(std::string_view text) override;
    // TerminalCommand.cpp: the command in a pty between the terminal and the main-screen model.
    int RunCommand(const CommandRequest& request) override;

    Statistics GetStatistics() const { return statistics_; }
    KeyboardMode Keyboard() const { return keyboard_; }

    // At most one frame per this many milliseconds (about 60 a second).
    static constexpr int kFrameInterval = 16;
    // A lone ESC is the Esc key when no byte follows within this time.
    static constexpr int kEscTimeout = 50;
    // A paste whose closing bracket has not come after this long of silence ends there.
    // Terminals send a paste in one go; over a slow link it may come in pieces.
    static constexpr int kPasteTimeout = 1000;

  private:
    int64_t Now() const;
    bool OpenDevices();
    void CloseDevices();
    // The probe's queries; AwaitProbe reads the answers (up to kProbeTimeout after the
    // queries); EnterScreen seeds the main-screen model's cursor and sends the enter sequence.
    void SendProbe();
    void AwaitProbe();
    void EnterScreen();
    // The rest of Open when Open left the probe's answers for later.
    void FinishProbe();
    bool ReadAvailable(int timeoutMs);
    void HandleSignals();
    // Gives the terminal back, stops the process, and takes the terminal again when continued.
    void StopAndContinue();
    // Raw mode, the screen and keyboard modes again, and everything repainted: after a stop,
    // or after someone else had the terminal meanwhile.
    void TakeTerminalAgain();
    // A decoded key or paste goes to the queue; a reply is taken note of.
    void TakeDecoded(DecodedItem& item);
    void HandleReply(const DecodedItem& item);
    // The Esc timeout, or the longer one inside a paste.
    int InputTimeout() const;
    void WriteOut(const std::string& bytes);
    // Text printed on the main screen in the terminal's own (cooked) modes, and the same text
    // fed to the main-screen model as the terminal's output processing turns it.
    void PrintOnMainScreen(const std::string& text, bool newlineToCrLf);
    bool QuerySize(int& cols, int& rows) const;

    Options options_;
    TerminalQuirks quirks_;
    int inputFd_ = -1;
    int outputFd_ = -1;
    bool ownsDevice_ = false;
    int wakeFd_ = -1;
    std::string lastTitle_;  // the title sequence last sent
    bool failed_ = false;

    std::unique_ptr<TerminalModes> modes_;
    KeyboardMode keyboard_ = KeyboardMode::kLegacy;
    TerminalOutput output_;
    KeyDecoder decoder_;
    std::deque<InputItem> keys_;
    int64_t lastInputTime_ = 0;

    int cols_ = 0;
    int rows_ = 0;
    bool resizePending_ = false;
    bool cursorReportSeen_ = false;
    int cursorReportX_ = 0;
    int cursorReportY_ = 0;
    bool kittyReplySeen_ = false;
    bool attributesReplySeen_ = false;
    bool probePending_ = false;  // sent, answers not yet read, screen not yet entered
    int64_t probeDeadline_ = 0;

    int64_t lastFrameTime_ = -1000;
    bool framePending_ = false;
    bool wakeSignalled_ = false;
    Statistics statistics_;
};

}  // namespace kq::console
