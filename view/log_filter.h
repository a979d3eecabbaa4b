// Which rows of LOG the table shows: a free text and three quick filters, as SQL.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace zklog::view {

struct LogFilter {
    std::string text;           // found in any text column, ignoring ASCII case
    bool errors = false;        // `Erros` or `Erros2` holds something
    bool relay_changes = false; // `Causa` holds "Mudança Relés"
    bool crc_mismatch = false;  // `CRC_Valido` is 0
};

// The WHERE clause (with the word) or "" when everything passes; the text is bound as ?1.
std::string where_clause(const LogFilter& filter);

// SELECT of the fields in table order, filtered, in saved order, after `after_rowid`, at most
// `limit` rows (negative: all). The first column is rowid, the fields follow.
SQLite::Statement select_rows(SQLite::Database& db, const LogFilter& filter,
                              std::int64_t after_rowid, int limit, bool with_rowid = true);

using CellValue = std::variant<std::monostate, std::int64_t, double, std::string>;

struct LogRowValues {
    std::int64_t rowid = 0;
    std::vector<CellValue> cells; // one per field
};

// One page of the table, read in one short statement so no lock outlives the call.
std::vector<LogRowValues> read_page(SQLite::Database& db, const LogFilter& filter,
                                    std::int64_t after_rowid, int limit);

// A cell as the table shows it: NULL empty, doubles in their shortest form.
std::string cell_text(const CellValue& value);

} // namespace zklog::view
