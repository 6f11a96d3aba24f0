// Language resources: the current language module, and strings, dialog templates and menus
// read from a module into the heap records of kq/resources.h, texts converted from UTF-16 to
// the console code page.
//
// Records are C structs allocated with calloc/malloc and released only through the matching
// Res*Free function, which frees with free(). A record is built completely or not at all: when
// parsing or an allocation fails, whatever was built is freed and null is returned.
#include "kq/resources.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <new>
#include <optional>
#include <string>

#include "console/GlyphTable.h"
#include "kq/text.h"
#include "platform/PeImage.h"
#include "ui/ResourceParsers.h"

namespace kq::resources {
namespace {

using platform::PeImage;

// LoadString's buffer is 1024 bytes: 1023 characters and the terminator.
constexpr std::size_t kMaxStringLength = 1023;

std::atomic<KeHandle> g_language{0};

// Resource ids are 16-bit; anything else names no resource.
std::span<const uint8_t> FindResource(KeHandle module, uint16_t type, int id) {
    if (id < 0 || id > 0xFFFF) return {};
    const PeImage* image = PeImage::FromModule(module);
    if (image == nullptr) return {};
    return image->Find(type, static_cast<uint16_t>(id));
}

// A malloc'd, zero-terminated copy of the units in the console code page (one byte per
// unit). Units the conversion cannot take become '?'; null only when memory runs out.
char* ToConsoleText(const Utf16& units) {
    auto* text = static_cast<char*>(std::malloc(units.size() + 1));
    if (text == nullptr) return nullptr;
    text[units.size()] = '\0';
    if (units.empty()) return text;
    const int count = static_cast<int>(units.size());
    if (UUctoCp(kq::console::ConsoleGlyphs().CodePage(), units.data(), text, count) != 0) {
        for (std::size_t index = 0; index < units.size(); ++index) {
            text[index] = units[index] < 0x80 ? static_cast<char>(units[index]) : '?';
        }
    }
    return text;
}

char* DecimalText(uint16_t number) {
    const std::string digits = std::to_string(number);
    auto* text = static_cast<char*>(std::malloc(digits.size() + 1));
    if (text != nullptr) std::memcpy(text, digits.c_str(), digits.size() + 1);
    return text;
}

// The predefined window classes by atom, from 0x80 on.
constexpr const char* kClassAtoms[] = {"Button",  "Edit",      "Static",
                                       "ListBox", "ScrollBar", "ComboBox"};
constexpr uint16_t kFirstClassAtom = 0x80;

const char* ClassAtomName(uint16_t atom) {
    const std::size_t index = static_cast<std::size_t>(atom - kFirstClassAtom);
    return atom >= kFirstClassAtom && index < std::size(kClassAtoms) ? kClassAtoms[index] : nullptr;
}

char* CopyText(const char* source) {
    const std::size_t size = std::strlen(source) + 1;
    auto* text = static_cast<char*>(std::malloc(size));
    if (text != nullptr) std::memcpy(text, source, size);
    return text;
}

// The field's text converted: an absent field gives "". Here and below, false means only that
// memory ran out.
bool StringField(const TemplateField& field, char*& text) {
    text = ToConsoleText(field.text);
    return text != nullptr;
}

bool DialogClassText(const TemplateField& field, char*& text) {
    switch (field.kind) {
        case TemplateField::Kind::kAbsent:
            text = nullptr;
            return true;
        case TemplateField::Kind::kOrdinal:
            text = DecimalText(field.ordinal);
            break;
        case TemplateField::Kind::kString:
            text = ToConsoleText(field.text);
            break;
    }
    return text != nullptr;
}

// The title is always a string: an absent one is empty, an ordinal one its number.
bool DialogTitleText(const TemplateField& field, char*& text) {
    if (field.kind == TemplateField::Kind::kOrdinal) {
        text = DecimalText(field.ordinal);
        return text != nullptr;
    }
    return StringField(field, text);
}

bool ItemClassText(const TemplateField& field, char*& text) {
    if (field.kind != TemplateField::Kind::kOrdinal) return StringField(field, text);
    const char* name = ClassAtomName(field.ordinal);
    text = name == nullptr ? nullptr : CopyText(name);
    return name == nullptr || text != nullptr;
}

bool ItemText(const TemplateField& field, char*& text) {
    if (field.kind != TemplateField::Kind::kOrdinal) return StringField(field, text);
    text = nullptr;
    return true;
}

ResDialog* BuildDialog(const DialogTemplate& parsed) {
    auto* dialog = static_cast<ResDialog*>(std::calloc(1, sizeof(ResDialog)));
    if (dialog == nullptr) return nullptr;
    dialog->style = 0;
    dialog->x = parsed.x;
    dialog->y = parsed.y;
    dialog->w = parsed.w;
    dialog->h = parsed.h;
    bool complete = DialogClassText(parsed.className, dialog->className) &&
                    DialogTitleText(parsed.title, dialog->title);
    if (complete && !parsed.items.empty()) {
        dialog->items =
            static_cast<ResDialogItem*>(std::calloc(parsed.items.size(), sizeof(ResDialogItem)));
        complete = dialog->items != nullptr;
    }
    // itemCount grows with each item built, so that freeing a partial record frees exactly
    // what it holds.
    for (std::size_t index = 0; complete && index < parsed.items.size(); ++index) {
        const DialogItemTemplate& source = parsed.items[index];
        ResDialogItem& item = dialog->items[index];
        ++dialog->itemCount;
        item.style = source.style;
        item.x = source.x;
        item.y = source.y;
        item.w = source.w;
        item.h = source.h;
        item.id = source.id;
        complete =
            ItemClassText(source.classField, item.className) && ItemText(source.text, item.text);
    }
    if (!complete) {
        ResFreeDlg(dialog);
        return nullptr;
    }
    return dialog;
}

void FreeMenu(ResMenu* menu) {
    if (menu == nullptr) return;
    for (int index = 0; index < menu->itemCount; ++index) {
        FreeMenu(menu->items[index].submenu);
        std::free(menu->items[index].text);
    }
    std::free(menu->items);
    std::free(menu->title);
    std::free(menu);
}

ResMenu* BuildMenu(const MenuTemplate& parsed) {
    auto* menu = static_cast<ResMenu*>(std::calloc(1, sizeof(ResMenu)));
    if (menu == nullptr) return nullptr;
    bool complete = true;
    if (!parsed.items.empty()) {
        menu->items =
            static_cast<ResMenuItem*>(std::calloc(parsed.items.size(), sizeof(ResMenuItem)));
        complete = menu->items != nullptr;
    }
    for (std::size_t index = 0; complete && index < parsed.items.size(); ++index) {
        const MenuItemTemplate& source = parsed.items[index];
        ResMenuItem& item = menu->items[index];
        ++menu->itemCount;
        item.id = source.id;
        item.type = source.type;
        item.text = ToConsoleText(source.text);
        complete = item.text != nullptr;
        if (complete && source.submenu) {
            item.submenu = BuildMenu(*source.submenu);
            complete = item.submenu != nullptr;
        }
    }
    if (!complete) {
        FreeMenu(menu);
        return nullptr;
    }
    return menu;
}

}  // namespace
}  // namespace kq::resources

using kq::platform::PeImage;
using kq::resources::FindResource;

extern "C" {

ZAPI int ZCALL ResSetLanguage(KeHandle module) {
    kq::resources::g_language.store(module);
    return 0;
}

ZAPI KeHandle ZCALL ResGetLanguage(void) {
    return kq::resources::g_language.load();
}

ZAPI char* ZCALL ResLoadString(KeHandle module, int id) {
    try {
        if (id < 0 || id > 0xFFFF) return nullptr;
        const std::span<const uint8_t> block =
            FindResource(module, PeImage::kTypeString, kq::resources::StringBlockId(id));
        std::optional<kq::resources::Utf16> units =
            kq::resources::ParseStringBlock(block, id % kq::resources::kStringsPerBlock);
        if (!units) return nullptr;
        if (units->size() > kq::resources::kMaxStringLength) {
            units->resize(kq::resources::kMaxStringLength);
        }
        return kq::resources::ToConsoleText(*units);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ZAPI int ZCALL ResFreeString(char* text) {
    std::free(text);
    return 0;
}

ZAPI ResDialog* ZCALL ResLoadDlg(KeHandle module, int id) {
    try {
        const std::optional<kq::resources::DialogTemplate> parsed =
            kq::resources::ParseDialog(FindResource(module, PeImage::kTypeDialog, id));
        return parsed ? kq::resources::BuildDialog(*parsed) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

ZAPI int ZCALL ResFreeDlg(ResDialog* dialog) {
    if (dialog == nullptr) return 0;
    for (int index = 0; index < dialog->itemCount; ++index) {
        std::free(dialog->items[index].className);
        std::free(dialog->items[index].text);
    }
    std::free(dialog->items);
    std::free(dialog->className);
    std::free(dialog->title);
    std::free(dialog);
    return 0;
}

}  // extern "C"

ResMenu* ResLoadMenu(KeHandle module, int id) {
    try {
        const std::optional<kq::resources::MenuTemplate> parsed =
            kq::resources::ParseMenu(FindResource(module, PeImage::kTypeMenu, id));
        return parsed ? kq::resources::BuildMenu(*parsed) : nullptr;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

int ResFreeMenu(ResMenu* menu) {
    kq::resources::FreeMenu(menu);
    return 0;
}
