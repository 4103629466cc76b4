#include "LibraryDatabase.h"

#include <sqlite3.h>

#include <filesystem>
#include <iterator>
#include <system_error>

namespace tunevale
{

namespace
{

constexpr const char* SchemaName = "tunevale-library";

constexpr const char* CreateSchema = R"(
CREATE TABLE library_meta (key TEXT PRIMARY KEY, value TEXT NOT NULL);
CREATE TABLE outputs (
  source TEXT PRIMARY KEY, source_size INTEGER NOT NULL, source_mtime_ns INTEGER NOT NULL,
  audio_identity TEXT NOT NULL, tags_hash TEXT NOT NULL, settings TEXT NOT NULL,
  output TEXT NOT NULL UNIQUE, output_size INTEGER NOT NULL, output_mtime_ns INTEGER NOT NULL,
  loudness TEXT NOT NULL DEFAULT '', applied_gain REAL NOT NULL DEFAULT 0);
CREATE TABLE copies (
  source TEXT PRIMARY KEY, source_size INTEGER NOT NULL, source_mtime_ns INTEGER NOT NULL,
  output TEXT NOT NULL UNIQUE, output_size INTEGER NOT NULL, output_mtime_ns INTEGER NOT NULL);
)";

// A prepared statement, finalised when it goes out of scope.
class Statement
{
public:
    Statement(sqlite3* db, const char* sql)
    {
        m_ok = sqlite3_prepare_v2(db, sql, -1, &m_statement, nullptr) == SQLITE_OK;
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_ok; }
    void bind(int index, const std::string& text)
    {
        m_ok = m_ok && sqlite3_bind_text(m_statement, index, text.data(), static_cast<int>(text.size()),
                                         SQLITE_TRANSIENT) == SQLITE_OK;
    }
    void bind(int index, std::int64_t number)
    {
        m_ok = m_ok && sqlite3_bind_int64(m_statement, index, number) == SQLITE_OK;
    }
    void bind(int index, double number) { m_ok = m_ok && sqlite3_bind_double(m_statement, index, number) == SQLITE_OK; }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return m_ok ? sqlite3_step(m_statement) : SQLITE_ERROR; }
    std::string text(int column) const
    {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(m_statement, column));
        return bytes ? std::string(bytes, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                     : std::string();
    }
    std::int64_t number(int column) const { return sqlite3_column_int64(m_statement, column); }
    double real(int column) const { return sqlite3_column_double(m_statement, column); }
    FileStamp stamp(int column) const { return {static_cast<std::uint64_t>(number(column)), number(column + 1)}; }

private:
    sqlite3_stmt* m_statement = nullptr;
    bool m_ok = false;
};

void bindStamp(Statement& statement, int index, const FileStamp& stamp)
{
    statement.bind(index, static_cast<std::int64_t>(stamp.size));
    statement.bind(index + 1, stamp.mtimeNs);
}

// The schema name and version stored in the file; empty when it holds no such table.
std::pair<std::string, int> storedSchema(sqlite3* db, int& status)
{
    Statement exists(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'library_meta'");
    status = exists.step();
    if (status != SQLITE_ROW)
        return {};
    status = SQLITE_OK;
    if (exists.number(0) == 0)
        return {};
    Statement read(db, "SELECT key, value FROM library_meta WHERE key IN ('schema', 'version')");
    std::pair<std::string, int> schema{"", 0};
    while ((status = read.step()) == SQLITE_ROW) {
        if (read.text(0) == "schema")
            schema.first = read.text(1);
        else
            schema.second = std::atoi(read.text(1).c_str());
    }
    status = status == SQLITE_DONE ? SQLITE_OK : status;
    return schema;
}

std::string openError(const std::string& path, const std::string& why)
{
    return "The library database " + path + " " + why + "; it was left as it is.";
}

// What brings a database of version n up to n + 1, at index n - 1.
constexpr const char* Migrations[] = {
    // Version 1 kept no normalising gain: its outputs were made with none that a later run could use.
    "ALTER TABLE outputs ADD COLUMN applied_gain REAL NOT NULL DEFAULT 0;",
};
static_assert(std::size(Migrations) == LibraryDatabase::SchemaVersion - 1);

} // namespace

std::unique_ptr<LibraryDatabase> LibraryDatabase::open(const std::string& path, std::string& error, Access access)
{
    namespace fs = std::filesystem;
    std::error_code fsError;
    error.clear();
    const bool existed = fs::exists(path, fsError) && fs::file_size(path, fsError) > 0;
    if (!existed && access == Access::Read)
        return nullptr;
    if (!existed) {
        fs::create_directories(fs::path(path).parent_path(), fsError);
        if (fsError) {
            error = "The folder of the library database " + path + " cannot be made: " + fsError.message() + ".";
            return nullptr;
        }
    }
    sqlite3* handle = nullptr;
    const int flags =
        access == Access::Read ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (existed ? 0 : SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path.c_str(), &handle, flags, nullptr) != SQLITE_OK) {
        error = openError(path, std::string("cannot be opened: ") + sqlite3_errmsg(handle));
        sqlite3_close(handle);
        return nullptr;
    }
    std::unique_ptr<LibraryDatabase> database(new LibraryDatabase(handle));
    sqlite3_busy_timeout(handle, 2000);

    int status = SQLITE_OK;
    const auto [name, version] = storedSchema(handle, status);
    if (status != SQLITE_OK) {
        error = openError(path, std::string("is damaged or not a database (") + sqlite3_errmsg(handle) + ")");
        return nullptr;
    }
    if (name.empty()) {
        // Tables of another program: not ours to add to.
        Statement tables(handle, "SELECT count(*) FROM sqlite_master");
        if (tables.step() != SQLITE_ROW || tables.number(0) != 0) {
            error = openError(path, "belongs to another program (it has no library schema)");
            return nullptr;
        }
        const std::string create = std::string("BEGIN IMMEDIATE;") + CreateSchema +
                                   "INSERT INTO library_meta VALUES ('schema', '" + SchemaName + "'), ('version', '" +
                                   std::to_string(SchemaVersion) + "');COMMIT;";
        if (!database->execute(create.c_str())) {
            error = openError(path, "cannot be set up: " + database->m_error);
            return nullptr;
        }
        return database;
    }
    if (name != SchemaName) {
        error = openError(path, "belongs to another program (its schema is \"" + name + "\")");
        return nullptr;
    }
    if (version < 1 || version > SchemaVersion) {
        error = openError(path, "has version " + std::to_string(version) + ", which this version (" +
                                    std::to_string(SchemaVersion) + ") cannot read");
        return nullptr;
    }
    // A file damaged past its first pages opens and names its schema; the check reads every page.
    Statement check(handle, "PRAGMA quick_check");
    if (check.step() != SQLITE_ROW || check.text(0) != "ok") {
        error = openError(path, "is damaged");
        return nullptr;
    }
    database->m_version = version;
    if (version < SchemaVersion && access == Access::Write && !database->migrate(version)) {
        error = openError(path, "could not be brought up to version " + std::to_string(SchemaVersion) + ": " +
                                    database->m_error);
        return nullptr;
    }
    return database;
}

bool LibraryDatabase::migrate(int fromVersion)
{
    // All steps in one transaction: a failure leaves the file at its old version.
    std::string steps = "BEGIN IMMEDIATE;";
    for (int version = fromVersion; version < SchemaVersion; ++version)
        steps += Migrations[version - 1];
    steps += "UPDATE library_meta SET value = '" + std::to_string(SchemaVersion) + "' WHERE key = 'version';COMMIT;";
    if (!execute(steps.c_str()))
        return false;
    m_version = SchemaVersion;
    return true;
}

LibraryDatabase::~LibraryDatabase()
{
    sqlite3_close(m_db);
}

bool LibraryDatabase::execute(const char* sql)
{
    char* message = nullptr;
    if (sqlite3_exec(m_db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    m_error = message ? message : sqlite3_errmsg(m_db);
    sqlite3_free(message);
    if (!sqlite3_get_autocommit(m_db))
        sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    return false;
}

bool LibraryDatabase::fail(const std::string& what)
{
    m_error = what + ": " + sqlite3_errmsg(m_db);
    return false;
}

std::optional<std::vector<OutputRecord>> LibraryDatabase::outputs()
{
    // A version 1 file read for a dry run has no applied gain: its outputs were made with none.
    const std::string sql = std::string("SELECT source, source_size, source_mtime_ns, audio_identity, tags_hash, "
                                        "settings, output, output_size, output_mtime_ns, loudness, ") +
                            (m_version >= 2 ? "applied_gain" : "0") + " FROM outputs ORDER BY source";
    Statement read(m_db, sql.c_str());
    std::vector<OutputRecord> records;
    int status = 0;
    while ((status = read.step()) == SQLITE_ROW)
        records.push_back({read.text(0), read.stamp(1), read.text(3), read.text(4), read.text(5), read.text(6),
                           read.stamp(7), read.text(9), read.real(10)});
    if (status != SQLITE_DONE) {
        fail("Reading the outputs failed");
        return std::nullopt;
    }
    return records;
}

std::optional<std::vector<CopyRecord>> LibraryDatabase::copies()
{
    Statement read(m_db, "SELECT source, source_size, source_mtime_ns, output, output_size, output_mtime_ns "
                         "FROM copies ORDER BY source");
    std::vector<CopyRecord> records;
    int status = 0;
    while ((status = read.step()) == SQLITE_ROW)
        records.push_back({read.text(0), read.stamp(1), read.text(3), read.stamp(4)});
    if (status != SQLITE_DONE) {
        fail("Reading the copied files failed");
        return std::nullopt;
    }
    return records;
}

bool LibraryDatabase::putOutput(const OutputRecord& record)
{
    Statement write(m_db, "INSERT OR REPLACE INTO outputs VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11)");
    write.bind(1, record.source);
    bindStamp(write, 2, record.sourceStamp);
    write.bind(4, record.audioIdentity);
    write.bind(5, record.tagsHash);
    write.bind(6, record.settings);
    write.bind(7, record.output);
    bindStamp(write, 8, record.outputStamp);
    write.bind(10, record.loudness);
    write.bind(11, record.appliedGain);
    return write.step() == SQLITE_DONE || fail("Storing the output of " + record.source + " failed");
}

bool LibraryDatabase::removeOutput(const std::string& source)
{
    Statement write(m_db, "DELETE FROM outputs WHERE source = ?1");
    write.bind(1, source);
    return write.step() == SQLITE_DONE || fail("Removing the output of " + source + " failed");
}

bool LibraryDatabase::putCopy(const CopyRecord& record)
{
    Statement write(m_db, "INSERT OR REPLACE INTO copies VALUES (?1, ?2, ?3, ?4, ?5, ?6)");
    write.bind(1, record.source);
    bindStamp(write, 2, record.sourceStamp);
    write.bind(4, record.output);
    bindStamp(write, 5, record.outputStamp);
    return write.step() == SQLITE_DONE || fail("Storing the copy of " + record.source + " failed");
}

bool LibraryDatabase::removeCopy(const std::string& source)
{
    Statement write(m_db, "DELETE FROM copies WHERE source = ?1");
    write.bind(1, source);
    return write.step() == SQLITE_DONE || fail("Removing the copy of " + source + " failed");
}

LibraryDatabase::Transaction::Transaction(LibraryDatabase& database) : m_database(database)
{
    m_active = m_database.execute("BEGIN IMMEDIATE");
}

LibraryDatabase::Transaction::~Transaction()
{
    if (m_active)
        m_database.execute("ROLLBACK");
}

bool LibraryDatabase::Transaction::commit()
{
    if (!m_active)
        return false;
    m_active = false;
    return m_database.execute("COMMIT");
}

} // namespace tunevale
