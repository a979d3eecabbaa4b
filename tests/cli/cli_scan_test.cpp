// zklog-cli scan against simulated relays sharing one line: which addresses answer, with what.
#include "cli/bus_scan.h"
#include "tests/cli/cli_process.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

namespace zklog::cli {
namespace {

using test::run_cli;

struct ScanCase {
    const char* name;
    std::vector<std::string> relays; // zklog-sim options: the line and its relays
    std::vector<std::string> range;  // the scan's range options
    int exit_code;
    std::string out;              // exactly
    std::string err_must_contain; // empty: standard error stays empty
};

void PrintTo(const ScanCase& c, std::ostream* out) {
    *out << c.name;
}

class ScanTest : public ::testing::TestWithParam<ScanCase> {
protected:
    test::TempDir dir_;
};

TEST_P(ScanTest, PrintsEachRelayWithItsLogPointer) {
    const auto& c = GetParam();
    test::SimProcess sim(c.relays);
    std::vector<std::string> args{"scan", "--port", sim.pty(), "--timeout-ms", "50"};
    args.insert(args.end(), c.range.begin(), c.range.end());
    const auto result = run_cli(dir_, args);
    EXPECT_EQ(result.exit_code, c.exit_code) << result.out << result.err;
    EXPECT_EQ(result.out, c.out);
    if (c.err_must_contain.empty()) {
        EXPECT_EQ(result.err, "") << "no progress when standard error is no terminal";
    } else {
        EXPECT_NE(result.err.find(c.err_must_contain), std::string::npos) << result.err;
    }
}

// The generator's pointers (another relay's seed is its address): 20 records at seed 3 end at
// 331, 20 at seed 6 at 339, 50 at seed 1 at 875, 5 at seed
// 200 at 72 (register 1024 points at the last record's offset from 2000).
const ScanCase kScanCases[] = {
    {"SeveralRelaysInAscendingOrder",
     {"--generate", "50", "--address", "17", "--relay", "200:5", "--relay", "3:20"},
     {"--from", "1", "--to", "247"},
     0,
     "3 331\n17 875\n200 72\n",
     ""},
    {"OnlyTheRange",
     {"--generate", "50", "--address", "17", "--relay", "3:20"},
     {"--from", "4", "--to", "20"},
     0,
     "17 875\n",
     ""},
    {"SilentBus", {"--generate", "5", "--address", "30"}, {"--from", "1", "--to", "20"}, 1, "", ""},
    {"ExceptionReplyIsNamedOnStandardError",
     {"--generate", "5", "--address", "5", "--exception-request", "1", "--relay", "6:20"},
     {"--from", "5", "--to", "6"},
     0,
     "6 339\n",
     "address 5: exception reply"},
    {"OnlyAnExceptionIsNoRelay",
     {"--generate", "5", "--address", "5", "--exception-request", "1"},
     {"--from", "1", "--to", "9"},
     1,
     "",
     "address 5: exception reply"},
    {"RelayAtTheTopOfTheRange",
     {"--generate", "5", "--address", "247", "--pointer", "99"},
     {"--from", "240", "--to", "247"},
     0,
     "247 99\n",
     ""},
    // The addresses after a lost port were never asked: the relay at 3 is not there to report.
    {"PortLostMidScanIsAFailure",
     {"--generate", "5", "--pointer", "99", "--hangup-after", "1", "--relay", "3:20"},
     {"--from", "1", "--to", "12"},
     1,
     "1 99\nErro ao ler o LOG\n",
     ""},
};

INSTANTIATE_TEST_SUITE_P(Lines, ScanTest, ::testing::ValuesIn(kScanCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ScanArguments, ARangeUpsideDownOrOutsideModbusIsAUsageError) {
    test::TempDir dir;
    for (const auto& range : std::vector<std::vector<std::string>>{
             {"--from", "10", "--to", "5"}, {"--to", "248"}, {"--from", "0"}, {"--baud", "1234"}}) {
        std::vector<std::string> args{"scan", "--port", dir.file("no-port").string()};
        args.insert(args.end(), range.begin(), range.end());
        EXPECT_EQ(run_cli(dir, args).exit_code, 2) << range[1];
    }
    EXPECT_EQ(run_cli(dir, {"scan", "--port", dir.file("no-port").string()}).exit_code, 1)
        << "a port that does not open";
}

TEST(ScanLineSettings, NoWaitForLateRepliesAndTheScansOwnTimeout) {
    device::SerialSettings line;
    line.baud = 19200;
    BusScanSettings scan;
    scan.timeout = std::chrono::milliseconds(70);
    const auto settings = scan_line_settings(line, scan);
    EXPECT_FALSE(settings.await_late_replies);
    EXPECT_EQ(settings.response_timeout.count(), 70);
    EXPECT_EQ(settings.baud, 19200);
}

} // namespace
} // namespace zklog::cli
