// Large pages through transparent huge pages (madvise), where the kernel offers them.
#include "platform/LargePages.h"

#include <sys/mman.h>

#include <cstdint>

namespace kq::platform {

void PreferLargePages(void* block, size_t bytes) {
    constexpr size_t kLargePage = size_t{2} << 20;
    if (block == nullptr || bytes < kLargePage) return;
    const auto start = reinterpret_cast<uintptr_t>(block);
    const uintptr_t first = (start + kLargePage - 1) & ~(kLargePage - 1);
    const uintptr_t end = (start + bytes) & ~(kLargePage - 1);
    if (end <= first) return;
#ifdef MADV_HUGEPAGE
    // Advice only: a kernel without large pages refuses it, and the block works as before.
    (void)madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#endif
}

}  // namespace kq::platform
