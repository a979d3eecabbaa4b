// zklog-cli killed with SIGKILL in the middle of a download: no handler runs, so only what the
// database engine committed counts. Every row another program could already see must still be
// there, whole, and the file must be sound.
#include "sim/record_generator.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <SQLiteCpp/Database.h>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace zklog::cli {
namespace {

// The rows committed so far, as a viewer sees them.
std::int64_t visible_rows(const std::filesystem::path& db) {
    SQLite::Database reader(db.string(), SQLite::OPEN_READONLY);
    return reader.execAndGet("SELECT count(*) FROM LOG").getInt64();
}

TEST(CliDatabaseFaults, KillNineMidDownloadKeepsEveryVisibleRowWhole) {
    test::TempDir dir;
    const auto db = dir.file("log.db");
    store::create_database(db);
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 300, 5);
    // Paced like a 9600 baud line, so the download is still running when it is killed.
    test::SimProcess sim({"--image", test::write_image_file(dir, image), "--baud", "9600"});

    test::CliChild cli(
        dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()}, "cli");
    std::int64_t seen = 0;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (seen < 20 && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        seen = visible_rows(db);
    }
    kill(cli.pid(), SIGKILL);
    ASSERT_EQ(cli.wait().exit_code, -1) << "the download ended before it could be killed";
    ASSERT_GE(seen, 20);

    SQLite::Database check(db.string(), SQLite::OPEN_READONLY);
    EXPECT_EQ(check.execAndGet("PRAGMA integrity_check").getString(), "ok");
    const auto rows = test::read_log_rows(db);
    ASSERT_GE(static_cast<std::int64_t>(rows.size()), seen);
    ASSERT_LT(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        test::expect_row_matches(rows[i], records[i]);
    }
}

} // namespace
} // namespace zklog::cli
