// The shell window: building and tearing down the screen of the file manager, the keys it
// routes between the active panel and the command line, and the panel layout keys.
#include "shell/ZPrompt.h"

#include <algorithm>

#include "kq/fs.h"
#include "kq/keys.h"
#include "localfs/LocalPlugin.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptLine.h"
#include "ui/ZKeyBar.h"

namespace {

ZPrompt* g_shell = nullptr;

constexpr int kMenuResource = 1;

int16_t Cell(int value) {
    return static_cast<int16_t>(std::clamp(value, -0x8000, 0x7FFF));
}

ZRec RectOf(const ZWindow& window) {
    ZRec rect;
    window.GetPos(rect);
    return rect;
}

void Place(ZWindow& window, int x, int y, int w, int h) {
    window.SetPos(ZRec(Cell(x), Cell(y), 0, 0),
                  ZRec(0, 0, Cell(std::max(w, 0)), Cell(std::max(h, 0))));
}

bool Visible(const ZWindow* window) {
    return window != nullptr && (window->GetFlags() & WF_VISIBLE) != 0;
}

// The local plugin's command-line hook changes the directory of an instance's owner, which is
// always the file panel that opened the instance.
int ChangePanelDirectory(void* owner, const char* path) {
    return owner != nullptr ? static_cast<ZFilePanel*>(owner)->GoToDirectory(path) : -1;
}

}  // namespace

ZPrompt::ZPrompt() = default;

ZPrompt::~ZPrompt() {
    if (g_shell == this) {
        g_shell = nullptr;
        kq::localfs::SetCommandLineAccess({});
        if (kq::panels::GetPanelHost() == this) kq::panels::SetPanelHost(nullptr);
    }
}

ZPrompt* ZPrompt::Shell() {
    return g_shell;
}

uint32_t ZPrompt::ReadSetting(CfgSection section, const char* name, uint32_t fallback) const {
    uint32_t value = fallback;
    if (section == 0 || CfgQueryDw(section, name, &value) != 0) return fallback;
    return value;
}

CfgSection ZPrompt::Section(const char* name) const {
    const std::string_view wanted(name);
    if (wanted == "Panels") return panelsSection_;
    if (wanted == "cHistory") return historySection_;
    if (wanted == "Confirmations") return confirmationsSection_;
    if (wanted == "Main") return mainSection_;
    if (wanted == "Interface") return interfaceSection_;
    return 0;
}

int ZPrompt::Create() {
    g_shell = this;
    kq::panels::SetPanelHost(this);
    // "cd" typed on the command line: the local plugin's hook reads and clears the line and
    // moves the panel itself. Cleared again when the shell goes.
    kq::localfs::SetCommandLineAccess({PromptGetLine, PromptSetLine, ChangePanelDirectory});
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

    ZEdit::Create(nullptr, ZRec(0, Cell(height - keyBarRows - 1), 0, 0), ZRec(0, 0, Cell(width), 1),
                  nullptr, WF_VISIBLE, 0);

    panels_[0] = std::make_unique<ZFilePanel>();
    panels_[1] = std::make_unique<ZFilePanel>();
    panels_[0]->SetOther(panels_[1].get());
    panels_[1]->SetOther(panels_[0].get());
    activePanel_ = panels_[0].get();

    const int menuRows = ReadSetting(interfaceSection_, "ShowMenu", 1) != 0 ? 1 : 0;
    menuBar_.CreateFromResource(kMenuResource, ZRec(0, 0, 0, 0), ZRec(0, 0, Cell(width), 1),
                                nullptr, menuRows != 0 ? WF_VISIBLE : WF_AUTOHIDE);
    menuBar_.SetOwner(this);

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

int ZPrompt::Destroy() {
    if (!IsAttached()) return 0;
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
    ZEdit::Destroy();
    promptDirectory_.reset();
    for (CfgSection* section : {&panelsSection_, &historySection_, &confirmationsSection_,
                                &mainSection_, &interfaceSection_}) {
        if (*section != 0) CfgClose(*section);
        *section = 0;
    }
    if (g_shell == this) {
        g_shell = nullptr;
        kq::localfs::SetCommandLineAccess({});
    }
    if (kq::panels::GetPanelHost() == this) kq::panels::SetPanelHost(nullptr);
    return 0;
}

void ZPrompt::ReleasePanelsForExit() {
    for (size_t i = 0; i < panels_.size(); ++i) {
        if (!panels_[i] || !panels_[i]->IsBound()) continue;
        releasedDirectories_[i] = panels_[i]->Directory();
        panels_[i]->Unbind();
    }
}

void ZPrompt::RestorePanelsAfterExitRefused() {
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

int ZPrompt::Activate(bool on) {
    if (on) ZDesktop::SetTitle(PromptDirectory());
    return ZEdit::Activate(on);
}

ZPanel* ZPrompt::ActivePanel() {
    return activePanel_;
}

void ZPrompt::SetActivePanel(ZPanel* panel) {
    activePanel_ = dynamic_cast<ZFilePanel*>(panel);
}

ZMenu* ZPrompt::MenuBar() {
    return menuBar_.IsAttached() ? &menuBar_ : nullptr;
}

void ZPrompt::SetPromptDirectory(const char* directory) {
    PromptSetDir(directory);
}

const char* ZPrompt::CommandLineText() {
    return PromptGetLine();
}

void ZPrompt::SetCommandLineText(const char* text) {
    PromptSetLine(text);
}

int ZPrompt::CommandLineCursor() {
    return PromptGetCursor();
}

void ZPrompt::SetCommandLineCursor(int position) {
    PromptSetCursor(position);
}

int ZPrompt::ExecuteCommandLine() {
    return PromptExecute();
}

void ZPrompt::SetPromptDirectoryText(const char* directory) {
    if (!promptDirectory_) return;
    std::array<char, kDirectorySize>& buffer = *promptDirectory_;
    buffer.fill('\0');
    if (directory != nullptr) {
        const size_t length =
            std::min(std::char_traits<char>::length(directory), kDirectorySize - 1);
        std::copy_n(directory, length, buffer.begin());
    }
}

ZFilePanel* ZPrompt::Passive() const {
    if (!BothPanels() || activePanel_ == nullptr) return nullptr;
    return activePanel_ == panels_[0].get() ? panels_[1].get() : panels_[0].get();
}

ZFilePanel* ZPrompt::LeftPanel() const {
    if (!BothPanels()) return nullptr;
    return RectOf(*panels_[1]).x < RectOf(*panels_[0]).x ? panels_[1].get() : panels_[0].get();
}

ZFilePanel* ZPrompt::RightPanel() const {
    if (!BothPanels()) return nullptr;
    return LeftPanel() == panels_[0].get() ? panels_[1].get() : panels_[0].get();
}

int ZPrompt::OnKey(uint32_t key) {
    if (Visible(activePanel_) && activePanel_->OnKey(key) == 0) return 0;
    if ((key & KF_DOWN) && LayoutKey(key)) return 0;
    return ZEdit::OnKey(key);
}

// The shell's own keys; false sends the key on to the edit line.
bool ZPrompt::LayoutKey(uint32_t key) {
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
            if (GetTitle()[0] == '\0') return false;
            PromptExecute();
            return true;
        case KC_ESC:
            PromptSetLine(nullptr);
            return true;
        case 'o':
            if (!ctrl) return false;
            OnCommand(1056);
            return true;
        case 'p':
            if (!ctrl || !both) return false;
            TogglePassivePanel();
            return true;
        case 'u':
            if (!ctrl) return false;
            OnCommand(1055);
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
                OnCommand(1101);
            } else if (ctrl) {
                ToggleOnePanel(LeftPanel());
            } else {
                OnCommand(1013);
            }
            return true;
        case KC_F2:
            if (!both || (!alt && !ctrl)) return false;
            if (alt) {
                OnCommand(1102);
            } else {
                ToggleOnePanel(RightPanel());
            }
            return true;
        case KC_F9:
            if (menuBar_.IsAttached()) menuBar_.Activate(true);
            return true;
        case KC_F10:
            OnCommand(1014);
            return true;
        default:
            return false;
    }
}

void ZPrompt::TogglePassivePanel() {
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

void ZPrompt::ShowWithoutFocus(ZFilePanel* panel) {
    // Showing a window activates it; the panel that was active takes the focus back.
    ZFilePanel* previous = activePanel_;
    panel->Show(true);
    if (previous != nullptr && previous != panel && Visible(previous)) previous->Activate(true);
}

void ZPrompt::ToggleOnePanel(ZFilePanel* toggled) {
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

void ZPrompt::MoveDivider(int direction) {
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

void ZPrompt::ChangePanelHeights(int change) {
    ZRec first = RectOf(*panels_[0]);
    ZRec second = RectOf(*panels_[1]);
    const int commandRow = RectOf(*this).y;
    if (change < 0) {
        if (first.h <= 2 || second.h <= 2) return;
    } else {
        if (first.y + first.h >= commandRow || second.y + second.h >= commandRow) return;
    }
    Place(*panels_[0], first.x, first.y, first.w, first.h + change);
    Place(*panels_[1], second.x, second.y, second.w, second.h + change);
}

int ZPrompt::OnScreenResize(int width, int height) {
    const ZRec oldLine = RectOf(*this);
    const int oldWidth = std::max<int>(oldLine.w, 1);
    const int keyBarRows = Visible(ZKeyBar::Get()) ? 1 : 0;
    const int commandRow = std::max(height - keyBarRows - 1, 0);
    Place(*this, 0, commandRow, width, 1);
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
    Redraw();
    return 0;
}
