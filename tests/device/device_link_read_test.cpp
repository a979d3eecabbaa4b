#include "tests/device/sim_link_fixture.h"

#include <cerrno>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zklog::test {
namespace {

using device::DeviceLink;

using DeviceLinkRead = SimLinkTest;

TEST_F(DeviceLinkRead, ReadsReturnTheImageWords) {
    start();
    expect_words(1024, 1);
    expect_words(2000, 7);
    expect_words(2007, 8);
    expect_words(2015, 10);
    expect_words(2000, 125);
    expect_words(0, 3);
    expect_words(65535, 1);
    expect_words(65411, 125); // the last full read in the memory
}

TEST_F(DeviceLinkRead, ShorterReadAfterLongerOneHoldsOnlyItsWords) {
    start();
    expect_words(3000, 10);
    expect_words(4000, 1);
    EXPECT_EQ(link_.modbus_var(1), 0u);
    EXPECT_EQ(link_.modbus_var(125), 0u);
}

TEST_F(DeviceLinkRead, OtherSlaveAddressFailsWithinTheTimeout) {
    start({"--address", "5"});
    expect_failure(2000, 10, 1);
    expect_words(2000, 10, 5);
    expect_failure(2000, 10, 6);
    expect_words(2100, 7, 5);
}

// The request frame holds the first register in 16 bits: a read that starts past register 65535
// or runs past it would wrap around to the start of the memory and return other registers'
// words. The link refuses such reads itself (EINVAL), as it does counts and slaves that Modbus
// has not, instead of sending them; the relay's own refusal would be an exception reply.
TEST_F(DeviceLinkRead, ReadsTheLinkRefusesFailAtOnce) {
    start();
    const struct {
        std::uint32_t first;
        std::uint32_t count;
        std::uint32_t slave;
    } refused[] = {
        {65535, 2, 1},         // would end at register 0
        {65530, 10, 1},        // would end at register 3
        {65536, 1, 1},         // register 0
        {65537, 1, 1},         // register 1
        {65536 + 2000, 10, 1}, // registers 2000 to 2009
        {0xFFFFFFFF, 1, 1},    {2000, 0, 1}, {2000, 126, 1}, {2000, 10, 248},
    };
    for (const auto& read : refused) {
        SCOPED_TRACE(std::to_string(read.count) + " words at " + std::to_string(read.first) +
                     " from slave " + std::to_string(read.slave));
        expect_failure(read.first, read.count, read.slave);
        EXPECT_EQ(link_.last_error(), EINVAL);
    }
    expect_words(65526, 10); // the last ten registers
    expect_words(2000, 10);
}

TEST_F(DeviceLinkRead, ClosedLinkFailsAndCanBeReopened) {
    start();
    expect_words(2000, 8);
    EXPECT_EQ(link_.close_comm(), 1);
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(link_.close_comm(), 0);
    expect_failure(2000, 8);
    ASSERT_EQ(link_.open_path(sim_->pty()), DeviceLink::kOpenOk);
    expect_words(2008, 8);
}

// Work handed to the link runs once, with the next request that goes out, and never with a
// read refused before sending. One that throws ends its read; the next read, sent at once for
// other words of the same size, must get its own words. With a 30 ms turnaround the work runs
// while the reply is on its way, which is then owed; with none (the relay answering sooner than
// a request crosses a 9600 baud line) it runs before the request.
class WorkWhileAReplyTravels : public SimLinkTest, public ::testing::WithParamInterface<int> {};

TEST_P(WorkWhileAReplyTravels, RunsOnceAndMayFail) {
    start({"--turnaround-ms", std::to_string(GetParam())});
    int runs = 0;
    link_.while_next_reply_travels([&runs] { ++runs; });
    expect_failure(2000, 0);
    EXPECT_EQ(runs, 0);
    expect_words(2000, 10);
    expect_words(2010, 10);
    EXPECT_EQ(runs, 1);

    link_.while_next_reply_travels([] { throw std::runtime_error("disk full"); });
    EXPECT_THROW(link_.modbus_rd(1, 3000, 10), std::runtime_error);
    expect_words(3010, 10);
    expect_words(3000, 10);
}

INSTANTIATE_TEST_SUITE_P(DeviceLinkRead, WorkWhileAReplyTravels, ::testing::Values(0, 30),
                         [](const auto& info) { return std::to_string(info.param) + "ms"; });

} // namespace
} // namespace zklog::test
