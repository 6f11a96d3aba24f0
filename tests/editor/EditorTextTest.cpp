// The editor's lines: each kind of file loads into the lines and ending expected and saves back
// byte for byte, whatever the chunks it arrives in.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "editor/EditorText.h"
#include "support/TempFolder.h"

namespace kq::editor {
namespace {

struct LoadCase {
    const char* name;
    std::string content;
    std::vector<std::string> lines;
    LineEnding ending;
};

TEST(EditorTextTest, FilesSplitIntoLinesWithTheirOwnEndingAndSaveByteForByte) {
    const LoadCase cases[] = {
        {"crlf with a lone cr and lf", "a\rb\r\nc\nd\r\n", {"a\rb", "c\nd", ""}, LineEnding::kCrLf},
        {"lf, then a cr before one", "a\nb\r\n", {"a", "b\r", ""}, LineEnding::kLf},
        {"the last byte decides", "x\n", {"x", ""}, LineEnding::kLf},
        {"crlf at the end", "x\r\n", {"x", ""}, LineEnding::kCrLf},
        {"no ending at all", "only\rone", {"only\rone"}, LineEnding::kLf},
        {"nul", std::string("a\0b\nc\0", 6), {"a", "b\nc", ""}, LineEnding::kNul},
        {"empty", "", {""}, LineEnding::kLf},
        {"binary", std::string("\xFF\0\x01\r\n", 5), {"\xFF", "\x01\r\n"}, LineEnding::kNul},
    };
    kq::test::TempFolder folder;
    for (const LoadCase& c : cases) {
        for (const size_t chunk : {size_t{1}, size_t{2}, c.content.size() + 1}) {
            LineSplitter splitter;
            for (size_t at = 0; at < c.content.size(); at += chunk) {
                splitter.Feed(std::string_view(c.content).substr(at, chunk));
            }
            LineEnding ending = LineEnding::kNone;
            std::vector<std::string> texts;
            for (const EditorLine& line : splitter.Finish(ending)) texts.push_back(line.text);
            EXPECT_EQ(texts, c.lines) << c.name << ", chunks of " << chunk;
            EXPECT_EQ(ending, c.ending) << c.name;
        }
        const std::string path = folder.WriteFile("file", c.content);
        LoadedText text;
        int error = 0;
        ASSERT_EQ(LoadText(path.c_str(), text, error), LoadStatus::kLoaded) << c.name;
        const std::string copy = folder.Path("copy");
        ASSERT_EQ(SaveLines(copy.c_str(), text.lines).error, 0) << c.name;
        std::ifstream saved(copy, std::ios::binary);
        EXPECT_EQ(std::string(std::istreambuf_iterator<char>(saved), {}), c.content) << c.name;
    }
}

TEST(EditorTextTest, LoadRefusesSpecialAndHugeFilesAndCreatesAMissingOne) {
    kq::test::TempFolder folder;
    ASSERT_EQ(::mkfifo(folder.Path("fifo").c_str(), 0600), 0);
    LoadedText text;
    int error = 0;
    for (const std::string& path : {folder.root().string(), folder.Path("fifo")}) {
        EXPECT_EQ(LoadText(path.c_str(), text, error), LoadStatus::kCannotOpen) << path;
    }
    EXPECT_EQ(LoadText(folder.Path("new").c_str(), text, error), LoadStatus::kLoaded);
    // Larger than the memory could hold: refused before anything is read (the file is sparse).
    std::filesystem::resize_file(folder.Path("new"), uint64_t{1} << 40);
    EXPECT_EQ(LoadText(folder.Path("new").c_str(), text, error), LoadStatus::kTooLarge);
    EXPECT_TRUE(std::filesystem::exists(folder.Path("new")));
}

}  // namespace
}  // namespace kq::editor
