// Dialogs built from templates: control creation by class name, focus navigation by groups,
// hot keys, and the OK/Cancel commands.
#include "ui/ZDialog.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "kq/keys.h"
#include "kq/text.h"
#include "ui/WindowLock.h"
#include "ui/Z3State.h"
#include "ui/ZButton.h"
#include "kq/edit.h"
#include "ui/ZProgressBar.h"
#include "ui/ZStatic.h"

namespace {

constexpr int kBackgroundColour = 5;
constexpr int kFrameColour = 6;

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// The control a template item's class names; a plain window for any other name.
std::unique_ptr<ZWindow> MakeControl(const char* className) {
    const std::string_view name = className ? className : "";
    if (EqualsIgnoringCase(name, "static")) return std::make_unique<ZStatic>();
    if (EqualsIgnoringCase(name, "button")) return std::make_unique<ZButton>();
    if (EqualsIgnoringCase(name, "3state")) return std::make_unique<Z3State>();
    if (EqualsIgnoringCase(name, "checkbox")) return std::make_unique<ZCheckBox>();
    if (EqualsIgnoringCase(name, "progressbar")) return std::make_unique<ZProgressBar>();
    if (EqualsIgnoringCase(name, "edit")) return std::make_unique<ZEdit>();
    return std::make_unique<ZWindow>();
}

uint8_t UpperCase(uint8_t character) {
    char buffer[1] = {static_cast<char>(character)};
    UUpCase(buffer, 1);
    return static_cast<uint8_t>(buffer[0]);
}

bool Has(const ZWindow* window, uint32_t flags) {
    return (window->GetFlags() & flags) == flags;
}

}  // namespace

ZDialog::~ZDialog() {
    if (IsAttached()) ZDialog::Destroy();
}

int ZDialog::Draw() {
    const uint8_t* palette = ColGetPalette();
    FillCells(' ', palette[kBackgroundColour]);
    DrawFrame(2, palette[kFrameColour]);
    return 0;
}

int ZDialog::Destroy() {
    if (!IsAttached()) return ZWindow::Destroy();
    const int result = ZWindow::Destroy();
    if (result != 0) return result;
    controls_.clear();
    return 0;
}

ZWindow* ZDialog::AdoptControl(std::unique_ptr<ZWindow> control) {
    controls_.push_back(std::move(control));
    return controls_.back().get();
}

void ZDialog::PutOnTop(ZWindow* child) {
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    auto& children = ChildList();
    const auto position = std::find(children.begin(), children.end(), child);
    if (position == children.end()) return;
    children.erase(position);
    children.push_back(child);
}

int ZDialog::CreateFromResource(int dialogId, ZWindow* parent, KeHandle module) {
    ResDialog* dialogTemplate = ResLoadDlg(module != 0 ? module : ResGetLanguage(), dialogId);
    if (dialogTemplate == nullptr) return -1;
    const int result = CreateFromTemplate(dialogTemplate, parent);
    ResFreeDlg(dialogTemplate);
    return result;
}

int ZDialog::CreateFromTemplate(const ResDialog* dialogTemplate, ZWindow* parent) {
    if (dialogTemplate == nullptr) return -1;
    kq::ui::WindowLockGuard lock(kq::ui::WindowLock());
    if (parent == nullptr) parent = ZDesktop::Desktop();
    ZRec parentRect;
    if (parent) parent->GetPos(parentRect);
    int x = dialogTemplate->x;
    int y = dialogTemplate->y;
    if (x < 0) x = (parentRect.w - dialogTemplate->w) / 2;
    if (y < 0) y = (parentRect.h - dialogTemplate->h) / 2;
    Create(dialogTemplate->title, ZRec(static_cast<int16_t>(x), static_cast<int16_t>(y), 0, 0),
           ZRec(0, 0, static_cast<int16_t>(dialogTemplate->w),
                static_cast<int16_t>(dialogTemplate->h)),
           parent, dialogTemplate->style, 0);
    for (int i = 0; i < dialogTemplate->itemCount; ++i) {
        const ResDialogItem& item = dialogTemplate->items[i];
        ZWindow* control = AdoptControl(MakeControl(item.className));
        control->Create(item.text,
                        ZRec(static_cast<int16_t>(item.x), static_cast<int16_t>(item.y), 0, 0),
                        ZRec(0, 0, static_cast<int16_t>(item.w), static_cast<int16_t>(item.h)),
                        this, item.style, item.id);
    }
    // The first item in template order is the top child now; the focus goes to the first
    // focusable one from the top down.
    const auto& children = Children();
    for (auto child = children.rbegin(); child != children.rend(); ++child) {
        if (Has(*child, WF_FOCUSABLE)) {
            PutOnTop(*child);
            break;
        }
    }
    return 0;
}

ZWindow* ZDialog::GetControl(int id) const {
    for (ZWindow* child : Children()) {
        if (child->GetId() == id) return child;
    }
    return nullptr;
}

const char* ZDialog::GetControlText(int id) const {
    const ZWindow* control = GetControl(id);
    return control ? control->GetTitle() : nullptr;
}

int ZDialog::SetControlText(int id, const char* text) {
    ZWindow* control = GetControl(id);
    if (control == nullptr) return -1;
    control->SetTitle(text);
    return 0;
}

int ZDialog::OnCommand(int id) {
    if (id == 1 || id == 2) EndRun(id);
    return 0;
}

ZWindow* ZDialog::CurrentControl() const {
    return Children().empty() ? nullptr : Children().back();
}

int ZDialog::MoveByTab(bool backwards) {
    const auto& children = Children();
    const auto groups = std::count_if(children.begin(), children.end(),
                                      [](const ZWindow* child) { return Has(child, WF_GROUP); });
    if (groups == 1) return 0;
    const ZWindow* current = CurrentControl();
    const int order = current ? current->GetOrder() : -1;
    ZWindow* nearest = nullptr;  // the next (or previous) group start
    ZWindow* wrapped = nullptr;  // the first (or last) group start
    for (ZWindow* child : children) {
        if (!Has(child, WF_GROUP | WF_FOCUSABLE)) continue;
        const int childOrder = child->GetOrder();
        if (!backwards) {
            if (childOrder > order && (!nearest || childOrder < nearest->GetOrder())) {
                nearest = child;
            }
            if (!wrapped || childOrder < wrapped->GetOrder()) wrapped = child;
        } else {
            if (childOrder < order && (!nearest || childOrder > nearest->GetOrder())) {
                nearest = child;
            }
            if (!wrapped || childOrder > wrapped->GetOrder()) wrapped = child;
        }
    }
    if (ZWindow* target = nearest ? nearest : wrapped) target->Activate(true);
    return 0;
}

int ZDialog::MoveForward() {
    const ZWindow* current = CurrentControl();
    if (current == nullptr) return 0;
    const int order = current->GetOrder();
    ZWindow* next = nullptr;
    ZWindow* groupStart = nullptr;  // the current group's start: greatest group order below
    for (ZWindow* child : Children()) {
        const int childOrder = child->GetOrder();
        if (Has(child, WF_FOCUSABLE) && childOrder > order &&
            (!next || childOrder < next->GetOrder())) {
            next = child;
        }
        if (Has(child, WF_GROUP) && childOrder < order &&
            (!groupStart || childOrder > groupStart->GetOrder())) {
            groupStart = child;
        }
    }
    if (next != nullptr && !Has(next, WF_GROUP)) {
        next->Activate(true);
    } else if (!Has(current, WF_GROUP) && groupStart != nullptr) {
        groupStart->Activate(true);
    }
    return 0;
}

int ZDialog::MoveBackward() {
    ZWindow* current = CurrentControl();
    if (current == nullptr) return 0;
    const int order = current->GetOrder();
    ZWindow* previous = nullptr;
    for (ZWindow* child : Children()) {
        const int childOrder = child->GetOrder();
        if (Has(child, WF_FOCUSABLE) && childOrder < order &&
            (!previous || childOrder > previous->GetOrder())) {
            previous = child;
        }
    }
    if (previous != nullptr && !Has(current, WF_GROUP)) {
        previous->Activate(true);
        return 0;
    }
    // The end of the current group: the focusable control just below the next group's start,
    // or the last focusable control when this is the last group.
    ZWindow* nextGroup = nullptr;
    for (ZWindow* child : Children()) {
        if (child == current || !Has(child, WF_FOCUSABLE | WF_GROUP)) continue;
        if (child->GetOrder() > order &&
            (!nextGroup || child->GetOrder() < nextGroup->GetOrder())) {
            nextGroup = child;
        }
    }
    const int limit = nextGroup ? nextGroup->GetOrder() : INT32_MAX;
    ZWindow* last = nullptr;
    for (ZWindow* child : Children()) {
        // Without a next group the current control is no candidate; with one it may be the
        // end of its own group (a group of one stays where it is).
        if ((nextGroup == nullptr && child == current) || !Has(child, WF_FOCUSABLE)) continue;
        const int childOrder = child->GetOrder();
        if (childOrder < limit && (!last || childOrder > last->GetOrder())) last = child;
    }
    if (last != nullptr) last->Activate(true);
    return 0;
}

int ZDialog::OnKey(uint32_t key) {
    const uint32_t flags = KEY_FLAGS(key);
    const uint8_t character = static_cast<uint8_t>(KEY_CHAR(key));
    if ((flags & (0x01 | 0x04 | 0x80)) && character > 32) {
        const uint8_t wanted = UpperCase(character);
        const std::vector<ZWindow*> children = Children();
        for (ZWindow* child : children) {
            if (!Has(child, WF_VISIBLE)) continue;
            const char* marker = std::strchr(child->GetTitle(), '~');
            if (marker == nullptr || marker[1] == '\0') continue;
            if (UpperCase(static_cast<uint8_t>(marker[1])) != wanted) continue;
            // The hot key presses the control: it gets the focus and a bare Space.
            child->Activate(true);
            ZWindow* focus = ZDesktop::GetFocus();
            return focus ? focus->OnKey(KEY_EVENT(KC_SPACE, ' ', 0)) : 0;
        }
        return 0;
    }
    if (character >= 32) return 0;
    switch (KEY_CODE(key)) {
        case KC_TAB:
            return MoveByTab((flags & KF_SHIFT) != 0);
        case KC_ENTER:
            for (ZWindow* child : Children()) {
                if (Has(child, WF_DEFAULT) && !Has(child, WF_DISABLED)) {
                    OnCommand(child->GetId());
                    break;
                }
            }
            return 0;
        case KC_ESC:
            OnCommand(2);
            return 0;
        case KC_DOWN:
        case KC_RIGHT:
            return MoveForward();
        case KC_UP:
        case KC_LEFT:
            return MoveBackward();
        default:
            return 0;
    }
}
