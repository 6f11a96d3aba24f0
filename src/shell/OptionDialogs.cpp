// The shell's option dialogs (commands 1066, 1077, 1076 and 1080): each shows the stored values,
// or the defaults where a value is missing or not a number, and on OK writes every value and
// applies at once what it changes: the panels' rows, the menu bar, clock and key bar, the
// screen size and the layout. Esc, or a dialog closed any other way, changes nothing.
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <span>
#include <string>
#include <utility>

#include "kq/resource_ids.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptParts.h"
#include "shell/ShellGeometry.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"
#include "ui/Z3State.h"
#include "ui/ZDialog.h"
#include "ui/ZKeyBar.h"

namespace kq::shell {
namespace {

// A check box and the setting behind it.
struct CheckSetting {
    int control;
    const char* name;
    int fallback;  // shown when the value is missing; kAsTemplate leaves the box as it is
};
constexpr int kAsTemplate = -1;

constexpr CheckSetting kConfirmations[] = {
    {IDC_CONFIRM_DELETE_FILE, "DeleteFile", 1},
    {IDC_CONFIRM_DELETE_SELECTED, "DeleteSelected", 1},
    {IDC_CONFIRM_DELETE_DIRS, "DeleteDirs", 1},
    {IDC_CONFIRM_DELETE_READ_ONLY, "DeleteRO", 1},
    {IDC_CONFIRM_EXIT, "Exit", 1},
};
constexpr CheckSetting kPanelOptions[] = {
    {IDC_SHOW_HIDDEN, "ShowHidden", 1},          {IDC_HIGHLIGHT, "Highlight", 1},
    {IDC_SHOW_TITLES, "ShowTitles", 1},          {IDC_SHOW_INFO, "ShowInfo", 1},
    {IDC_SELECT_FOLDERS, "SelectFolders", 0},    {IDC_SHOW_SORT, "ShowSort", 1},
    {IDC_PAUSE_AFTER_CALC, "PauseAfterCalc", 1},
};
constexpr CheckSetting kInterface[] = {
    {IDC_SHOW_MENU, "ShowMenu", 1},
    {IDC_SHOW_CLOCK, "ShowClock", 1},
    {IDC_SHOW_KEY_BAR, "ShowKeyBar", kAsTemplate},
};
constexpr CheckSetting kSystemChecks[] = {
    {IDC_SAVER_ACTIVE, "SaverActive", 1},
    {IDC_API_COPY, "ApiCopy", kAsTemplate},
};

// The longest "NoLabel" text, terminator included.
constexpr size_t kNoLabelSize = 30;

Z3State* CheckBox(ZDialog& dialog, int control) {
    return dynamic_cast<Z3State*>(dialog.GetControl(control));
}

// An option dialog of the current language, destroyed with this object.
class OptionDialog {
  public:
    explicit OptionDialog(int templateId)
        : built_(dialog_.CreateFromResource(templateId, nullptr, 0) == 0) {}
    ~OptionDialog() {
        if (built_) dialog_.Destroy();
    }
    OptionDialog(const OptionDialog&) = delete;
    OptionDialog& operator=(const OptionDialog&) = delete;

    ZDialog& Dialog() { return dialog_; }
    // Runs it; true when it was closed with OK.
    bool Confirmed() { return built_ && dialog_.Run() == 1; }

    void ShowChecks(CfgSection section, std::span<const CheckSetting> settings) {
        for (const CheckSetting& setting : settings) {
            Z3State* box = CheckBox(dialog_, setting.control);
            uint32_t value = 0;
            if (box == nullptr) continue;
            if (section != 0 && CfgQueryDw(section, setting.name, &value) == 0) {
                box->SetState(value != 0 ? 1 : 0);
            } else if (setting.fallback != kAsTemplate) {
                box->SetState(setting.fallback != 0 ? 1 : 0);
            }
        }
    }
    // Each box as 0 or 1; the first error, 0 when all were written.
    [[nodiscard]] int WriteChecks(CfgSection section, std::span<const CheckSetting> settings) {
        int error = 0;
        for (const CheckSetting& setting : settings) {
            Z3State* box = CheckBox(dialog_, setting.control);
            if (box == nullptr) continue;
            const uint32_t value = box->GetState() != 0 ? 1 : 0;
            error = Written(error, section != 0 && CfgSetDw(section, setting.name, value) == 0);
        }
        return error;
    }
    std::string Text(int control) {
        const char* text = dialog_.GetControlText(control);
        return text != nullptr ? text : "";
    }
    // The first error of a series of writes: the last write's errno when it failed.
    static int Written(int error, bool written) {
        if (error != 0 || written) return error;
        return errno != 0 ? errno : EIO;
    }

  private:
    ZDialog dialog_;
    bool built_;
};

// A failed write is told: the dialog's other values may have been stored.
void TellWhenNotSaved(int error) {
    if (error == 0) return;
    ui::ShowAlert(
        ui::FormatTexts(ui::LoadLanguageText(IDS_SETTINGS_NOT_SAVED), {ui::ReasonText(error)}));
}

// A text value cut to limit bytes with its terminator; empty when missing or of another kind.
std::string StoredText(CfgSection section, const char* name, size_t limit) {
    const int size = section != 0 ? CfgQuerySz(section, name, nullptr, 0) : -1;
    if (size <= 0) return {};
    std::string text(static_cast<size_t>(size), '\0');
    if (CfgQuerySz(section, name, text.data(), size) != 0) return {};
    text.resize(std::min(std::char_traits<char>::length(text.c_str()), limit - 1));
    return text;
}

// A stored number shown as a field's text: the fallback for one that is missing, not a number
// or negative as a signed number (a hand-edited store).
std::string NumberText(CfgSection section, const char* name, int fallback) {
    const auto value =
        static_cast<int32_t>(ReadSetting(section, name, static_cast<uint32_t>(fallback)));
    return std::to_string(value >= 0 ? value : fallback);
}

// A field's number: its text read as a decimal number, 0 when it is none (as atoi reads it).
int FieldNumber(const std::string& text) {
    return std::atoi(text.c_str());
}

}  // namespace

void PromptParts::ShowConfirmations() {
    OptionDialog dialog(IDD_CONFIRMATIONS);
    dialog.ShowChecks(confirmationsSection_, kConfirmations);
    if (!dialog.Confirmed()) return;
    TellWhenNotSaved(dialog.WriteChecks(confirmationsSection_, kConfirmations));
}

void PromptParts::ShowPanelOptions() {
    OptionDialog dialog(IDD_PANEL_OPTIONS);
    dialog.ShowChecks(panelsSection_, kPanelOptions);
    if (!dialog.Confirmed()) return;
    const int error = dialog.WriteChecks(panelsSection_, kPanelOptions);
    for (auto& panel : panels_) {
        if (panel && panel->IsFilePanel()) {
            panel->BuildRows();
            panel->Redraw();
        }
    }
    TellWhenNotSaved(error);
}

void PromptParts::ShowInterfaceOptions() {
    OptionDialog dialog(IDD_INTERFACE);
    dialog.ShowChecks(interfaceSection_, kInterface);
    if (!dialog.Confirmed()) return;
    const int error = dialog.WriteChecks(interfaceSection_, kInterface);
    const auto checked = [&](int control) {
        Z3State* box = CheckBox(dialog.Dialog(), control);
        return box != nullptr && box->GetState() != 0;
    };
    const int menuRows = checked(IDC_SHOW_MENU) ? 1 : 0;
    const int keyBarRows = checked(IDC_SHOW_KEY_BAR) ? 1 : 0;
    showClock_ = checked(IDC_SHOW_CLOCK) ? 1 : 0;
    clock_.Show(showClock_ != 0);
    if (ZKeyBar* keyBar = ZKeyBar::Get()) keyBar->Show(keyBarRows != 0);
    if (menuBar_.IsAttached()) {
        const uint32_t flags = menuBar_.GetFlags();
        menuBar_.SetFlags(menuRows != 0 ? flags & ~WF_AUTOHIDE : flags | WF_AUTOHIDE);
        menuBar_.Show(true);
        menuBar_.Close();
    }
    ZRec screen;
    ZDesktop::GetPos(screen);
    const ZRec line = RectOf(prompt_);
    const int commandRow = screen.h - keyBarRows - 1;
    Place(prompt_, 0, commandRow, line.w, 1);
    // The panels start below the menu bar's row and end above the command line; they are never
    // made taller here.
    for (auto& panel : panels_) {
        if (!panel) continue;
        const ZRec rect = RectOf(*panel);
        const int height = rect.y + rect.h > commandRow ? commandRow - menuRows : rect.h;
        Place(*panel, rect.x, menuRows, rect.w, height);
    }
    TellWhenNotSaved(error);
}

void PromptParts::ShowSystemOptions() {
    OptionDialog dialog(IDD_SYSTEM);
    ZDialog& window = dialog.Dialog();
    dialog.ShowChecks(mainSection_, kSystemChecks);
    const auto showNumber = [&](int control, const char* name, int fallback) {
        window.SetControlText(control, NumberText(mainSection_, name, fallback).c_str());
    };
    showNumber(IDC_SAVER_TIME, "SaverTime", 120);
    showNumber(IDC_SCREEN_WIDTH, "Xsize", 80);
    showNumber(IDC_SCREEN_HEIGHT, "Ysize", 25);
    window.SetControlText(IDC_NO_LABEL, StoredText(mainSection_, "NoLabel", kNoLabelSize).c_str());
    if (!dialog.Confirmed()) return;

    const std::string width = dialog.Text(IDC_SCREEN_WIDTH);
    const std::string height = dialog.Text(IDC_SCREEN_HEIGHT);
    const std::string labels = dialog.Text(IDC_NO_LABEL).substr(0, kNoLabelSize - 1);
    int error = OptionDialog::Written(
        0, mainSection_ != 0 && CfgSetSz(mainSection_, "NoLabel", labels.c_str()) == 0);
    error = error != 0 ? error : dialog.WriteChecks(mainSection_, kSystemChecks);
    const int saverTime = std::max(FieldNumber(dialog.Text(IDC_SAVER_TIME)), 0);
    error = OptionDialog::Written(
        error, mainSection_ != 0 &&
                   CfgSetDw(mainSection_, "SaverTime", static_cast<uint32_t>(saverTime)) == 0);

    // A size the terminal refuses leaves the screen as it is; the layout follows what it is.
    const int wantedWidth = FieldNumber(width);
    const int wantedHeight = FieldNumber(height);
    if (wantedWidth > 0 && wantedHeight > 0) {
        ZDesktop::SetScreenSize(ZRec(0, 0, Cell(wantedWidth), Cell(wantedHeight)));
    }
    // What the user typed is what is kept, whatever the terminal made of it.
    for (const auto& [name, value] : {std::pair{"Xsize", wantedWidth}, {"Ysize", wantedHeight}}) {
        if (value > 0) {
            error = OptionDialog::Written(
                error, mainSection_ != 0 &&
                           CfgSetDw(mainSection_, name, static_cast<uint32_t>(value)) == 0);
        }
    }
    LayOut();
    TellWhenNotSaved(error);
}

void PromptParts::LayOut() {
    ZRec screen;
    ZDesktop::GetPos(screen);
    const int w = screen.w;
    const int h = screen.h;
    if (menuBar_.IsAttached()) Place(menuBar_, 0, 0, w, 1);
    if (clock_.IsAttached()) Place(clock_, w - 5, 0, 6, 1);
    const int keyBarRows = ReadSetting(interfaceSection_, "ShowKeyBar", 0) != 0 ? 1 : 0;
    const int menuRows = ReadSetting(interfaceSection_, "ShowMenu", 1) != 0 ? 1 : 0;
    Place(prompt_, 0, h - keyBarRows - 1, w, 1);
    if (!BothPanels() || activePanel_ == nullptr) return;
    const int y = RectOf(*activePanel_).y;
    const int panelHeight = h - menuRows - keyBarRows - 1;
    ZFilePanel* left = LeftPanel();
    ZFilePanel* right = RightPanel();
    Place(*left, 0, y, w / 2, panelHeight);
    Place(*right, w / 2, y, w - w / 2, panelHeight);
}

}  // namespace kq::shell
