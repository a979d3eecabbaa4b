// zklog-cli download, scan and dump through a Modbus TCP gateway on the loopback: zklog-sim
// --tcp with the faults of a network and a gateway, and pymodbus's own server, whose rows must
// be those of the serial download of the same memory.
#include "download/messages.h"
#include "sim/record_generator.h"
#include "sim/relay_image.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <arpa/inet.h>
#include <array>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace zklog::cli {
namespace {

using test::run_cli;

constexpr int kRecords = 40;

// Every LOG row as its column values, each with its SQLite type, so that 1 and 1.0 and "1"
// differ.
std::vector<std::vector<std::string>> table_log(const std::filesystem::path& file) {
    SQLite::Database db(file.string());
    SQLite::Statement query(db, "SELECT * FROM LOG ORDER BY rowid");
    std::vector<std::vector<std::string>> rows;
    while (query.executeStep()) {
        std::vector<std::string> row;
        for (int i = 0; i < query.getColumnCount(); ++i) {
            const auto column = query.getColumn(i);
            row.push_back(std::to_string(column.getType()) + ":" + column.getString());
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

// A loopback port that takes no more connections: listening with its backlog full, so that
// the kernel drops every further attempt unanswered. The holder keeps it so.
class FullListener {
public:
    FullListener() {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        bind(listener_, reinterpret_cast<sockaddr*>(&address), size);
        listen(listener_, 0);
        getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size);
        port_ = ntohs(address.sin_port);
        for (int& client : waiting_) {
            client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
            connect(client, reinterpret_cast<sockaddr*>(&address), size);
        }
    }
    ~FullListener() {
        for (const int client : waiting_) {
            close(client);
        }
        close(listener_);
    }
    FullListener(const FullListener&) = delete;
    FullListener& operator=(const FullListener&) = delete;
    std::string port() const { return "tcp://127.0.0.1:" + std::to_string(port_); }

private:
    int listener_ = socket(AF_INET, SOCK_STREAM, 0);
    std::array<int, 3> waiting_{};
    int port_ = 0;
};

// A loopback port nothing listens on: bound, then let go.
std::string closed_port() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    bind(s, reinterpret_cast<sockaddr*>(&address), size);
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &size);
    close(s);
    return "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
}

// The log pointer of another relay on the simulated line, whose log zklog-sim generates from its
// address (see --relay).
std::uint16_t other_relays_pointer(int address, int records) {
    sim::RelayImage image;
    sim::generate_records(image, records, static_cast<std::uint32_t>(address));
    return image.pointer();
}

class NetworkTest : public ::testing::Test {
protected:
    NetworkTest() { records_ = sim::generate_records(image_, kRecords, 42); }

    void serve(std::vector<std::string> options = {}) {
        options.insert(options.begin(),
                       {"--image", test::write_image_file(dir_, image_), "--tcp", "0"});
        sim_.reset();
        sim_.emplace(std::move(options));
    }

    test::CliResult download(const std::filesystem::path& db, std::vector<std::string> extra = {},
                             const std::string& port = {}) {
        store::create_database(db);
        std::vector<std::string> args{"download",  "--port", port.empty() ? sim_->pty() : port,
                                      "--address", "1",      "--db",
                                      db.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return run_cli(dir_, args);
    }

    // The rows saved are the first records, each field as generated.
    void expect_first_records(const std::filesystem::path& db, std::size_t at_least,
                              std::size_t at_most) {
        const auto rows = test::read_log_rows(db);
        EXPECT_GE(rows.size(), at_least);
        EXPECT_LE(rows.size(), at_most);
        for (std::size_t i = 0; i < rows.size() && i < records_.size(); ++i) {
            test::expect_row_matches(rows[i], records_[i]);
        }
    }

    test::TempDir dir_;
    sim::RelayImage image_;
    std::vector<sim::GeneratedRecord> records_;
    std::optional<test::SimProcess> sim_;
};

TEST_F(NetworkTest, DownloadsTheSameRowsAsOnTheSerialLineStandardAndFast) {
    serve();
    const auto tcp_db = dir_.file("tcp.db");
    const auto fast_db = dir_.file("fast.db");
    auto result = download(tcp_db);
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(result.last_line(), download::kMsgCompleted);
    expect_first_records(tcp_db, kRecords, kRecords);
    result = download(fast_db, {"--fast", "--whole"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;

    test::SimProcess serial({"--image", test::write_image_file(dir_, image_, "serial.bin")});
    const auto serial_db = dir_.file("serial.db");
    store::create_database(serial_db);
    result = run_cli(dir_, {"download", "--port", serial.pty(), "--address", "1", "--db",
                            serial_db.string(), "--whole"});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    EXPECT_EQ(table_log(fast_db), table_log(serial_db));
}

TEST_F(NetworkTest, DumpOverTheNetworkIsTheRelaysMemory) {
    serve();
    const auto file = dir_.file("dump.bin");
    const auto result =
        run_cli(dir_, {"dump", "--port", sim_->pty(), "--address", "1", "-o", file.string()});
    ASSERT_EQ(result.exit_code, 0) << result.out << result.err;
    const auto dumped = sim::RelayImage::load(file);
    EXPECT_EQ(dumped.pointer(), image_.pointer());
    for (std::uint32_t reg = 2000; reg <= 18144; ++reg) {
        ASSERT_EQ(dumped.word(reg), image_.word(reg)) << "register " << reg;
    }
}

TEST_F(NetworkTest, ScanThroughAGatewayFindsTheRelaysAndPassesTheEmptyAddresses) {
    serve({"--gateway", "--relay", "3:5", "--relay", "6:2"});
    // A timeout so long that waiting it out at the five empty addresses would outlast the
    // test's own: the gateway's 0x0B moves the scan on instead.
    const auto result =
        run_cli(dir_, {"scan", "--port", sim_->pty(), "--to", "8", "--timeout-ms", "60000"});
    ASSERT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "1 " + std::to_string(image_.pointer()) + "\n3 " +
                              std::to_string(other_relays_pointer(3, 5)) + "\n6 " +
                              std::to_string(other_relays_pointer(6, 2)) + "\n");
    EXPECT_EQ(result.err, "") << "an address the gateway reports silent is no exception to tell";
}

TEST_F(NetworkTest, SerialSettingsAndBadAddressesAreRefused) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"download", "--port", "tcp://127.0.0.1", "--address", "1", "--baud", "19200"},
             {"download", "--port", "tcp://127.0.0.1", "--address", "1", "--parity", "E"},
             {"scan", "--port", "tcp://[::1]:1502", "--baud", "9600"}}) {
        const auto result = run_cli(dir_, args);
        EXPECT_EQ(result.exit_code, 2) << args[4];
        EXPECT_NE(result.err.find(args[args.size() - 2]), std::string::npos) << result.err;
        EXPECT_EQ(result.out, "");
    }
    const auto db = dir_.file("log.db");
    store::create_database(db);
    for (const char* port : {"tcp://", "tcp://host:99999", "tcp://::1"}) {
        const auto result =
            run_cli(dir_, {"download", "--port", port, "--address", "1", "--db", db.string()});
        EXPECT_EQ(result.exit_code, 2) << port;
        EXPECT_EQ(result.last_line(), download::kMsgInvalidPort) << port;
    }
}

TEST_F(NetworkTest, ARefusedConnectionIsAPortThatCannotBeOpened) {
    const auto port = closed_port();
    const auto db = dir_.file("log.db");
    store::create_database(db);
    for (const char* command : {"download", "dump"}) {
        std::vector<std::string> args{command, "--port", port, "--address", "1"};
        if (std::string(command) == "dump") {
            args.insert(args.end(), {"-o", dir_.file("dump.bin").string()});
        } else {
            args.insert(args.end(), {"--db", db.string()});
        }
        const auto result = run_cli(dir_, args);
        EXPECT_EQ(result.exit_code, 1) << command;
        EXPECT_EQ(result.last_line(), download::kMsgPortOpenFailed) << command;
        EXPECT_NE(result.err.find("Connection refused"), std::string::npos) << result.err;
        EXPECT_EQ(result.err.find("portas seriais"), std::string::npos)
            << "no serial ports listed for a network port";
    }
}

TEST_F(NetworkTest, AConnectionNotMadeWithinTheTimeoutIsAPortThatCannotBeOpened) {
    const FullListener full;
    const auto db = dir_.file("log.db");
    store::create_database(db);
    const auto result = run_cli(dir_, {"download", "--port", full.port(), "--address", "1", "--db",
                                       db.string(), "--timeout-ms", "300"});
    EXPECT_EQ(result.exit_code, 1);
    EXPECT_EQ(result.last_line(), download::kMsgPortOpenFailed);
    EXPECT_NE(result.err.find("timed out"), std::string::npos) << result.err;
}

// What a network and a gateway do to a download, each through a real socket.
struct NetworkFault {
    const char* name;
    std::vector<std::string> sim_options;
    int exit_code;
    std::string_view last_line;
    std::size_t min_rows;
    std::size_t max_rows;
    std::string stderr_has{};
    std::string address = "1";
    bool fast = false;
    bool fault_spent = true; // the next download meets no fault
};

void PrintTo(const NetworkFault& c, std::ostream* out) {
    *out << c.name;
}

class NetworkFaultTest : public NetworkTest, public ::testing::WithParamInterface<NetworkFault> {};

TEST_P(NetworkFaultTest, EndsAsOnTheSerialLine) {
    const auto& c = GetParam();
    serve(c.sim_options);
    const auto db = dir_.file("log.db");
    std::vector<std::string> extra{"--timeout-ms", "300"};
    if (c.fast) {
        extra.emplace_back("--fast");
    }
    store::create_database(db);
    const auto result = run_cli(dir_, [&] {
        std::vector<std::string> args{"download", "--port", sim_->pty(), "--address",
                                      c.address,  "--db",   db.string()};
        args.insert(args.end(), extra.begin(), extra.end());
        return args;
    }());
    EXPECT_EQ(result.exit_code, c.exit_code) << result.out << result.err;
    EXPECT_EQ(result.last_line(), c.last_line);
    if (!c.stderr_has.empty()) {
        EXPECT_NE(result.err.find(c.stderr_has), std::string::npos) << result.err;
    }
    expect_first_records(db, c.min_rows, c.max_rows);
    if (c.exit_code != 0 && c.fault_spent) {
        // The simulator's faults are spent: the next download connects again and completes.
        const auto again = download(dir_.file("again.db"), extra);
        EXPECT_EQ(again.exit_code, 0) << again.out << again.err;
        expect_first_records(dir_.file("again.db"), kRecords, kRecords);
    }
}

// Request 1 is the log pointer; the standard download reads each record's base block, then its
// later blocks, so the 40 records take well over 40 requests.
INSTANTIATE_TEST_SUITE_P(
    Faults, NetworkFaultTest,
    ::testing::Values(
        NetworkFault{"LateReplyDroppedByItsTransactionId",
                     {"--late-request", "3", "--late-request", "9", "--late-ms", "450"},
                     0,
                     download::kMsgCompleted,
                     kRecords,
                     kRecords},
        NetworkFault{"LateRepliesFast",
                     {"--late-request", "2", "--late-request", "3", "--late-ms", "450"},
                     0,
                     download::kMsgCompleted,
                     kRecords,
                     kRecords,
                     {},
                     "1",
                     true},
        NetworkFault{"SilentRequestAskedAgain",
                     {"--silent-request", "4"},
                     0,
                     download::kMsgCompleted,
                     kRecords,
                     kRecords},
        NetworkFault{"RepliesGarbledOnTheWay",
                     {"--wrong-address-request", "5", "--extra-word-request", "7",
                      "--missing-word-request", "9"},
                     0,
                     download::kMsgCompleted,
                     kRecords,
                     kRecords},
        NetworkFault{"RelaysExceptionEndsTheDownload",
                     {"--exception-request", "12"},
                     1,
                     download::kMsgReadFailed,
                     1,
                     kRecords - 1},
        NetworkFault{"ConnectionDroppedMidDownload",
                     {"--hangup-after", "15"},
                     1,
                     download::kMsgReadFailed,
                     1,
                     kRecords - 1},
        NetworkFault{"ConnectionDroppedHalfwayThroughAReply",
                     {"--truncate-request", "11"},
                     1,
                     download::kMsgReadFailed,
                     1,
                     kRecords - 1},
        NetworkFault{"GatewayTargetSilentOnceIsAskedAgain",
                     {"--gateway", "--silent-request", "6"},
                     0,
                     download::kMsgCompleted,
                     kRecords,
                     kRecords},
        NetworkFault{"GatewayTargetSilentForGood",
                     {"--gateway", "--silent-after", "20"},
                     1,
                     download::kMsgReadFailed,
                     1,
                     kRecords - 1,
                     {},
                     "1",
                     false,
                     false},
        NetworkFault{"GatewayPathUnavailable",
                     {"--gateway", "--path-unavailable-request", "10"},
                     1,
                     download::kMsgReadFailed,
                     1,
                     kRecords - 1,
                     "0x0A (Gateway path unavailable)"},
        NetworkFault{"NoRelayAtTheAddress",
                     {"--gateway"},
                     1,
                     download::kMsgReadFailed,
                     0,
                     0,
                     {},
                     "9",
                     false,
                     false}),
    [](const ::testing::TestParamInfo<NetworkFault>& info) { return info.param.name; });

// pymodbus's own Modbus TCP server serving the same memory: a server no one here wrote.
class PymodbusTest : public NetworkTest {
protected:
    void serve_with_pymodbus() {
        pymodbus_.emplace(test::SimProcess::Program{
            {"/usr/bin/python3", ZKLOG_PYMODBUS_SERVER, test::write_image_file(dir_, image_)}});
    }
    std::optional<test::SimProcess> pymodbus_;
};

TEST_F(PymodbusTest, DownloadsAndScansTheRowsOfTheSerialDownload) {
    serve_with_pymodbus();
    test::SimProcess serial({"--image", test::write_image_file(dir_, image_, "serial.bin")});
    for (const bool fast : {false, true}) {
        const std::string name = fast ? "fast" : "standard";
        const auto serial_db = dir_.file(name + "-serial.db");
        store::create_database(serial_db);
        std::vector<std::string> args{"download", "--port", serial.pty(),      "--address",
                                      "1",        "--db",   serial_db.string()};
        if (fast) {
            args.emplace_back("--fast");
        }
        auto result = run_cli(dir_, args);
        ASSERT_EQ(result.exit_code, 0) << result.out << result.err;

        const auto tcp_db = dir_.file(name + "-pymodbus.db");
        result =
            download(tcp_db, fast ? std::vector<std::string>{"--fast"} : std::vector<std::string>{},
                     pymodbus_->pty());
        ASSERT_EQ(result.exit_code, 0) << name << ' ' << result.out << result.err;
        EXPECT_EQ(result.last_line(), download::kMsgCompleted);
        EXPECT_EQ(table_log(tcp_db), table_log(serial_db)) << name;
        EXPECT_EQ(table_log(tcp_db).size(), std::size_t{kRecords}) << name;
    }
    // pymodbus leaves a unit it does not serve unanswered: silence, then the next address.
    const auto result = run_cli(dir_, {"scan", "--port", pymodbus_->pty(), "--to", "2"});
    EXPECT_EQ(result.exit_code, 0) << result.err;
    EXPECT_EQ(result.out, "1 " + std::to_string(image_.pointer()) + "\n");
}

} // namespace
} // namespace zklog::cli
