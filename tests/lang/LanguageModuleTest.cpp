// The language modules LngEng.dll and LngDeu.dll: every string, dialog template, control and
// menu command the program asks for is present in both, the texts keep their format
// placeholders and fit where they are shown, and the dialogs are laid out to fit the screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "kq/kernel.h"
#include "kq/resource_ids.h"
#include "kq/resources.h"
#include "kq/window_flags.h"

namespace {

// Lengths below are counted in console cells, one byte per character: the texts are read in
// code page 437, which holds every character the modules use.
class CodePageEnvironment : public ::testing::Environment {
  public:
    void SetUp() override { setenv("KQ_CODEPAGE", "437", 1); }
};
[[maybe_unused]] ::testing::Environment* const kCodePage =
    ::testing::AddGlobalTestEnvironment(new CodePageEnvironment);

struct ModuleFile {
    const char* name;
    const char* path;
    const char* languageName;
};

const ModuleFile kModules[] = {
    {"LngEng.dll", KQ_LANG_ENGLISH, "English"},
    {"LngDeu.dll", KQ_LANG_GERMAN, "Deutsch"},
};

// ---------------------------------------------------------------------------------------------
// What the program asks for
// ---------------------------------------------------------------------------------------------

struct StringSpec {
    int id;
    const char* name;
};
#define KQ_SPEC(id) \
    { id, #id }

const StringSpec kStrings[] = {
    KQ_SPEC(IDS_LANGUAGE_NAME),
    KQ_SPEC(IDS_BUTTON_OK),
    KQ_SPEC(IDS_BUTTON_CANCEL),
    KQ_SPEC(IDS_BUTTON_ABORT),
    KQ_SPEC(IDS_BUTTON_RETRY),
    KQ_SPEC(IDS_BUTTON_IGNORE),
    KQ_SPEC(IDS_BUTTON_CLOSE),
    KQ_SPEC(IDS_BUTTON_YES),
    KQ_SPEC(IDS_BUTTON_NO),
    KQ_SPEC(IDS_BUTTON_RETURN),
    KQ_SPEC(IDS_BUTTON_HELP),
    KQ_SPEC(IDS_BUTTON_SKIP),
    KQ_SPEC(IDS_BUTTON_CONTINUE),
    KQ_SPEC(IDS_BUTTON_ALL),
    KQ_SPEC(IDS_BUTTON_SKIP_ALL),
    KQ_SPEC(IDS_TEXT_NOT_FOUND),
    KQ_SPEC(IDS_CANNOT_OPEN_FILE),
    KQ_SPEC(IDS_CODE_PAGE_REFUSED),
    KQ_SPEC(IDS_PANEL_SELECTION),
    KQ_SPEC(IDS_PANEL_INFO),
    KQ_SPEC(IDS_PANEL_DIR),
    KQ_SPEC(IDS_PANEL_UP_DIR),
    KQ_SPEC(IDS_PANEL_NAME),
    KQ_SPEC(IDS_PANEL_SIZE),
    KQ_SPEC(IDS_PANEL_TIME),
    KQ_SPEC(IDS_PANEL_DATE),
    KQ_SPEC(IDS_EXIT_TITLE),
    KQ_SPEC(IDS_EXIT_QUESTION),
    KQ_SPEC(IDS_DRIVE_MENU_TITLE),
    KQ_SPEC(IDS_LANGUAGE_LIST_TITLE),
    KQ_SPEC(IDS_ERROR_TITLE),
    KQ_SPEC(IDS_CANNOT_ENTER_DIR),
    KQ_SPEC(IDS_CANNOT_MAKE_DIR),
    KQ_SPEC(IDS_BLANK_NAME),
    KQ_SPEC(IDS_NO_REASON),
    KQ_SPEC(IDS_DELETE_READ_ONLY),
    KQ_SPEC(IDS_DELETE_NOT_EMPTY),
    KQ_SPEC(IDS_STOP_JOBS),
    KQ_SPEC(IDS_KEYBAR_PANEL),
    KQ_SPEC(IDS_KEYBAR_PANEL_CTRL),
    KQ_SPEC(IDS_KEYBAR_PANEL_ALT),
    KQ_SPEC(IDS_KEYBAR_PANEL_SHIFT),
    KQ_SPEC(IDS_KEYBAR_PANEL_ALT_SHIFT),
    KQ_SPEC(IDS_KEYBAR_PANEL_CTRL_SHIFT),
    KQ_SPEC(IDS_KEYBAR_PANEL_CTRL_ALT),
    KQ_SPEC(IDS_KEYBAR_VIEWER),
    KQ_SPEC(IDS_KEYBAR_VIEWER_SHIFT),
    KQ_SPEC(IDS_KEYBAR_VIEWER_ALT),
    KQ_SPEC(IDS_KEYBAR_EDITOR),
    KQ_SPEC(IDS_KEYBAR_EDITOR_SHIFT),
    KQ_SPEC(IDS_KEYBAR_EDITOR_ALT),
    KQ_SPEC(IDS_SAVE_CHANGES),
    KQ_SPEC(IDS_REPLACE_THIS),
};

// Strings used as printf formats, with the conversions they must hold, in order.
const std::map<int, std::vector<std::string>> kFormats = {
    {IDS_PANEL_SELECTION, {"%d"}},
    {IDS_PANEL_INFO, {"%d", "%d"}},
    {IDS_CANNOT_ENTER_DIR, {"%s", "%s"}},
    {IDS_CANNOT_MAKE_DIR, {"%s", "%s"}},
};

// Message-box buttons: bit, caption string.
const std::map<int, int> kButtonCaptions = {
    {MB_BUTTON_OK, IDS_BUTTON_OK},         {MB_BUTTON_CANCEL, IDS_BUTTON_CANCEL},
    {MB_BUTTON_ABORT, IDS_BUTTON_ABORT},   {MB_BUTTON_RETRY, IDS_BUTTON_RETRY},
    {MB_BUTTON_IGNORE, IDS_BUTTON_IGNORE}, {MB_BUTTON_CLOSE, IDS_BUTTON_CLOSE},
    {MB_BUTTON_YES, IDS_BUTTON_YES},       {MB_BUTTON_NO, IDS_BUTTON_NO},
    {MB_BUTTON_ALL, IDS_BUTTON_ALL},       {MB_BUTTON_SKIP_ALL, IDS_BUTTON_SKIP_ALL},
    {MB_BUTTON_RETURN, IDS_BUTTON_RETURN}, {MB_BUTTON_HELP, IDS_BUTTON_HELP},
    {MB_BUTTON_SKIP, IDS_BUTTON_SKIP},     {MB_BUTTON_CONTINUE, IDS_BUTTON_CONTINUE},
};

// The message boxes the program shows: text string, box size and button bits.
struct MessageBoxSpec {
    int textId;
    const char* name;
    int w, h;
    int buttons;
};
const MessageBoxSpec kMessageBoxes[] = {
    {IDS_TEXT_NOT_FOUND, "IDS_TEXT_NOT_FOUND", 25, 5, MB_BUTTON_OK},
    {IDS_CANNOT_OPEN_FILE, "IDS_CANNOT_OPEN_FILE", 35, 5, MB_BUTTON_OK},
    {IDS_CODE_PAGE_REFUSED, "IDS_CODE_PAGE_REFUSED", 35, 5, MB_BUTTON_OK},
    {IDS_EXIT_QUESTION, "IDS_EXIT_QUESTION", 55, 5, MB_BUTTON_YES | MB_BUTTON_NO},
    {IDS_DELETE_READ_ONLY, "IDS_DELETE_READ_ONLY", 68, 5,
     MB_BUTTON_CANCEL | MB_BUTTON_YES | MB_BUTTON_NO | MB_BUTTON_ALL | MB_BUTTON_SKIP_ALL},
    {IDS_DELETE_NOT_EMPTY, "IDS_DELETE_NOT_EMPTY", 68, 5,
     MB_BUTTON_CANCEL | MB_BUTTON_YES | MB_BUTTON_NO | MB_BUTTON_ALL | MB_BUTTON_SKIP_ALL},
    {IDS_STOP_JOBS, "IDS_STOP_JOBS", 68, 6, MB_BUTTON_YES | MB_BUTTON_NO},
    {IDS_SAVE_CHANGES, "IDS_SAVE_CHANGES", 50, 5, MB_BUTTON_YES | MB_BUTTON_NO | MB_BUTTON_RETURN},
    {IDS_REPLACE_THIS, "IDS_REPLACE_THIS", 50, 5,
     MB_BUTTON_CANCEL | MB_BUTTON_YES | MB_BUTTON_ALL | MB_BUTTON_SKIP},
};

const StringSpec kKeyBars[] = {
    KQ_SPEC(IDS_KEYBAR_PANEL),           KQ_SPEC(IDS_KEYBAR_PANEL_CTRL),
    KQ_SPEC(IDS_KEYBAR_PANEL_ALT),       KQ_SPEC(IDS_KEYBAR_PANEL_SHIFT),
    KQ_SPEC(IDS_KEYBAR_PANEL_ALT_SHIFT), KQ_SPEC(IDS_KEYBAR_PANEL_CTRL_SHIFT),
    KQ_SPEC(IDS_KEYBAR_PANEL_CTRL_ALT),  KQ_SPEC(IDS_KEYBAR_VIEWER),
    KQ_SPEC(IDS_KEYBAR_VIEWER_SHIFT),    KQ_SPEC(IDS_KEYBAR_VIEWER_ALT),
    KQ_SPEC(IDS_KEYBAR_EDITOR),          KQ_SPEC(IDS_KEYBAR_EDITOR_SHIFT),
    KQ_SPEC(IDS_KEYBAR_EDITOR_ALT),
};

// Texts shown in fields of a fixed width: the panel's size, date and time columns (the
// directory texts stand between two arrow characters in the nine-cell size column), the
// drive menu's title in its 22-column frame.
struct WidthSpec {
    int id;
    const char* name;
    size_t maxLength;
};
const WidthSpec kWidths[] = {
    {IDS_PANEL_DIR, "IDS_PANEL_DIR", 7},
    {IDS_PANEL_UP_DIR, "IDS_PANEL_UP_DIR", 7},
    {IDS_PANEL_SIZE, "IDS_PANEL_SIZE", 9},
    {IDS_PANEL_DATE, "IDS_PANEL_DATE", 8},
    {IDS_PANEL_TIME, "IDS_PANEL_TIME", 5},
    {IDS_PANEL_NAME, "IDS_PANEL_NAME", 12},
    {IDS_DRIVE_MENU_TITLE, "IDS_DRIVE_MENU_TITLE", 18},
    {IDS_EXIT_TITLE, "IDS_EXIT_TITLE", 51},
    {IDS_LANGUAGE_LIST_TITLE, "IDS_LANGUAGE_LIST_TITLE", 40},
};

struct ControlSpec {
    int id;
    const char* name;
    const char* className;
    int minWidth;  // for the texts the code writes: "%9d", "%5d", a formatted number, a time
};
#define KQ_CONTROL(id, cls) \
    { id, #id, cls, 1 }
#define KQ_FIELD(id, cls, width) \
    { id, #id, cls, width }

struct DialogSpec {
    int id;
    const char* name;
    std::vector<ControlSpec> controls;
};

const ControlSpec kOk = KQ_CONTROL(IDC_OK, "button");
const ControlSpec kCancel = KQ_CONTROL(IDC_CANCEL, "button");

const std::vector<DialogSpec>& Dialogs() {
    static const std::vector<DialogSpec> dialogs = {
        {IDD_SEARCH,
         "IDD_SEARCH",
         {KQ_CONTROL(IDC_SEARCH_TEXT, "edit"), KQ_CONTROL(IDC_CASE_SENSITIVE, "checkbox"),
          KQ_CONTROL(IDC_BACKWARD, "checkbox"), kOk, kCancel}},
        {IDD_CODE_PAGE, "IDD_CODE_PAGE", {KQ_CONTROL(IDC_CODE_PAGE, "edit"), kOk, kCancel}},
        {IDD_GOTO, "IDD_GOTO", {KQ_CONTROL(IDC_LINE_NUMBER, "edit"), kOk, kCancel}},
        {IDD_MAKE_DIR, "IDD_MAKE_DIR", {KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_HELP, "IDD_HELP", {kOk}},
        {IDD_DELETE_ONE, "IDD_DELETE_ONE", {KQ_CONTROL(IDC_ITEM, "static"), kOk, kCancel}},
        {IDD_DELETE_MANY, "IDD_DELETE_MANY", {KQ_FIELD(IDC_ITEM, "static", 9), kOk, kCancel}},
        {IDD_DELETE_PROGRESS, "IDD_DELETE_PROGRESS", {KQ_CONTROL(IDC_ITEM, "static"), kCancel}},
        {IDD_SELECT, "IDD_SELECT", {KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_UNSELECT, "IDD_UNSELECT", {KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_CONFIRMATIONS,
         "IDD_CONFIRMATIONS",
         {KQ_CONTROL(IDC_CONFIRM_DELETE_FILE, "checkbox"),
          KQ_CONTROL(IDC_CONFIRM_DELETE_SELECTED, "checkbox"),
          KQ_CONTROL(IDC_CONFIRM_DELETE_DIRS, "checkbox"),
          KQ_CONTROL(IDC_CONFIRM_DELETE_READ_ONLY, "checkbox"),
          KQ_CONTROL(IDC_CONFIRM_EXIT, "checkbox"), kOk, kCancel}},
        {IDD_PANEL_OPTIONS,
         "IDD_PANEL_OPTIONS",
         {KQ_CONTROL(IDC_SHOW_HIDDEN, "checkbox"), KQ_CONTROL(IDC_HIGHLIGHT, "checkbox"),
          KQ_CONTROL(IDC_SHOW_TITLES, "checkbox"), KQ_CONTROL(IDC_SHOW_INFO, "checkbox"),
          KQ_CONTROL(IDC_SELECT_FOLDERS, "checkbox"), KQ_CONTROL(IDC_SHOW_SORT, "checkbox"),
          KQ_CONTROL(IDC_PAUSE_AFTER_CALC, "checkbox"), kOk, kCancel}},
        {IDD_INTERFACE,
         "IDD_INTERFACE",
         {KQ_CONTROL(IDC_SHOW_MENU, "checkbox"), KQ_CONTROL(IDC_SHOW_CLOCK, "checkbox"),
          KQ_CONTROL(IDC_SHOW_KEY_BAR, "checkbox"), kOk, kCancel}},
        {IDD_SYSTEM,
         "IDD_SYSTEM",
         {KQ_CONTROL(IDC_SAVER_ACTIVE, "checkbox"), KQ_CONTROL(IDC_API_COPY, "checkbox"),
          KQ_FIELD(IDC_SAVER_TIME, "edit", 3), KQ_FIELD(IDC_SCREEN_WIDTH, "edit", 3),
          KQ_FIELD(IDC_SCREEN_HEIGHT, "edit", 3), KQ_FIELD(IDC_NO_LABEL, "edit", 8), kOk, kCancel}},
        {IDD_DIR_SIZE,
         "IDD_DIR_SIZE",
         {KQ_CONTROL(IDC_ITEM, "static"), KQ_FIELD(IDC_SIZE_DIRS, "static", 9),
          KQ_FIELD(IDC_SIZE_FILES, "static", 9), KQ_FIELD(IDC_SIZE_TOTAL, "static", 9), kCancel}},
        {IDD_COPY,
         "IDD_COPY",
         {KQ_FIELD(IDC_ITEM, "static", 5), KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_COPY_PROGRESS,
         "IDD_COPY_PROGRESS",
         {KQ_CONTROL(IDC_PROGRESS_SOURCE, "static"), KQ_CONTROL(IDC_ITEM, "static"),
          KQ_FIELD(IDC_PROGRESS_FILE, "progressbar", 6),
          KQ_FIELD(IDC_PROGRESS_TOTAL, "progressbar", 6),
          KQ_FIELD(IDC_PROGRESS_SPEED, "static", 10), KQ_FIELD(IDC_PROGRESS_TIME_LEFT, "static", 8),
          kOk, kCancel}},
        {IDD_MOVE,
         "IDD_MOVE",
         {KQ_FIELD(IDC_ITEM, "static", 5), KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_MOVE_PROGRESS,
         "IDD_MOVE_PROGRESS",
         {KQ_CONTROL(IDC_PROGRESS_SOURCE, "static"), KQ_CONTROL(IDC_ITEM, "static"),
          KQ_FIELD(IDC_PROGRESS_FILE, "progressbar", 6),
          KQ_FIELD(IDC_PROGRESS_TOTAL, "progressbar", 6),
          KQ_FIELD(IDC_PROGRESS_SPEED, "static", 10), KQ_FIELD(IDC_PROGRESS_TIME_LEFT, "static", 8),
          kOk, kCancel}},
        {IDD_SAVE_AS, "IDD_SAVE_AS", {KQ_CONTROL(IDC_NAME, "edit"), kOk, kCancel}},
        {IDD_REPLACE,
         "IDD_REPLACE",
         {KQ_CONTROL(IDC_NAME, "edit"), KQ_CONTROL(IDC_REPLACE_TEXT, "edit"),
          KQ_CONTROL(IDC_CASE_SENSITIVE, "checkbox"), KQ_CONTROL(IDC_BACKWARD, "checkbox"), kOk,
          kCancel}},
    };
    return dialogs;
}

// The "NoLabel" field holds at most 30 bytes with the terminator.
constexpr int kNoLabelCapacity = 29;
constexpr int kScreenWidth = 80;
constexpr int kScreenHeight = 25;
constexpr uint32_t kWindowFlagMask = 0xFFF;

// Commands the shell carries out or passes to the active panel: everything a menu item of the
// menu bar may carry. The command that is accepted without visible effect need not be offered.
std::set<int> ShellCommands() {
    std::set<int> commands = {CMD_VIEW,          CMD_EDIT,          CMD_COPY,
                              CMD_MOVE,          CMD_MAKE_DIR,      CMD_DELETE,
                              CMD_SELECT,        CMD_UNSELECT,      CMD_INVERT_SELECTION,
                              CMD_DIR_SIZES,     CMD_HELP,          CMD_QUIT,
                              CMD_RELOAD_LEFT,   CMD_RELOAD,        CMD_SWAP_PANELS,
                              CMD_TOGGLE_PANELS, CMD_SCREEN_SAVER,  CMD_CONFIRMATIONS,
                              CMD_INTERFACE,     CMD_PANEL_OPTIONS, CMD_SYSTEM,
                              CMD_LANGUAGE,      CMD_DRIVE_LEFT,    CMD_DRIVE_RIGHT,
                              CMD_REVERSE,       CMD_REVERSE_LEFT};
    for (int mode = 0; mode < SORT_MODE_COUNT; ++mode) {
        commands.insert(CMD_SORT_RIGHT + mode);
        commands.insert(CMD_SORT_LEFT + mode);
    }
    return commands;
}

// ---------------------------------------------------------------------------------------------
// Helpers
// ---------------------------------------------------------------------------------------------

struct StringFree {
    void operator()(char* text) const { ResFreeString(text); }
};
struct DialogFree {
    void operator()(ResDialog* dialog) const { ResFreeDlg(dialog); }
};
struct MenuFree {
    void operator()(ResMenu* menu) const { ResFreeMenu(menu); }
};
using StringPtr = std::unique_ptr<char, StringFree>;
using DialogPtr = std::unique_ptr<ResDialog, DialogFree>;
using MenuPtr = std::unique_ptr<ResMenu, MenuFree>;

std::optional<std::string> LoadString(KeHandle module, int id) {
    StringPtr text(ResLoadString(module, id));
    if (!text) return std::nullopt;
    return std::string(text.get());
}

std::string Lower(const char* text) {
    std::string result = text ? text : "";
    for (char& c : result) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return result;
}

// The printf conversions of a format, in order ("%%" is not one).
std::vector<std::string> Conversions(const std::string& format) {
    std::vector<std::string> result;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') continue;
        if (i + 1 < format.size() && format[i + 1] == '%') {
            ++i;
            continue;
        }
        size_t end = i + 1;
        while (end < format.size() && std::strchr("-+ #0123456789.hlLqjzt", format[end])) ++end;
        result.push_back(format.substr(i, end - i + 1));
        i = end;
    }
    return result;
}

// The hot key of a text: the character after its '~', upper-cased; 0 for none.
int HotKey(const std::string& text) {
    const size_t tilde = text.find('~');
    if (tilde == std::string::npos || tilde + 1 >= text.size()) return 0;
    return std::toupper(static_cast<unsigned char>(text[tilde + 1]));
}

size_t VisibleLength(const std::string& text) {
    return text.size() - std::count(text.begin(), text.end(), '~');
}

std::string CollapseBlanks(const std::string& text) {
    std::string result;
    for (char c : text) {
        if (c == ' ' && (result.empty() || result.back() == ' ')) continue;
        result.push_back(c);
    }
    while (!result.empty() && result.back() == ' ') result.pop_back();
    return result;
}

// A label's text as the label control lays it out in w x h cells (word wrap that keeps the
// last column blank, optional centring), read back row by row with blanks collapsed. A text
// that fits reads back as itself.
std::string LaidOutLabel(const std::string& text, int w, int h, bool centre) {
    const int length = static_cast<int>(text.size());
    const int area = w * h;
    std::string cells(static_cast<size_t>(area), ' ');
    int start = 0;
    if (centre && area / 2 - length / 2 >= 0) start = area / 2 - length / 2;
    if (length <= area - 1) {
        int p = start;
        int i = 0;
        for (int guard = 0; i < length && p < area && guard < 100000; ++guard) {
            if (p % w == w - 1 && text[i] != ' ') {
                while (i > 0 && p > 0) {
                    --i;
                    --p;
                    cells[p] = ' ';
                    if (text[i] == ' ') break;
                }
                ++p;
            } else {
                cells[p] = text[i];
            }
            ++p;
            ++i;
        }
    } else {
        for (int k = 0; start + k < area && k < length; ++k) cells[start + k] = text[k];
    }
    std::string rows;
    for (int row = 0; row < h; ++row) rows += cells.substr(row * w, w) + " ";
    return CollapseBlanks(rows);
}

// The labels of a key-bar label set: separated by characters below 32, ended by a zero.
std::vector<std::string> KeyBarLabels(const std::string& set) {
    std::vector<std::string> labels(1);
    for (char c : set) {
        if (static_cast<unsigned char>(c) < 32) {
            labels.emplace_back();
        } else {
            labels.back().push_back(c);
        }
    }
    return labels;
}

bool IsFocusableClass(const std::string& cls) {
    return cls == "button" || cls == "checkbox" || cls == "3state" || cls == "edit";
}

// Every menu item of a tree, with the submenu's id that holds it (0 for the bar itself).
struct MenuEntry {
    const ResMenuItem* item;
    uint32_t parent;
};
void CollectMenu(const ResMenu* menu, uint32_t parent, std::vector<MenuEntry>& out) {
    for (int i = 0; i < menu->itemCount; ++i) {
        const ResMenuItem& item = menu->items[i];
        out.push_back({&item, parent});
        if (item.submenu) CollectMenu(item.submenu, item.id, out);
    }
}

const ResMenuItem* FindItem(const ResMenu* menu, uint32_t id) {
    for (int i = 0; i < menu->itemCount; ++i) {
        if (menu->items[i].id == id) return &menu->items[i];
    }
    return nullptr;
}

bool IsSeparator(const ResMenuItem& item) {
    return (item.type & MENU_TYPE_SEPARATOR) != 0;
}

// ---------------------------------------------------------------------------------------------
// The fixture: one module at a time
// ---------------------------------------------------------------------------------------------

class LanguageModuleTest : public ::testing::TestWithParam<ModuleFile> {
  protected:
    void SetUp() override {
        module_ = KeLoadDll(GetParam().path);
        ASSERT_NE(module_, -1) << GetParam().name << ": cannot be loaded from " << GetParam().path;
        ASSERT_NE(module_, 0) << GetParam().name;
    }
    void TearDown() override {
        if (module_ != -1 && module_ != 0) KeFreeDll(module_);
    }
    const char* Name() const { return GetParam().name; }

    KeHandle module_ = -1;
};

TEST_P(LanguageModuleTest, NamesItsLanguage) {
    const auto name = LoadString(module_, IDS_LANGUAGE_NAME);
    ASSERT_TRUE(name) << Name() << ": string IDS_LANGUAGE_NAME (1) is missing";
    EXPECT_EQ(*name, GetParam().languageName) << Name();
}

TEST_P(LanguageModuleTest, HasEveryString) {
    for (const StringSpec& required : kStrings) {
        const auto text = LoadString(module_, required.id);
        EXPECT_TRUE(text) << Name() << ": string " << required.name << " (" << required.id
                          << ") is missing";
        if (text) {
            EXPECT_FALSE(text->empty()) << Name() << ": string " << required.name << " is empty";
        }
    }
}

TEST_P(LanguageModuleTest, FormatStringsHoldTheirPlaceholdersAndOthersNone) {
    for (const StringSpec& required : kStrings) {
        const auto text = LoadString(module_, required.id);
        if (!text) continue;
        const auto format = kFormats.find(required.id);
        if (format != kFormats.end()) {
            EXPECT_EQ(Conversions(*text), format->second)
                << Name() << ": string " << required.name << " \"" << *text << "\"";
        } else {
            EXPECT_EQ(text->find('%'), std::string::npos)
                << Name() << ": string " << required.name << " is not a format but holds a '%'";
        }
    }
}

TEST_P(LanguageModuleTest, ButtonCaptionsHaveOneHotKey) {
    for (const auto& [bit, id] : kButtonCaptions) {
        const auto caption = LoadString(module_, id);
        ASSERT_TRUE(caption) << Name() << ": button caption " << id << " is missing";
        // A message-box button is one column wider than its caption: the '~' pays for the
        // second bracket, so a caption of seven or more characters needs one.
        EXPECT_EQ(std::count(caption->begin(), caption->end(), '~'), 1)
            << Name() << ": button caption " << id << " \"" << *caption << "\"";
        EXPECT_NE(HotKey(*caption), 0) << Name() << ": button caption " << id;
    }
}

TEST_P(LanguageModuleTest, MessagesFitTheirBoxes) {
    for (const MessageBoxSpec& box : kMessageBoxes) {
        const auto text = LoadString(module_, box.textId);
        ASSERT_TRUE(text) << Name() << ": string " << box.name << " is missing";
        // The box's label: (2, 1), (w - 4) x (h - 3).
        EXPECT_EQ(LaidOutLabel(*text, box.w - 4, box.h - 3, false), CollapseBlanks(*text))
            << Name() << ": string " << box.name << " does not fit its " << box.w << " x " << box.h
            << " box";
        // The buttons: one row, each max(caption + 1, 8) wide, one blank column between.
        int total = 0;
        std::set<int> hotKeys;
        for (const auto& [bit, id] : kButtonCaptions) {
            if ((box.buttons & bit) == 0) continue;
            const std::string caption = LoadString(module_, id).value_or("");
            total += std::max<int>(static_cast<int>(caption.size()) + 1, 8) + 1;
            EXPECT_TRUE(hotKeys.insert(HotKey(caption)).second)
                << Name() << ": hot key of button caption " << id << " repeats in the box of "
                << box.name;
        }
        const int first = box.w / 2 - total / 2;
        EXPECT_GE(first, 1) << Name() << ": the buttons of " << box.name << " do not fit";
        EXPECT_LE(first + total - 1, box.w - 1)
            << Name() << ": the buttons of " << box.name << " do not fit";
    }
}

TEST_P(LanguageModuleTest, KeyBarLabelsFitEightColumnCells) {
    for (const StringSpec& required : kKeyBars) {
        const auto set = LoadString(module_, required.id);
        ASSERT_TRUE(set) << Name() << ": key-bar labels " << required.name << " are missing";
        const auto labels = KeyBarLabels(*set);
        EXPECT_LE(labels.size(), 12u) << Name() << ": " << required.name;
        bool any = false;
        for (size_t key = 0; key < labels.size(); ++key) {
            // An 8-column cell shows the key's number in two columns, the label in six.
            EXPECT_LE(labels[key].size(), 6u) << Name() << ": " << required.name << ", F" << key + 1
                                              << " \"" << labels[key] << "\"";
            any = any || !labels[key].empty();
        }
        EXPECT_TRUE(any) << Name() << ": " << required.name << " labels no key";
    }
}

TEST_P(LanguageModuleTest, FieldTextsFitTheirFields) {
    for (const WidthSpec& required : kWidths) {
        const auto text = LoadString(module_, required.id);
        ASSERT_TRUE(text) << Name() << ": string " << required.name << " is missing";
        EXPECT_LE(text->size(), required.maxLength) << Name() << ": string " << required.name;
    }
}

TEST_P(LanguageModuleTest, HasEveryDialogWithItsControls) {
    for (const DialogSpec& required : Dialogs()) {
        DialogPtr dialog(ResLoadDlg(module_, required.id));
        EXPECT_TRUE(dialog) << Name() << ": dialog " << required.name << " (" << required.id
                            << ") is missing";
        if (!dialog) continue;
        for (const ControlSpec& control : required.controls) {
            int found = 0;
            for (int i = 0; i < dialog->itemCount; ++i) {
                const ResDialogItem& item = dialog->items[i];
                if (item.id != control.id) continue;
                ++found;
                EXPECT_EQ(Lower(item.className), control.className)
                    << Name() << ": dialog " << required.name << ", control " << control.name;
                EXPECT_GE(item.w * item.h, control.minWidth)
                    << Name() << ": dialog " << required.name << ", control " << control.name
                    << " is too small for its text";
            }
            EXPECT_EQ(found, 1) << Name() << ": dialog " << required.name << ", control "
                                << control.name << " (" << control.id << ") "
                                << (found == 0 ? "is missing" : "appears more than once");
        }
    }
}

TEST_P(LanguageModuleTest, DialogsFitTheScreenAndHoldTheirItems) {
    for (const DialogSpec& required : Dialogs()) {
        DialogPtr dialog(ResLoadDlg(module_, required.id));
        if (!dialog) continue;  // reported by HasEveryDialogWithItsControls
        const std::string where = std::string(Name()) + ": dialog " + required.name;
        EXPECT_LE(dialog->w, kScreenWidth) << where;
        EXPECT_LE(dialog->h, kScreenHeight) << where;
        EXPECT_LT(dialog->x, 0) << where << " is not centred";
        EXPECT_LT(dialog->y, 0) << where << " is not centred";
        ASSERT_NE(dialog->title, nullptr) << where;
        const std::string title = dialog->title;
        EXPECT_FALSE(title.empty()) << where << " has no title";
        EXPECT_LE(static_cast<int>(title.size()) + 4, dialog->w) << where << ": title too long";

        for (int i = 0; i < dialog->itemCount; ++i) {
            const ResDialogItem& item = dialog->items[i];
            const std::string itemWhere =
                where + ", item " + std::to_string(i) + " (id " + std::to_string(item.id) + ")";
            // Inside the frame.
            EXPECT_GE(item.w, 1) << itemWhere;
            EXPECT_GE(item.h, 1) << itemWhere;
            EXPECT_GE(item.x, 1) << itemWhere;
            EXPECT_GE(item.y, 1) << itemWhere;
            EXPECT_LE(item.x + item.w, dialog->w - 1) << itemWhere << " crosses the frame";
            EXPECT_LE(item.y + item.h, dialog->h - 1) << itemWhere << " crosses the frame";
            // No two items share a cell.
            for (int j = i + 1; j < dialog->itemCount; ++j) {
                const ResDialogItem& other = dialog->items[j];
                const bool apart = item.x + item.w <= other.x || other.x + other.w <= item.x ||
                                   item.y + item.h <= other.y || other.y + other.h <= item.y;
                EXPECT_TRUE(apart) << itemWhere << " overlaps item " << j;
            }
            EXPECT_EQ(item.style & ~kWindowFlagMask, 0u) << itemWhere << ": not a WF_ style";
            EXPECT_NE(item.style & WF_VISIBLE, 0u) << itemWhere << " is hidden";
        }
    }
}

TEST_P(LanguageModuleTest, DialogItemsAreMadeForTheirClass) {
    for (const DialogSpec& required : Dialogs()) {
        DialogPtr dialog(ResLoadDlg(module_, required.id));
        if (!dialog) continue;
        const std::string where = std::string(Name()) + ": dialog " + required.name;
        int defaults = 0;
        int buttons = 0;
        int defaultId = -1;
        bool sawFocusable = false;
        std::set<int> hotKeys;
        for (int i = 0; i < dialog->itemCount; ++i) {
            const ResDialogItem& item = dialog->items[i];
            ASSERT_NE(item.className, nullptr) << where << ", item " << i;
            const std::string cls = Lower(item.className);
            const std::string text = item.text ? item.text : "";
            const std::string itemWhere = where + ", item " + std::to_string(i) + " \"" + text +
                                          "\" (id " + std::to_string(item.id) + ")";
            EXPECT_TRUE(cls == "static" || cls == "progressbar" || IsFocusableClass(cls))
                << itemWhere << ": unknown class " << cls;
            const bool focusable = (item.style & WF_FOCUSABLE) != 0;
            EXPECT_EQ(focusable, IsFocusableClass(cls)) << itemWhere;
            if (!IsFocusableClass(cls)) {
                // A group start that cannot take the focus would catch the arrow keys.
                EXPECT_EQ(item.style & WF_GROUP, 0u) << itemWhere;
            } else if (!sawFocusable) {
                EXPECT_NE(item.style & WF_GROUP, 0u) << itemWhere << ": Tab cannot return here";
                sawFocusable = true;
            }
            if ((item.style & WF_DEFAULT) != 0) {
                EXPECT_EQ(cls, "button") << itemWhere << ": only a button can be the default";
                ++defaults;
                defaultId = item.id;
            }
            if (cls == "button") {
                ++buttons;
                EXPECT_LE(static_cast<int>(VisibleLength(text)) + 2, item.w)
                    << itemWhere << ": caption wider than the button";
                EXPECT_EQ(item.h, 1) << itemWhere;
            }
            if (cls == "checkbox" || cls == "3state") {
                EXPECT_LE(static_cast<int>(VisibleLength(text)) + 4, item.w)
                    << itemWhere << ": text wider than the box";
                EXPECT_EQ(item.h, 1) << itemWhere;
            }
            if (cls == "button" || cls == "checkbox" || cls == "3state") {
                const int key = HotKey(text);
                EXPECT_NE(key, 0) << itemWhere << " has no hot key";
                if (key != 0) {
                    EXPECT_TRUE(hotKeys.insert(key).second)
                        << itemWhere << ": hot key " << static_cast<char>(key) << " repeats";
                }
            }
            if (cls == "static") {
                // Labels carry no hot key: pressing one would focus a label.
                EXPECT_EQ(text.find('~'), std::string::npos) << itemWhere;
                if (!text.empty()) {
                    EXPECT_EQ(LaidOutLabel(text, item.w, item.h, (item.style & WF_CENTER) != 0),
                              CollapseBlanks(text))
                        << itemWhere << ": the label does not show its whole text";
                }
            }
            if (cls == "edit" && (item.style & WF_LIMIT) != 0 && item.id == IDC_NO_LABEL) {
                EXPECT_LE(item.w * item.h, kNoLabelCapacity) << itemWhere;
            }
        }
        if (buttons > 0) {
            EXPECT_EQ(defaults, 1) << where << ": needs exactly one default button";
            const bool hasOk = std::any_of(
                dialog->items, dialog->items + dialog->itemCount, [](const ResDialogItem& item) {
                    return item.id == IDC_OK && Lower(item.className) == "button";
                });
            EXPECT_EQ(defaultId, hasOk ? IDC_OK : IDC_CANCEL)
                << where << ": Enter should confirm, or close when there is nothing to confirm";
        }
    }
}

TEST_P(LanguageModuleTest, MenuBarCarriesEveryCommand) {
    MenuPtr bar(ResLoadMenu(module_, IDM_MENU_BAR));
    ASSERT_TRUE(bar) << Name() << ": menu IDM_MENU_BAR (1) is missing";

    // The bar: left panel, files, commands, options, right panel, each opening a pop-up.
    const uint32_t barIds[] = {IDM_LEFT, IDM_FILES, IDM_COMMANDS, IDM_OPTIONS, IDM_RIGHT};
    ASSERT_EQ(bar->itemCount, 5) << Name();
    int barWidth = 1;
    for (int i = 0; i < bar->itemCount; ++i) {
        const ResMenuItem& item = bar->items[i];
        EXPECT_EQ(item.id, barIds[i]) << Name() << ": menu bar item " << i;
        EXPECT_NE(item.submenu, nullptr) << Name() << ": menu bar item " << item.id;
        EXPECT_NE(item.type & MENU_TYPE_SUBMENU, 0u) << Name() << ": menu bar item " << item.id;
        barWidth += static_cast<int>(VisibleLength(item.text ? item.text : "")) + 2;
    }
    // The clock takes the last five columns of the top row.
    EXPECT_LE(barWidth, kScreenWidth - 5) << Name() << ": the menu bar is too wide";

    // The sort pop-ups: the left panel's in its menu (1001), the right panel's in 1005.
    struct SortMenu {
        uint32_t panelMenu, sortMenu;
        int first;
        uint32_t reverse;
    };
    const SortMenu sortMenus[] = {{IDM_LEFT, IDM_LEFT_SORT, CMD_SORT_LEFT, CMD_REVERSE_LEFT},
                                  {IDM_RIGHT, IDM_RIGHT_SORT, CMD_SORT_RIGHT, CMD_REVERSE}};
    for (const SortMenu& sort : sortMenus) {
        const ResMenuItem* panel = FindItem(bar.get(), sort.panelMenu);
        ASSERT_TRUE(panel && panel->submenu) << Name() << ": menu " << sort.panelMenu;
        const ResMenuItem* sortItem = FindItem(panel->submenu, sort.sortMenu);
        ASSERT_TRUE(sortItem && sortItem->submenu)
            << Name() << ": menu " << sort.panelMenu << " lacks the sort pop-up " << sort.sortMenu;
        std::set<uint32_t> expected = {sort.reverse};
        for (int mode = 0; mode < SORT_MODE_COUNT; ++mode) expected.insert(sort.first + mode);
        std::set<uint32_t> found;
        for (int i = 0; i < sortItem->submenu->itemCount; ++i) {
            const ResMenuItem& item = sortItem->submenu->items[i];
            if (!IsSeparator(item)) found.insert(item.id);
        }
        EXPECT_EQ(found, expected) << Name() << ": sort pop-up " << sort.sortMenu;
    }

    // Every command somewhere, each once, and nothing the shell would not take.
    std::vector<MenuEntry> entries;
    CollectMenu(bar.get(), 0, entries);
    const std::set<int> allowed = ShellCommands();
    std::multiset<int> commands;
    for (const MenuEntry& entry : entries) {
        const ResMenuItem& item = *entry.item;
        if (IsSeparator(item)) {
            EXPECT_EQ(item.id, 0u) << Name() << ": separator in menu " << entry.parent;
            continue;
        }
        if (item.submenu) continue;
        commands.insert(static_cast<int>(item.id));
        EXPECT_TRUE(allowed.count(static_cast<int>(item.id)))
            << Name() << ": menu item " << item.id << " in menu " << entry.parent
            << " is no command of the shell";
    }
    for (int command : allowed) {
        EXPECT_EQ(commands.count(command), 1u)
            << Name() << ": command " << command << " is not exactly once in the menu bar";
    }
}

TEST_P(LanguageModuleTest, MenuItemsHaveDistinctHotKeysAndFit) {
    MenuPtr bar(ResLoadMenu(module_, IDM_MENU_BAR));
    ASSERT_TRUE(bar) << Name();
    std::vector<const ResMenu*> menus = {bar.get()};
    for (size_t m = 0; m < menus.size(); ++m) {
        const ResMenu* menu = menus[m];
        std::set<int> hotKeys;
        size_t longest = 0;
        for (int i = 0; i < menu->itemCount; ++i) {
            const ResMenuItem& item = menu->items[i];
            if (item.submenu) menus.push_back(item.submenu);
            if (IsSeparator(item)) continue;
            const std::string text = item.text ? item.text : "";
            const int key = HotKey(text);
            EXPECT_NE(key, 0) << Name() << ": menu item " << item.id << " \"" << text
                              << "\" has no hot key";
            if (key != 0) {
                EXPECT_TRUE(hotKeys.insert(key).second)
                    << Name() << ": menu item " << item.id << " \"" << text << "\": hot key "
                    << static_cast<char>(key) << " repeats";
            }
            longest = std::max(longest, text.size());
        }
        // A pop-up is the longest text plus 4 wide.
        EXPECT_LE(longest + 4, static_cast<size_t>(kScreenWidth)) << Name();
    }
}

std::string LanguageOf(const ::testing::TestParamInfo<ModuleFile>& module) {
    return module.param.languageName;
}

INSTANTIATE_TEST_SUITE_P(Modules, LanguageModuleTest, ::testing::ValuesIn(kModules), LanguageOf);

// ---------------------------------------------------------------------------------------------
// Both modules side by side
// ---------------------------------------------------------------------------------------------

class BothModulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i) {
            modules_[i] = KeLoadDll(kModules[i].path);
            ASSERT_NE(modules_[i], -1) << kModules[i].name << ": cannot be loaded";
        }
    }
    void TearDown() override {
        for (KeHandle module : modules_) {
            if (module != -1 && module != 0) KeFreeDll(module);
        }
    }

    KeHandle modules_[2] = {-1, -1};
};

TEST_F(BothModulesTest, HaveTheSameStringDialogAndMenuIds) {
    for (int id = 0; id <= 0xFFFF; ++id) {
        StringPtr english(ResLoadString(modules_[0], id));
        StringPtr german(ResLoadString(modules_[1], id));
        EXPECT_EQ(english != nullptr, german != nullptr)
            << "string " << id << " is only in " << (english ? kModules[0] : kModules[1]).name;
        DialogPtr englishDialog(ResLoadDlg(modules_[0], id));
        DialogPtr germanDialog(ResLoadDlg(modules_[1], id));
        EXPECT_EQ(englishDialog != nullptr, germanDialog != nullptr)
            << "dialog " << id << " is only in "
            << (englishDialog ? kModules[0] : kModules[1]).name;
        MenuPtr englishMenu(ResLoadMenu(modules_[0], id));
        MenuPtr germanMenu(ResLoadMenu(modules_[1], id));
        EXPECT_EQ(englishMenu != nullptr, germanMenu != nullptr)
            << "menu " << id << " is only in " << (englishMenu ? kModules[0] : kModules[1]).name;
    }
}

TEST_F(BothModulesTest, FormatStringsKeepTheSamePlaceholders) {
    for (const StringSpec& required : kStrings) {
        const auto english = LoadString(modules_[0], required.id);
        const auto german = LoadString(modules_[1], required.id);
        if (!english || !german) continue;
        EXPECT_EQ(Conversions(*english), Conversions(*german)) << "string " << required.name;
    }
}

TEST_F(BothModulesTest, KeyBarsLabelTheSameKeys) {
    for (const StringSpec& required : kKeyBars) {
        const auto english = LoadString(modules_[0], required.id);
        const auto german = LoadString(modules_[1], required.id);
        if (!english || !german) continue;
        auto labelled = [](const std::string& set) {
            std::vector<bool> keys;
            for (const std::string& label : KeyBarLabels(set)) keys.push_back(!label.empty());
            while (!keys.empty() && !keys.back()) keys.pop_back();
            return keys;
        };
        EXPECT_EQ(labelled(*english), labelled(*german)) << required.name;
    }
}

TEST_F(BothModulesTest, DialogsHaveTheSameControls) {
    for (const DialogSpec& required : Dialogs()) {
        DialogPtr english(ResLoadDlg(modules_[0], required.id));
        DialogPtr german(ResLoadDlg(modules_[1], required.id));
        if (!english || !german) continue;
        auto controls = [](const ResDialog& dialog) {
            std::map<int, std::pair<std::string, uint32_t>> result;
            for (int i = 0; i < dialog.itemCount; ++i) {
                const ResDialogItem& item = dialog.items[i];
                if (item.id == IDC_LABEL) continue;
                result[item.id] = {Lower(item.className), item.style};
            }
            return result;
        };
        EXPECT_EQ(controls(*english), controls(*german)) << "dialog " << required.name;
    }
}

void ExpectSameMenu(const ResMenu* english, const ResMenu* german, uint32_t id) {
    ASSERT_EQ(english->itemCount, german->itemCount) << "menu " << id;
    for (int i = 0; i < english->itemCount; ++i) {
        const ResMenuItem& a = english->items[i];
        const ResMenuItem& b = german->items[i];
        EXPECT_EQ(a.id, b.id) << "menu " << id << ", item " << i;
        EXPECT_EQ(a.type, b.type) << "menu " << id << ", item " << i;
        ASSERT_EQ(a.submenu != nullptr, b.submenu != nullptr) << "menu " << id << ", item " << i;
        if (a.submenu) ExpectSameMenu(a.submenu, b.submenu, a.id);
    }
}

TEST_F(BothModulesTest, MenuBarsHaveTheSameStructure) {
    MenuPtr english(ResLoadMenu(modules_[0], IDM_MENU_BAR));
    MenuPtr german(ResLoadMenu(modules_[1], IDM_MENU_BAR));
    ASSERT_TRUE(english && german);
    ExpectSameMenu(english.get(), german.get(), IDM_MENU_BAR);
}

TEST_F(BothModulesTest, GermanTextReachesTheConsoleCodePage) {
    // "Größe" in code page 437.
    EXPECT_EQ(LoadString(modules_[1], IDS_PANEL_SIZE).value_or(""),
              "Gr\x94\xE1"
              "e");
    DialogPtr options(ResLoadDlg(modules_[1], IDD_INTERFACE));
    ASSERT_TRUE(options);
    // " Oberfläche ".
    EXPECT_STREQ(options->title,
                 " Oberfl\x84"
                 "che ");
}

}  // namespace
