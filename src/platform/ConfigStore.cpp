// The exported Cfg* functions: where an application's settings file lives, the section handles
// given out to callers, and the one lock that every call takes.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "kq/config.h"
#include "platform/ConfigDatabase.h"

namespace {

using kq::platform::ConfigDatabase;
using kq::platform::ValueKind;

constexpr std::string_view kSettingsFileName = "settings.sqlite";

// What a CfgSection points to. A handle is only ever dereferenced after it was found among the
// open sections, so a stale or made-up handle fails instead of crashing.
struct SectionRecord {
    std::string name;
};

// Every exported function holds `mutex` for its whole run: the connection sees one call at a
// time, and no thread can use a record that another thread's CfgClose or CfgShutdown freed.
struct StoreState {
    std::mutex mutex;
    std::unique_ptr<ConfigDatabase> database;
    std::unordered_map<const SectionRecord*, std::unique_ptr<SectionRecord>> sections;
};

// Never destroyed: a thread still running while the process exits may yet call in, and must find
// the lock intact. CfgShutdown is what closes the database.
StoreState& Store() {
    static StoreState* const state = new StoreState;
    return *state;
}

void CloseStore(StoreState& state) {
    state.sections.clear();
    state.database.reset();
}

// The text after the last '\' or '/'. Empty when that cannot name a folder of its own: with "."
// the settings file would land in the root itself, with ".." above it.
std::string ApplicationName(std::string_view path) {
    std::size_t separator = path.find_last_of("\\/");
    std::string_view name = separator == std::string_view::npos ? path : path.substr(separator + 1);
    if (name.empty() || name == "." || name == "..") return {};
    return std::string(name);
}

std::string HomeFolder() {
    if (const char* home = std::getenv("HOME"); home && *home) return home;
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found ||
        !found->pw_dir || !*found->pw_dir) {
        return {};
    }
    return found->pw_dir;
}

// The folder that holds one folder per application. KQ_CONFIG_HOME wins so that tests and
// portable setups can point the store anywhere; a relative XDG_CONFIG_HOME is ignored, as the
// XDG base directory rules ask.
std::string ConfigRoot() {
    if (const char* own = std::getenv("KQ_CONFIG_HOME"); own && *own) return own;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') return xdg;
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

bool IsFolder(const std::string& path) {
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Creates each missing folder of `path`, private to the user; folders that exist keep their mode.
bool MakePrivateFolders(const std::string& path) {
    for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
        std::string prefix = path.substr(0, end);
        if (mkdir(prefix.c_str(), 0700) != 0 && !IsFolder(prefix)) return false;
        if (end == std::string::npos) return true;
    }
}

// Runs `body` on the database and the section name behind `handle` under the store's lock; -1
// when the store is closed or the handle is not one that CfgOpen gave out and nothing freed.
template <typename Body>
int WithSection(CfgSection handle, const char* name, Body&& body) {
    StoreState& state = Store();
    std::lock_guard lock(state.mutex);
    if (!state.database || !name) return -1;
    auto found = state.sections.find(reinterpret_cast<const SectionRecord*>(handle));
    if (found == state.sections.end()) return -1;
    return body(*state.database, found->second->name);
}

int QueryBlob(CfgSection section, const char* name, ValueKind kind, void* buffer, int size) {
    return WithSection(
        section, name, [&](ConfigDatabase& database, const std::string& section_name) {
            std::optional<std::vector<std::byte>> data =
                database.ReadBlob(section_name, name, kind);
            if (!data) return -1;
            // Values this store writes carry their terminator; one edited in by hand may not.
            if (kind == ValueKind::kSz && (data->empty() || data->back() != std::byte{0})) {
                data->push_back(std::byte{0});
            }
            if (data->size() > INT_MAX) return -1;
            int needed = static_cast<int>(data->size());
            if (!buffer) return needed;
            if (size < needed) return -1;
            if (!data->empty()) std::memcpy(buffer, data->data(), data->size());
            return 0;
        });
}

int WriteBlob(CfgSection section, const char* name, ValueKind kind, const void* data,
              std::size_t length) {
    return WithSection(
        section, name, [&](ConfigDatabase& database, const std::string& section_name) {
            std::span<const std::byte> bytes(static_cast<const std::byte*>(data), length);
            return database.WriteBlob(section_name, name, kind, bytes) ? 0 : -1;
        });
}

}  // namespace

int CfgInit(const char* path) {
    StoreState& state = Store();
    std::lock_guard lock(state.mutex);
    // A second CfgInit replaces the first: its database closes and its handles stop working,
    // whether or not the new one opens.
    CloseStore(state);
    if (!path) return -1;
    std::string application = ApplicationName(path);
    std::string root = ConfigRoot();
    if (application.empty() || root.empty()) return -1;
    std::string folder = root + '/' + application;
    if (!MakePrivateFolders(folder)) return -1;
    state.database = ConfigDatabase::Open(folder + '/' + std::string(kSettingsFileName));
    return state.database ? 0 : -1;
}

int CfgShutdown(void) {
    StoreState& state = Store();
    std::lock_guard lock(state.mutex);
    CloseStore(state);
    return 0;
}

CfgSection CfgOpen(const char* section) {
    StoreState& state = Store();
    std::lock_guard lock(state.mutex);
    if (!state.database || !section || !state.database->EnsureSection(section)) return 0;
    auto record = std::make_unique<SectionRecord>(SectionRecord{section});
    const SectionRecord* key = record.get();
    state.sections.emplace(key, std::move(record));
    return reinterpret_cast<CfgSection>(key);
}

int CfgClose(CfgSection section) {
    StoreState& state = Store();
    std::lock_guard lock(state.mutex);
    if (!state.database) return -1;
    return state.sections.erase(reinterpret_cast<const SectionRecord*>(section)) == 1 ? 0 : -1;
}

int CfgQueryDw(CfgSection section, const char* name, uint32_t* value) {
    if (!value) return -1;
    return WithSection(section, name,
                       [&](ConfigDatabase& database, const std::string& section_name) {
                           std::optional<std::int64_t> stored =
                               database.ReadNumber(section_name, name, ValueKind::kDw);
                           if (!stored || *stored < 0 || *stored > UINT32_MAX) return -1;
                           *value = static_cast<uint32_t>(*stored);
                           return 0;
                       });
}

int CfgQueryQw(CfgSection section, const char* name, uint64_t* value) {
    if (!value) return -1;
    return WithSection(section, name,
                       [&](ConfigDatabase& database, const std::string& section_name) {
                           std::optional<std::int64_t> stored =
                               database.ReadNumber(section_name, name, ValueKind::kQw);
                           if (!stored) return -1;
                           *value = static_cast<uint64_t>(*stored);
                           return 0;
                       });
}

int CfgQuerySz(CfgSection section, const char* name, char* buffer, int size) {
    return QueryBlob(section, name, ValueKind::kSz, buffer, size);
}

int CfgQueryBytes(CfgSection section, const char* name, void* buffer, int size) {
    return QueryBlob(section, name, ValueKind::kBytes, buffer, size);
}

int CfgSetDw(CfgSection section, const char* name, uint32_t value) {
    return WithSection(
        section, name, [&](ConfigDatabase& database, const std::string& section_name) {
            return database.WriteNumber(section_name, name, ValueKind::kDw, value) ? 0 : -1;
        });
}

int CfgSetQw(CfgSection section, const char* name, uint32_t low, uint32_t high) {
    // The 64 bits travel as the int64 with the same bits, which is how SQLite stores integers.
    auto value = static_cast<std::int64_t>((static_cast<uint64_t>(high) << 32) | low);
    return WithSection(
        section, name, [&](ConfigDatabase& database, const std::string& section_name) {
            return database.WriteNumber(section_name, name, ValueKind::kQw, value) ? 0 : -1;
        });
}

int CfgSetSz(CfgSection section, const char* name, const char* text) {
    if (!text) return -1;
    return WriteBlob(section, name, ValueKind::kSz, text, std::strlen(text) + 1);
}

int CfgSetBytes(CfgSection section, const char* name, const void* data, int length) {
    if (length < 0 || (!data && length > 0)) return -1;
    return WriteBlob(section, name, ValueKind::kBytes, data, static_cast<std::size_t>(length));
}
