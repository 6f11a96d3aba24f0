// The palette layer's interface inside the library. The exported operations are declared in
// kq/text.h.
#pragma once

namespace kq::ui {

// Sets every entry back to zero, the state before ColDefaultPalette; for tests only.
void ClearPaletteForTesting();

}  // namespace kq::ui
