// Every final message zklog-cli download prints, with the exit code that goes with it, end to
// end: a script that reads only the code must learn what the user reads on the screen.
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

struct ExitCase {
    const char* name;
    std::vector<std::string> sim_args; // empty: no relay at all
    std::vector<std::string> cli_args; // besides --port and --db
    std::string_view message;          // the start of the last line printed
    int exit_code;
};

class CliExitCodes : public ::testing::TestWithParam<ExitCase> {};

TEST_P(CliExitCodes, TheExitCodeMatchesTheFinalMessage) {
    const auto& c = GetParam();
    test::TempDir dir;
    const auto db = dir.file("log.db");
    if (c.exit_code != 4) {
        store::create_database(db);
    }
    std::optional<test::SimProcess> sim;
    std::string port = dir.file("no-such-port").string();
    if (!c.sim_args.empty()) {
        sim.emplace(c.sim_args);
        port = sim->pty();
    }
    std::vector<std::string> args{"download", "--port", port, "--db", db.string()};
    args.insert(args.end(), c.cli_args.begin(), c.cli_args.end());
    const auto result = test::run_cli(dir, args);
    EXPECT_TRUE(result.last_line().starts_with(c.message)) << result.out << result.err;
    EXPECT_EQ(result.exit_code, c.exit_code) << result.out << result.err;
}

INSTANTIATE_TEST_SUITE_P(
    Messages, CliExitCodes,
    ::testing::Values(
        ExitCase{"completed", {"--generate", "20"}, {"--address", "1"}, download::kMsgCompleted, 0},
        ExitCase{"no_port", {}, {"--address", "1"}, download::kMsgPortOpenFailed, 1},
        ExitCase{"no_relay",
                 {"--generate", "20", "--fail-pointer", "6"},
                 {"--address", "1"},
                 download::kMsgReadFailed,
                 1},
        ExitCase{"relay_dies",
                 {"--generate", "20", "--silent-after", "9"},
                 {"--address", "1"},
                 download::kMsgReadFailed,
                 1},
        ExitCase{"empty_log", {"--generate", "0"}, {"--address", "1"}, download::kMsgEmptyLog, 3},
        ExitCase{"bad_address",
                 {"--generate", "20"},
                 {"--address", "x1"},
                 download::kMsgInvalidAddress,
                 2},
        ExitCase{"no_database",
                 {"--generate", "20"},
                 {"--address", "1"},
                 download::kMsgDatabaseOpenFailed,
                 4}),
    [](const auto& info) { return std::string(info.param.name); });

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
