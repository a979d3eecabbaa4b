// A port that goes away (adapter unplugged, relay's pty closed) is opened again by path before
// the next read; a relay that only stays silent or answers badly keeps the port as it is.
#include "tests/device/sim_link_fixture.h"

#include <string>
#include <utility>
#include <vector>

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
    // Each fault spoils every request one read makes: one for silence and the exception
    // reply, three (the read and its two retries) for a reply garbled on the line.
    const std::vector<std::pair<std::string, int>> faults = {
        {"--silent-request", 1},        {"--corrupt-request", 3},      {"--exception-request", 1},
        {"--wrong-address-request", 3}, {"--truncate-request", 3},     {"--noise-request", 3},
        {"--extra-word-request", 3},    {"--missing-word-request", 3},
    };
    std::vector<std::string> options;
    int request = 1;
    for (const auto& [option, requests] : faults) {
        for (int i = 0; i < requests; ++i) {
            options.insert(options.end(), {option, std::to_string(++request)});
        }
    }
    start(options);
    expect_words(1024, 1);
    std::filesystem::remove(port_);
    for (std::size_t read = 0; read < faults.size(); ++read) {
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
