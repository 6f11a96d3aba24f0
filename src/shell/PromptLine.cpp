// Drawing the command line behind its prompt, the Prompt* functions, and running a command.
#include "shell/PromptLine.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "console/Console.h"
#include "fs/FsInternal.h"
#include "kq/resource_ids.h"
#include "kq/text.h"
#include "panels/PanelTexts.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptParts.h"
#include "ui/OverwriteMode.h"

namespace {

constexpr int kLineColour = 19;
constexpr int kSelectionColour = 20;
constexpr int16_t kOverwriteCursor = 100;
constexpr int16_t kInsertCursor = 10;

}  // namespace

int ZPrompt::Draw() {
    if (Chars().empty()) return 0;
    const int width = Width();
    const int area = width * Height();
    const char* directory = parts_->PromptDirectory();
    const int directoryLength = static_cast<int>(std::strlen(directory));
    const int promptLength = std::min(directoryLength, width / 2);

    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kLineColour]);
    const std::string_view text = GetTitle();
    const int length = static_cast<int>(text.size());
    int caret = GetCaret();
    if (caret > length) {
        caret = 0;
        SetCaretQuietly(0);
    }

    int scroll = GetScroll();
    if (caret >= scroll - promptLength + area - 1) scroll = caret - area + promptLength + 2;
    if (caret < scroll) scroll = caret;
    scroll = std::max(scroll, 0);
    SetScroll(scroll);

    std::vector<uint8_t>& chars = Chars();
    std::vector<uint8_t>& attrs = Attrs();
    if (promptLength > 0 && directoryLength < width / 2) {
        std::copy_n(directory, promptLength, chars.begin());
    } else if (promptLength > 0 && area > 8) {
        // A long directory: its first three characters, "...", a blank and its end. On lines
        // narrower than 14 cells that is wider than the prompt's half: it is cut there.
        const std::string shortened =
            std::string(directory, 3) + "... " +
            std::string(directory + directoryLength - std::max(width / 2 - 7, 0));
        std::copy_n(shortened.begin(), std::min<int>(shortened.size(), promptLength),
                    chars.begin());
    }
    chars[static_cast<size_t>(promptLength)] = '>';

    const int shown = std::clamp(std::min(length - scroll, area - promptLength - 1), 0, area);
    for (int i = 0; i < shown; ++i) {
        chars[static_cast<size_t>(promptLength + 1 + i)] =
            static_cast<uint8_t>(text[static_cast<size_t>(scroll + i)]);
    }

    int start = -1;
    int end = -1;
    GetSelection(&start, &end);
    if (start >= 0 && start <= end) {
        for (int i = start; i <= end; ++i) {
            const int column = i - scroll + promptLength + 1;
            if (column > promptLength && column < area) {
                attrs[static_cast<size_t>(column)] = palette[kSelectionColour];
            }
        }
    }

    // Last, and only on a change: SetCursor repaints the cell, which draws again.
    const ZRec cursor(static_cast<int16_t>((caret - scroll) % width + promptLength + 1),
                      static_cast<int16_t>((caret - scroll) / width), 0,
                      kq::ui::OverwriteMode() ? kOverwriteCursor : kInsertCursor);
    if (!(Cursor() == cursor)) SetCursor(cursor);
    return 0;
}

const char* PromptGetDir() {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    return shell ? shell->PromptDirectory() : "";
}

void PromptSetDir(const char* directory) {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    if (shell == nullptr) return;
    shell->SetPromptDirectoryText(directory);
    shell->Prompt().Redraw();
    ZDesktop::SetTitle(directory);
}

const char* PromptGetLine() {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    return shell ? shell->Prompt().GetTitle() : "";
}

void PromptSetLine(const char* text) {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    if (shell == nullptr) return;
    shell->Prompt().SetSelection(-1, 0);
    shell->Prompt().SetTitle(text ? text : "");
}

int PromptGetCursor() {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    return shell ? shell->Prompt().GetCaret() : 0;
}

void PromptSetCursor(int position) {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    if (shell != nullptr) shell->Prompt().SetCaret(position);
}

namespace {

// The command was refused because its directory cannot be entered: the user learns why.
void ReportDirectoryRefused(const std::string& directory, int error) {
    std::string format = kq::panels::LoadLanguageText(IDS_COMMAND_NOT_RUN);
    if (format.empty()) format = "%s: %s";
    const std::string text =
        kq::panels::FormatTexts(format, {kq::fs::ToCodePage(directory), std::strerror(error)});
    ZMessageBox(nullptr, ZRec(-1, -1, 0, 0), ZRec(0, 0, 68, 7), nullptr, text.c_str(), 1, 1,
                WF_DEFAULT | WF_BEEP);
}

}  // namespace

int PromptExecute() {
    kq::shell::PromptParts* shell = kq::shell::CurrentShell();
    if (shell == nullptr) return -1;
    const std::string command = shell->Prompt().GetTitle();
    const std::string prompt = shell->PromptDirectory();
    // The directory the active panel shows, not the process's current one: the panel may
    // have moved since it was activated, and a command such as rm * must never run elsewhere.
    ZFilePanel* active = shell->Active();
    const std::string directory = active != nullptr ? active->CommandDirectory() : std::string();
    ZDesktop::SetTitle(command.c_str());
    ZDesktop::Suspend();
    const std::string echo = prompt + ">" + command + "\n";
    const int result = ConRunCommand(echo.c_str(), command.c_str(), directory.c_str(), "\n\n");
    const int error = errno;
    if (result != kCommandDirectoryRefused) PromptSetLine(nullptr);
    shell->Prompt().OnCommand(1051);
    shell->Prompt().OnCommand(1050);
    ZDesktop::Resume();
    ZDesktop::SetTitle(shell->PromptDirectory());
    // Refused: the command stays on the command line for the user to run elsewhere.
    if (result == kCommandDirectoryRefused) ReportDirectoryRefused(directory, error);
    return result;
}
