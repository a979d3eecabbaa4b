// Reading LOG for the table and the charts, through real database files.
#include "store/log_database.h"
#include "store/log_fields.h"
#include "tests/support/temp_dir.h"
#include "tests/view/log_files.h"
#include "view/chart_data.h"
#include "view/log_filter.h"
#include "view/log_source.h"
#include "view/report_log.h"

#include <cmath>
#include <gtest/gtest.h>

namespace zklog::view {
namespace {

using test::FieldValues;
using test::stamped_row;

class LogDataTest : public ::testing::Test {
protected:
    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_F(LogDataTest, ChartUsesTheTimeStampsWhenAllAreValid) {
    test::write_log_file(path_, {stamped_row("1/1/0", "0:0:10", 20.5, "| RL1| RL8"),
                                 stamped_row("1/1/0", "0:1:0", 21.0)});
    SQLite::Database db = open_log_read_only(path_);
    const ChartData data = load_chart_data(db);
    ASSERT_EQ(data.size(), 2U);
    EXPECT_TRUE(data.x_is_time);
    EXPECT_EQ(data.x[0], 10);
    EXPECT_EQ(data.x[1], 60);
    EXPECT_EQ(data.relays[0], 0x81);
    EXPECT_EQ(data.relays[1], 0);
}

TEST_F(LogDataTest, OneBadStampPutsTheWholeAxisOnTheRecordNumber) {
    test::write_log_file(path_,
                         {stamped_row("1/1/0", "0:0:10", 1), stamped_row("32/1/0", "0:0:0", 2),
                          stamped_row("1/1/0", "0:0:30", 3)});
    SQLite::Database db = open_log_read_only(path_);
    const ChartData data = load_chart_data(db);
    EXPECT_FALSE(data.x_is_time);
    EXPECT_EQ(data.x, (std::vector<double>{1, 2, 3}));
}

TEST_F(LogDataTest, NullReadingsAreNaNNotZero) {
    FieldValues second = stamped_row("1/1/0", "0:0:2", 0.0);
    second.emplace_back("RTD3", 7.5);
    test::write_log_file(path_, {stamped_row("1/1/0", "0:0:1", 5), second});
    SQLite::Database db = open_log_read_only(path_);
    const ChartData data = load_chart_data(db);
    EXPECT_EQ(data.temperatures[0][1], 0.0); // a real zero stays a zero
    EXPECT_TRUE(std::isnan(data.temperatures[4][0]));
    EXPECT_EQ(data.temperatures[4][1], 7.5);
    EXPECT_TRUE(std::isnan(data.differentials[0][0]));
}

// The passes over the whole table read the file through a memory map. They must still see the
// rows a download has so far written only to the write-ahead log, and must leave the connection
// unmapped for the table's paging, which lasts as long as the window.
TEST_F(LogDataTest, WholeTablePassesSeeRowsStillInTheWriteAheadLogAndLeaveTheFileUnmapped) {
    constexpr int kInFile = 300;
    constexpr int kInLog = 80;
    const auto row = [](int i) {
        return stamped_row("1/1/0", "0:" + std::to_string(i / 60) + ":" + std::to_string(i % 60),
                           i);
    };
    std::vector<FieldValues> saved;
    for (int i = 0; i < kInFile; ++i) {
        saved.push_back(row(i));
    }
    test::write_log_file(path_, saved);
    store::LogDatabase download(path_); // still open: its rows stay in the write-ahead log
    for (int i = kInFile; i < kInFile + kInLog; ++i) {
        auto& pending = download.add_new();
        for (const auto& [name, value] : row(i)) {
            pending.set(name, value);
        }
        download.update();
    }
    auto wal = path_;
    wal += "-wal";
    ASSERT_GT(std::filesystem::file_size(wal), 0U);

    SQLite::Database db = open_log_read_only(path_);
    const ChartData data = load_chart_data(db);
    ASSERT_EQ(data.size(), static_cast<std::size_t>(kInFile + kInLog));
    for (int i = 0; i < kInFile + kInLog; ++i) {
        EXPECT_EQ(data.temperatures[0][static_cast<std::size_t>(i)], i) << "row " << i;
    }
    EXPECT_EQ(load_report_log(db).data.rowids, data.rowids);
    EXPECT_EQ(db.execAndGet("PRAGMA mmap_size").getInt64(), 0);
}

TEST(RelayMask, ReadsTheRelayFlagList) {
    EXPECT_EQ(relay_mask(""), 0);
    EXPECT_EQ(relay_mask("| RL1"), 0x01);
    EXPECT_EQ(relay_mask("| RL2| RL3| RL8"), 0x86);
    EXPECT_EQ(relay_mask("| RL9| RLx"), 0);
}

struct FilterCase {
    const char* name;
    LogFilter filter;
    std::vector<std::int64_t> rowids;
};

class FilterTest : public ::testing::TestWithParam<FilterCase> {
protected:
    void SetUp() override {
        FieldValues error_row = stamped_row("1/1/0", "0:0:2", 2);
        error_row.emplace_back("Erros", "| SUP| E2PROM");
        FieldValues error2_row = stamped_row("1/1/0", "0:0:3", 3);
        error2_row.emplace_back("Erros2", "| RTD1");
        FieldValues relay_row = stamped_row("1/1/0", "0:0:4", 4, "| RL2");
        relay_row.emplace_back("Causa", "| Mudança Erros| Mudança Relés");
        FieldValues bad_crc = stamped_row("1/1/0", "0:0:5", 5);
        bad_crc[3].second = std::int64_t{0};
        FieldValues empty_error = stamped_row("1/1/0", "0:0:6", 6);
        empty_error.emplace_back("Erros", "");
        test::write_log_file(path_, {stamped_row("1/1/0", "0:0:1", 1), error_row, error2_row,
                                     relay_row, bad_crc, empty_error});
    }
    test::TempDir dir_;
    std::filesystem::path path_ = dir_.file("LOG_ZKA_ZKB.db");
};

TEST_P(FilterTest, ShowsExactlyTheMatchingRowsInSavedOrder) {
    SQLite::Database db = open_log_read_only(path_);
    std::vector<std::int64_t> rowids;
    for (const auto& row : read_page(db, GetParam().filter, 0, 100)) {
        rowids.push_back(row.rowid);
    }
    EXPECT_EQ(rowids, GetParam().rowids);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, FilterTest,
    ::testing::Values(FilterCase{"none", {}, {1, 2, 3, 4, 5, 6}},
                      FilterCase{"errors", {.text = "", .errors = true}, {2, 3}},
                      FilterCase{"relays", {.text = "", .relay_changes = true}, {4}},
                      FilterCase{"crc", {.text = "", .crc_mismatch = true}, {5}},
                      FilterCase{"text", {.text = "e2prom"}, {2}},
                      FilterCase{"text_in_second_channel", {.text = "RTD1"}, {3}},
                      FilterCase{"text_wildcards_literal", {.text = "%"}, {}},
                      FilterCase{"text_and_quick", {.text = "RL2", .errors = true}, {}},
                      FilterCase{"date", {.text = "0:0:4"}, {4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogDataTest, PagesContinueAfterTheLastRowAndShowValuesAsStored) {
    std::vector<FieldValues> rows;
    for (int i = 0; i < 10; ++i) {
        rows.push_back(stamped_row("1/1/0", "0:0:" + std::to_string(i), 0.1 * i));
    }
    test::write_log_file(path_, rows);
    SQLite::Database db = open_log_read_only(path_);
    const auto first = read_page(db, {}, 0, 4);
    ASSERT_EQ(first.size(), 4U);
    const auto rest = read_page(db, {}, first.back().rowid, 100);
    ASSERT_EQ(rest.size(), 6U);
    EXPECT_EQ(rest.front().rowid, 5);
    const auto rtd1 = *store::field_index("RTD1");
    EXPECT_EQ(cell_text(first[3].cells[rtd1]), "0.30000000000000004");
    EXPECT_EQ(cell_text(first[1].cells[rtd1]), "0.1");
    EXPECT_EQ(cell_text(first[1].cells[*store::field_index("RTD2")]), "");
    EXPECT_EQ(cell_text(first[1].cells[*store::field_index("CRC_Valido")]), "1");
}

} // namespace
} // namespace zklog::view
