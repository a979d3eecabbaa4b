// Ctrl-C during a zklog-cli download, wherever it lands (waiting for a reply, writing to the
// port, saving a row): exit 130, the rows saved so far whole, and never a device or database
// error in their place.
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"

#include <SQLiteCpp/Database.h>
#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <set>
#include <thread>

namespace zklog::cli {
namespace {

// How long after the first request the signal comes: spread over the reads and saves of a
// paced line; and whether the line is behind a Modbus TCP gateway.
class CliInterrupt : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(CliInterrupt, SigintEndsWith130AndKeepsTheSavedRows) {
    test::TempDir dir;
    const auto db = dir.file("log.db");
    store::create_database(db);
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 200, 3);
    const auto trace = dir.file("trace.txt");
    const auto [delay_ms, network] = GetParam();
    std::vector<std::string> sim_args{"--image", test::write_image_file(dir, image),
                                      "--baud",  "19200",
                                      "--trace", trace.string()};
    if (network) {
        sim_args.insert(sim_args.end(), {"--tcp", "0"});
    }
    test::SimProcess sim(std::move(sim_args));

    test::CliChild cli(
        dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()}, "cli");
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (sim::read_trace(trace).empty() && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(delay_ms));
    ASSERT_EQ(kill(cli.pid(), SIGINT), 0);
    const auto result = cli.wait();
    EXPECT_EQ(result.exit_code, 130) << result.out << result.err;

    // The stop is seen between records, so every record whose reads had begun was read whole
    // and saved, and no other: as many rows as records the relay was asked for.
    std::set<std::uint32_t> asked;
    for (const auto& request : sim::read_trace(trace)) {
        asked.insert(request.first_register);
    }
    std::size_t begun = 0;
    while (begun < records.size() && asked.contains(records[begun].start)) {
        ++begun;
    }
    const auto rows = test::read_log_rows(db);
    ASSERT_LT(begun, records.size()) << "the download ended before the signal";
    EXPECT_EQ(rows.size(), begun);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        test::expect_row_matches(rows[i], records[i]);
    }
    SQLite::Database check(db.string(), SQLite::OPEN_READONLY);
    EXPECT_EQ(check.execAndGet("PRAGMA integrity_check").getString(), "ok");
}

INSTANTIATE_TEST_SUITE_P(CliInterrupt, CliInterrupt,
                         ::testing::Combine(::testing::Values(0, 41, 97, 151, 263, 404, 577),
                                            ::testing::Bool()),
                         [](const auto& info) {
                             return "After" + std::to_string(std::get<0>(info.param)) + "ms" +
                                    (std::get<1>(info.param) ? "ThroughAGateway" : "");
                         });

} // namespace
} // namespace zklog::cli
