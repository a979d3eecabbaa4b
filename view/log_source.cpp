#include "view/log_source.h"

#include "store/log_fields.h"

#include <SQLiteCpp/Exception.h>
#include <SQLiteCpp/Statement.h>
#include <set>
#include <sqlite3.h>
#include <string_view>

namespace zklog::view {

namespace {

// A writer holds its lock only for one row's commit; waiting this long rides it out without
// making the window feel stuck.
constexpr int kBusyTimeoutMs = 1000;

std::string uri_for(const std::filesystem::path& path) {
    // mode=ro: SQLite itself refuses any write, so not even a checkpoint can touch the file.
    std::string uri = "file:";
    for (const char c : std::filesystem::absolute(path).string()) {
        if (c == '?' || c == '#' || c == '%') {
            static constexpr std::string_view kHex = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            uri += '%';
            uri += kHex[byte >> 4U];
            uri += kHex[byte & 0xFU];
        } else {
            uri += c;
        }
    }
    return uri + "?mode=ro";
}

void check_columns(SQLite::Database& db, const std::filesystem::path& path) {
    SQLite::Statement info(db, "PRAGMA table_info(LOG)");
    std::set<std::string> present;
    while (info.executeStep()) {
        present.insert(info.getColumn(1).getString());
    }
    if (present.empty()) {
        throw LogSourceError("O arquivo " + path.filename().string() + " não tem a tabela LOG.");
    }
    std::string missing;
    for (const auto& field : store::kLogFields) {
        if (!present.contains(std::string(field.name))) {
            missing += (missing.empty() ? "" : ", ") + std::string(field.name);
        }
    }
    if (!missing.empty()) {
        throw LogSourceError("A tabela LOG de " + path.filename().string() +
                             " não tem as colunas: " + missing + ".");
    }
}

} // namespace

std::string describe_engine_error(const std::filesystem::path& path, int code,
                                  const std::string& text) {
    const std::string name = path.filename().string();
    switch (code & 0xFF) {
    case SQLITE_NOTADB:
        return "O arquivo " + name + " não é um banco de dados.";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        return "O arquivo " + name +
               " está bloqueado por outro programa. Tente de novo (F5) em instantes.";
    case SQLITE_CANTOPEN:
        return "Não foi possível abrir o arquivo " + name + ".";
    default:
        return "Erro ao ler o arquivo " + name + ": " + text;
    }
}

SQLite::Database open_log_read_only(const std::filesystem::path& path) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        throw LogSourceError("Arquivo não encontrado: " + path.string());
    }
    if (std::filesystem::is_directory(path, error)) {
        throw LogSourceError(path.string() + " é uma pasta, não um banco de dados.");
    }
    try {
        SQLite::Database db(uri_for(path), SQLite::OPEN_READONLY | SQLITE_OPEN_URI);
        db.setBusyTimeout(kBusyTimeoutMs);
        check_columns(db, path);
        return db;
    } catch (const SQLite::Exception& e) {
        throw LogSourceError(describe_engine_error(path, e.getErrorCode(), e.what()));
    }
}

const std::string& log_columns_sql() {
    static const std::string columns = [] {
        std::string sql;
        for (const auto& field : store::kLogFields) {
            sql += (sql.empty() ? "\"" : ", \"") + std::string(field.name) + "\"";
        }
        return sql;
    }();
    return columns;
}

} // namespace zklog::view
