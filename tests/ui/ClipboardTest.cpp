// The clipboard: sizes and cuts reported by ClipBrdGet, empty and binary texts, bad arguments,
// the offer to the terminal's clipboard, and texts that never tear between threads.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "console/Console.h"
#include "console/MemoryConsole.h"
#include "kq/text.h"
#include "ui/Clipboard.h"

namespace {

class ClipboardTest : public testing::Test {
  protected:
    void SetUp() override { kq::ui::ClearClipboardForTesting(); }
    void TearDown() override { kq::ui::ClearClipboardForTesting(); }

    // ClipBrdGet into a buffer of size bytes pre-filled with '#', and its result.
    static std::pair<std::string, int> Get(int size) {
        std::string buffer(static_cast<size_t>(size), '#');
        const int result = ClipBrdGet(buffer.data(), size);
        return {buffer, result};
    }
};

TEST_F(ClipboardTest, GetCopiesAtMostTheBufferSizeAndReportsTheFullSize) {
    EXPECT_EQ(Get(8), std::make_pair(std::string("########"), -1));  // nothing put yet
    ASSERT_EQ(ClipBrdPut("a longer text", 13), 0);
    ASSERT_EQ(ClipBrdPut("hello", 5), 0);  // replaces the whole text
    EXPECT_EQ(ClipBrdGet(nullptr, 100), 6);
    const std::pair<int, std::string> cases[] = {
        {0, ""}, {3, "hel"}, {6, std::string("hello\0", 6)}, {8, std::string("hello\0##", 8)}};
    for (const auto& [size, buffer] : cases) EXPECT_EQ(Get(size), std::make_pair(buffer, 6));
}

TEST_F(ClipboardTest, LengthDecidesNotATerminatorAndNoBytesIsAnEmptyText) {
    const std::string text("a\0b\x82\xFF", 5);
    ASSERT_EQ(ClipBrdPut(text.data(), 5), 0);
    EXPECT_EQ(Get(6), std::make_pair(text + '\0', 6));
    ASSERT_EQ(ClipBrdPut("ignored", 0), 0);
    EXPECT_EQ(Get(3), std::make_pair(std::string("\0##", 3), 1));
}

TEST_F(ClipboardTest, BadArgumentsFailAndKeepTheText) {
    ASSERT_EQ(ClipBrdPut("kept", 4), 0);
    EXPECT_EQ(ClipBrdPut(nullptr, 3), -1);
    EXPECT_EQ(ClipBrdPut("x", -1), -1);
    EXPECT_EQ(Get(5), std::make_pair(std::string("kept\0", 5), 5));
}

// With no console open there is no terminal to offer the text to; the put still succeeds.
TEST_F(ClipboardTest, PutOffersTheTextToTheTerminalWhenOneIsOpen) {
    EXPECT_EQ(ClipBrdPut("text", 4), 0);
    auto console = std::make_shared<kq::console::MemoryConsole>(80, 25);
    kq::console::InstallBackend(console);
    ASSERT_EQ(ConInit(nullptr, nullptr), 0);
    EXPECT_EQ(ClipBrdPut("copied\x82", 7), 0);
    EXPECT_EQ(console->OfferedClipboard(), "copied\x82");
    ConShutdown();
    kq::console::InstallBackend(nullptr);
}

// A reader sees one writer's text or the other's, whole: size and bytes always belong together.
TEST_F(ClipboardTest, ConcurrentPutsAndGetsNeverTearAText) {
    const std::string shortText(10, 'A');
    const std::string longText(300, 'B');
    std::atomic<bool> stop{false};
    std::vector<std::thread> writers;
    for (const std::string* text : {&shortText, &longText}) {
        writers.emplace_back([text, &stop] {
            while (!stop) ClipBrdPut(text->data(), static_cast<int>(text->size()));
        });
    }
    int torn = 0;
    std::string buffer(512, '\0');
    for (int i = 0; i < 20000; ++i) {
        const int size = ClipBrdGet(buffer.data(), static_cast<int>(buffer.size()));
        if (size == -1) continue;  // no writer has put yet
        const std::string& expected = size == 11 ? shortText : longText;
        if ((size != 11 && size != 301) || buffer.compare(0, size - 1, expected) != 0 ||
            buffer[size - 1] != '\0') {
            ++torn;
        }
    }
    stop = true;
    for (std::thread& writer : writers) writer.join();
    EXPECT_EQ(torn, 0);
}

}  // namespace
