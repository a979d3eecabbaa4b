// The log database file and its table LOG: opened once, rows added one at a time.
#pragma once

#include "store/log_row.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <filesystem>
#include <memory>
#include <optional>

namespace zklog::store {

inline constexpr std::string_view kDatabaseFileName = "LOG_ZKA_ZKB.db";

// LOG_ZKA_ZKB.db in the given folder (the executable's, for the programs).
std::filesystem::path default_database_path(const std::filesystem::path& folder);

// Creates a new database file holding an empty table LOG. Refuses a file that already exists.
// Throws std::runtime_error (SQLite::Exception for the engine's own errors).
void create_database(const std::filesystem::path& path);

class LogDatabase {
public:
    // Opens an existing file read-write, shared with other readers; never creates one. A
    // missing file or table throws SQLite::Exception carrying the engine's text, a
    // write-protected file std::runtime_error.
    explicit LogDatabase(const std::filesystem::path& path);

    // Starts a new pending row with every field NULL, dropping an unsaved one.
    LogRow& add_new();
    // The pending row; add_new() must have been called since the last update().
    LogRow& pending();
    bool has_pending() const { return pending_.has_value(); }
    // Drops the pending row without saving it.
    void cancel_pending() { pending_.reset(); }
    // Saves the pending row as a new row of LOG, in its own committed transaction. Refuses
    // (throws std::runtime_error) while the last LimparLOG has failed, and when the file has been
    // deleted or replaced since it was opened.
    void update();

    // Empties LOG. Never reports an error itself; when it fails, the saves that follow do,
    // until an emptying succeeds.
    void LimparLOG() noexcept;

    // Brings every saved row from the write-ahead log into the database file itself, so that
    // the file copied alone holds them all. Rows are saved through the log (one committed
    // transaction each); this runs at the end of each download and when the program closes
    // the file. False when another program's read or write kept it from finishing: the rows
    // are safe, but the file alone does not hold them all yet.
    bool checkpoint() noexcept;

    std::int64_t row_count();
    SQLite::Database& connection() { return db_; }

private:
    void check_file_still_there();

    std::filesystem::path path_;
    SQLite::Database db_;
    SQLite::Statement insert_;
    std::optional<LogRow> pending_;
    std::optional<std::string> emptying_error_;
};

} // namespace zklog::store
