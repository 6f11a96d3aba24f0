// The clipboard layer's interface inside the library. The exported operations are declared in
// kq/text.h.
#pragma once

namespace kq::ui {

// Empties the clipboard back to the state before the first ClipBrdPut; for tests only.
void ClearClipboardForTesting();

}  // namespace kq::ui
