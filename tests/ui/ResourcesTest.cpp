// The Res* readers on a module built from data/ResourcesTest.rc and on templates written byte by
// byte for what windres cannot emit (creation data in a standard dialog, damaged templates).
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "kq/resources.h"
#include "kq/text.h"
#include "kq/window_flags.h"
#include "platform/PeImage.h"
#include "platform/PeImageWriter.h"
#include "support/TempFolder.h"
#include "ui/ResourceParsers.h"

namespace kq::resources {
namespace {

using platform::PeImage;

struct Deleter {
    void operator()(char* text) const { ResFreeString(text); }
    void operator()(ResDialog* dialog) const { ResFreeDlg(dialog); }
    void operator()(ResMenu* menu) const { ResFreeMenu(menu); }
};
using StringPtr = std::unique_ptr<char, Deleter>;
using DialogPtr = std::unique_ptr<ResDialog, Deleter>;
using MenuPtr = std::unique_ptr<ResMenu, Deleter>;

// Null as "(null)", so that expectations can compare optional texts as strings.
std::string Text(const char* text) {
    return text == nullptr ? "(null)" : text;
}

// An item as one line: "class text id x,y wxh style".
std::string Describe(const ResDialogItem& item) {
    return Text(item.className) + " " + Text(item.text) + " " + std::to_string(item.id) + " " +
           std::to_string(item.x) + "," + std::to_string(item.y) + " " + std::to_string(item.w) +
           "x" + std::to_string(item.h) + " " + std::to_string(item.style);
}

// A menu as one line: "text id type [submenu]" for every item; titles must be null.
std::string Describe(const ResMenu* menu) {
    std::string line = menu->title == nullptr ? "" : "title! ";
    for (int index = 0; index < menu->itemCount; ++index) {
        const ResMenuItem& item = menu->items[index];
        line += (index > 0 ? ", " : "") + Text(item.text) + " " + std::to_string(item.id) + " " +
                std::to_string(item.type);
        if (item.submenu != nullptr) line += " [" + Describe(item.submenu) + "]";
    }
    return line;
}

// Template bytes, little-endian, with alignment counted from the template's start.
class TemplateWriter {
  public:
    TemplateWriter& U16(uint32_t value) {
        pe_test::Put16(bytes_, bytes_.size(), value);
        return *this;
    }
    TemplateWriter& U32(uint32_t value) {
        pe_test::Put32(bytes_, bytes_.size(), value);
        return *this;
    }
    // A zero-terminated UTF-16 string (ASCII here).
    TemplateWriter& String(std::string_view text) {
        for (char c : text) U16(static_cast<uint8_t>(c));
        return U16(0);
    }
    TemplateWriter& Ordinal(uint16_t value) { return U16(0xFFFF).U16(value); }
    TemplateWriter& Align4() {
        bytes_.resize((bytes_.size() + 3) & ~std::size_t{3}, 0);
        return *this;
    }
    TemplateWriter& PadTo(std::size_t size) {
        bytes_.resize(size, 0xEE);
        return *this;
    }
    std::size_t size() const { return bytes_.size(); }
    const std::vector<uint8_t>& bytes() const { return bytes_; }

    TemplateWriter& DialogHeader(uint32_t style, uint16_t itemCount) {
        return U32(style).U32(0).U16(itemCount).U16(1).U16(2).U16(30).U16(10);
    }
    // Menu, class and title all absent.
    TemplateWriter& NoNames() { return U16(0).U16(0).U16(0); }
    TemplateWriter& ItemHeader(uint32_t style, uint16_t id) {
        return Align4().U32(style).U32(0).U16(3).U16(4).U16(5).U16(6).U16(id);
    }
    TemplateWriter& MenuHeader() { return U16(1).U16(4).U32(0); }
    TemplateWriter& MenuItem(uint32_t type, uint32_t id, uint16_t flags, std::string_view text) {
        return Align4().U32(type).U32(0).U32(id).U16(flags).String(text);
    }
    TemplateWriter& SubmenuStart() { return Align4().U32(0); }  // the help id

  private:
    std::vector<uint8_t> bytes_;
};

constexpr uint16_t kPopup = kMenuFlagSubmenu;
constexpr uint16_t kLast = kMenuFlagLast;

// A language module written to a temporary file and loaded with KeLoadDll.
class WrittenModule {
  public:
    explicit WrittenModule(const std::vector<pe_test::TestResource>& resources) {
        const std::vector<uint8_t> bytes =
            pe_test::BuildPeImage(resources, pe_test::PeFormat::kPe32).bytes;
        const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        module_ = KeLoadDll(folder_.WriteFile("module.dll", text).c_str());
    }
    ~WrittenModule() {
        if (module_ != -1) KeFreeDll(module_);
    }
    KeHandle handle() const { return module_; }

  private:
    kq::test::TempFolder folder_{"kq-resources"};
    KeHandle module_ = -1;
};

// ---------------------------------------------------------------------------------------------
// The module built from data/ResourcesTest.rc.

class LanguageModuleTest : public testing::TestWithParam<const char*> {
  protected:
    void SetUp() override {
        if (GetParam()[0] == '\0') GTEST_SKIP() << "the MinGW binutils are not installed";
        module_ = KeLoadDll(GetParam());
        ASSERT_NE(module_, -1);
    }
    void TearDown() override {
        if (module_ != -1) KeFreeDll(module_);
    }

    std::string String(int id) const { return Text(StringPtr(ResLoadString(module_, id)).get()); }
    DialogPtr Dialog(int id) const { return DialogPtr(ResLoadDlg(module_, id)); }

    KeHandle module_ = -1;
};

INSTANTIATE_TEST_SUITE_P(BothFormats, LanguageModuleTest,
                         testing::Values(KQ_RESOURCE_TEST_MODULE, KQ_RESOURCE_TEST_MODULE32),
                         [](const testing::TestParamInfo<const char*>& row) {
                             return row.index == 0 ? std::string("Pe32Plus") : std::string("Pe32");
                         });

TEST_P(LanguageModuleTest, StringsOfEveryBlockInTheConsoleCodePageAndCutAt1023) {
    EXPECT_EQ(String(15), "last of block 1");
    EXPECT_EQ(String(16), "first of block 2");
    EXPECT_EQ(String(65535), "highest id");
    for (int id : {0, 3, 18, 65534, -1, 65536, INT_MIN}) {
        EXPECT_EQ(String(id), "(null)") << id;
    }
    std::string digits;
    for (std::size_t index = 0; index < 1023; ++index) digits += char('0' + index % 10);
    EXPECT_EQ(String(17), digits);
    const uint16_t eAcute = 0xE9;
    char converted = 0;
    ASSERT_EQ(UUctoCp(UGetConCp(), &eAcute, &converted, 1), 0);
    EXPECT_EQ(String(2), std::string("Caf") + converted);
}

// A font name of odd length ends two bytes off a multiple of 4, one of even length on it: the
// items' alignment must absorb the difference. windres writes class names in capitals; the
// dialog code matches them without case.
TEST_P(LanguageModuleTest, DialogRecordHoldsTheTemplateWhateverTheFontNameLength) {
    const char* const titles[] = {"Odd font", "Even font"};
    for (int id : {100, 101}) {
        DialogPtr dialog = Dialog(id);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(
            std::vector<int>({int(dialog->style), dialog->x, dialog->y, dialog->w, dialog->h}),
            std::vector<int>({0, 0, 0, 34, 6}));
        EXPECT_EQ(dialog->className, nullptr);
        EXPECT_EQ(Text(dialog->title), titles[id - 100]);
        ASSERT_EQ(dialog->itemCount, 3);
        EXPECT_EQ(Describe(dialog->items[0]),
                  "STATIC &Name: 10 2,1 6x1 " + std::to_string(WF_VISIBLE));
        EXPECT_EQ(Describe(dialog->items[1]),
                  "EDIT  11 9,1 20x1 " + std::to_string(WF_VISIBLE | WF_FOCUSABLE));
        EXPECT_EQ(Describe(dialog->items[2]),
                  "Button OK 1 4,3 8x1 " + std::to_string(WF_VISIBLE | WF_FOCUSABLE | WF_DEFAULT));
    }
}

// Fault caught: a class given as an ordinal stored as the number cast to a pointer.
TEST_P(LanguageModuleTest, ClassAtomsOrdinalsCentringAndRefusedTemplates) {
    DialogPtr dialog = Dialog(103);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(std::make_pair(dialog->x, dialog->y), std::make_pair(-1, -1));
    EXPECT_EQ(Text(dialog->className), "MYCLASS");
    EXPECT_EQ(Text(dialog->title), "Atoms");
    ASSERT_EQ(dialog->itemCount, 9);
    const char* const classes[] = {"Button",   "Edit",   "Static", "ListBox",    "ScrollBar",
                                   "ComboBox", "(null)", "Static", "PROGRESSBAR"};
    for (int index = 0; index < 9; ++index) {
        EXPECT_EQ(Text(dialog->items[index].className), classes[index]) << index;
    }
    // Text given as an ordinal; the largest id; negative item coordinates.
    EXPECT_EQ(Describe(dialog->items[7]), "Static (null) 65535 -3,-4 5x6 0");
    EXPECT_EQ(dialog->items[8].style, static_cast<uint32_t>(WF_VISIBLE | WF_GROUP));

    DialogPtr numbered = Dialog(104);
    ASSERT_NE(numbered, nullptr);
    EXPECT_EQ(Text(numbered->className), "1234");
    EXPECT_EQ(Text(numbered->title), "");

    for (int id : {99, 0, -1, 65536}) EXPECT_EQ(Dialog(id), nullptr) << id;
    for (int id : {3, -1, 65536}) {
        EXPECT_EQ(MenuPtr(ResLoadMenu(module_, id)), nullptr) << id;
    }
}

TEST_P(LanguageModuleTest, NestedMenu) {
    MenuPtr bar(ResLoadMenu(module_, 1));
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(Describe(bar.get()),
              "&File 100 16 [&Open 101 0,  0 2048, &Recent 102 16 [Deep 103 0], E&xit 104 0], "
              "&Help 200 0");
}

// ---------------------------------------------------------------------------------------------
// Templates written byte by byte.

std::vector<uint8_t> FullDialog() {
    TemplateWriter dialog;
    dialog.DialogHeader(kDialogSetFont, 3).Ordinal(5).String("Class").String("Title");
    dialog.U16(8).String("Font");
    dialog.ItemHeader(WF_VISIBLE, 1).Ordinal(0x82).String("one").U16(0);
    dialog.ItemHeader(WF_VISIBLE, 2).String("edit").Ordinal(9).U16(6).U32(0xAAAAAAAA);
    dialog.ItemHeader(WF_VISIBLE, 3).Ordinal(0x80).String("three").U16(0);
    return dialog.bytes();
}

// Fault caught: a record handed out with the items read so far when a later one is cut.
TEST(WrittenTemplateTest, EveryPrefixOfADialogIsRefusedAndACutOneLoadsAsNull) {
    const std::vector<uint8_t> full = FullDialog();
    const std::span<const uint8_t> bytes(full);
    ASSERT_TRUE(ParseDialog(bytes).has_value());
    for (std::size_t length = 0; length < full.size(); ++length) {
        EXPECT_FALSE(ParseDialog(bytes.first(length)).has_value()) << length;
    }
    const std::vector<uint8_t> cut(full.begin(), full.end() - 4);
    WrittenModule module({{PeImage::kTypeDialog, 1, full}, {PeImage::kTypeDialog, 2, cut}});
    ASSERT_NE(module.handle(), -1);
    DialogPtr whole(ResLoadDlg(module.handle(), 1));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->itemCount, 3);
    EXPECT_EQ(ResLoadDlg(module.handle(), 2), nullptr);
}

TEST(WrittenTemplateTest, MalformedDialogsAreRefused) {
    using W = TemplateWriter;
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"unterminated title", W().DialogHeader(0, 0).U16(0).U16(0).U16('T').bytes()},
        {"unterminated font name",
         W().DialogHeader(kDialogSetFont, 0).NoNames().U16(8).U16('F').bytes()},
        {"ordinal cut after 0xFFFF", W().DialogHeader(0, 0).U16(0xFFFF).bytes()},
        {"more items than bytes", W().DialogHeader(0, 0xFFFF).NoNames().PadTo(400).bytes()},
        {"creation data past the end",
         W().DialogHeader(0, 1).NoNames().ItemHeader(0, 1).Ordinal(0x80).U16(0).U16(40).bytes()},
        {"extended template", W().U16(1).U16(0xFFFF).PadTo(64).bytes()},
    };
    for (const auto& [name, bytes] : cases) EXPECT_FALSE(ParseDialog(bytes).has_value()) << name;
}

std::vector<uint8_t> NestedMenu(int levels) {
    TemplateWriter menu;
    menu.MenuHeader();
    for (int level = 1; level < levels; ++level) {
        menu.MenuItem(0, static_cast<uint32_t>(level), kPopup | kLast, "sub").SubmenuStart();
    }
    return menu.MenuItem(0, 99, kLast, "leaf").bytes();
}

// Fault caught: unbounded recursion on a template nested thousands of levels deep.
TEST(WrittenTemplateTest, MalformedMenusAreRefusedAndNestingIsLimited) {
    using W = TemplateWriter;
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"no item flagged last", W().MenuHeader().MenuItem(0, 1, 0, "a").bytes()},
        {"submenu without its last item", W().MenuHeader()
                                              .MenuItem(0, 1, kPopup | kLast, "a")
                                              .SubmenuStart()
                                              .MenuItem(0, 2, 0, "b")
                                              .bytes()},
        {"submenu without its help id",
         W().MenuHeader().MenuItem(0, 1, kPopup | kLast, "a").bytes()},
        {"unterminated text",
         W().MenuHeader().Align4().U32(0).U32(0).U32(1).U16(kLast).U16('a').bytes()},
        {"standard template", W().U16(0).U16(0).U16(kLast).String("a").bytes()},
        {"items past the end", W().U16(1).U16(0xFFF0).PadTo(64).bytes()},
        {"one level too deep", NestedMenu(kMaxMenuDepth + 2)},
        {"thousands of levels", NestedMenu(5000)},
    };
    for (const auto& [name, bytes] : cases) EXPECT_FALSE(ParseMenu(bytes).has_value()) << name;
    EXPECT_TRUE(ParseMenu(NestedMenu(kMaxMenuDepth + 1)).has_value());
}

// Entries before a cut are found, later ones are not.
TEST(WrittenTemplateTest, StringBlocks) {
    TemplateWriter block;
    block.U16(2).U16('a').U16('b').U16(0).U16(1).U16('c');
    block.U16(5).U16('d');  // claims 5 units, holds 1
    const std::span<const uint8_t> bytes(block.bytes());
    EXPECT_EQ(ParseStringBlock(bytes, 0), std::optional<Utf16>(Utf16{'a', 'b'}));
    EXPECT_EQ(ParseStringBlock(bytes, 2), std::optional<Utf16>(Utf16{'c'}));
    for (int index : {1, 3, 4, 15, 16, -1}) {
        EXPECT_FALSE(ParseStringBlock(bytes, index).has_value()) << index;
    }
}

}  // namespace
}  // namespace kq::resources
