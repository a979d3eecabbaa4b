#include "download/input_text.h"

#include <gtest/gtest.h>

namespace zklog::download {
namespace {

TEST(InputText, DeviceAddressIsAWholeNumberFrom1To247) {
    EXPECT_EQ(parse_device_address("1"), 1u);
    EXPECT_EQ(parse_device_address(" 17 "), 17u);
    EXPECT_EQ(parse_device_address("247"), 247u);
    for (const char* bad : {"", " ", "0", "248", "-1", "1.5", "x", "1x", "+3", "99999999999999"}) {
        EXPECT_FALSE(parse_device_address(bad)) << '"' << bad << '"';
    }
}

TEST(InputText, PortIsANumberFrom1To255OrADevicePath) {
    EXPECT_EQ(std::get<std::int32_t>(*parse_port("1")), 1);
    EXPECT_EQ(std::get<std::int32_t>(*parse_port("255")), 255);
    EXPECT_EQ(std::get<std::string>(*parse_port("/dev/ttyUSB0")), "/dev/ttyUSB0");
    for (const char* bad : {"", "0", "256", "COM1", "a", "-2"}) {
        EXPECT_FALSE(parse_port(bad)) << '"' << bad << '"';
    }
}

} // namespace
} // namespace zklog::download
