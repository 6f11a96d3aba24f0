// The cost of a large directory: the listing and the panel's table together stay below 350
// bytes per entry, and building them stays quick.
#include <malloc.h>

#include <chrono>
#include <cstdio>

#include "panels/PanelTestSupport.h"

namespace kq::panels::testing {
namespace {

class PanelMemoryTest : public PanelTest {};

// Heap in use, large blocks (which the allocator maps on their own) included.
size_t AllocatedBytes() {
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

TEST_F(PanelMemoryTest, HundredThousandEntriesCostLessThan350BytesEach) {
    constexpr int kEntries = 100000;
    Fake().items.reserve(kEntries);
    for (int i = 0; i < kEntries; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file%06d.txt", kEntries - i);
        Fake().items.push_back(i % 10 == 0 ? Dir(name) : File(name, static_cast<uint64_t>(i)));
    }
    ZFilePanel panel;
    panel.Create(nullptr, ZRec(0, 1, 0, 0), ZRec(0, 0, 40, 20), nullptr, WF_VISIBLE, 0);
    const size_t before = AllocatedBytes();
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(panel.Bind(kFakePlugin, 0), 0);
    panel.SetSortOrder(1, true);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const size_t after = AllocatedBytes();
    ASSERT_EQ(panel.RowCount(), kEntries);
    const double perEntry = static_cast<double>(after - before) / kEntries;
    EXPECT_LT(perEntry, 350.0);
    RecordProperty("BytesPerEntry", std::to_string(perEntry));
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 10);
}

}  // namespace
}  // namespace kq::panels::testing
