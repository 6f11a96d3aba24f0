// ZPanel: drawing the empty pane, activation and the active-panel test.
#include "panels/ZPanel.h"

#include "kq/config.h"
#include "kq/text.h"
#include "panels/PanelHost.h"
#include "ui/WindowLock.h"
#include "ui/ZMenu.h"

using kq::panels::GetPanelHost;
using kq::panels::PanelHost;

namespace {

bool IsVisible(const ZWindow* window) {
    return window != nullptr && (window->GetFlags() & WF_VISIBLE) != 0;
}

// A setting of an open section; fallback when it or the section is missing.
uint32_t SettingOf(CfgSection section, const char* name, uint32_t fallback) {
    uint32_t value = fallback;
    if (section == 0 || CfgQueryDw(section, name, &value) != 0) return fallback;
    return value;
}

}  // namespace

ZPanel::~ZPanel() {
    if (other_ != nullptr && other_->other_ == this) other_->other_ = nullptr;
    if (PanelHost* host = GetPanelHost(); host != nullptr && host->ActivePanel() == this) {
        host->SetActivePanel(nullptr);
    }
}

int ZPanel::Draw() {
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kColourText]);
    DrawFrame(2, palette[kColourFrame]);
    return 0;
}

int ZPanel::OnScreenResize(int width, int height) {
    // Moving inside the screen here would spoil the proportions the holder keeps.
    if (GetPanelHost() != nullptr) return 0;
    return ZWindow::OnScreenResize(width, height);
}

int ZPanel::Activate(bool on) {
    if (!on) return ZWindow::Activate(false);
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    PanelHost* host = GetPanelHost();
    if (host != nullptr) host->SetActivePanel(this);
    SetFlags(GetFlags() | WF_FOCUSABLE);
    if (other_ != nullptr) {
        other_->SetFlags(other_->GetFlags() & ~static_cast<uint32_t>(WF_FOCUSABLE));
        if (IsVisible(other_)) other_->RaiseToTop();
    }
    if (host != nullptr) {
        // The menu bar only rises: its own activation would open it for use.
        ZMenu* menuBar = host->MenuBar();
        if (IsVisible(menuBar)) menuBar->ZWindow::Activate(true);
    }
    RaiseToTop();
    // Drawn while rising as a window that is not yet active: now with its cursor bar.
    Redraw();
    if (host != nullptr) {
        if (ZWindow* commandLine = host->CommandLine()) commandLine->Activate(true);
    }
    return 0;
}

void ZPanel::RaiseToTop() {
    raising_ = true;
    ZWindow::Activate(true);
    raising_ = false;
}

bool ZPanel::IsActive() {
    if (raising_) return false;
    if (!(GetFlags() & WF_VISIBLE)) return false;
    PanelHost* host = GetPanelHost();
    if (host == nullptr) return ZWindow::IsActive();
    return host->ActivePanel() == this;
}

bool ZPanel::IsFilePanel() {
    return false;
}

uint32_t ZPanel::PanelSetting(const char* name, uint32_t fallback) {
    PanelHost* host = GetPanelHost();
    return host != nullptr ? SettingOf(host->PanelsSection(), name, fallback) : fallback;
}

uint32_t ZPanel::ConfirmationSetting(const char* name, uint32_t fallback) {
    PanelHost* host = GetPanelHost();
    return host != nullptr ? SettingOf(host->ConfirmationsSection(), name, fallback) : fallback;
}
