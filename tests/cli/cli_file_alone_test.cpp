// The database file alone, copied the moment zklog-cli has ended (as a user copies it to a USB
// stick), holds every saved row: also while another program keeps the file open.
#include "download/messages.h"
#include "sim/record_generator.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

namespace zklog::cli {
namespace {

struct DownloadEnd {
    const char* name;
    std::uint64_t silent_after; // the relay stops answering after this request (0: never)
    int exit_code;
};

// The records read whole within the first `requests` requests (the first is the pointer's).
std::size_t records_read_within(const std::vector<sim::GeneratedRecord>& records,
                                std::uint64_t requests) {
    std::uint64_t used = 1;
    std::size_t whole = 0;
    for (const auto& record : records) {
        used += 2 + ((record.maps & sim::kMapZkb) != 0 ? 1 : 0);
        if (used > requests) {
            break;
        }
        ++whole;
    }
    return whole;
}

void PrintTo(const DownloadEnd& end, std::ostream* out) {
    *out << end.name;
}

class CliFileAlone : public ::testing::TestWithParam<DownloadEnd> {};

TEST_P(CliFileAlone, CopyOfTheFileAloneHoldsEveryRow) {
    const auto& end = GetParam();
    test::TempDir dir;
    const auto db = dir.file("LOG_ZKA_ZKB.db");
    store::create_database(db);
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 40, 8);
    std::vector<std::string> sim_args{"--image", test::write_image_file(dir, image)};
    std::size_t saved = records.size();
    if (end.silent_after != 0) {
        sim_args.insert(sim_args.end(), {"--silent-after", std::to_string(end.silent_after)});
        saved = records_read_within(records, end.silent_after);
    }
    test::SimProcess sim(sim_args);

    // Another program with the file open, outside any transaction, all along.
    SQLite::Database viewer(db.string(), SQLite::OPEN_READONLY);
    ASSERT_EQ(viewer.execAndGet("SELECT count(*) FROM LOG").getInt64(), 0);
    const auto result = test::run_cli(
        dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()});
    EXPECT_EQ(result.exit_code, end.exit_code) << result.out << result.err;
    EXPECT_TRUE(result.err.empty()) << result.err;

    test::TempDir stick;
    const auto copy = stick.file("LOG_ZKA_ZKB.db");
    std::filesystem::copy_file(db, copy);
    const auto rows = test::read_log_rows(copy);
    ASSERT_EQ(rows.size(), saved);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        test::expect_row_matches(rows[i], records[i]);
    }
    SQLite::Database check(copy.string(), SQLite::OPEN_READONLY);
    EXPECT_EQ(check.execAndGet("PRAGMA integrity_check").getString(), "ok");
}

INSTANTIATE_TEST_SUITE_P(CliFileAlone, CliFileAlone,
                         ::testing::Values(DownloadEnd{"Completed", 0, 0},
                                           DownloadEnd{"ReadFailed", 20, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zklog::cli
