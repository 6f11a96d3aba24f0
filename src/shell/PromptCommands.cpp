// The shell's commands: from the menu bar, from its own keys, and the panel re-reads that
// follow a command. Panel commands go to the panel they concern.
#include <algorithm>
#include <array>

#include "panels/ZFilePanel.h"
#include "shell/PromptParts.h"
#include "ui/ZDialog.h"

namespace {

// The menu bar reports the bar item it opens a pop-up for; those are no commands.
constexpr int kFirstBarItem = 1001;
constexpr int kLastBarItem = 1005;

constexpr int kAboutDialog = 104;

constexpr std::array<int, 11> kPanelCommands = {1006, 1007, 1008, 1009, 1010, 1011,
                                                1052, 1053, 1054, 1057, 1067};

// The shell's own commands besides the sort modes and re-reads (1030 to 1051).
constexpr std::array<int, 14> kShellCommands = {1013, 1014, 1055, 1056, 1061, 1066, 1076,
                                                1077, 1080, 1087, 1101, 1102, 1107, 1108};

template <size_t N>
bool Contains(const std::array<int, N>& ids, int id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

bool IsPanelCommand(int id) {
    return Contains(kPanelCommands, id);
}

void ShowAboutDialog() {
    ZDialog dialog;
    if (dialog.CreateFromResource(kAboutDialog, nullptr, 0) != 0) return;
    dialog.Activate(true);
    dialog.Run();
    dialog.Destroy();
}

}  // namespace

int ZPrompt::OnCommand(int id) {
    if (id >= kFirstBarItem && id <= kLastBarItem) return ZEdit::OnCommand(id);
    const bool known =
        IsPanelCommand(id) || Contains(kShellCommands, id) || (id >= 1030 && id <= 1051);
    if (!known) return ZEdit::OnCommand(id);
    parts_->RunCommand(id);
    return 0;
}

namespace kq::shell {

void PromptParts::RunCommand(int id) {
    if (id != 1056 && menuBar_.IsAttached()) menuBar_.Close();

    ZFilePanel* left = LeftPanel();
    ZFilePanel* right = RightPanel();
    if (IsPanelCommand(id)) {
        if (activePanel_ != nullptr) activePanel_->OnCommand(id);
    } else if (id == 1013) {
        ShowAboutDialog();
    } else if (id == 1014) {
        ZDesktop::Quit(0);
    } else if (id == 1061) {
        ZScreenSaver();
    } else if (id == 1066) {
        ShowConfirmations();
    } else if (id == 1076) {
        ShowInterfaceOptions();
    } else if (id == 1077) {
        ShowPanelOptions();
    } else if (id == 1080) {
        ShowSystemOptions();
    } else if (id == 1087) {
        ChooseLanguage();
    } else if (activePanel_ == nullptr || left == nullptr) {
        // The remaining commands concern the panels.
    } else if (id >= 1030 && id <= 1039) {
        right->OnCommand(id);
    } else if (id >= 1040 && id <= 1049) {
        left->OnCommand(id - 10);
    } else if (id == 1050) {
        left->OnCommand(1051);
    } else if (id == 1051) {
        right->OnCommand(1051);
    } else if (id == 1055) {
        SwapPanels();
    } else if (id == 1056) {
        ShowOrHidePanels();
    } else if (id == 1101 || id == 1102) {
        ShowDriveMenu(id == 1101);
    } else if (id == 1107) {
        right->OnCommand(1107);
    } else if (id == 1108) {
        left->OnCommand(1107);
    }
}

void PromptParts::ShowOrHidePanels() {
    ZFilePanel* passive = Passive();
    if (activePanel_ == nullptr || passive == nullptr) return;
    if (activePanel_->GetFlags() & WF_VISIBLE) {
        passive->Show(false);
        activePanel_->Show(false);
        // The command line keeps the keyboard over the background.
        prompt_.ZEdit::Activate(true);
    } else {
        passive->Show(true);
        activePanel_->Show(true);
        activePanel_->Activate(true);
    }
}

void PromptParts::SwapPanels() {
    if (!BothPanels()) return;
    ZRec first;
    ZRec second;
    panels_[0]->GetPos(first);
    panels_[1]->GetPos(second);
    panels_[0]->SetPos(ZRec(second.x, second.y, 0, 0), ZRec(0, 0, second.w, second.h));
    panels_[1]->SetPos(ZRec(first.x, first.y, 0, 0), ZRec(0, 0, first.w, first.h));
}

}  // namespace kq::shell
