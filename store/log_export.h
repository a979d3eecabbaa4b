// Table LOG written to a file in the format its name asks for: an Excel workbook for ".xlsx",
// the CSV of csv_writer.h for any other name.
#pragma once

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <filesystem>

namespace zklog::store {

// True for a name ending in ".xlsx", in any case ("LOG.XLSX" from a Windows dialog).
bool is_workbook_path(const std::filesystem::path& path);

// All of LOG, in the order the rows were saved.
SQLite::Statement select_log(SQLite::Database& db);

// Writes the rows of `query` (the fields of LOG in table order) to `target`. The file is
// written beside it and renamed, so a failure never leaves half a file, nor the part it wrote,
// and never spoils a file that was there. Throws on failure; returns the number of rows.
long export_log(SQLite::Statement& query, const std::filesystem::path& target);

} // namespace zklog::store
