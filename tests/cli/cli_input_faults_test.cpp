// zklog-cli given malformed option values: a message that names the fault, the documented exit
// code (2 for bad arguments, 4 for a file it cannot use), and no database changed.
#include "download/messages.h"
#include "sim/request_trace.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/support/sim_process.h"

#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace zklog::cli {
namespace {

using test::run_cli;

std::string bytes_of(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Fault {
    std::vector<std::string> args;
    int exit_code;
    std::string message; // part of what must be said
    bool on_stdout;      // the window's messages go to standard output, the rest to stderr
};

class CliInputFaults : public ::testing::Test {
protected:
    CliInputFaults() {
        store::create_database(db_);
        store::LogDatabase db(db_);
        db.add_new();
        db.update();
    }

    void expect_refused(const Fault& fault) {
        const std::string before = bytes_of(db_);
        std::string shown;
        for (const auto& arg : fault.args) {
            shown += " '" + arg + "'";
        }
        SCOPED_TRACE("zklog-cli" + shown);
        const auto result = run_cli(dir_, fault.args);
        EXPECT_EQ(result.exit_code, fault.exit_code) << result.out << result.err;
        const std::string& said = fault.on_stdout ? result.out : result.err;
        EXPECT_TRUE(contains(said, fault.message))
            << "out: " << result.out << "err: " << result.err;
        EXPECT_EQ(bytes_of(db_), before) << "the database changed";
    }

    std::vector<std::string> download(const std::string& port, const std::string& address,
                                      std::vector<std::string> more = {}) {
        std::vector<std::string> args{"download", "--port", port,        "--address",
                                      address,    "--db",   db_.string()};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    test::TempDir dir_;
    std::filesystem::path db_ = dir_.file("log.db");
};

TEST_F(CliInputFaults, DownloadPortAndAddressText) {
    const auto trace = dir_.file("trace.txt");
    test::SimProcess sim({"--generate", "3", "--trace", trace.string()});
    const std::string bad_port(download::kMsgInvalidPort);
    const std::string bad_address(download::kMsgInvalidAddress);
    for (const std::string& port :
         std::vector<std::string>{"", " ", "0", "256", "-1", "+1", "x", "COM1", "1e2", "0x10",
                                  "dev/ttyS0", std::string(40, '9')}) {
        expect_refused({download(port, "1"), 2, bad_port, true});
    }
    for (const std::string& address :
         std::vector<std::string>{"", " ", "0", "248", "-1", "+1", "-0", "x", "1.5", "1e2", "0x10",
                                  std::string(40, '9'), "\xD9\xA1"}) {
        expect_refused({download(sim.pty(), address), 2, bad_address, true});
    }
    EXPECT_TRUE(sim::read_trace(trace).empty()) << "a bad address must make no read";
}

TEST_F(CliInputFaults, DownloadSerialOptions) {
    const std::string port = dir_.file("no-port").string();
    // Each names the option and what it takes, not only the value refused.
    // A rate the line cannot run would be run at 9600 by the library, without a word.
    for (const std::string baud :
         {"0", "-1", "x", "1e3", "", "1234", "9601", "4000001", "99999999999", " 9600"}) {
        expect_refused({download(port, "1", {"--baud", baud}), 2,
                        "--baud: Value " + baud + " is not a standard baud rate (50, 75,", false});
    }
    for (const std::string parity : {"X", "n", "NE", ""}) {
        expect_refused({download(port, "1", {"--parity", parity}), 2,
                        "--parity: " + parity + " not in {N,E,O}", false});
    }
    for (const std::string timeout : {"0", "60001", "-5", "x", "1e3", ""}) {
        expect_refused({download(port, "1", {"--timeout-ms", timeout}), 2,
                        "--timeout-ms: Value " + timeout + " not in range 1 to 60000", false});
    }
    expect_refused({download(port, "1", {"--whole=x"}), 2, "--whole", false});
    expect_refused({download(port, "1", {"--frobnicate"}), 2, "frobnicate", false});
    expect_refused({{"download", "--address", "1", "--db", db_.string()}, 2, "--port", false});
}

TEST_F(CliInputFaults, DatabaseAndOutputPaths) {
    const std::string port = dir_.file("no-port").string();
    const auto not_a_database = dir_.file("notes.txt");
    std::ofstream(not_a_database) << "not a database\n";
    const std::string missing = dir_.file("absent.db").string();

    // An empty file name is a script's unset variable, not the default file.
    expect_refused({{"download", "--port", port, "--address", "1", "--db", ""},
                    2,
                    "--db: empty file name",
                    false});
    expect_refused({{"export", "--db", ""}, 2, "--db: empty file name", false});
    expect_refused({{"export", "--db", db_.string(), "-o", ""}, 2, "empty file name", false});
    expect_refused({{"dump", "--port", port, "--address", "1", "-o", ""}, 2, "empty", false});
    expect_refused({{"init-db", ""}, 2, "empty file name", false});

    // Said as a database that could not be opened, with the engine's own reason: nothing was
    // ever to be written.
    const std::string cannot_open(download::kMsgDatabaseOpenFailed);
    for (const auto& [db, reason] : std::vector<std::pair<std::string, std::string>>{
             {missing, "unable to open database file"},
             {dir_.path().string(), "unable to open database file"},
             {not_a_database.string(), "file is not a database"}}) {
        expect_refused({{"download", "--port", port, "--address", "1", "--db", db},
                        4,
                        cannot_open + reason,
                        true});
    }
    for (const std::string& db : {missing, dir_.path().string(), not_a_database.string()}) {
        const auto result = run_cli(dir_, {"export", "--db", db});
        EXPECT_EQ(result.exit_code, 4) << db;
        EXPECT_TRUE(contains(result.err, db)) << "name the file: " << result.err;
        EXPECT_TRUE(result.out.empty()) << "no CSV header without a table: " << result.out;
    }
    EXPECT_FALSE(std::filesystem::exists(missing)) << "export must not create the file";
    expect_refused({{"init-db", db_.string()}, 4, "already exists", false});
    expect_refused({{"init-db", dir_.file("no/such/dir/x.db").string()}, 4, "unable", false});
}

TEST_F(CliInputFaults, FailedExportLeavesNoFileBehind) {
    const auto folder = dir_.file("out");
    std::filesystem::create_directory(folder);
    const auto not_a_database = dir_.file("notes.txt");
    std::ofstream(not_a_database) << "not a database\n";
    const auto csv = dir_.file("log.csv");

    expect_refused({{"export", "--db", db_.string(), "-o", folder.string()}, 4, "out", false});
    expect_refused({{"export", "--db", not_a_database.string(), "-o", csv.string()},
                    4,
                    "not a database",
                    false});
    expect_refused({{"export", "--db", db_.string(), "-o", dir_.file("none/log.csv").string()},
                    4,
                    "cannot write",
                    false});
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_FALSE(std::filesystem::exists(csv));
    for (const auto& entry : std::filesystem::directory_iterator(dir_.path())) {
        EXPECT_NE(entry.path().extension(), ".partial") << entry.path();
    }
}

TEST_F(CliInputFaults, CommandLineShape) {
    expect_refused({{}, 2, "subcommand", false});
    expect_refused({{"frob"}, 2, "", false});
    expect_refused({{"download", "export"}, 2, "", false});
    const auto help = run_cli(dir_, {"--help"});
    EXPECT_EQ(help.exit_code, 0);
    EXPECT_TRUE(contains(help.out, "download")) << help.out;
}

} // namespace
} // namespace zklog::cli
