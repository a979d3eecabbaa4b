// Table LOG as an Excel workbook that a spreadsheet opens as it is, in any locale: one sheet
// "LOG", the record's stamp as a real date-time first, then the fields of LOG under their names,
// numbers as numbers and texts as text.
#pragma once

#include <SQLiteCpp/Statement.h>
#include <filesystem>

namespace zklog::store {

// Writes the rows of `query`, which selects the fields of LOG in table order, into a new
// workbook at `path` (replaced if present). NULL is an empty cell, and so is an empty text, which
// a sheet cannot hold. Throws std::runtime_error with the reason when the workbook cannot be
// written. Returns the number of rows.
long write_log_xlsx(SQLite::Statement& query, const std::filesystem::path& path);

} // namespace zklog::store
