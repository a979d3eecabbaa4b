// zklog-cli ports, and the ports named when one cannot be opened: a copy of zklog-cli in a
// folder of the test's own, with COMn links there as a user or the demo makes them.
#include "download/messages.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/support/sim_process.h"

#include <gtest/gtest.h>

namespace zklog::cli {
namespace {

class CliPorts : public ::testing::TestWithParam<const char*> {};

TEST_P(CliPorts, ListsThePortsAndNamesThemWhenOneCannotBeOpened) {
    test::TempDir dir;
    const auto cli = dir.file("zklog-cli");
    std::filesystem::copy_file(ZKLOG_CLI_PATH, cli);
    test::SimProcess sim({"--generate", "5"});
    std::filesystem::create_symlink(sim.pty(), dir.file("COM3"));
    // An adapter unplugged: its link points nowhere, and it is still COM 12.
    std::filesystem::create_symlink(dir.file("unplugged"), dir.file("COM12"));
    const std::string com3 = "COM3\t" + sim.pty() + "\tlink COM3\n";
    const std::string com12 = "COM12\t" + dir.file("unplugged").string() + "\tlink COM12\n";

    const auto listed = test::run_cli(dir, {"ports"}, cli);
    EXPECT_EQ(listed.exit_code, 0) << listed.err;
    const auto at3 = listed.out.find(com3);
    const auto at12 = listed.out.find(com12);
    EXPECT_NE(at3, std::string::npos) << listed.out;
    EXPECT_NE(at12, std::string::npos) << listed.out;
    EXPECT_LT(at3, at12) << "in the order of their numbers";

    store::create_database(dir.file("log.db"));
    std::vector<std::string> args{GetParam(), "--port", "9"};
    if (std::string_view(GetParam()) != "scan") {
        args.insert(args.end(), {"--address", "1"});
    }
    if (std::string_view(GetParam()) == "download") {
        args.insert(args.end(), {"--db", dir.file("log.db").string()});
    } else if (std::string_view(GetParam()) == "dump") {
        args.insert(args.end(), {"-o", dir.file("image.bin").string()});
    }
    const auto failed = test::run_cli(dir, args, cli);
    EXPECT_EQ(failed.exit_code, 1);
    EXPECT_EQ(failed.last_line(), download::kMsgPortOpenFailed) << failed.out;
    EXPECT_NE(failed.err.find("portas seriais deste computador"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find("  " + com3), std::string::npos) << failed.err;
}

INSTANTIATE_TEST_SUITE_P(Commands, CliPorts, ::testing::Values("download", "scan", "dump"));

} // namespace
} // namespace zklog::cli
