#include "store/log_database.h"

#include <SQLiteCpp/Exception.h>
#include <sqlite3.h>
#include <stdexcept>
#include <string>

namespace zklog::store {

namespace {

// Another program may hold the file for a moment (a viewer refreshing); wait that long for it
// before a write fails with "database is locked".
constexpr int kBusyTimeoutMs = 1000;

std::string quoted(std::string_view name) {
    return "\"" + std::string(name) + "\"";
}

const char* sql_type(FieldKind kind) {
    switch (kind) {
    case FieldKind::Text:
        return "TEXT";
    case FieldKind::Real:
        return "REAL";
    case FieldKind::Integer:
        return "INTEGER";
    }
    return "";
}

std::string create_table_sql() {
    std::string sql = "CREATE TABLE LOG (";
    for (std::size_t i = 0; i < kLogFields.size(); ++i) {
        sql += (i ? ", " : "") + quoted(kLogFields[i].name) + " " + sql_type(kLogFields[i].kind);
    }
    return sql + ")";
}

std::string insert_sql() {
    std::string columns;
    std::string marks;
    for (std::size_t i = 0; i < kLogFields.size(); ++i) {
        columns += (i ? ", " : "") + quoted(kLogFields[i].name);
        marks += i ? ", ?" : "?";
    }
    return "INSERT INTO LOG (" + columns + ") VALUES (" + marks + ")";
}

// Each saved row must survive a crash of the program, but not necessarily a power cut: WAL with
// synchronous=NORMAL commits without a disk flush per row and still never leaves a partial row.
void set_journal(SQLite::Database& db) {
    db.exec("PRAGMA journal_mode=WAL");
    db.exec("PRAGMA synchronous=NORMAL");
}

} // namespace

std::filesystem::path default_database_path(const std::filesystem::path& folder) {
    return folder / kDatabaseFileName;
}

void create_database(const std::filesystem::path& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec) || std::filesystem::is_symlink(path, ec)) {
        throw std::runtime_error(path.string() + " already exists");
    }
    SQLite::Database db(path.string(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    set_journal(db);
    db.exec(create_table_sql());
}

LogDatabase::LogDatabase(const std::filesystem::path& path)
    : path_(path), db_(path.string(), SQLite::OPEN_READWRITE, kBusyTimeoutMs),
      insert_(db_, insert_sql()) {
    // The engine falls back to read-only for a write-protected file without a word; every save
    // would then fail after the relay had been read. Say so at once instead.
    if (sqlite3_db_readonly(db_.getHandle(), "main") == 1) {
        throw std::runtime_error("o arquivo " + path_.string() + " é somente leitura");
    }
    set_journal(db_);
}

LogRow& LogDatabase::add_new() {
    pending_.emplace();
    return *pending_;
}

LogRow& LogDatabase::pending() {
    if (!pending_) {
        throw std::logic_error("no pending row: call add_new() first");
    }
    return *pending_;
}

// On Linux a deleted database file stays writable through the open handle: every row would
// still be "saved", into a file no one can open any more. Ask the engine whether the name still
// leads to the file it has open.
void LogDatabase::check_file_still_there() {
    int moved = 0;
    if (sqlite3_file_control(db_.getHandle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) ==
            SQLITE_OK &&
        moved != 0) {
        throw std::runtime_error("o arquivo " + path_.string() + " foi apagado ou substituído");
    }
}

void LogDatabase::update() {
    const LogRow& row = pending();
    // Rows saved after a failed emptying would sit among the previous download's rows, with
    // nothing to tell them apart.
    if (emptying_error_) {
        throw std::runtime_error("a tabela LOG não pôde ser esvaziada: " + *emptying_error_);
    }
    check_file_still_there();
    insert_.clearBindings();
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        const int position = static_cast<int>(i) + 1;
        const FieldValue& value = row.at(i);
        if (const auto* text = std::get_if<std::string>(&value)) {
            insert_.bindNoCopy(position, *text);
        } else if (const auto* real = std::get_if<double>(&value)) {
            insert_.bind(position, *real);
        } else if (const auto* integer = std::get_if<std::int64_t>(&value)) {
            insert_.bind(position, static_cast<std::int64_t>(*integer));
        }
    }
    // The row stays pending until the engine has taken it: a failed save can be reported and
    // the row is not mistaken for a saved one. The statement is reset either way, so a failed
    // save holds no lock on the file.
    try {
        insert_.exec();
    } catch (...) {
        (void)insert_.tryReset();
        throw;
    }
    (void)insert_.tryReset();
    pending_.reset();
}

void LogDatabase::LimparLOG() noexcept {
    pending_.reset();
    try {
        db_.exec("DELETE FROM LOG");
        emptying_error_.reset();
    } catch (const std::exception& error) {
        emptying_error_ = error.what();
    } catch (...) {
        emptying_error_ = "erro desconhecido";
    }
}

// A TRUNCATE checkpoint copies every committed row from the write-ahead log into the file and
// empties the log, so the file alone is whole. It waits (busy timeout) for readers that are in
// the middle of a read; one still reading after that leaves part of the log where it is.
bool LogDatabase::checkpoint() noexcept {
    try {
        SQLite::Statement statement(db_, "PRAGMA wal_checkpoint(TRUNCATE)");
        // One row: busy (1 when a reader or writer kept it from finishing), pages in the log,
        // pages copied.
        return statement.executeStep() && statement.getColumn(0).getInt() == 0;
    } catch (...) {
        return false;
    }
}

std::int64_t LogDatabase::row_count() {
    return db_.execAndGet("SELECT count(*) FROM LOG").getInt64();
}

} // namespace zklog::store
