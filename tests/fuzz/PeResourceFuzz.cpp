// libFuzzer target of the language-module readers: the input as a PE file (headers, section
// table, resource directory walk), every resource found in it through the string, dialog and
// menu parsers, and the input itself through each parser directly.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "platform/PeImage.h"
#include "ui/ResourceParsers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

using kq::platform::PeImage;
namespace res = kq::resources;

// The parsers' results are walked field by field, so that anything they left uninitialised
// or dangling is read under the sanitizers.
std::size_t Walk(const res::TemplateField& f) {
    return static_cast<std::size_t>(f.kind) + f.ordinal + f.text.size();
}

std::size_t Walk(const res::MenuTemplate& menu) {
    std::size_t sum = 0;
    for (const res::MenuItemTemplate& item : menu.items) {
        sum += item.type + item.state + item.id + item.text.size();
        if (item.submenu) sum += Walk(*item.submenu);
    }
    return sum;
}

std::size_t ParseAll(std::span<const uint8_t> data) {
    std::size_t sum = 0;
    for (int index = 0; index < res::kStringsPerBlock; ++index) {
        if (auto text = res::ParseStringBlock(data, index)) {
            if (text->empty()) __builtin_trap();  // an empty entry counts as missing
            sum += text->size();
        }
    }
    if (auto dialog = res::ParseDialog(data)) {
        sum += static_cast<std::size_t>(dialog->x + dialog->y + dialog->w + dialog->h);
        sum += Walk(dialog->className) + Walk(dialog->title);
        for (const res::DialogItemTemplate& item : dialog->items) {
            sum += item.style + static_cast<std::size_t>(item.x + item.y + item.w + item.h);
            sum += static_cast<std::size_t>(item.id) + Walk(item.classField) + Walk(item.text);
        }
    }
    if (auto menu = res::ParseMenu(data)) sum += Walk(*menu);
    return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    volatile std::size_t sink = ParseAll(std::span<const uint8_t>(data, size));
    const std::unique_ptr<PeImage> image =
        PeImage::FromBytes(std::vector<uint8_t>(data, data + size));
    if (!image) return 0;
    // The ids the library asks for: string blocks up to that of id 1036, dialogs 100-120,
    // menu 1; a wider range costs speed without reaching other code.
    for (uint16_t id = 0; id < 128; ++id) {
        sink = sink + ParseAll(image->Find(PeImage::kTypeString, id));
        sink = sink + ParseAll(image->Find(PeImage::kTypeDialog, id));
        sink = sink + ParseAll(image->Find(PeImage::kTypeMenu, id));
    }
    (void)sink;
    return 0;
}
