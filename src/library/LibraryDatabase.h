#pragma once

#include "LibraryRecords.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace tunevale
{

// The mirror's state in one SQLite file (DEST/.tunevale/library.sqlite): a row per output and
// per copied file. Every change runs in a transaction, so a crash keeps either the old row or
// the new one. One thread at a time; another process is kept out by LibraryLock.
class LibraryDatabase
{
public:
    static constexpr int SchemaVersion = 2;

    enum class Access { Write, Read };

    // Opens the database at path. For Write, creates it (and its folder) when it does not exist or
    // is empty; for Read (a dry run) nothing is ever written: nullptr with error empty when there is
    // no database yet. nullptr with error set when the file is damaged, not SQLite, another
    // program's database or of a newer version; nothing is written to such a file. An older
    // version is brought up to this one when opened for Write and read as it is for Read.
    static std::unique_ptr<LibraryDatabase> open(const std::string& path, std::string& error,
                                                 Access access = Access::Write);
    ~LibraryDatabase();
    LibraryDatabase(const LibraryDatabase&) = delete;
    LibraryDatabase& operator=(const LibraryDatabase&) = delete;

    // Every row, ordered by source path; nullopt when reading fails (lastError() says why).
    std::optional<std::vector<OutputRecord>> outputs();
    std::optional<std::vector<CopyRecord>> copies();

    // Adds or replaces the row of record.source; false on failure (lastError()).
    bool putOutput(const OutputRecord& record);
    bool removeOutput(const std::string& source);
    bool putCopy(const CopyRecord& record);
    bool removeCopy(const std::string& source);

    // Groups changes: they are stored together at commit() or not at all (rolled back when the
    // transaction ends without one). One at a time.
    class Transaction
    {
    public:
        explicit Transaction(LibraryDatabase& database);
        ~Transaction();
        Transaction(const Transaction&) = delete;
        Transaction& operator=(const Transaction&) = delete;
        bool active() const { return m_active; }
        bool commit();

    private:
        LibraryDatabase& m_database;
        bool m_active = false;
    };

    const std::string& lastError() const { return m_error; }

private:
    explicit LibraryDatabase(sqlite3* handle) : m_db(handle) {}
    bool execute(const char* sql);
    bool fail(const std::string& what);
    bool migrate(int fromVersion);

    sqlite3* m_db;
    int m_version = SchemaVersion; // of the file: older only when it was opened for Read
    std::string m_error;
};

} // namespace tunevale
