// The exported workbook read back by openpyxl (tests/store/workbook_check.py), a reader this
// project did not write, and compared with table LOG of its database.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace zklog::test {

struct WorkbookCheck {
    bool ok = false;
    std::string output; // "ok N rows", or the first difference
};

// `rowids`: the rows of LOG a filtered workbook must hold, in order; empty for the whole table.
WorkbookCheck check_workbook(const std::filesystem::path& database,
                             const std::filesystem::path& workbook,
                             const std::vector<std::int64_t>& rowids = {});

} // namespace zklog::test
