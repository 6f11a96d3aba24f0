// The language modules LngEng.dll and LngDeu.dll: every string and dialog id the program names
// in kq/resource_ids.h is in both, and the two hold the same resources: strings with the same
// printf conversions, dialogs with the same controls, menus of the same structure.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <utility>
#include <vector>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"

namespace {

const char* const kModulePaths[] = {KQ_LANG_ENGLISH, KQ_LANG_GERMAN};

struct Free {
    void operator()(char* text) const { ResFreeString(text); }
    void operator()(ResDialog* dialog) const { ResFreeDlg(dialog); }
    void operator()(ResMenu* menu) const { ResFreeMenu(menu); }
};
template <typename T>
using Owned = std::unique_ptr<T, Free>;

// The numbers of the "#define <prefix>_<NAME> <number>" lines of the shared id header.
std::map<std::string, int> HeaderIds(const std::string& prefix) {
    std::map<std::string, int> ids;
    std::ifstream header(KQ_RESOURCE_IDS_HEADER);
    const std::regex define("#define (" + prefix + "_\\w+) ([0-9]+)\\b.*");
    std::smatch match;
    for (std::string line; std::getline(header, line);) {
        if (std::regex_match(line, match, define)) ids[match[1]] = std::stoi(match[2]);
    }
    return ids;
}

// The printf conversions of a format, in order ("%%" is none).
std::vector<std::string> Conversions(const std::string& format) {
    static const std::regex conversion("%%|%[-+ #0-9.hlLqjzt]*.");
    std::vector<std::string> result;
    for (auto it = std::sregex_iterator(format.begin(), format.end(), conversion);
         it != std::sregex_iterator(); ++it) {
        if (it->str() != "%%") result.push_back(it->str());
    }
    return result;
}

// What must agree between the modules: controls by id with class and style (labels aside),
// menu items with id, type and submenu, recursively.
std::map<int, std::pair<std::string, uint32_t>> Controls(const ResDialog& dialog) {
    std::map<int, std::pair<std::string, uint32_t>> controls;
    for (int i = 0; i < dialog.itemCount; ++i) {
        const ResDialogItem& item = dialog.items[i];
        std::string cls = item.className ? item.className : "";
        for (char& c : cls) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (item.id != IDC_LABEL) controls[item.id] = {cls, item.style};
    }
    return controls;
}
std::string MenuShape(const ResMenu& menu) {
    std::string shape = "[";
    for (int i = 0; i < menu.itemCount; ++i) {
        const ResMenuItem& item = menu.items[i];
        shape += std::to_string(item.id) + ":" + std::to_string(item.type);
        if (item.submenu) shape += MenuShape(*item.submenu);
        shape += " ";
    }
    return shape + "]";
}

class LanguageModulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i) {
            modules_[i] = KeLoadDll(kModulePaths[i]);
            ASSERT_NE(modules_[i], -1) << kModulePaths[i];
        }
    }
    void TearDown() override {
        for (KeHandle module : modules_) {
            if (module != -1) KeFreeDll(module);
        }
    }
    std::string String(int which, int id) const {
        Owned<char> text(ResLoadString(modules_[which], id));
        return text ? text.get() : "<missing>";
    }

    KeHandle modules_[2] = {-1, -1};
};

TEST_F(LanguageModulesTest, EveryStringAndDialogTheProgramNamesIsInBoth) {
    const std::map<std::string, int> strings = HeaderIds("IDS");
    const std::map<std::string, int> dialogs = HeaderIds("IDD");
    ASSERT_GT(strings.size(), 40u);
    ASSERT_GT(dialogs.size(), 15u);
    for (int which = 0; which < 2; ++which) {
        SCOPED_TRACE(kModulePaths[which]);
        for (const auto& [name, id] : strings) {
            const std::string text = String(which, id);
            EXPECT_NE(text, "<missing>") << name;
            EXPECT_FALSE(text.empty()) << name;
        }
        for (const auto& [name, id] : dialogs) {
            EXPECT_TRUE(Owned<ResDialog>(ResLoadDlg(modules_[which], id))) << name;
        }
        EXPECT_TRUE(Owned<ResMenu>(ResLoadMenu(modules_[which], IDM_MENU_BAR)));
    }
}

TEST_F(LanguageModulesTest, BothHoldTheSameResources) {
    for (int id = 0; id <= 0xFFFF; ++id) {
        Owned<char> text[2] = {Owned<char>(ResLoadString(modules_[0], id)),
                               Owned<char>(ResLoadString(modules_[1], id))};
        ASSERT_EQ(!text[0], !text[1]) << "string " << id;
        if (text[0]) {
            EXPECT_EQ(Conversions(text[0].get()), Conversions(text[1].get())) << id;
        }

        Owned<ResDialog> dialog[2] = {Owned<ResDialog>(ResLoadDlg(modules_[0], id)),
                                      Owned<ResDialog>(ResLoadDlg(modules_[1], id))};
        ASSERT_EQ(!dialog[0], !dialog[1]) << "dialog " << id;
        if (dialog[0]) {
            EXPECT_EQ(Controls(*dialog[0]), Controls(*dialog[1])) << "dialog " << id;
        }

        Owned<ResMenu> menu[2] = {Owned<ResMenu>(ResLoadMenu(modules_[0], id)),
                                  Owned<ResMenu>(ResLoadMenu(modules_[1], id))};
        ASSERT_EQ(!menu[0], !menu[1]) << "menu " << id;
        if (menu[0]) {
            EXPECT_EQ(MenuShape(*menu[0]), MenuShape(*menu[1])) << "menu " << id;
        }
    }
}

}  // namespace
