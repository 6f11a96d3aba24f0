// The key bar: the bottom row of the screen, twelve cells for F1 to F12, each with the key's
// number and a short label. It shows one of seven label sets, chosen by the Shift, Alt and
// Ctrl keys the user holds. The desktop attaches the one key bar, hidden, when it opens;
// whichever part of the application has the focus sets its labels.
#pragma once

#include <array>
#include <cstdint>

#include "kq/window.h"

class ZKeyBar : public ZWindow {
  public:
    // The label sets, in the order SetKeyBar takes them.
    enum LabelSet : int {
        kPlain = 0,
        kShift = 1,
        kAlt = 2,
        kCtrl = 3,
        kAltShift = 4,
        kCtrlShift = 5,
        kCtrlAlt = 6,
        kLabelSetCount = 7,
    };
    static constexpr int kKeyCount = 12;
    // Palette entries: the labels and the key numbers.
    static constexpr int kColourLabel = 32;
    static constexpr int kColourNumber = 33;
    // Cells are w / 12 wide, but never narrower than this (F11 and F12 then fall off an
    // 80-column row).
    static constexpr int kMinimumCellWidth = 8;

    int Draw() override;

    // Stores the seven label sets and repaints. Each holds the labels of F1, F2, ... separated
    // by any character below 32; a null set shows no labels. The caller keeps the strings
    // alive while they are set.
    int SetKeyBar(const char* plain, const char* shift, const char* alt, const char* ctrl,
                  const char* altShift, const char* ctrlShift, const char* ctrlAlt);
    // The modifier update for a Shift, Ctrl or Alt press or release: keeps the event's
    // modifier flags and repaints when they changed.
    void UpdateModifiers(uint32_t event);

    // The modifier flags of the last Shift, Ctrl or Alt event (KF_LALT ... KF_SHIFT).
    uint16_t Modifiers() const { return modifiers_; }
    // The label set the modifiers choose.
    int CurrentLabelSet() const { return LabelSetFor(modifiers_); }
    static int LabelSetFor(uint32_t modifiers);

    // The desktop's key bar; null while the desktop is closed.
    static ZKeyBar* Get();

  private:
    uint16_t modifiers_ = 0;
    std::array<const char*, kLabelSetCount> labels_{};
};
