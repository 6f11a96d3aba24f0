// Choosing the language (command 1087): a list of the language modules in the home folder with
// their languages' names; the chosen one becomes the current language at once (menu bar,
// dialogs, messages, the panels' texts) and is stored for the next start.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "kq/host.h"
#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"
#include "panels/MatchMask.h"
#include "panels/ZFilePanel.h"
#include "shell/PromptParts.h"
#include "shell/ShellGeometry.h"
#include "ui/AlertBox.h"
#include "ui/LanguageTexts.h"
#include "ui/ZMenu.h"

namespace kq::shell {
namespace {

// Shown for a module that has no language name or cannot be read.
constexpr const char* kUnknownLanguage = "?????";

// The regular, visible files named "Lng*.dll" (letter case ignored) in folder, by name.
std::vector<std::string> LanguageFiles(const std::string& folder) {
    std::vector<std::string> files;
    std::unique_ptr<DIR, int (*)(DIR*)> stream(::opendir(folder.c_str()), ::closedir);
    if (!stream) return files;
    while (const dirent* entry = ::readdir(stream.get())) {
        const std::string name = entry->d_name;
        struct stat status {};
        if (name[0] == '.' || !kq::panels::MatchMask(name, "Lng*.dll") ||
            ::stat((folder + "/" + name).c_str(), &status) != 0 || !S_ISREG(status.st_mode)) {
            continue;
        }
        files.push_back(name);
    }
    std::sort(files.begin(), files.end());
    return files;
}

// String 1 of the module, read through the language-module reader; "?????" without one.
std::string LanguageName(const std::string& path) {
    const KeHandle module = KeLoadDll(path.c_str());
    if (module == -1) return kUnknownLanguage;
    std::string name = kUnknownLanguage;
    if (char* text = ResLoadString(module, IDS_LANGUAGE_NAME)) {
        name = text;
        ResFreeString(text);
    }
    KeFreeDll(module);
    return name;
}

// The index of the file chosen from the list, -1 for none.
int ChooseFromList(const std::string& folder, const std::vector<std::string>& files) {
    std::vector<std::string> texts;
    for (const std::string& file : files)
        texts.push_back(file + ", " + LanguageName(folder + "/" + file));
    std::vector<ResMenuItem> items(texts.size());
    for (size_t i = 0; i < texts.size(); ++i) {
        items[i].id = static_cast<uint32_t>(i);
        items[i].text = texts[i].data();
    }
    std::string title = ui::LoadLanguageText(IDS_LANGUAGE_LIST_TITLE);
    const ResMenu node{static_cast<int>(items.size()), title.data(), items.data()};
    ZMenu list;
    list.CreateFromMenu(&node, ZRec(-1, -1, 0, 0), ZRec(0, 0, 0, 0), ZDesktop::Desktop(), WF_POPUP,
                        0);
    list.SetOwner(ZDesktop::Desktop());
    const int chosen = list.Run();
    list.Destroy();
    return chosen;
}

}  // namespace

void PromptParts::ChooseLanguage() {
    const std::string folder = homeDir;
    const std::vector<std::string> files = LanguageFiles(folder);
    const int chosen = ChooseFromList(folder, files);
    if (chosen < 0 || static_cast<size_t>(chosen) >= files.size()) return;
    const std::string& file = files[static_cast<size_t>(chosen)];

    // A module that cannot be read never becomes the language: every text would be missing.
    const KeHandle module = KeLoadDll((folder + "/" + file).c_str());
    if (module == -1) {
        ui::ShowAlert(ui::FormatTexts(ui::LoadLanguageText(IDS_LANGUAGE_NOT_LOADED), {file}));
        return;
    }
    menuBar_.Destroy();
    const KeHandle previous = ResGetLanguage();
    ResSetLanguage(module);
    if (previous != 0) KeFreeDll(previous);
    if (mainSection_ == 0 || CfgSetSz(mainSection_, "Language", file.c_str()) != 0) {
        ui::ShowAlert(
            ui::FormatTexts(ui::LoadLanguageText(IDS_SETTINGS_NOT_SAVED), {ui::ReasonText(errno)}));
    }

    ZRec screen;
    ZDesktop::GetPos(screen);
    CreateMenuBar(screen.w);
    ZDesktop::RedrawAll();
    for (auto& panel : panels_) {
        if (panel) panel->OnCommand(CMD_RELOAD);
    }
    if (activePanel_ != nullptr) activePanel_->Activate(true);
}

}  // namespace kq::shell
