// tcp://HOST[:PORT] as a user types it: names, IPv4, bracketed IPv6, the default port, and the
// texts that must be refused rather than handed to the resolver.
#include "device/network_port.h"

#include <gtest/gtest.h>

namespace zklog::device {
namespace {

struct PortText {
    const char* text;
    std::optional<NetworkPort> expected;
};

void PrintTo(const PortText& c, std::ostream* out) {
    *out << '"' << c.text << '"';
}

class NetworkPortTest : public ::testing::TestWithParam<PortText> {};

TEST_P(NetworkPortTest, ParsesAsExpected) {
    const auto& c = GetParam();
    EXPECT_EQ(parse_network_port(c.text), c.expected);
    EXPECT_TRUE(is_network_port(c.text)) << "every tcp:// text is a network port, even a bad one";
    if (c.expected) {
        EXPECT_EQ(parse_network_port(to_string(*c.expected)), c.expected) << "written back";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Texts, NetworkPortTest,
    ::testing::Values(
        PortText{"tcp://gateway", NetworkPort{"gateway", 502}},
        PortText{"tcp://gw-3.station.local:1502", NetworkPort{"gw-3.station.local", 1502}},
        PortText{"  tcp://192.168.1.20:502 ", NetworkPort{"192.168.1.20", 502}},
        PortText{"tcp://[::1]", NetworkPort{"::1", 502}},
        PortText{"tcp://[fe80::1%eth0]:65535", NetworkPort{"fe80::1%eth0", 65535}},
        PortText{"tcp://", std::nullopt}, PortText{"tcp://:502", std::nullopt},
        PortText{"tcp://host:", std::nullopt}, PortText{"tcp://host:0", std::nullopt},
        PortText{"tcp://host:65536", std::nullopt}, PortText{"tcp://host:50x", std::nullopt},
        PortText{"tcp://host:502/unit", std::nullopt}, PortText{"tcp://user@host", std::nullopt},
        PortText{"tcp://::1", std::nullopt}, PortText{"tcp://[::1", std::nullopt},
        PortText{"tcp://[::1]x", std::nullopt}, PortText{"tcp://[]:502", std::nullopt},
        PortText{"tcp://[host]", std::nullopt}, PortText{"tcp://ho st", std::nullopt}));

TEST(NetworkPort, SerialPortsAreNotNetworkOnes) {
    for (const char* text : {"1", "/dev/ttyUSB0", "COM3", "", "udp://host", "TCP://host"}) {
        EXPECT_FALSE(is_network_port(text)) << text;
        EXPECT_EQ(parse_network_port(text), std::nullopt) << text;
    }
}

} // namespace
} // namespace zklog::device
