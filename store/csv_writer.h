// Table LOG as CSV (RFC 4180): a header of the field names, one line per row.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <ostream>
#include <string>
#include <string_view>

namespace zklog::store {

// A field quoted only when it must be: it holds a comma, a quote or a line break.
std::string csv_field(std::string_view text);

// Doubles in their shortest form that reads back to the same value (25, -0.1, 327.68).
std::string shortest_double(double value);

// Rows in the order they were saved; NULL as an empty field. Returns the number of rows.
long write_log_csv(SQLite::Database& db, std::ostream& out);

// The same for a prepared query that selects the fields of LOG in table order (a filtered
// view of the table, say).
long write_log_csv(SQLite::Statement& query, std::ostream& out);

} // namespace zklog::store
