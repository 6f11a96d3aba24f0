// The in-memory console: a screen of cells a test can read, a queue of key events a test can
// fill, and a size a test can change. Every window, dialog, panel, viewer and editor test runs
// the real drawing and key code against it.
//
// Usage:
//   auto console = std::make_shared<MemoryConsole>(80, 25);
//   kq::console::InstallBackend(console);
//   ConInit(nullptr, nullptr);
//   console->PushKey(KEY_EVENT(KC_F10, 0, KF_DOWN));
//   ... EXPECT_EQ(console->RowText(0), "...");  EXPECT_EQ(console->Attr(3, 0), 0x1F);
//
// It outlives ConInit/ConShutdown pairs (the desktop closes and reopens the layer when it
// suspends), keeping its screen and queue.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "console/ConsoleBackend.h"

namespace kq::console {

class VtermMainScreen;

class MemoryConsole final : public ConsoleBackend {
  public:
    MemoryConsole(int cols, int rows);
    ~MemoryConsole() override;

    // --- for tests: input ---
    // A finished key event, delivered as it is.
    void PushKey(uint32_t event);
    // A keyboard record, translated as the terminal's would be (repeats, releases, flags).
    void PushRecord(const KeyRecord& record);
    // Text typed as plain key presses: one event per character.
    void PushText(std::string_view text);
    // Text pasted into the terminal (UTF-8), as the terminal's bracketed paste delivers it.
    void PushPaste(std::string_view utf8);
    size_t PendingInput() const;

    // --- for tests: the screen ---
    int Cols() const;
    int Rows() const;
    // The characters of row y (code-page bytes).
    std::string RowText(int y) const;
    // Characters of row y from column x, count cells.
    std::string Text(int x, int y, int count) const;
    uint8_t Char(int x, int y) const;
    uint8_t Attr(int x, int y) const;
    // The whole screen as rows joined by '\n'.
    std::string ScreenText() const;
    // The attributes of the whole screen in the same layout.
    std::string ScreenAttributes() const;
    CursorState Cursor() const;
    std::string Title() const;
    int BellCount() const;
    bool IsOpen() const;

    // The screen's content before the layer opens (the saved screen); blank (0x07) by default.
    void SetSavedScreen(std::vector<uint8_t> cells);
    // Changes the device's size: reported once through ConTakeResize; a later ConInit opens
    // at this size.
    void SetSize(int cols, int rows);

    // --- for tests: pauses (ConPause) take no time here ---
    int64_t PausedMilliseconds() const;
    // Called with each pause's length, outside the console's lock (it may push keys or resize).
    void SetPauseHook(std::function<void(int milliseconds)> hook);

    // --- the device ---
    bool Open(int& cols, int& rows) override;
    void Close() override;
    std::vector<uint8_t> SavedScreen(int cols, int rows) override;
    int Present(const ScreenMirror& mirror, const CursorState& cursor, bool force) override;
    int NextInput(InputItem& item) override;
    int WaitBudget(int requestedMs) override;
    void Wait(int timeoutMs) override;
    // No time passes: the pause is added to PausedMilliseconds and handed to the pause hook.
    int WaitForSignals(int timeoutMs) override;
    bool TakeSignals() override;
    int SetTitle(std::string_view title) override;
    bool TakeResize(int& cols, int& rows) override;
    // Honoured at once, as a terminal that obeys the request would.
    void RequestSize(int cols, int rows) override;
    void Bell() override;
    void Wake() override;
    bool OfferClipboard(std::string_view text) override;
    // The last text offered to the device's clipboard.
    std::string OfferedClipboard() const;
    // MemoryCommand.cpp: runs the command with its output in a pipe (input from /dev/null);
    // the output and the texts around it go to a terminal-emulator screen that becomes the
    // saved screen, and to the command log.
    int RunCommand(const CommandRequest& request) override;
    // Everything commands and the texts around them printed, in UTF-8, since construction.
    std::string CommandLog() const;

  private:
    mutable std::mutex mutex_;
    std::condition_variable inputArrived_;
    int cols_;
    int rows_;
    bool open_ = false;
    bool resizePending_ = false;
    bool wakePending_ = false;
    ScreenMirror screen_;
    std::vector<uint8_t> savedScreen_;
    CursorState cursor_;
    std::deque<InputItem> input_;
    std::string title_;
    int bells_ = 0;
    int64_t pausedMs_ = 0;
    std::function<void(int)> pauseHook_;
    std::string offeredClipboard_;
    std::string commandLog_;
    // The screen commands print on; created by the first command.
    std::unique_ptr<VtermMainScreen> commandScreen_;
};

}  // namespace kq::console
