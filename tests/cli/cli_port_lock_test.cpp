// One program per port: while zklog-cli holds a port, a second zklog-cli, or any program that
// locks serial ports the usual Linux way, is refused at once, and the first download finishes
// with every row.
#include "download/messages.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "store/log_database.h"
#include "tests/cli/cli_process.h"
#include "tests/download/generated_rows.h"
#include "tests/support/sim_process.h"

#include <chrono>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

namespace zklog::cli {
namespace {

using test::CliChild;
using test::run_cli;

class CliPortLock : public ::testing::TestWithParam<const char*> {
protected:
    static constexpr int kRecords = 60;

    CliPortLock() {
        store::create_database(db_);
        records_ = sim::generate_records(image_, kRecords, 11);
    }

    // Paced like a 9600 baud line, so that the first download is still reading when the second
    // program comes.
    void serve() {
        sim_.emplace(std::vector<std::string>{"--image", test::write_image_file(dir_, image_),
                                              "--baud", "9600", "--trace", trace_.string()});
    }

    std::vector<std::string> download(const std::filesystem::path& db) const {
        return {"download", "--port", sim_->pty(), "--address", "1", "--db", db.string()};
    }

    // What a second program of ours does on the port while the first holds it.
    std::vector<std::string> second_command() const {
        const std::string command = GetParam();
        if (command == "dump") {
            return {"dump",
                    "--port",
                    sim_->pty(),
                    "--address",
                    "1",
                    "-o",
                    dir_.file("dump.bin").string()};
        }
        const auto other_db = dir_.file("other.db");
        store::create_database(other_db);
        return download(other_db);
    }

    void wait_for_requests(std::size_t count) const {
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (sim::read_trace(trace_).size() < count &&
               std::chrono::steady_clock::now() < give_up) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    test::TempDir dir_;
    std::filesystem::path db_ = dir_.file("log.db");
    std::filesystem::path trace_ = dir_.file("trace.txt");
    sim::RelayImage image_;
    std::vector<sim::GeneratedRecord> records_;
    std::optional<test::SimProcess> sim_;
};

TEST_P(CliPortLock, SecondProgramIsRefusedAndTheFirstDownloadIsWhole) {
    serve();
    CliChild first(dir_, download(db_), "first");
    wait_for_requests(5);
    const auto second = run_cli(dir_, second_command());
    EXPECT_EQ(second.exit_code, 1) << second.out << second.err;
    EXPECT_EQ(second.last_line(), download::kMsgPortOpenFailed);

    const auto done = first.wait();
    EXPECT_EQ(done.exit_code, 0) << done.out << done.err;
    EXPECT_EQ(done.last_line(), download::kMsgCompleted);
    const auto rows = test::read_log_rows(db_);
    ASSERT_EQ(rows.size(), records_.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        test::expect_row_matches(rows[i], records_[i]);
    }
    // Every read the relay saw came from the first download: each record's reads once.
    std::size_t reads = 1;
    for (const auto& record : records_) {
        reads += 2 + ((record.maps & sim::kMapZkb) != 0 ? 1 : 0);
    }
    EXPECT_EQ(sim::read_trace(trace_).size(), reads);
}

INSTANTIATE_TEST_SUITE_P(CliPortLock, CliPortLock, ::testing::Values("download", "dump"));

// pyserial's exclusive=True, picocom and alike take an exclusive flock on the port.
class OtherProgram {
public:
    explicit OtherProgram(const std::string& port)
        : fd_(open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK)) {}
    ~OtherProgram() { quit(); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;

    bool lock() const { return fd_ != -1 && flock(fd_, LOCK_EX | LOCK_NB) == 0; }
    void quit() {
        if (fd_ != -1) {
            close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

TEST(CliPortLockByOthers, PortLockedByAnotherProgramIsRefusedWithoutARequest) {
    test::TempDir dir;
    const auto db = dir.file("log.db");
    store::create_database(db);
    const auto trace = dir.file("trace.txt");
    test::SimProcess sim({"--generate", "3", "--trace", trace.string()});
    const std::vector<std::string> args{"download", "--port", sim.pty(),  "--address",
                                        "1",        "--db",   db.string()};

    OtherProgram other(sim.pty());
    ASSERT_TRUE(other.lock());
    const auto refused = run_cli(dir, args);
    EXPECT_EQ(refused.exit_code, 1);
    EXPECT_EQ(refused.last_line(), download::kMsgPortOpenFailed);
    EXPECT_TRUE(sim::read_trace(trace).empty()) << "nothing may be sent on a port not ours";

    other.quit();
    const auto done = run_cli(dir, args);
    EXPECT_EQ(done.exit_code, 0) << done.out << done.err;
    EXPECT_EQ(done.last_line(), download::kMsgCompleted);
}

} // namespace
} // namespace zklog::cli
