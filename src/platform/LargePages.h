// Large blocks and the cost of touching them. Every first touch of a 4 KiB page costs the
// system a fault, and on virtual machines a fault costs microseconds: a listing of 100,000
// names touches thousands of pages. Where the system offers large (2 MiB) pages on request,
// a large block that has not been touched yet can ask for them.
#pragma once

#include <cstddef>
#include <vector>

namespace kq::platform {

// Asks for large pages behind the untouched part of a block; blocks under 2 MiB and systems
// without large pages are left as they are. Nothing in the block changes.
void PreferLargePages(void* block, size_t bytes);

// Resizes a vector that is about to grow large, with large pages behind its new storage when
// it has to move: the elements are value-initialized as by resize.
template <typename T>
void ResizeLarge(std::vector<T>& vector, size_t size) {
    if (size > vector.capacity()) {
        std::vector<T> grown;
        grown.reserve(size);
        PreferLargePages(grown.data(), grown.capacity() * sizeof(T));
        grown.assign(vector.begin(), vector.end());
        vector.swap(grown);
    }
    vector.resize(size);
}

}  // namespace kq::platform
