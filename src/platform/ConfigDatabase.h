// The settings database of one application: sections, and typed values inside them, in one
// SQLite file.
//
// Opening never damages what is on disk. A file that is not a SQLite database, fails SQLite's
// quick check, cannot be read or cannot be written is refused before anything is written to it.
// A missing file is built under a temporary name and linked into place, so no other process
// ever sees a half-made database. Each write is one autocommit statement; the WAL journal and a
// busy timeout let several processes use the file at once, and a process killed at any point
// loses nothing it had committed.
//
// A ConfigDatabase is not thread safe: the store serialises every call on it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kq::platform {

// The registry type numbers of the four kinds; the database stores these in its kind column.
enum class ValueKind : int {
    kSz = 1,
    kBytes = 3,
    kDw = 4,
    kQw = 11,
};

class ConfigDatabase {
  public:
    // Opens the database at `file`, creating it when missing. Null when the file cannot be used;
    // the file is then exactly as it was.
    static std::unique_ptr<ConfigDatabase> Open(const std::string& file);

    ~ConfigDatabase();
    ConfigDatabase(const ConfigDatabase&) = delete;
    ConfigDatabase& operator=(const ConfigDatabase&) = delete;

    bool HasSection(std::string_view section);
    // True when the section exists afterwards.
    bool EnsureSection(std::string_view section);

    // dw and qw values are stored as SQLite integers (a qw as the two's complement int64 of its
    // 64 bits), sz and bytes values as blobs.
    bool WriteNumber(std::string_view section, std::string_view name, ValueKind kind,
                     std::int64_t value);
    bool WriteBlob(std::string_view section, std::string_view name, ValueKind kind,
                   std::span<const std::byte> data);

    // Empty when the value is missing, of another kind, or not stored the way its kind is.
    std::optional<std::int64_t> ReadNumber(std::string_view section, std::string_view name,
                                           ValueKind kind);
    std::optional<std::vector<std::byte>> ReadBlob(std::string_view section, std::string_view name,
                                                   ValueKind kind);

  private:
    struct Connection;
    explicit ConfigDatabase(std::unique_ptr<Connection> connection);

    std::unique_ptr<Connection> connection_;
};

}  // namespace kq::platform
