// zklog-cli download, dump and init-db against the simulated relay, as a script runs them.
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

using test::run_cli;

class CliDownloadTest : public ::testing::Test {
protected:
    CliDownloadTest() { store::create_database(db_); }

    std::vector<sim::GeneratedRecord> serve_generated(int count,
                                                      std::vector<std::string> options = {}) {
        sim::RelayImage image;
        auto records = sim::generate_records(image, count, 42);
        serve(test::write_image_file(dir_, image), std::move(options));
        return records;
    }

    void serve(const std::string& image_file, std::vector<std::string> options = {}) {
        options.insert(options.begin(), {"--image", image_file});
        sim_.reset();
        sim_.emplace(options);
    }

    test::CliResult download(const std::string& address = "1") {
        return run_cli(
            dir_, {"download", "--port", sim_->pty(), "--address", address, "--db", db_.string()});
    }

    std::int64_t row_count() { return store::LogDatabase(db_).row_count(); }

    test::TempDir dir_;
    std::filesystem::path db_ = dir_.file("log.db");
    std::optional<test::SimProcess> sim_;
};

TEST_F(CliDownloadTest, SixHundredGeneratedRecordsArriveFieldByField) {
    const auto records = serve_generated(600);
    ASSERT_EQ(records.size(), 600u);
    const auto result = download();
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(result.last_line(), zklog::download::kMsgCompleted);
    EXPECT_TRUE(result.err.empty()) << "no progress bar when stderr is no terminal";

    const auto rows = test::read_log_rows(db_);
    ASSERT_EQ(rows.size(), records.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        test::expect_row_matches(rows[i], records[i]);
    }
}

TEST_F(CliDownloadTest, ExitCodesTellTheOutcome) {
    serve_generated(3, {"--pointer", "0"});
    auto result = download();
    EXPECT_EQ(result.exit_code, 3);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgEmptyLog);

    result = run_cli(dir_, {"download", "--port", dir_.file("no-port").string(), "--address", "1",
                            "--db", db_.string()});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgPortOpenFailed);

    result = download("x");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgInvalidAddress);

    result = run_cli(dir_, {"download", "--port", "1"});
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_NE(result.err.find("--address"), std::string::npos) << result.err;

    result = run_cli(dir_, {"download", "--port", "1", "--address", "1", "--parity", "X"});
    EXPECT_EQ(result.exit_code, 2);
}

TEST_F(CliDownloadTest, InvalidAddressIsReportedWithoutARead) {
    serve_generated(3);
    const auto result = download("0");
    EXPECT_EQ(result.exit_code, 2);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgInvalidAddress);
}

TEST_F(CliDownloadTest, ReadFailureExitsOneAndKeepsTheRowsSaved) {
    serve_generated(10, {"--silent-after", "7"});
    const auto result = download();
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.last_line(), zklog::download::kMsgReadFailed);
    EXPECT_GE(row_count(), 2);
    EXPECT_LE(row_count(), 3);
}

TEST_F(CliDownloadTest, MissingDatabaseExitsFourWithTheEnginesText) {
    serve_generated(3);
    db_ = dir_.file("absent.db");
    const auto result = download();
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_NE(result.out.find("unable to open database file"), std::string::npos) << result.out;
    EXPECT_FALSE(std::filesystem::exists(db_));
}

TEST_F(CliDownloadTest, DatabaseLockedByAnotherProgramExitsFourWithAClearMessage) {
    serve_generated(5);
    SQLite::Database other(db_.string(), SQLite::OPEN_READWRITE);
    other.exec("BEGIN EXCLUSIVE");
    const auto result = download();
    other.exec("ROLLBACK");
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_NE(result.last_line().find("database is locked"), std::string::npos) << result.out;
    EXPECT_EQ(row_count(), 0);

    EXPECT_EQ(download().exit_code, 0); // nothing was left broken
    EXPECT_EQ(row_count(), 5);
}

TEST_F(CliDownloadTest, DumpReplayedInTheSimulatorGivesTheSameRows) {
    serve_generated(80, {"--bad-crc", "3"});
    ASSERT_EQ(download().exit_code, 0);
    const auto original = test::read_log_rows(db_);

    const auto image = dir_.file("dump.bin");
    const auto dumped =
        run_cli(dir_, {"dump", "--port", sim_->pty(), "--address", "1", "-o", image.string()});
    ASSERT_EQ(dumped.exit_code, 0) << dumped.out << dumped.err;
    EXPECT_EQ(std::filesystem::file_size(image), 131072u);

    serve(image.string());
    ASSERT_EQ(download().exit_code, 0);
    const auto replayed = test::read_log_rows(db_);
    ASSERT_EQ(replayed.size(), original.size());
    for (std::size_t i = 0; i < original.size(); ++i) {
        for (std::size_t column = 0; column < store::kFieldCount; ++column) {
            EXPECT_EQ(replayed[i].at(column), original[i].at(column))
                << "row " << i << " " << store::kLogFields[column].name;
        }
    }
}

TEST(CliInitDb, CreatesAnEmptyLogTableAndRefusesAnExistingFile) {
    test::TempDir dir;
    const auto path = dir.file("new.db");
    auto result = run_cli(dir, {"init-db", path.string()});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(store::LogDatabase(path).row_count(), 0);

    result = run_cli(dir, {"init-db", path.string()});
    EXPECT_EQ(result.exit_code, 4);
    EXPECT_NE(result.err.find("already exists"), std::string::npos) << result.err;
}

} // namespace
} // namespace zklog::cli
