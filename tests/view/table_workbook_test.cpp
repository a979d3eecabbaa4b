// The viewer's Excel export, read back by openpyxl (a Linux-side reader, so Linux only): the
// rows the filter lets through, in order, and nothing else.
#include "tests/store/workbook_check.h"
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/chart_export.h"
#include "view/log_filter.h"
#include "view/log_source.h"

#include <gtest/gtest.h>

namespace zklog::view {
namespace {

std::vector<std::int64_t> rowids(SQLite::Database& db, const LogFilter& filter) {
    std::vector<std::int64_t> ids;
    SQLite::Statement query = select_rows(db, filter, 0, -1);
    while (query.executeStep()) {
        ids.push_back(query.getColumn(0).getInt64());
    }
    return ids;
}

TEST(TableWorkbook, HoldsTheFilteredRowsAsZklogCliWouldWriteThem) {
    test::TempDir dir;
    const auto db_path = dir.file("log.db");
    std::vector<test::FieldValues> rows;
    for (int i = 0; i < 30; ++i) {
        rows.push_back(test::stamped_row(std::to_string(i % 28 + 1) + "/2/24",
                                         "10:0:" + std::to_string(i), 20.0 + i * 0.1,
                                         i % 3 ? "" : "| RL1"));
        if (i % 4 == 0) {
            rows.back().emplace_back("Causa", "| Mudança Relés");
        }
    }
    rows[7][0].second = std::string("31/2/24"); // a clock fault: no date-time in the sheet
    test::write_log_file(db_path, rows);
    SQLite::Database db = open_log_read_only(db_path);

    LogFilter relay_changes;
    relay_changes.relay_changes = true;
    LogFilter text;
    text.text = "rl1";
    for (const auto& filter : {LogFilter{}, relay_changes, text}) {
        const auto workbook = dir.file("LOG.xlsx");
        ASSERT_FALSE(write_table(db, filter, QString::fromStdString(workbook.string())));
        const auto expected = rowids(db, filter);
        ASSERT_FALSE(expected.empty());
        const auto check = test::check_workbook(db_path, workbook, expected);
        EXPECT_TRUE(check.ok) << check.output;
    }
}

} // namespace
} // namespace zklog::view
