// zklog-sim's relay options as a client meets them: a register limit, a turnaround, and more
// relays with their own logs on the same line.
#include "device/device_link.h"
#include "sim/record_generator.h"
#include "sim/request_trace.h"
#include "tests/support/pattern_image.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <modbus/modbus.h>
#include <thread>

namespace zklog::sim {
namespace {

using device::DeviceLink;
using test::pattern_word;
using test::SimProcess;
using test::TempDir;

class SimRelayOptions : public ::testing::Test {
protected:
    std::string image_file() { return test::write_image_file(dir_, test::pattern_image()); }

    static device::SerialSettings quick_line() {
        device::SerialSettings line;
        line.response_timeout = std::chrono::milliseconds(150);
        line.await_late_replies = false;
        return line;
    }

    TempDir dir_;
};

struct LimitCase {
    int limit;
    std::uint32_t count;
    bool answered;
};

class SimRegisterLimit : public SimRelayOptions, public ::testing::WithParamInterface<LimitCase> {};

TEST_P(SimRegisterLimit, ReadsAboveTheLimitGetIllegalDataValue) {
    const auto c = GetParam();
    SimProcess sim({"--image", image_file(), "--max-registers", std::to_string(c.limit)});
    DeviceLink link(quick_line());
    ASSERT_EQ(link.open_path(sim.pty()), DeviceLink::kOpenOk);
    if (c.answered) {
        ASSERT_EQ(link.modbus_rd(1, 3000, c.count), DeviceLink::kReadOk);
        EXPECT_EQ(link.modbus_var(c.count - 1), pattern_word(3000 + c.count - 1));
    } else {
        EXPECT_EQ(link.modbus_rd(1, 3000, c.count), DeviceLink::kReadFailed);
        EXPECT_EQ(link.last_error(), EMBXILVAL);
    }
}

INSTANTIATE_TEST_SUITE_P(Limits, SimRegisterLimit,
                         ::testing::Values(LimitCase{32, 32, true}, LimitCase{32, 33, false},
                                           LimitCase{10, 10, true}, LimitCase{10, 125, false},
                                           LimitCase{125, 125, true}));

TEST_F(SimRelayOptions, OtherRelaysAnswerWithTheirOwnLogs) {
    const auto trace = dir_.file("trace");
    SimProcess sim({"--image", image_file(), "--address", "4", "--relay", "9:30", "--relay",
                    "120:7", "--trace", trace.string()});
    RelayImage expected_9;
    const auto records_9 = generate_records(expected_9, 30, 9);
    RelayImage expected_120;
    generate_records(expected_120, 7, 120);

    DeviceLink link(quick_line());
    ASSERT_EQ(link.open_path(sim.pty()), DeviceLink::kOpenOk);
    ASSERT_EQ(link.modbus_rd(9, 1024, 1), DeviceLink::kReadOk);
    EXPECT_EQ(link.modbus_var(0), expected_9.word(1024));
    ASSERT_EQ(link.modbus_rd(9, 2000, 20), DeviceLink::kReadOk);
    for (std::uint32_t i = 0; i < 20; ++i) {
        EXPECT_EQ(link.modbus_var(i), records_9.front().words.size() > i
                                          ? records_9.front().words[i]
                                          : expected_9.word(2000 + i));
    }
    ASSERT_EQ(link.modbus_rd(120, 1024, 1), DeviceLink::kReadOk);
    EXPECT_EQ(link.modbus_var(0), expected_120.word(1024));
    ASSERT_EQ(link.modbus_rd(4, 3000, 5), DeviceLink::kReadOk) << "the main relay still answers";
    EXPECT_EQ(link.modbus_var(4), pattern_word(3004));
    EXPECT_EQ(link.modbus_rd(5, 1024, 1), DeviceLink::kReadFailed) << "nobody at address 5";
    EXPECT_EQ(link.last_error(), ETIMEDOUT);
    sim.stop();

    const auto entries = read_trace(trace);
    ASSERT_EQ(entries.size(), 4u) << "every request to a relay is traced, the one to nobody not";
    EXPECT_EQ(entries[0].slave, 9);
    EXPECT_EQ(entries[3].slave, 4);
    EXPECT_EQ(entries[3].request, 1u) << "request numbers count the main relay's alone";
}

TEST_F(SimRelayOptions, ARelayOptionMustNameAnotherAddressAndACount) {
    for (const char* bad : {"9", "0:5", "248:5", "9:", ":5", "9:x", "9:5:1"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(SimProcess({"--image", image_file(), "--relay", bad}), std::runtime_error);
    }
    EXPECT_THROW(SimProcess({"--image", image_file(), "--address", "7", "--relay", "7:5"}),
                 std::runtime_error);
}

// The turnaround holds the reply back without holding up the line: a client that gives up
// early gets silence, a patient one the reply.
TEST_F(SimRelayOptions, TurnaroundDelaysTheReply) {
    SimProcess sim({"--image", image_file(), "--turnaround-ms", "400"});
    auto line = quick_line();
    line.response_timeout = std::chrono::milliseconds(50);
    DeviceLink impatient(line);
    ASSERT_EQ(impatient.open_path(sim.pty()), DeviceLink::kOpenOk);
    EXPECT_EQ(impatient.modbus_rd(1, 2000, 10), DeviceLink::kReadFailed);
    EXPECT_EQ(impatient.last_error(), ETIMEDOUT);
    impatient.close_comm();
    std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the late reply passes

    line.response_timeout = std::chrono::milliseconds(2000);
    DeviceLink patient(line);
    ASSERT_EQ(patient.open_path(sim.pty()), DeviceLink::kOpenOk);
    ASSERT_EQ(patient.modbus_rd(1, 2000, 10), DeviceLink::kReadOk);
    EXPECT_EQ(patient.modbus_var(9), pattern_word(2009));
}

} // namespace
} // namespace zklog::sim
