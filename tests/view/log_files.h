// Log databases for the viewer's tests, written through the store like a download writes them.
#pragma once

#include "store/log_row.h"

#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace zklog::test {

using FieldValues = std::vector<std::pair<std::string, store::FieldValue>>;

// A new database at `path` holding `rows` in order; fields not named stay NULL.
void write_log_file(const std::filesystem::path& path, const std::vector<FieldValues>& rows);

// A row with a valid stamp, the given temperatures and relays, CRC_Valido 1.
FieldValues stamped_row(const std::string& data, const std::string& hora, double rtd1,
                        const std::string& relays = "");

std::string file_bytes(const std::filesystem::path& path);

// A new database at `path` whose exclusive lock another program holds (rollback journal, where
// a lock keeps readers out) for as long as the result lives.
std::shared_ptr<void> locked_log_file(const std::filesystem::path& path);

} // namespace zklog::test
