// The charts and the table written to files: the picture as PNG, SVG or PDF by its suffix, the
// table as the same CSV zklog-cli export writes.
#pragma once

#include "view/log_filter.h"

#include <QSize>
#include <QString>
#include <SQLiteCpp/Database.h>
#include <optional>
#include <string_view>

namespace zklog::view {

class ChartPanel;

// The suffixes write_chart understands, for the save dialog and the command line.
QStringList chart_formats();

// Writes `panel` as drawn at `size`. On failure returns the Portuguese reason and leaves no file.
std::optional<QString> write_chart(ChartPanel& panel, const QString& path, QSize size);

// The filtered table as an Excel workbook for a name ending in .xlsx, else as CSV, written
// beside `path` and renamed, so a failure leaves no half file. Returns the reason on failure.
std::optional<QString> write_table(SQLite::Database& db, const LogFilter& filter,
                                   const QString& path);

// "1200x700" as a size; nullopt for anything else, or a side under 100 or over 10000 pixels.
std::optional<QSize> parse_size(std::string_view text);

} // namespace zklog::view
