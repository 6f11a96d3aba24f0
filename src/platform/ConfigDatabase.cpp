// SQLite behind ConfigDatabase: the checks that keep a damaged or foreign file untouched, the
// schema, and the cached statements that every read and write runs.
#include "platform/ConfigDatabase.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <utility>

namespace kq::platform {
namespace {

// The layout written into PRAGMA user_version. A file with a higher number belongs to a newer
// program and is refused rather than changed.
constexpr int kSchemaVersion = 1;

// How long a statement waits for another process's write to finish before it fails.
constexpr int kBusyTimeoutMilliseconds = 5000;

constexpr std::string_view kSqliteHeader{"SQLite format 3\0", 16};

// Case-insensitive names, as the registry has them (NOCASE folds ASCII letters only). The data
// column's BLOB affinity keeps every value exactly as bound: integers for dw and qw, blobs for
// sz and bytes. The kind check is spelled out with OR: "kind IN (...)" builds a temporary
// b-tree on every write, which made each write several times slower.
constexpr const char* kCreateSchema =
    "CREATE TABLE IF NOT EXISTS sections ("
    "  name TEXT NOT NULL COLLATE NOCASE PRIMARY KEY"
    ");"
    "CREATE TABLE IF NOT EXISTS entries ("
    "  section TEXT NOT NULL COLLATE NOCASE,"
    "  name TEXT NOT NULL COLLATE NOCASE,"
    "  kind INTEGER NOT NULL CHECK (kind = 1 OR kind = 3 OR kind = 4 OR kind = 11),"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY (section, name)"
    ");"
    "PRAGMA user_version = 1;";

constexpr std::string_view kFindSection = "SELECT 1 FROM sections WHERE name = ?1";
constexpr std::string_view kInsertSection = "INSERT OR IGNORE INTO sections (name) VALUES (?1)";
constexpr std::string_view kReadValue =
    "SELECT kind, data FROM entries WHERE section = ?1 AND name = ?2";
constexpr std::string_view kWriteValue =
    "INSERT INTO entries (section, name, kind, data) VALUES (?1, ?2, ?3, ?4) "
    "ON CONFLICT (section, name) DO UPDATE SET kind = excluded.kind, data = excluded.data";

struct ConnectionCloser {
    void operator()(sqlite3* connection) const { sqlite3_close(connection); }
};
struct StatementFinalizer {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using ConnectionPtr = std::unique_ptr<sqlite3, ConnectionCloser>;
using StatementPtr = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

class FileDescriptor {
  public:
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    ~FileDescriptor() {
        if (descriptor_ >= 0) close(descriptor_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return descriptor_; }

  private:
    int descriptor_;
};

// A cached statement in use. Resetting it afterwards matters beyond tidiness: a SELECT that is
// not reset keeps its read transaction open, which holds back every WAL checkpoint, and its
// bindings would keep pointing into the caller's strings.
class StatementUse {
  public:
    explicit StatementUse(sqlite3_stmt* statement) : statement_(statement) {}
    ~StatementUse() {
        sqlite3_reset(statement_);
        sqlite3_clear_bindings(statement_);
    }
    StatementUse(const StatementUse&) = delete;
    StatementUse& operator=(const StatementUse&) = delete;

    // SQLite copies nothing (SQLITE_STATIC): the text must outlive the statement's run.
    bool BindText(int index, std::string_view text) {
        if (text.size() > INT_MAX) return false;
        // A null pointer would bind SQL NULL; an empty name is a name.
        const char* characters = text.empty() ? "" : text.data();
        return sqlite3_bind_text(statement_, index, characters, static_cast<int>(text.size()),
                                 SQLITE_STATIC) == SQLITE_OK;
    }
    bool BindBlob(int index, std::span<const std::byte> data) {
        if (data.size() > INT_MAX) return false;
        if (data.empty()) return sqlite3_bind_zeroblob(statement_, index, 0) == SQLITE_OK;
        return sqlite3_bind_blob(statement_, index, data.data(), static_cast<int>(data.size()),
                                 SQLITE_STATIC) == SQLITE_OK;
    }
    bool BindInteger(int index, std::int64_t value) {
        return sqlite3_bind_int64(statement_, index, value) == SQLITE_OK;
    }
    int Step() { return sqlite3_step(statement_); }
    sqlite3_stmt* get() const { return statement_; }

  private:
    sqlite3_stmt* statement_;
};

enum class FileState {
    kMissing,
    kUsable,   // empty, or starts with the SQLite header
    kRefused,  // anything else: never handed to SQLite, never written
};

// Reads the header without SQLite, which would treat a file that is not a database as an
// error only after it has opened it for writing.
FileState InspectFile(const std::string& file) {
    struct stat status {};
    if (stat(file.c_str(), &status) != 0) {
        return errno == ENOENT ? FileState::kMissing : FileState::kRefused;
    }
    // A fifo or device would block or misbehave when read; a folder is no database either.
    if (!S_ISREG(status.st_mode)) return FileState::kRefused;

    FileDescriptor descriptor(open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (descriptor.get() < 0) return FileState::kRefused;
    std::array<char, kSqliteHeader.size()> header{};
    std::size_t filled = 0;
    while (filled < header.size()) {
        ssize_t count = read(descriptor.get(), header.data() + filled, header.size() - filled);
        if (count < 0 && errno == EINTR) continue;
        if (count < 0) return FileState::kRefused;
        if (count == 0) break;
        filled += static_cast<std::size_t>(count);
    }
    // SQLite makes an empty file into a new database, as it does a missing one.
    if (filled == 0) return FileState::kUsable;
    if (std::string_view(header.data(), filled) != kSqliteHeader) return FileState::kRefused;
    return FileState::kUsable;
}

bool Execute(sqlite3* connection, const char* sql) {
    return sqlite3_exec(connection, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

StatementPtr Prepare(sqlite3* connection, std::string_view sql) {
    sqlite3_stmt* statement = nullptr;
    int result = sqlite3_prepare_v3(connection, sql.data(), static_cast<int>(sql.size()),
                                    SQLITE_PREPARE_PERSISTENT, &statement, nullptr);
    StatementPtr owned(statement);
    if (result != SQLITE_OK) owned.reset();
    return owned;
}

// SQLite's read-only check of the pages and records, which stops at the first problem. Reading
// may run recovery of a WAL that a killed process left behind, which is SQLite's own repair of
// committed work, but never changes the database file itself.
bool PassesQuickCheck(sqlite3* connection) {
    StatementPtr check = Prepare(connection, "PRAGMA quick_check(1)");
    if (!check || sqlite3_step(check.get()) != SQLITE_ROW) return false;
    const unsigned char* verdict = sqlite3_column_text(check.get(), 0);
    return verdict && std::strcmp(reinterpret_cast<const char*>(verdict), "ok") == 0;
}

std::optional<int> ReadUserVersion(sqlite3* connection) {
    StatementPtr query = Prepare(connection, "PRAGMA user_version");
    if (!query || sqlite3_step(query.get()) != SQLITE_ROW) return std::nullopt;
    return sqlite3_column_int(query.get(), 0);
}

// Creates the tables when the file has none yet. BEGIN IMMEDIATE takes the write lock before
// looking, so two processes starting on a new file wait for each other instead of failing.
bool EnsureSchema(sqlite3* connection) {
    std::optional<int> version = ReadUserVersion(connection);
    if (!version || *version > kSchemaVersion) return false;
    if (*version == kSchemaVersion) return true;
    if (!Execute(connection, "BEGIN IMMEDIATE")) return false;
    if (Execute(connection, kCreateSchema) && Execute(connection, "COMMIT")) return true;
    Execute(connection, "ROLLBACK");
    return false;
}

ConnectionPtr OpenConnection(const std::string& file) {
    sqlite3* raw = nullptr;
    int result =
        sqlite3_open_v2(file.c_str(), &raw,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    // sqlite3_open_v2 hands out a connection even on failure; it must be closed all the same.
    ConnectionPtr connection(raw);
    if (result != SQLITE_OK) connection.reset();
    return connection;
}

void RemoveWithSideFiles(const std::string& file) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) unlink((file + suffix).c_str());
}

// Builds an empty database (WAL mode, schema) under a private temporary name beside `file`,
// then links it into place. link() never replaces an existing file, so when several processes
// start on a missing file at once, exactly one database wins and none sees a partial one.
// False when the file system cannot link; the caller then lets SQLite create the file itself.
bool CreateByLinking(const std::string& file) {
    std::string temporary = file + ".new-XXXXXX";
    int descriptor = mkstemp(temporary.data());  // mode 0600: settings are private
    if (descriptor < 0) return false;
    close(descriptor);

    bool built = false;
    {
        // No name points to the file yet: SQLite need not sync each of its steps (nine syncs
        // of the journal, the WAL and the file). The finished file is synced once below.
        ConnectionPtr connection = OpenConnection(temporary);
        built = connection && Execute(connection.get(), "PRAGMA synchronous = OFF") &&
                Execute(connection.get(), "PRAGMA journal_mode = WAL") &&
                EnsureSchema(connection.get());
    }  // Closing the only connection checkpoints the WAL into the file.
    if (built) {
        // On the disk before its name is: a crash never leaves a named but empty database.
        FileDescriptor synced(open(temporary.c_str(), O_RDONLY | O_CLOEXEC));
        built = synced.get() >= 0 && fsync(synced.get()) == 0;
    }
    bool placed = built && (link(temporary.c_str(), file.c_str()) == 0 || errno == EEXIST);
    RemoveWithSideFiles(temporary);
    return placed;
}

}  // namespace

struct ConfigDatabase::Connection {
    // Declared first so that it is destroyed last, after every statement is finalized.
    ConnectionPtr database;
    StatementPtr find_section;
    StatementPtr insert_section;
    StatementPtr read_value;
    StatementPtr write_value;
};

ConfigDatabase::ConfigDatabase(std::unique_ptr<Connection> connection)
    : connection_(std::move(connection)) {}

ConfigDatabase::~ConfigDatabase() = default;

std::unique_ptr<ConfigDatabase> ConfigDatabase::Open(const std::string& file) {
    FileState state = InspectFile(file);
    if (state == FileState::kMissing) {
        CreateByLinking(file);
        // Whoever created it, look at what is there now.
        state = InspectFile(file);
    }
    if (state == FileState::kRefused) return nullptr;

    ConnectionPtr database = OpenConnection(file);
    if (!database) return nullptr;
    // SQLite falls back to read-only when the file is write protected; settings that cannot be
    // saved are refused like unreadable ones.
    if (sqlite3_db_readonly(database.get(), "main") != 0) return nullptr;
    sqlite3_busy_timeout(database.get(), kBusyTimeoutMilliseconds);

    // Nothing before this point writes to the file; the journal mode switch below does.
    if (!PassesQuickCheck(database.get())) return nullptr;

    // A file system without shared memory keeps the rollback journal: still one transaction per
    // write, only without concurrent readers.
    Execute(database.get(), "PRAGMA journal_mode = WAL");
    // In WAL mode NORMAL loses nothing committed when a process dies; only a power failure can
    // take back the last commits.
    Execute(database.get(), "PRAGMA synchronous = NORMAL");
    if (!EnsureSchema(database.get())) return nullptr;

    auto connection = std::make_unique<Connection>();
    connection->find_section = Prepare(database.get(), kFindSection);
    connection->insert_section = Prepare(database.get(), kInsertSection);
    connection->read_value = Prepare(database.get(), kReadValue);
    connection->write_value = Prepare(database.get(), kWriteValue);
    connection->database = std::move(database);
    if (!connection->find_section || !connection->insert_section || !connection->read_value ||
        !connection->write_value) {
        return nullptr;
    }
    return std::unique_ptr<ConfigDatabase>(new ConfigDatabase(std::move(connection)));
}

bool ConfigDatabase::HasSection(std::string_view section) {
    StatementUse find(connection_->find_section.get());
    return find.BindText(1, section) && find.Step() == SQLITE_ROW;
}

bool ConfigDatabase::EnsureSection(std::string_view section) {
    // Looking first keeps the common case, an existing section, a read that never waits for
    // another process's write lock.
    if (HasSection(section)) return true;
    StatementUse insert(connection_->insert_section.get());
    return insert.BindText(1, section) && insert.Step() == SQLITE_DONE;
}

bool ConfigDatabase::WriteNumber(std::string_view section, std::string_view name, ValueKind kind,
                                 std::int64_t value) {
    StatementUse write(connection_->write_value.get());
    return write.BindText(1, section) && write.BindText(2, name) &&
           write.BindInteger(3, static_cast<int>(kind)) && write.BindInteger(4, value) &&
           write.Step() == SQLITE_DONE;
}

bool ConfigDatabase::WriteBlob(std::string_view section, std::string_view name, ValueKind kind,
                               std::span<const std::byte> data) {
    StatementUse write(connection_->write_value.get());
    return write.BindText(1, section) && write.BindText(2, name) &&
           write.BindInteger(3, static_cast<int>(kind)) && write.BindBlob(4, data) &&
           write.Step() == SQLITE_DONE;
}

std::optional<std::int64_t> ConfigDatabase::ReadNumber(std::string_view section,
                                                       std::string_view name, ValueKind kind) {
    StatementUse read(connection_->read_value.get());
    if (!read.BindText(1, section) || !read.BindText(2, name) || read.Step() != SQLITE_ROW) {
        return std::nullopt;
    }
    if (sqlite3_column_int(read.get(), 0) != static_cast<int>(kind) ||
        sqlite3_column_type(read.get(), 1) != SQLITE_INTEGER) {
        return std::nullopt;
    }
    return sqlite3_column_int64(read.get(), 1);
}

std::optional<std::vector<std::byte>> ConfigDatabase::ReadBlob(std::string_view section,
                                                               std::string_view name,
                                                               ValueKind kind) {
    StatementUse read(connection_->read_value.get());
    if (!read.BindText(1, section) || !read.BindText(2, name) || read.Step() != SQLITE_ROW) {
        return std::nullopt;
    }
    if (sqlite3_column_int(read.get(), 0) != static_cast<int>(kind)) return std::nullopt;
    // Text is accepted too: a value edited by hand with the sqlite3 shell arrives as text.
    int type = sqlite3_column_type(read.get(), 1);
    if (type != SQLITE_BLOB && type != SQLITE_TEXT) return std::nullopt;
    // The pointer first, then the size: asking for the size first may convert the value.
    const auto* bytes = static_cast<const std::byte*>(sqlite3_column_blob(read.get(), 1));
    int size = sqlite3_column_bytes(read.get(), 1);
    if (!bytes || size <= 0) return std::vector<std::byte>{};
    return std::vector<std::byte>(bytes, bytes + size);
}

}  // namespace kq::platform
