// The exit code says what the final message says, also when a Ctrl-C comes after the last read
// (the other messages and codes: CliDownloadTest.ExitCodesTellTheOutcome and its neighbours).
#include "download/messages.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"

#include <chrono>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace zklog::cli {
namespace {

// Ctrl-C while the last read's reply is on its way: the read completes, nothing is left to
// stop, and the download ends as a whole one.
TEST(CliCtrlCAtTheEnd, StillMeansSuccess) {
    test::TempDir dir;
    sim::RelayImage image;
    const auto records = sim::generate_records(image, 12, 5);
    const auto image_file = test::write_image_file(dir, image);

    // How many requests a whole download takes, from a first run's trace.
    const auto trace = dir.file("trace.txt");
    const auto db = dir.file("log.db");
    store::create_database(db);
    {
        test::SimProcess sim({"--image", image_file, "--trace", trace.string()});
        ASSERT_EQ(test::run_cli(
                      dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()})
                      .exit_code,
                  0);
    }
    const auto requests = sim::read_trace(trace).size();
    std::filesystem::remove(trace);

    test::SimProcess sim({"--image", image_file, "--trace", trace.string(), "--late-request",
                          std::to_string(requests), "--late-ms", "300"});
    test::CliChild cli(
        dir, {"download", "--port", sim.pty(), "--address", "1", "--db", db.string()}, "cli");
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (sim::read_trace(trace).size() < requests && std::chrono::steady_clock::now() < give_up) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ASSERT_EQ(kill(cli.pid(), SIGINT), 0);
    const auto result = cli.wait();
    EXPECT_EQ(result.last_line(), download::kMsgCompleted) << result.out << result.err;
    EXPECT_EQ(result.exit_code, 0) << result.out << result.err;
    const auto rows = test::read_log_rows(db);
    ASSERT_EQ(rows.size(), records.size());
}

} // namespace
} // namespace zklog::cli
