// LngEng.dll and LngDeu.dll hold every string and dialog kq/resource_ids.h names, and the same
// resources: strings with the same printf conversions, dialogs with the same controls, menus of
// the same structure.
#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <type_traits>
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

// What must agree: controls by id with class and style (labels aside), menu items with id, type
// and submenu.
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
        for (KeHandle module : modules_) KeFreeDll(module);
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
            Owned<char> text(ResLoadString(modules_[which], id));
            EXPECT_TRUE(text && *text) << name;
        }
        for (const auto& [name, id] : dialogs) {
            EXPECT_TRUE(Owned<ResDialog>(ResLoadDlg(modules_[which], id))) << name;
        }
        EXPECT_TRUE(Owned<ResMenu>(ResLoadMenu(modules_[which], IDM_MENU_BAR)));
    }
}

TEST_F(LanguageModulesTest, BothHoldTheSameResources) {
    for (int id = 0; id <= 0xFFFF; ++id) {
        // False when only one module has the resource.
        const auto same = [&](const char* kind, auto load, auto shape) {
            using Resource = std::remove_pointer_t<decltype(load(0, 0))>;
            Owned<Resource> a(load(modules_[0], id)), b(load(modules_[1], id));
            EXPECT_TRUE(!a || !b || shape(*a) == shape(*b)) << kind << " " << id;
            return !a == !b;
        };
        ASSERT_TRUE(same("string", ResLoadString, [](char& text) { return Conversions(&text); }) &&
                    same("dialog", ResLoadDlg, Controls) && same("menu", ResLoadMenu, MenuShape))
            << id;
    }
}

}  // namespace
