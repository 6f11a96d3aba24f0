// The in-memory console device.
#include "console/MemoryConsole.h"

#include <chrono>

#include "console/VtermMainScreen.h"
#include "kq/keys.h"

namespace kq::console {

MemoryConsole::MemoryConsole(int cols, int rows) : cols_(cols), rows_(rows), screen_(cols, rows) {}

void MemoryConsole::PushKey(uint32_t event) {
    {
        std::lock_guard lock(mutex_);
        input_.emplace_back(event);
    }
    inputArrived_.notify_all();
}

void MemoryConsole::PushRecord(const KeyRecord& record) {
    {
        std::lock_guard lock(mutex_);
        input_.emplace_back(record);
    }
    inputArrived_.notify_all();
}

void MemoryConsole::PushPaste(std::string_view utf8) {
    {
        std::lock_guard lock(mutex_);
        input_.emplace_back(PastedText{std::string(utf8), false});
    }
    inputArrived_.notify_all();
}

void MemoryConsole::PushText(std::string_view text) {
    for (const char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        uint8_t code = KC_NONE;
        uint32_t flags = KF_DOWN;
        if (byte >= 'a' && byte <= 'z') {
            code = byte;
        } else if (byte >= 'A' && byte <= 'Z') {
            code = static_cast<uint8_t>(byte + 0x20);
            flags |= KF_SHIFT;
        } else if (byte >= '0' && byte <= '9') {
            code = byte;
        } else if (byte == ' ') {
            code = KC_SPACE;
        }
        PushKey(KEY_EVENT(code, byte, flags));
    }
}

size_t MemoryConsole::PendingInput() const {
    std::lock_guard lock(mutex_);
    return input_.size();
}

int MemoryConsole::Cols() const {
    std::lock_guard lock(mutex_);
    return screen_.Cols();
}

int MemoryConsole::Rows() const {
    std::lock_guard lock(mutex_);
    return screen_.Rows();
}

std::string MemoryConsole::Text(int x, int y, int count) const {
    std::lock_guard lock(mutex_);
    std::string text;
    if (y < 0 || y >= screen_.Rows()) return text;
    for (int column = std::max(x, 0); column < screen_.Cols() && column < x + count; ++column) {
        text += static_cast<char>(screen_.Char(column, y));
    }
    return text;
}

std::string MemoryConsole::RowText(int y) const {
    return Text(0, y, Cols());
}

uint8_t MemoryConsole::Char(int x, int y) const {
    std::lock_guard lock(mutex_);
    return screen_.Char(x, y);
}

uint8_t MemoryConsole::Attr(int x, int y) const {
    std::lock_guard lock(mutex_);
    return screen_.Attr(x, y);
}

std::string MemoryConsole::ScreenText() const {
    std::string text;
    const int rows = Rows();
    for (int y = 0; y < rows; ++y) {
        if (y > 0) text += '\n';
        text += RowText(y);
    }
    return text;
}

std::string MemoryConsole::ScreenAttributes() const {
    std::string attributes;
    for (int y = 0; y < Rows(); ++y) {
        if (y > 0) attributes += '\n';
        for (int x = 0; x < Cols(); ++x) attributes += static_cast<char>(Attr(x, y));
    }
    return attributes;
}

CursorState MemoryConsole::Cursor() const {
    std::lock_guard lock(mutex_);
    return cursor_;
}

std::string MemoryConsole::Title() const {
    std::lock_guard lock(mutex_);
    return title_;
}

int MemoryConsole::BellCount() const {
    std::lock_guard lock(mutex_);
    return bells_;
}

bool MemoryConsole::IsOpen() const {
    std::lock_guard lock(mutex_);
    return open_;
}

void MemoryConsole::SetSavedScreen(std::vector<uint8_t> cells) {
    std::lock_guard lock(mutex_);
    savedScreen_ = std::move(cells);
}

void MemoryConsole::SetSize(int cols, int rows) {
    {
        std::lock_guard lock(mutex_);
        cols_ = cols;
        rows_ = rows;
        resizePending_ = open_;
    }
    inputArrived_.notify_all();
}

bool MemoryConsole::Open(int& cols, int& rows) {
    std::lock_guard lock(mutex_);
    if (cols_ <= 0 || rows_ <= 0) return false;
    open_ = true;
    resizePending_ = false;
    cols = cols_;
    rows = rows_;
    if (screen_.Cols() != cols_ || screen_.Rows() != rows_) screen_ = ScreenMirror(cols_, rows_);
    return true;
}

void MemoryConsole::RequestSize(int cols, int rows) {
    SetSize(cols, rows);
}

void MemoryConsole::Close() {
    std::lock_guard lock(mutex_);
    open_ = false;
}

std::vector<uint8_t> MemoryConsole::SavedScreen(int cols, int rows) {
    std::lock_guard lock(mutex_);
    const size_t size = static_cast<size_t>(cols) * static_cast<size_t>(rows) * 2;
    if (savedScreen_.size() == size) return savedScreen_;
    std::vector<uint8_t> blank(size);
    for (size_t i = 0; i < size; i += 2) {
        blank[i] = ' ';
        blank[i + 1] = 0x07;
    }
    return blank;
}

int MemoryConsole::Present(const ScreenMirror& mirror, const CursorState& cursor, bool) {
    std::lock_guard lock(mutex_);
    screen_ = mirror;
    cursor_ = cursor;
    return -1;
}

int MemoryConsole::NextInput(InputItem& item) {
    std::lock_guard lock(mutex_);
    if (input_.empty()) return 1;
    item = input_.front();
    input_.pop_front();
    return 0;
}

int MemoryConsole::WaitBudget(int requestedMs) {
    std::lock_guard lock(mutex_);
    return input_.empty() && !resizePending_ ? requestedMs : 0;
}

void MemoryConsole::Wait(int timeoutMs) {
    std::unique_lock lock(mutex_);
    inputArrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return !input_.empty() || resizePending_ || wakePending_; });
    wakePending_ = false;
}

int MemoryConsole::WaitForSignals(int timeoutMs) {
    std::function<void(int)> hook;
    {
        std::lock_guard lock(mutex_);
        pausedMs_ += timeoutMs;
        hook = pauseHook_;
    }
    if (hook) hook(timeoutMs);
    return timeoutMs;
}

bool MemoryConsole::TakeSignals() {
    std::lock_guard lock(mutex_);
    return resizePending_;
}

int64_t MemoryConsole::PausedMilliseconds() const {
    std::lock_guard lock(mutex_);
    return pausedMs_;
}

void MemoryConsole::SetPauseHook(std::function<void(int)> hook) {
    std::lock_guard lock(mutex_);
    pauseHook_ = std::move(hook);
}

void MemoryConsole::Wake() {
    {
        std::lock_guard lock(mutex_);
        wakePending_ = true;
    }
    inputArrived_.notify_all();
}

int MemoryConsole::SetTitle(std::string_view title) {
    std::lock_guard lock(mutex_);
    title_ = title;
    return 0;
}

bool MemoryConsole::TakeResize(int& cols, int& rows) {
    std::lock_guard lock(mutex_);
    if (!resizePending_) return false;
    resizePending_ = false;
    cols = cols_;
    rows = rows_;
    return true;
}

void MemoryConsole::Bell() {
    std::lock_guard lock(mutex_);
    ++bells_;
}

bool MemoryConsole::OfferClipboard(std::string_view text) {
    std::lock_guard lock(mutex_);
    offeredClipboard_ = text;
    return true;
}

std::string MemoryConsole::OfferedClipboard() const {
    std::lock_guard lock(mutex_);
    return offeredClipboard_;
}

}  // namespace kq::console
