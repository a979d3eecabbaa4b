// Opening a log database for viewing: read-only, checked, with a Portuguese message for each
// way a file can be unfit.
#pragma once

#include <SQLiteCpp/Database.h>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace zklog::view {

// What the user is told; the text is ready to show.
class LogSourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Opens `path` read-only (never creating it) and checks that it holds table LOG with all its
// fields. Throws LogSourceError.
SQLite::Database open_log_read_only(const std::filesystem::path& path);

// Runs `read` and turns the engine's errors into LogSourceError for `path`.
std::string describe_engine_error(const std::filesystem::path& path, int code,
                                  const std::string& text);

// The quoted field list of LOG in table order, for SELECTs.
const std::string& log_columns_sql();

} // namespace zklog::view
