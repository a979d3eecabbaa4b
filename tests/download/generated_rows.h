// What the LOG rows of generated records must hold, worked out from the values the generator
// chose rather than from the record words, and the rows of a database file as read back.
#pragma once

#include "sim/record_generator.h"
#include "store/log_row.h"

#include <filesystem>
#include <vector>

namespace zklog::test {

// Every LOG row of the file, in the order saved.
std::vector<store::LogRow> read_log_rows(const std::filesystem::path& database);

// Adds a failure for every field of `row` that does not stand for `record`.
void expect_row_matches(const store::LogRow& row, const sim::GeneratedRecord& record,
                        bool checksum_valid = true);

} // namespace zklog::test
