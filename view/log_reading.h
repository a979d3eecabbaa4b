// A log file read from start to end by a command without a window, every way it can be unfit
// turned into the message the viewer shows.
#pragma once

#include <SQLiteCpp/Database.h>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace zklog::view {

// Opens `path` read-only and runs `read` on it; returns the Portuguese reason on failure.
std::optional<std::string> read_log_file(const std::filesystem::path& path,
                                         const std::function<void(SQLite::Database&)>& read);

} // namespace zklog::view
