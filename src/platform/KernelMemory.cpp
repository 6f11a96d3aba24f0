// How much memory the system can still give, for callers that refuse a load too large for it.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "platform/Kernel.h"

namespace kq::platform {

std::uint64_t AvailableMemory() {
    if (std::FILE* info = std::fopen("/proc/meminfo", "re")) {
        char line[256];
        unsigned long long kibibytes = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, info) != nullptr) {
            found = std::sscanf(line, "MemAvailable: %llu kB", &kibibytes) == 1;
        }
        std::fclose(info);
        if (found) return static_cast<std::uint64_t>(kibibytes) * 1024;
    }
    const long pages = ::sysconf(_SC_AVPHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    return pages > 0 && pageSize > 0
               ? static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize)
               : 0;
}

}  // namespace kq::platform
