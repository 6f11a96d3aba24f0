// Tests of the Res* readers: a language module built by windres + ld from data/ResourcesTest.rc
// (as PE32+ and as PE32), templates written byte by byte for what windres cannot emit (creation
// data in a standard dialog, damaged templates), and the parsers on every prefix of a template.
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "kq/resources.h"
#include "kq/text.h"
#include "kq/window_flags.h"
#include "platform/PeImage.h"
#include "platform/PeImageWriter.h"
#include "ui/ResourceParsers.h"

namespace kq::resources {
namespace {

using platform::PeImage;

constexpr const char* kModulePath = KQ_RESOURCE_TEST_MODULE;
constexpr const char* kModule32Path = KQ_RESOURCE_TEST_MODULE32;

struct StringDeleter {
    void operator()(char* text) const { ResFreeString(text); }
};
struct DialogDeleter {
    void operator()(ResDialog* dialog) const { ResFreeDlg(dialog); }
};
struct MenuDeleter {
    void operator()(ResMenu* menu) const { ResFreeMenu(menu); }
};
using StringPtr = std::unique_ptr<char, StringDeleter>;
using DialogPtr = std::unique_ptr<ResDialog, DialogDeleter>;
using MenuPtr = std::unique_ptr<ResMenu, MenuDeleter>;

// Null as "(null)", so that expectations can compare optional texts as strings.
std::string Text(const char* text) {
    return text == nullptr ? "(null)" : text;
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

    // Dialog pieces.
    TemplateWriter& DialogHeader(uint32_t style, uint16_t itemCount) {
        return U32(style).U32(0).U16(itemCount).U16(1).U16(2).U16(30).U16(10);
    }
    TemplateWriter& ItemHeader(uint32_t style, uint16_t id) {
        return Align4().U32(style).U32(0).U16(3).U16(4).U16(5).U16(6).U16(id);
    }

    // Menu pieces.
    TemplateWriter& MenuHeader() { return U16(1).U16(4).U32(0); }
    TemplateWriter& MenuItem(uint32_t type, uint32_t id, uint16_t flags, std::string_view text) {
        return Align4().U32(type).U32(0).U32(id).U16(flags).String(text);
    }
    TemplateWriter& SubmenuStart() { return Align4().U32(0); }  // the help id

  private:
    std::vector<uint8_t> bytes_;
};

constexpr uint16_t kMenuPopup = kMenuFlagSubmenu;
constexpr uint16_t kMenuLast = kMenuFlagLast;

// A language module written to a temporary file and loaded with KeLoadDll.
class WrittenModule {
  public:
    explicit WrittenModule(const std::vector<pe_test::TestResource>& resources) {
        path_ = testing::TempDir() + "kq-resources-XXXXXX";
        const int descriptor = mkstemp(path_.data());
        if (descriptor < 0) return;
        const std::vector<uint8_t> bytes =
            pe_test::BuildPeImage(resources, pe_test::PeFormat::kPe32).bytes;
        const bool written =
            write(descriptor, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        close(descriptor);
        if (written) module_ = KeLoadDll(path_.c_str());
    }
    ~WrittenModule() {
        if (module_ != -1) KeFreeDll(module_);
        unlink(path_.c_str());
    }
    WrittenModule(const WrittenModule&) = delete;
    WrittenModule& operator=(const WrittenModule&) = delete;

    KeHandle handle() const { return module_; }

  private:
    std::string path_;
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

    StringPtr String(int id) const { return StringPtr(ResLoadString(module_, id)); }
    DialogPtr Dialog(int id) const { return DialogPtr(ResLoadDlg(module_, id)); }
    MenuPtr Menu(int id) const { return MenuPtr(ResLoadMenu(module_, id)); }

    KeHandle module_ = -1;
};

INSTANTIATE_TEST_SUITE_P(BothFormats, LanguageModuleTest,
                         testing::Values(kModulePath, kModule32Path),
                         [](const testing::TestParamInfo<const char*>& row) {
                             return row.index == 0 ? std::string("Pe32Plus") : std::string("Pe32");
                         });

TEST_P(LanguageModuleTest, StringsAreFoundInEveryBlock) {
    const struct {
        int id;
        const char* text;
    } kStrings[] = {
        {1, "English"},           {15, "last of block 1"},
        {16, "first of block 2"}, {1000, "%d files selected"},
        {65535, "highest id"},
    };
    for (const auto& expected : kStrings) {
        StringPtr text = String(expected.id);
        EXPECT_EQ(Text(text.get()), expected.text) << expected.id;
    }
}

TEST_P(LanguageModuleTest, MissingStringsAreNull) {
    for (int id : {0, 3, 14, 18, 999, 1001, 65534, -1, 65536, INT_MAX, INT_MIN}) {
        EXPECT_EQ(String(id), nullptr) << id;
    }
}

TEST_P(LanguageModuleTest, StringsLongerThan1023CharactersAreCut) {
    StringPtr text = String(17);
    ASSERT_NE(text, nullptr);
    ASSERT_EQ(std::strlen(text.get()), 1023u);
    for (std::size_t index = 0; index < 1023; ++index) {
        ASSERT_EQ(text.get()[index], static_cast<char>('0' + index % 10)) << index;
    }
}

TEST_P(LanguageModuleTest, StringsAreInTheConsoleCodePage) {
    const uint16_t eAcute = 0xE9;
    char converted = 0;
    ASSERT_EQ(UUctoCp(UGetConCp(), &eAcute, &converted, 1), 0);
    StringPtr text = String(2);
    EXPECT_EQ(Text(text.get()), std::string("Caf") + converted);
}

TEST_P(LanguageModuleTest, DialogRecordHoldsTheTemplate) {
    DialogPtr dialog = Dialog(100);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->style, 0u);
    EXPECT_EQ(dialog->x, 0);
    EXPECT_EQ(dialog->y, 0);
    EXPECT_EQ(dialog->w, 34);
    EXPECT_EQ(dialog->h, 6);
    EXPECT_EQ(dialog->className, nullptr);
    EXPECT_EQ(Text(dialog->title), "Odd font");
    ASSERT_EQ(dialog->itemCount, 3);

    // windres writes class names in capitals; the dialog code matches them without case.
    const struct {
        uint32_t style;
        int x, y, w, h, id;
        const char* className;
        const char* text;
    } kItems[] = {
        {WF_VISIBLE, 2, 1, 6, 1, 10, "STATIC", "&Name:"},
        {WF_VISIBLE | WF_FOCUSABLE, 9, 1, 20, 1, 11, "EDIT", ""},
        {WF_VISIBLE | WF_FOCUSABLE | WF_DEFAULT, 4, 3, 8, 1, 1, "Button", "OK"},
    };
    for (int index = 0; index < 3; ++index) {
        const ResDialogItem& item = dialog->items[index];
        EXPECT_EQ(item.style, kItems[index].style) << index;
        EXPECT_EQ(item.x, kItems[index].x) << index;
        EXPECT_EQ(item.y, kItems[index].y) << index;
        EXPECT_EQ(item.w, kItems[index].w) << index;
        EXPECT_EQ(item.h, kItems[index].h) << index;
        EXPECT_EQ(item.id, kItems[index].id) << index;
        EXPECT_EQ(Text(item.className), kItems[index].className) << index;
        EXPECT_EQ(Text(item.text), kItems[index].text) << index;
    }
}

// A font name of odd length ends two bytes off a multiple of 4, one of even length on it: the
// items' alignment must absorb the difference.
TEST_P(LanguageModuleTest, FontNameLengthDoesNotShiftTheItems) {
    DialogPtr odd = Dialog(100);
    DialogPtr even = Dialog(101);
    DialogPtr none = Dialog(102);
    ASSERT_NE(odd, nullptr);
    ASSERT_NE(even, nullptr);
    ASSERT_NE(none, nullptr);
    for (const ResDialog* other : {even.get(), none.get()}) {
        ASSERT_EQ(other->itemCount, odd->itemCount);
        for (int index = 0; index < odd->itemCount; ++index) {
            const ResDialogItem& a = odd->items[index];
            const ResDialogItem& b = other->items[index];
            EXPECT_EQ(a.style, b.style);
            EXPECT_EQ(std::vector<int>({a.x, a.y, a.w, a.h, a.id}),
                      std::vector<int>({b.x, b.y, b.w, b.h, b.id}));
            EXPECT_EQ(Text(a.className), Text(b.className));
            EXPECT_EQ(Text(a.text), Text(b.text));
        }
    }
    EXPECT_EQ(Text(even->title), "Even font");
    EXPECT_EQ(Text(none->title), "No font");
}

TEST_P(LanguageModuleTest, ClassAtomsOrdinalTextsAndCentring) {
    DialogPtr dialog = Dialog(103);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->x, -1);
    EXPECT_EQ(dialog->y, -1);
    EXPECT_EQ(Text(dialog->className), "MYCLASS");
    EXPECT_EQ(Text(dialog->title), "Atoms");
    ASSERT_EQ(dialog->itemCount, 9);

    const char* const kClasses[] = {"Button",   "Edit",   "Static", "ListBox",    "ScrollBar",
                                    "ComboBox", "(null)", "Static", "PROGRESSBAR"};
    for (int index = 0; index < 9; ++index) {
        EXPECT_EQ(Text(dialog->items[index].className), kClasses[index]) << index;
    }
    EXPECT_EQ(Text(dialog->items[6].text), "unknown");
    // Text given as an ordinal; the largest id; negative item coordinates.
    const ResDialogItem& ordinal = dialog->items[7];
    EXPECT_EQ(ordinal.text, nullptr);
    EXPECT_EQ(ordinal.id, 65535);
    EXPECT_EQ(ordinal.x, -3);
    EXPECT_EQ(ordinal.y, -4);
    EXPECT_EQ(dialog->items[8].style, static_cast<uint32_t>(WF_VISIBLE | WF_GROUP));
}

// Fault caught: a class given as an ordinal stored as the number cast to a pointer.
TEST_P(LanguageModuleTest, DialogClassOrdinalIsStoredAsItsNumber) {
    DialogPtr dialog = Dialog(104);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(Text(dialog->className), "1234");
    EXPECT_EQ(Text(dialog->title), "");
    EXPECT_EQ(dialog->itemCount, 0);
}

TEST_P(LanguageModuleTest, MissingAndExtendedDialogsAreNull) {
    for (int id : {105 /* DIALOGEX */, 99, 0, -1, 65536}) EXPECT_EQ(Dialog(id), nullptr) << id;
}

TEST_P(LanguageModuleTest, NestedMenu) {
    MenuPtr bar = Menu(1);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(bar->title, nullptr);
    ASSERT_EQ(bar->itemCount, 2);
    EXPECT_EQ(Text(bar->items[0].text), "&File");
    EXPECT_EQ(bar->items[0].id, 100u);
    EXPECT_EQ(bar->items[0].type, 0x10u);
    EXPECT_EQ(Text(bar->items[1].text), "&Help");
    EXPECT_EQ(bar->items[1].id, 200u);
    EXPECT_EQ(bar->items[1].type, 0u);
    EXPECT_EQ(bar->items[1].submenu, nullptr);

    const ResMenu* file = bar->items[0].submenu;
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->title, nullptr);
    ASSERT_EQ(file->itemCount, 4);
    EXPECT_EQ(Text(file->items[0].text), "&Open");
    EXPECT_EQ(file->items[1].type, 0x800u);  // separator
    EXPECT_EQ(Text(file->items[1].text), "");
    EXPECT_EQ(Text(file->items[2].text), "&Recent");
    EXPECT_EQ(file->items[2].type, 0x10u);
    EXPECT_EQ(Text(file->items[3].text), "E&xit");
    EXPECT_EQ(file->items[3].id, 104u);

    const ResMenu* recent = file->items[2].submenu;
    ASSERT_NE(recent, nullptr);
    ASSERT_EQ(recent->itemCount, 1);
    EXPECT_EQ(Text(recent->items[0].text), "Deep");
    EXPECT_EQ(recent->items[0].id, 103u);
    EXPECT_EQ(recent->items[0].submenu, nullptr);
}

TEST_P(LanguageModuleTest, MissingAndStandardMenusAreNull) {
    for (int id : {2 /* MENU, not MENUEX */, 3, -1, 65536}) EXPECT_EQ(Menu(id), nullptr) << id;
}

// Every prefix of a real template is refused: no record is ever built from part of one.
TEST_P(LanguageModuleTest, EveryPrefixOfARealTemplateIsRefused) {
    std::unique_ptr<PeImage> image = PeImage::Load(GetParam());
    ASSERT_NE(image, nullptr);
    for (uint16_t id : {100, 101, 103}) {
        const std::span<const uint8_t> data = image->Find(PeImage::kTypeDialog, id);
        ASSERT_TRUE(ParseDialog(data).has_value()) << id;
        for (std::size_t length = 0; length < data.size(); ++length) {
            EXPECT_FALSE(ParseDialog(data.first(length)).has_value()) << id << " " << length;
        }
    }
    const std::span<const uint8_t> menu = image->Find(PeImage::kTypeMenu, 1);
    ASSERT_TRUE(ParseMenu(menu).has_value());
    for (std::size_t length = 0; length < menu.size(); ++length) {
        EXPECT_FALSE(ParseMenu(menu.first(length)).has_value()) << length;
    }
}

// ---------------------------------------------------------------------------------------------
// Handles and the current language.

TEST(ResourceHandleTest, ReadersRefuseHandlesThatAreNoLanguageModule) {
    const KeHandle lock = KeInitCS();
    for (KeHandle handle : {KeHandle{0}, KeHandle{-1}, KeGetModule(), lock}) {
        EXPECT_EQ(ResLoadString(handle, 1), nullptr);
        EXPECT_EQ(ResLoadDlg(handle, 100), nullptr);
        EXPECT_EQ(ResLoadMenu(handle, 1), nullptr);
    }
    KeFreeCS(lock);
}

TEST(ResourceHandleTest, CurrentLanguageIsWhatWasSetLast) {
    const KeHandle saved = ResGetLanguage();
    WrittenModule module({});
    ASSERT_NE(module.handle(), -1);
    EXPECT_EQ(ResSetLanguage(module.handle()), 0);
    EXPECT_EQ(ResGetLanguage(), module.handle());
    EXPECT_EQ(ResSetLanguage(0), 0);
    EXPECT_EQ(ResGetLanguage(), 0);
    ResSetLanguage(saved);
}

TEST(ResourceHandleTest, FreeFunctionsAcceptNull) {
    EXPECT_EQ(ResFreeString(nullptr), 0);
    EXPECT_EQ(ResFreeDlg(nullptr), 0);
    EXPECT_EQ(ResFreeMenu(nullptr), 0);
}

// ---------------------------------------------------------------------------------------------
// Creation data, which windres writes only into extended templates.

struct CreationDataCase {
    const char* name;
    const char* firstText;  // "x" puts the size field 2 past a multiple of 4, "xy" on one
    uint16_t size;          // the size field; it counts from the field itself
};

void PrintTo(const CreationDataCase& row, std::ostream* out) {
    *out << row.name;
}

class CreationDataTest : public testing::TestWithParam<CreationDataCase> {};

// The first item's size field sits at offset F; the second item starts at F + size (F + 2
// when the size is 0) rounded up to a multiple of 4.
TEST_P(CreationDataTest, NextItemStartsAfterTheDataOnTheNextMultipleOfFour) {
    const CreationDataCase& data = GetParam();
    TemplateWriter dialog;
    dialog.DialogHeader(0, 2).U16(0).U16(0).String("T");
    dialog.ItemHeader(WF_VISIBLE, 7).Ordinal(0x82).String(data.firstText);
    const std::size_t sizeField = dialog.size();
    dialog.U16(data.size);
    dialog.PadTo(sizeField + (data.size == 0 ? 2 : data.size));
    dialog.ItemHeader(WF_FOCUSABLE, 8).Ordinal(0x80).String("second").U16(0);

    WrittenModule module({{PeImage::kTypeDialog, 300, dialog.bytes()}});
    ASSERT_NE(module.handle(), -1);
    DialogPtr record(ResLoadDlg(module.handle(), 300));
    ASSERT_NE(record, nullptr);
    ASSERT_EQ(record->itemCount, 2);
    EXPECT_EQ(record->items[0].id, 7);
    EXPECT_EQ(Text(record->items[0].className), "Static");
    EXPECT_EQ(Text(record->items[0].text), data.firstText);
    EXPECT_EQ(record->items[1].id, 8);
    EXPECT_EQ(record->items[1].style, static_cast<uint32_t>(WF_FOCUSABLE));
    EXPECT_EQ(Text(record->items[1].className), "Button");
    EXPECT_EQ(Text(record->items[1].text), "second");
}

INSTANTIATE_TEST_SUITE_P(
    Sizes, CreationDataTest,
    testing::Values(CreationDataCase{"SixFromAFieldOnAMultipleOfFour", "xy", 6},
                    CreationDataCase{"SixFromAFieldTwoPast", "x", 6},
                    CreationDataCase{"NoneOnAMultipleOfFour", "xy", 0},
                    CreationDataCase{"NoneTwoPast", "x", 0},
                    CreationDataCase{"EightTwoPast", "x", 8}, CreationDataCase{"OddSize", "x", 3}),
    [](const testing::TestParamInfo<CreationDataCase>& row) {
        return std::string(row.param.name);
    });

// ---------------------------------------------------------------------------------------------
// Damaged templates: null, never a partial record.

std::vector<uint8_t> FullDialog() {
    TemplateWriter dialog;
    dialog.DialogHeader(kDialogSetFont, 3).Ordinal(5).String("Class").String("Title");
    dialog.U16(8).String("Font");
    dialog.ItemHeader(WF_VISIBLE, 1).Ordinal(0x82).String("one").U16(0);
    dialog.ItemHeader(WF_VISIBLE, 2).String("edit").Ordinal(9).U16(6).U32(0xAAAAAAAA);
    dialog.ItemHeader(WF_VISIBLE, 3).Ordinal(0x80).String("three").U16(0);
    return dialog.bytes();
}

TEST(DamagedDialogTest, EveryPrefixIsRefused) {
    const std::vector<uint8_t> full = FullDialog();
    const std::span<const uint8_t> bytes(full);
    ASSERT_TRUE(ParseDialog(bytes).has_value());
    for (std::size_t length = 0; length < full.size(); ++length) {
        EXPECT_FALSE(ParseDialog(bytes.first(length)).has_value()) << length;
    }
}

// Fault caught: a record handed out with the items read so far when a later one is cut.
TEST(DamagedDialogTest, LoadingACutTemplateGivesNullNotAPartialRecord) {
    std::vector<uint8_t> cut = FullDialog();
    cut.resize(cut.size() - 4);
    WrittenModule module({{PeImage::kTypeDialog, 1, FullDialog()}, {PeImage::kTypeDialog, 2, cut}});
    ASSERT_NE(module.handle(), -1);
    DialogPtr whole(ResLoadDlg(module.handle(), 1));
    ASSERT_NE(whole, nullptr);
    EXPECT_EQ(whole->itemCount, 3);
    EXPECT_EQ(ResLoadDlg(module.handle(), 2), nullptr);
}

TEST(DamagedDialogTest, MalformedTemplatesAreRefused) {
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } kCases[] = {
        {"unterminated title", TemplateWriter().DialogHeader(0, 0).U16(0).U16(0).U16('T').bytes()},
        {"unterminated font name", TemplateWriter()
                                       .DialogHeader(kDialogSetFont, 0)
                                       .U16(0)
                                       .U16(0)
                                       .U16(0)
                                       .U16(8)
                                       .U16('F')
                                       .bytes()},
        {"ordinal cut after 0xFFFF", TemplateWriter().DialogHeader(0, 0).U16(0xFFFF).bytes()},
        {"more items than bytes",
         TemplateWriter().DialogHeader(0, 0xFFFF).U16(0).U16(0).U16(0).PadTo(400).bytes()},
        {"one item short", TemplateWriter()
                               .DialogHeader(0, 2)
                               .U16(0)
                               .U16(0)
                               .U16(0)
                               .ItemHeader(0, 1)
                               .Ordinal(0x80)
                               .U16(0)
                               .U16(0)
                               .bytes()},
        {"creation data past the end", TemplateWriter()
                                           .DialogHeader(0, 1)
                                           .U16(0)
                                           .U16(0)
                                           .U16(0)
                                           .ItemHeader(0, 1)
                                           .Ordinal(0x80)
                                           .U16(0)
                                           .U16(40)
                                           .bytes()},
        {"extended template", TemplateWriter().U16(1).U16(0xFFFF).PadTo(64).bytes()},
        {"empty", {}},
    };
    for (const auto& test : kCases) {
        EXPECT_FALSE(ParseDialog(test.bytes).has_value()) << test.name;
    }
}

TEST(DamagedMenuTest, MalformedTemplatesAreRefused) {
    const struct {
        const char* name;
        std::vector<uint8_t> bytes;
    } kCases[] = {
        {"no item flagged last", TemplateWriter().MenuHeader().MenuItem(0, 1, 0, "a").bytes()},
        {"submenu without its last item", TemplateWriter()
                                              .MenuHeader()
                                              .MenuItem(0, 1, kMenuPopup | kMenuLast, "a")
                                              .SubmenuStart()
                                              .MenuItem(0, 2, 0, "b")
                                              .bytes()},
        {"submenu without its help id",
         TemplateWriter().MenuHeader().MenuItem(0, 1, kMenuPopup | kMenuLast, "a").bytes()},
        {"unterminated text", TemplateWriter()
                                  .MenuHeader()
                                  .Align4()
                                  .U32(0)
                                  .U32(0)
                                  .U32(1)
                                  .U16(kMenuLast)
                                  .U16('a')
                                  .bytes()},
        {"standard template", TemplateWriter().U16(0).U16(0).U16(kMenuLast).String("a").bytes()},
        {"items past the end", TemplateWriter().U16(1).U16(0xFFF0).PadTo(64).bytes()},
        {"empty", {}},
    };
    for (const auto& test : kCases) {
        EXPECT_FALSE(ParseMenu(test.bytes).has_value()) << test.name;
    }
}

std::vector<uint8_t> NestedMenu(int levels) {
    TemplateWriter menu;
    menu.MenuHeader();
    for (int level = 1; level < levels; ++level) {
        menu.MenuItem(0, static_cast<uint32_t>(level), kMenuPopup | kMenuLast, "sub")
            .SubmenuStart();
    }
    menu.MenuItem(0, 99, kMenuLast, "leaf");
    return menu.bytes();
}

// Fault caught: unbounded recursion on a template nested thousands of levels deep.
TEST(DamagedMenuTest, NestingIsLimited) {
    EXPECT_TRUE(ParseMenu(NestedMenu(kMaxMenuDepth + 1)).has_value());
    EXPECT_FALSE(ParseMenu(NestedMenu(kMaxMenuDepth + 2)).has_value());
    EXPECT_FALSE(ParseMenu(NestedMenu(5000)).has_value());
}

// The items start at offset + 2 rounded up to a multiple of 4: offsets 4, 5 and 6 all start
// them at 8.
TEST(MenuHeaderTest, ItemOffsetIsRoundedUp) {
    for (uint16_t offset : {4, 5, 6}) {
        TemplateWriter menu;
        menu.U16(1).U16(offset).U32(0).MenuItem(0, 42, kMenuLast, "only");
        std::optional<MenuTemplate> parsed = ParseMenu(menu.bytes());
        ASSERT_TRUE(parsed.has_value()) << offset;
        ASSERT_EQ(parsed->items.size(), 1u);
        EXPECT_EQ(parsed->items[0].id, 42u);
    }
}

// ---------------------------------------------------------------------------------------------
// String-table blocks.

TEST(StringBlockTest, EntriesBeforeACutAreFoundAndLaterOnesAreNot) {
    TemplateWriter block;
    block.U16(2).U16('a').U16('b');  // entry 0
    block.U16(0);                    // entry 1: empty
    block.U16(1).U16('c');           // entry 2
    block.U16(5).U16('d');           // entry 3: claims 5 units, holds 1
    const std::span<const uint8_t> bytes(block.bytes());

    ASSERT_TRUE(ParseStringBlock(bytes, 0).has_value());
    EXPECT_EQ(*ParseStringBlock(bytes, 0), (Utf16{'a', 'b'}));
    EXPECT_FALSE(ParseStringBlock(bytes, 1).has_value());
    EXPECT_EQ(*ParseStringBlock(bytes, 2), (Utf16{'c'}));
    for (int index : {3, 4, 15, 16, -1}) {
        EXPECT_FALSE(ParseStringBlock(bytes, index).has_value()) << index;
    }
}

TEST(StringBlockTest, AnEmptyEntryIsAMissingString) {
    TemplateWriter block;
    for (int index = 0; index < 16; ++index) block.U16(0);
    WrittenModule module({{PeImage::kTypeString, 1, block.bytes()}});
    ASSERT_NE(module.handle(), -1);
    for (int id = 0; id < 16; ++id) EXPECT_EQ(ResLoadString(module.handle(), id), nullptr) << id;
}

}  // namespace
}  // namespace kq::resources
