// A port that goes away (adapter unplugged, relay's pty closed) is opened again by path before
// the next read; a relay that only stays silent or answers badly keeps the port as it is.
#include "tests/device/sim_link_fixture.h"

namespace zklog::test {
namespace {

using device::DeviceLink;

using DeviceLinkReopen = SimLinkTest;

TEST_F(DeviceLinkReopen, NextReadReachesTheRelayNowBehindTheSamePath) {
    start({"--hangup-after", "1"});
    expect_words(2000, 10);
    expect_failure(2010, 10);
    // Only the new relay answers at address 2: a word read there came through the new port.
    const auto other = start_sim({"--address", "2"});
    point_port_at(other->pty());
    expect_words(2010, 10, 2);
    expect_words(1024, 1, 2);
    EXPECT_TRUE(link_.is_open());
}

TEST_F(DeviceLinkReopen, MissingPortFailsEachReadUntilItIsBack) {
    start({"--hangup-after", "1"});
    expect_words(2000, 10);
    expect_failure(2010, 10);
    std::filesystem::remove(port_);
    for (int i = 0; i < 3; ++i) {
        expect_failure(2010, 10);
    }
    EXPECT_TRUE(link_.is_open());
    const auto other = start_sim();
    point_port_at(other->pty());
    expect_words(2010, 10);
}

// Were any of these faults taken for a lost port, the link would open its path again and find
// nothing there: the reads after them would fail.
TEST_F(DeviceLinkReopen, SilenceAndBadRepliesKeepThePort) {
    start({"--silent-request", "2", "--corrupt-request", "3", "--exception-request", "4",
           "--wrong-address-request", "5", "--truncate-request", "6", "--noise-request", "7",
           "--extra-word-request", "8", "--missing-word-request", "9"});
    expect_words(1024, 1);
    std::filesystem::remove(port_);
    for (int request = 2; request <= 9; ++request) {
        expect_failure(2000, 10);
    }
    expect_words(2000, 10);
}

TEST_F(DeviceLinkReopen, PortClosedByTheUserStaysClosed) {
    start({"--hangup-after", "1"});
    expect_words(2000, 10);
    expect_failure(2010, 10);
    EXPECT_EQ(link_.close_comm(), 1);
    EXPECT_FALSE(link_.is_open());
    const auto other = start_sim();
    point_port_at(other->pty());
    EXPECT_EQ(link_.modbus_rd(1, 2010, 10), DeviceLink::kReadFailed);
    EXPECT_FALSE(link_.is_open());
}

} // namespace
} // namespace zklog::test
