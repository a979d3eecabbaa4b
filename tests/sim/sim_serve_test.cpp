// zklog-sim serving on its pty: lifetime, link, trace and pacing, seen from a real client.
#include "device/device_link.h"
#include "sim/request_trace.h"
#include "tests/support/pattern_image.h"
#include "tests/support/sim_process.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

namespace zklog::sim {
namespace {

using device::DeviceLink;
using test::pattern_word;
using test::SimProcess;
using test::TempDir;

class SimServe : public ::testing::Test {
protected:
    std::string image_file() { return test::write_image_file(dir_, test::pattern_image()); }

    void expect_read(DeviceLink& link, std::uint32_t first, std::uint32_t count) {
        ASSERT_EQ(link.modbus_rd(1, first, count), DeviceLink::kReadOk)
            << "read " << count << " at " << first;
        for (std::uint32_t i = 0; i < count; ++i) {
            EXPECT_EQ(link.modbus_var(i), pattern_word(first + i));
        }
    }

    TempDir dir_;
};

TEST_F(SimServe, PrintsACharacterDeviceAndExitsZeroOnSigterm) {
    SimProcess sim({"--image", image_file()});
    struct stat st {};
    ASSERT_EQ(stat(sim.pty().c_str(), &st), 0) << sim.pty();
    EXPECT_TRUE(S_ISCHR(st.st_mode));
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(SimServe, LinkPointsAtThePtyAndGoesAwayAtExit) {
    const auto link = dir_.file("COM5");
    std::filesystem::create_symlink("/nonexistent", link); // a stale link from an earlier run
    SimProcess sim({"--image", image_file(), "--link", link.string()});
    EXPECT_EQ(std::filesystem::read_symlink(link), sim.pty());
    DeviceLink client;
    ASSERT_EQ(client.open_path(link), DeviceLink::kOpenOk);
    expect_read(client, 2000, 10);
    client.close_comm();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link));
}

TEST_F(SimServe, RefusesToReplaceARegularFileWithTheLink) {
    const auto link = dir_.file("COM6");
    {
        std::FILE* f = std::fopen(link.c_str(), "w");
        std::fclose(f);
    }
    EXPECT_THROW(SimProcess({"--image", image_file(), "--link", link.string()}),
                 std::runtime_error);
    EXPECT_TRUE(std::filesystem::is_regular_file(link));
}

TEST_F(SimServe, TraceListsEachRequestForOurAddress) {
    const auto trace = dir_.file("trace.txt");
    SimProcess sim({"--image", image_file(), "--trace", trace.string(), "--address", "3"});
    DeviceLink client;
    ASSERT_EQ(client.open_path(sim.pty()), DeviceLink::kOpenOk);
    ASSERT_EQ(client.modbus_rd(3, 1024, 1), DeviceLink::kReadOk);
    EXPECT_NE(client.modbus_rd(4, 2000, 10), DeviceLink::kReadOk); // another slave
    ASSERT_EQ(client.modbus_rd(3, 2000, 10), DeviceLink::kReadOk);
    ASSERT_EQ(client.modbus_rd(3, 2010, 125), DeviceLink::kReadOk);
    const std::vector<TraceEntry> expected{
        {1, 3, 3, 1024, 1}, {2, 3, 3, 2000, 10}, {3, 3, 3, 2010, 125}};
    EXPECT_EQ(read_trace(trace), expected);
}

TEST_F(SimServe, ClientMayCloseAndReopen) {
    SimProcess sim({"--image", image_file()});
    for (int round = 0; round < 3; ++round) {
        DeviceLink client;
        ASSERT_EQ(client.open_path(sim.pty()), DeviceLink::kOpenOk);
        expect_read(client, 2000 + static_cast<std::uint32_t>(round), 8);
    }
    EXPECT_EQ(sim.stop(), 0);
}

TEST_F(SimServe, PacedRepliesStillFitTheTimeoutAt9600) {
    SimProcess sim({"--image", image_file(), "--baud", "9600"});
    DeviceLink client;
    ASSERT_EQ(client.open_path(sim.pty()), DeviceLink::kOpenOk);
    expect_read(client, 1024, 1);
    expect_read(client, 2000, 125);
}

TEST_F(SimServe, PacingGrowsWithTheReply) {
    // At 1200 baud one word comes back in about 0.2 s, 125 words take over 2 s: longer than the
    // client waits.
    SimProcess sim({"--image", image_file(), "--baud", "1200"});
    DeviceLink client;
    ASSERT_EQ(client.open_path(sim.pty()), DeviceLink::kOpenOk);
    expect_read(client, 1024, 1);
    EXPECT_NE(client.modbus_rd(1, 2000, 125), DeviceLink::kReadOk);
}

} // namespace
} // namespace zklog::sim
