// The shell window: building and tearing down the screen of the file manager, the keys it
// routes between the active panel and the command line, and the panel layout keys.
#include <algorithm>

#include "kq/fs.h"
#include "kq/keys.h"
#include "localfs/LocalPlugin.h"
#include "panels/ZFilePanel.h"
#include "plugins/PluginTable.h"
#include "shell/PromptLine.h"
#include "shell/PromptParts.h"
#include "shell/ShellGeometry.h"
#include "ui/ZKeyBar.h"

using kq::shell::Visible;

namespace {

kq::shell::PromptParts* g_shell = nullptr;

constexpr int kMenuResource = 1;

// The local plugin's command-line hook changes the directory of an instance's owner, which is
// always the file panel that opened the instance.
int ChangePanelDirectory(void* owner, const char* path) {
    return owner != nullptr ? static_cast<ZFilePanel*>(owner)->GoToDirectory(path) : -1;
}

}  // namespace

ZPrompt::ZPrompt() : parts_(std::make_unique<kq::shell::PromptParts>(*this)) {}

ZPrompt::~ZPrompt() {
    if (g_shell == parts_.get()) parts_->Unregister();
}

namespace kq::shell {

PromptParts* CurrentShell() {
    return g_shell;
}

CfgSection PromptParts::Section(const char* name) const {
    const std::string_view wanted(name);
    if (wanted == "Panels") return panelsSection_;
    if (wanted == "cHistory") return historySection_;
    if (wanted == "Confirmations") return confirmationsSection_;
    if (wanted == "Main") return mainSection_;
    if (wanted == "Interface") return interfaceSection_;
    return 0;
}

int PromptParts::Create() {
    g_shell = this;
    kq::panels::SetPanelHost(this);
    // "cd" typed on the command line: the local plugin's hook reads and clears the line and
    // moves the panel itself. Cleared again when the shell goes.
    kq::localfs::SetCommandLineAccess({PromptGetLine, PromptSetLine, ChangePanelDirectory});
    // The panels let go of their plugin instances while the plugins are unloaded at quit.
    kq::plugins::SetUnloadGuard({[] { g_shell->ReleasePanelsForExit(); },
                                 [] { g_shell->RestorePanelsAfterExitRefused(); }});
    promptDirectory_ = std::make_unique<std::array<char, kDirectorySize>>();
    promptDirectory_->fill('\0');
    if (FsGetCwd(promptDirectory_->data()) != 0) (*promptDirectory_)[0] = '\0';

    panelsSection_ = CfgOpen("Panels");
    historySection_ = CfgOpen("cHistory");
    confirmationsSection_ = CfgOpen("Confirmations");
    mainSection_ = CfgOpen("Main");
    interfaceSection_ = CfgOpen("Interface");

    ZRec screen;
    ZDesktop::GetPos(screen);
    const int width = screen.w;
    const int height = screen.h;

    // K and M are row counts: the options dialogs write 0 or 1.
    const int keyBarRows = ReadSetting(interfaceSection_, "ShowKeyBar", 0) != 0 ? 1 : 0;
    if (ZKeyBar* keyBar = ZKeyBar::Get()) keyBar->Show(keyBarRows != 0);

    prompt_.ZEdit::Create(nullptr, ZRec(0, Cell(height - keyBarRows - 1), 0, 0),
                          ZRec(0, 0, Cell(width), 1), nullptr, WF_VISIBLE, 0);

    panels_[0] = std::make_unique<ZFilePanel>();
    panels_[1] = std::make_unique<ZFilePanel>();
    panels_[0]->SetOther(panels_[1].get());
    panels_[1]->SetOther(panels_[0].get());
    activePanel_ = panels_[0].get();

    const int menuRows = CreateMenuBar(width);

    const int panelHeight = height - keyBarRows - menuRows - 1;
    panels_[0]->Create(nullptr, ZRec(0, Cell(menuRows), 0, 0),
                       ZRec(0, 0, Cell(width / 2), Cell(panelHeight)), nullptr, 0, 0);
    panels_[1]->Create(nullptr, ZRec(Cell(width / 2), Cell(menuRows), 0, 0),
                       ZRec(0, 0, Cell(width - width / 2), Cell(panelHeight)), nullptr, 0, 0);
    for (auto& panel : panels_) {
        panel->Bind(0, 0);
        // The local plugin opens in the current directory, which is the prompt's: a second
        // read of a large directory is saved then.
        if (panel->Directory() != PromptDirectory()) panel->ChangeDirectory(PromptDirectory(), 0);
    }
    // The right panel ends up active, and the command line on top with the keyboard.
    panels_[0]->Activate(true);
    panels_[1]->Activate(true);

    showClock_ = static_cast<int>(ReadSetting(interfaceSection_, "ShowClock", 1));
    // Six cells, the last one beyond the screen's edge: it holds the end of the clock's text.
    clock_.Create(nullptr, ZRec(Cell(width - 5), 0, 0, 0), ZRec(0, 0, 6, 1), nullptr,
                  WF_OVERLAY | (showClock_ != 0 ? WF_VISIBLE : 0u), 0);
    return 0;
}

int PromptParts::CreateMenuBar(int width) {
    const int menuRows = ReadSetting(interfaceSection_, "ShowMenu", 1) != 0 ? 1 : 0;
    menuBar_.CreateFromResource(kMenuResource, ZRec(0, 0, 0, 0), ZRec(0, 0, Cell(width), 1),
                                nullptr, menuRows != 0 ? WF_VISIBLE : WF_AUTOHIDE);
    menuBar_.SetOwner(&prompt_);
    return menuRows;
}

void PromptParts::Destroy() {
    menuBar_.Destroy();
    driveMenu_.Destroy();
    if (BothPanels()) {
        ZFilePanel* first = activePanel_ ? activePanel_ : panels_[0].get();
        ZFilePanel* second = first == panels_[0].get() ? panels_[1].get() : panels_[0].get();
        first->Destroy();
        second->Destroy();
    }
    activePanel_ = nullptr;
    driveMenuTarget_ = nullptr;
    panels_[0].reset();
    panels_[1].reset();
    prompt_.ZEdit::Destroy();
    promptDirectory_.reset();
    for (CfgSection* section : {&panelsSection_, &historySection_, &confirmationsSection_,
                                &mainSection_, &interfaceSection_}) {
        if (*section != 0) CfgClose(*section);
        *section = 0;
    }
    if (g_shell == this) Unregister();
    if (kq::panels::GetPanelHost() == this) kq::panels::SetPanelHost(nullptr);
}

void PromptParts::Unregister() {
    g_shell = nullptr;
    kq::localfs::SetCommandLineAccess({});
    kq::plugins::SetUnloadGuard({});
    if (kq::panels::GetPanelHost() == this) kq::panels::SetPanelHost(nullptr);
}

void PromptParts::ReleasePanelsForExit() {
    for (size_t i = 0; i < panels_.size(); ++i) {
        if (!panels_[i] || !panels_[i]->IsBound()) continue;
        releasedDirectories_[i] = panels_[i]->Directory();
        panels_[i]->Unbind();
    }
}

void PromptParts::RestorePanelsAfterExitRefused() {
    for (size_t i = 0; i < panels_.size(); ++i) {
        if (!panels_[i] || panels_[i]->IsBound()) continue;
        panels_[i]->Bind(0, 0);
        if (!releasedDirectories_[i].empty()) {
            panels_[i]->ChangeDirectory(releasedDirectories_[i].c_str(), 0);
        }
        releasedDirectories_[i].clear();
        panels_[i]->Redraw();
    }
    if (Visible(activePanel_)) activePanel_->Activate(true);
}

ZPanel* PromptParts::ActivePanel() {
    return activePanel_;
}

void PromptParts::SetActivePanel(ZPanel* panel) {
    activePanel_ = dynamic_cast<ZFilePanel*>(panel);
}

void PromptParts::SetPromptDirectory(const char* directory) {
    PromptSetDir(directory);
}

const char* PromptParts::CommandLineText() {
    return PromptGetLine();
}

void PromptParts::SetCommandLineText(const char* text) {
    PromptSetLine(text);
}

int PromptParts::CommandLineCursor() {
    return PromptGetCursor();
}

void PromptParts::SetCommandLineCursor(int position) {
    PromptSetCursor(position);
}

int PromptParts::ExecuteCommandLine() {
    return PromptExecute();
}

void PromptParts::SetPromptDirectoryText(const char* directory) {
    if (!promptDirectory_) return;
    std::array<char, kDirectorySize>& buffer = *promptDirectory_;
    buffer.fill('\0');
    if (directory != nullptr) {
        const size_t length =
            std::min(std::char_traits<char>::length(directory), kDirectorySize - 1);
        std::copy_n(directory, length, buffer.begin());
    }
}

ZFilePanel* PromptParts::Passive() const {
    if (!BothPanels() || activePanel_ == nullptr) return nullptr;
    return activePanel_ == panels_[0].get() ? panels_[1].get() : panels_[0].get();
}

ZFilePanel* PromptParts::LeftPanel() const {
    if (!BothPanels()) return nullptr;
    return RectOf(*panels_[1]).x < RectOf(*panels_[0]).x ? panels_[1].get() : panels_[0].get();
}

ZFilePanel* PromptParts::RightPanel() const {
    if (!BothPanels()) return nullptr;
    return LeftPanel() == panels_[0].get() ? panels_[1].get() : panels_[0].get();
}

// The shell's own keys; false sends the key on to the edit line.
bool PromptParts::LayoutKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    const bool ctrl = (flags & KF_CTRL) != 0;
    const bool alt = (flags & KF_ALT) != 0;
    const bool both = BothPanels();
    const bool layoutAllowed = both && Visible(activePanel_);
    switch (KEY_CODE(key)) {
        case KC_TAB:
            if (!both) return false;
            if (ZFilePanel* passive = Passive(); Visible(passive)) passive->Activate(true);
            return true;
        case KC_ENTER:
            if (prompt_.GetTitle()[0] == '\0') return false;
            PromptExecute();
            return true;
        case KC_ESC:
            PromptSetLine(nullptr);
            return true;
        case 'o':
            if (!ctrl) return false;
            prompt_.OnCommand(1056);
            return true;
        case 'p':
            if (!ctrl || !both) return false;
            TogglePassivePanel();
            return true;
        case 'u':
            if (!ctrl) return false;
            prompt_.OnCommand(1055);
            return true;
        case KC_LEFT:
        case KC_RIGHT:
            if (!ctrl || !layoutAllowed) return false;
            MoveDivider(KEY_CODE(key) == KC_LEFT ? -1 : 1);
            return true;
        case KC_UP:
        case KC_DOWN:
            if (!ctrl || !layoutAllowed) return false;
            ChangePanelHeights(KEY_CODE(key) == KC_UP ? -1 : 1);
            return true;
        case KC_F1:
            if (!both) return false;
            if (alt) {
                prompt_.OnCommand(1101);
            } else if (ctrl) {
                ToggleOnePanel(LeftPanel());
            } else {
                prompt_.OnCommand(1013);
            }
            return true;
        case KC_F2:
            if (!both || (!alt && !ctrl)) return false;
            if (alt) {
                prompt_.OnCommand(1102);
            } else {
                ToggleOnePanel(RightPanel());
            }
            return true;
        case KC_F9:
            if (menuBar_.IsAttached()) menuBar_.Activate(true);
            return true;
        case KC_F10:
            prompt_.OnCommand(1014);
            return true;
        default:
            return false;
    }
}

void PromptParts::TogglePassivePanel() {
    ZFilePanel* passive = Passive();
    if (passive == nullptr) return;
    if (Visible(activePanel_)) {
        if (passive->GetFlags() != 0) {
            passive->Show(false);
        } else {
            ShowWithoutFocus(passive);
        }
    } else {
        passive->Activate(true);
    }
}

void PromptParts::ShowWithoutFocus(ZFilePanel* panel) {
    // Showing a window activates it; the panel that was active takes the focus back.
    ZFilePanel* previous = activePanel_;
    panel->Show(true);
    if (previous != nullptr && previous != panel && Visible(previous)) previous->Activate(true);
}

void PromptParts::ToggleOnePanel(ZFilePanel* toggled) {
    if (toggled == nullptr) return;
    ZFilePanel* other = toggled == panels_[0].get() ? panels_[1].get() : panels_[0].get();
    if (Visible(toggled)) {
        toggled->Show(false);
        if (Visible(other) && other != activePanel_) other->Activate(true);
        return;
    }
    if (Visible(other)) {
        ShowWithoutFocus(toggled);
    } else {
        toggled->Activate(true);
    }
}

void PromptParts::MoveDivider(int direction) {
    ZFilePanel* left = LeftPanel();
    ZFilePanel* right = RightPanel();
    ZRec leftRect = RectOf(*left);
    ZRec rightRect = RectOf(*right);
    if (direction < 0) {
        if (leftRect.w <= 2) return;
        --leftRect.w;
        --rightRect.x;
        ++rightRect.w;
    } else {
        if (rightRect.w <= 2) return;
        --rightRect.w;
        ++rightRect.x;
        ++leftRect.w;
    }
    Place(*left, leftRect.x, leftRect.y, leftRect.w, leftRect.h);
    Place(*right, rightRect.x, rightRect.y, rightRect.w, rightRect.h);
}

void PromptParts::ChangePanelHeights(int change) {
    ZRec first = RectOf(*panels_[0]);
    ZRec second = RectOf(*panels_[1]);
    const int commandRow = RectOf(prompt_).y;
    if (change < 0) {
        if (first.h <= 2 || second.h <= 2) return;
    } else {
        if (first.y + first.h >= commandRow || second.y + second.h >= commandRow) return;
    }
    Place(*panels_[0], first.x, first.y, first.w, first.h + change);
    Place(*panels_[1], second.x, second.y, second.w, second.h + change);
}

void PromptParts::Resize(int width, int height) {
    const ZRec oldLine = RectOf(prompt_);
    const int oldWidth = std::max<int>(oldLine.w, 1);
    const int keyBarRows = Visible(ZKeyBar::Get()) ? 1 : 0;
    const int commandRow = std::max(height - keyBarRows - 1, 0);
    Place(prompt_, 0, commandRow, width, 1);
    if (menuBar_.IsAttached()) Place(menuBar_, 0, 0, width, 1);
    if (clock_.IsAttached()) Place(clock_, width - 5, 0, 6, 1);
    if (BothPanels()) {
        ZFilePanel* left = LeftPanel();
        ZFilePanel* right = RightPanel();
        const ZRec leftRect = RectOf(*left);
        const ZRec rightRect = RectOf(*right);
        // The divider keeps its share of the width; each panel keeps at least two columns
        // while the screen has room for them.
        if (dividerShare_.placedWidth != leftRect.w || dividerShare_.screenWidth <= 0) {
            dividerShare_ = DividerShare{leftRect.w, oldWidth, -1};
        }
        const int shareBase = dividerShare_.screenWidth;
        int leftWidth = (dividerShare_.leftWidth * width + shareBase / 2) / shareBase;
        leftWidth =
            std::clamp(leftWidth, std::min(2, width), std::max(width - 2, std::min(2, width)));
        // Panels that reached the command line still do; shorter ones keep their gap to it.
        auto heightFor = [&](const ZRec& rect) {
            const int gap = std::max(oldLine.y - (rect.y + rect.h), 0);
            const int top = std::min<int>(rect.y, commandRow);
            return std::max(commandRow - gap - top, std::min(commandRow - top, 2));
        };
        dividerShare_.placedWidth = leftWidth;
        Place(*left, 0, std::min<int>(leftRect.y, commandRow), leftWidth, heightFor(leftRect));
        Place(*right, leftWidth, std::min<int>(rightRect.y, commandRow), width - leftWidth,
              heightFor(rightRect));
    }
}

}  // namespace kq::shell

int ZPrompt::Create() {
    return parts_->Create();
}

int ZPrompt::Destroy() {
    if (IsAttached()) parts_->Destroy();
    return 0;
}

int ZPrompt::Activate(bool on) {
    if (on) ZDesktop::SetTitle(parts_->PromptDirectory());
    return ZEdit::Activate(on);
}

int ZPrompt::OnKey(uint32_t key) {
    ZFilePanel* active = parts_->Active();
    if (Visible(active) && active->OnKey(key) == 0) return 0;
    if ((key & KF_DOWN) && parts_->LayoutKey(key)) return 0;
    return ZEdit::OnKey(key);
}

int ZPrompt::OnScreenResize(int width, int height) {
    parts_->Resize(width, height);
    Redraw();
    return 0;
}
