// Searching the viewed file for a text typed in the console code page, forward or backward,
// with or without regard to case, in the file's own encoding (an 8-bit code page, UTF-16LE or
// UTF-8). The file is read in chunks of its own, apart from the viewer's block.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kq::viewer {

struct SearchRequest {
    std::string text;  // console code page
    bool caseSensitive = false;
    bool backward = false;
    int fileCodePage = 0;
    int consoleCodePage = 0;
    // Forward: the first offset a match may start at. Backward: the offset a match must end
    // before (one past its last byte).
    int64_t from = 0;
};

enum class SearchOutcome { kFound, kNotFound, kCancelled };

struct SearchResult {
    SearchOutcome outcome = SearchOutcome::kNotFound;
    int64_t start = -1;
    int64_t length = 0;  // bytes of the file the match takes
};

// Called after each chunk with the bytes searched so far and the bytes to search in all;
// returning false cancels the search.
using SearchProgress = std::function<bool(int64_t done, int64_t total)>;

// Searches the open file (a handle of the file layer, whose position it moves).
SearchResult SearchFile(intptr_t handle, const SearchRequest& request,
                        const SearchProgress& progress);

}  // namespace kq::viewer
