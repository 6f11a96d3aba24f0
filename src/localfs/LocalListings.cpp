// The registry of listing blocks that may be shared between readers of one directory.
#include "localfs/LocalListings.h"

#include <chrono>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/LargePages.h"

namespace kq::localfs {

namespace {

// A listing older than this is never handed out again: the second panel's read follows the
// first one's at once, and files changed without changing their directory (a file grown in
// place) must not show old sizes for long.
constexpr std::chrono::milliseconds kShareWindow{1000};

struct Listing {
    PluginItem* block = nullptr;
    int32_t count = 0;
    int holders = 0;
    bool shareable = false;
    std::string directory;
    DirectoryStamp stamp;
    std::chrono::steady_clock::time_point readAt;
};

struct Registry {
    std::mutex mutex;  // job threads list directories too
    std::vector<Listing> listings;
};

Registry& GetRegistry() {
    static Registry registry;
    return registry;
}

size_t ItemsBytes(int32_t count) {
    return static_cast<size_t>(count > 0 ? count : 1) * sizeof(PluginItem);
}

}  // namespace

PluginItem* AllocateListing(int32_t count, size_t textBytes) {
    // A large calloc comes straight from the system, untouched: large pages can still be asked
    // for before the items are filled in.
    const size_t bytes = ItemsBytes(count) + textBytes;
    void* block = std::calloc(1, bytes);
    kq::platform::PreferLargePages(block, bytes);
    return static_cast<PluginItem*>(block);
}

char* TextArea(PluginItem* block, int32_t count) {
    return reinterpret_cast<char*>(block) + ItemsBytes(count);
}

PluginItem* AcquireSharedListing(const std::string& directory, const DirectoryStamp& stamp,
                                 int32_t& count) {
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    const auto now = std::chrono::steady_clock::now();
    for (Listing& listing : registry.listings) {
        if (!listing.shareable || listing.directory != directory || !(listing.stamp == stamp)) {
            continue;
        }
        if (now - listing.readAt > kShareWindow) continue;
        ++listing.holders;
        count = listing.count;
        return listing.block;
    }
    return nullptr;
}

bool RegisterListing(PluginItem* block, int32_t count, const std::string& directory,
                     const DirectoryStamp& stamp, bool shareable) {
    Registry& registry = GetRegistry();
    std::lock_guard lock(registry.mutex);
    try {
        registry.listings.push_back(Listing{block, count, 1, shareable, directory, stamp,
                                            std::chrono::steady_clock::now()});
    } catch (...) {
        return false;
    }
    return true;
}

bool ReleaseListing(PluginItem* block) {
    Registry& registry = GetRegistry();
    {
        std::lock_guard lock(registry.mutex);
        auto it = registry.listings.begin();
        while (it != registry.listings.end() && it->block != block) ++it;
        if (it == registry.listings.end()) return false;
        if (--it->holders > 0) return true;
        registry.listings.erase(it);
    }
    std::free(block);
    return true;
}

}  // namespace kq::localfs
