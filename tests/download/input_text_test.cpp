#include "download/input_text.h"

#include <gtest/gtest.h>
#include <limits>
#include <string>

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
    EXPECT_EQ(std::get<std::string>(*parse_port(R"(\\.\COM12)")), R"(\\.\COM12)");
    for (const char* bad : {"", "0", "256", "COM1", "a", "-2"}) {
        EXPECT_FALSE(parse_port(bad)) << '"' << bad << '"';
    }
}

// The window's "Porta COM:" stays a serial port; the command line may name a gateway.
TEST(InputText, NetworkPortsOnlyWhereAllowed) {
    EXPECT_FALSE(parse_port("tcp://10.0.0.5"));
    const auto gateway = parse_port(" tcp://10.0.0.5:1502 ", true);
    ASSERT_TRUE(gateway);
    EXPECT_EQ(std::get<device::NetworkPort>(*gateway), (device::NetworkPort{"10.0.0.5", 1502}));
    EXPECT_FALSE(parse_port("tcp://10.0.0.5:x", true)) << "a bad gateway is no device path";
    EXPECT_EQ(std::get<std::int32_t>(*parse_port("3", true)), 3);
    EXPECT_EQ(std::get<std::string>(*parse_port("/dev/ttyUSB0", true)), "/dev/ttyUSB0");
}

using namespace std::string_view_literals;

// Only spaces and tabs count as blanks around the number; other white space is a fault.
TEST(InputTextFaults, BlanksAroundTheNumber) {
    for (const auto text : {" 1"sv, "1 "sv, "\t1"sv, "1\t"sv, " \t 1 \t "sv}) {
        EXPECT_EQ(parse_device_address(text), 1u) << '"' << text << '"';
        EXPECT_EQ(std::get<std::int32_t>(*parse_port(text)), 1) << '"' << text << '"';
    }
    for (const auto text : {"1 2"sv, "\n1"sv, "1\n"sv, "1\r"sv, "\v1"sv, "\f1"sv,
                            "\xC2\xA0"
                            "1"sv}) {
        EXPECT_FALSE(parse_device_address(text)) << '"' << text << '"';
        EXPECT_FALSE(parse_port(text)) << '"' << text << '"';
    }
}

// A plain decimal number only: no sign, no other base, no fraction or exponent.
TEST(InputTextFaults, SignsBasesAndNotations) {
    for (const auto text : {"+1"sv, "-1"sv, "-0"sv, "+0"sv, "- 1"sv, "1e2"sv, "1E0"sv, "0x10"sv,
                            "0X1"sv, "0b1"sv, "1.0"sv, "1,0"sv, "1."sv, ".5"sv, "1_0"sv, "1'0"sv}) {
        EXPECT_FALSE(parse_device_address(text)) << '"' << text << '"';
        EXPECT_FALSE(parse_port(text)) << '"' << text << '"';
    }
    // Leading zeros are still decimal, not octal.
    EXPECT_EQ(parse_device_address("010"), 10u);
    EXPECT_EQ(std::get<std::int32_t>(*parse_port("08")), 8);
}

TEST(InputTextFaults, RangeEdges) {
    EXPECT_FALSE(parse_device_address("0"));
    EXPECT_FALSE(parse_device_address("00"));
    EXPECT_EQ(parse_device_address("99"), 99u);
    EXPECT_FALSE(parse_device_address("248"));
    EXPECT_FALSE(parse_port("0"));
    EXPECT_FALSE(parse_port("256"));
    EXPECT_FALSE(parse_whole_number("4294967297", 1, 247)) << "must not wrap to 1";
    EXPECT_FALSE(parse_whole_number("18446744073709551617", 1, 247)) << "must not wrap to 1";
}

TEST(InputTextFaults, VeryLongDigitStrings) {
    const std::string zeros(300, '0');
    EXPECT_EQ(parse_device_address(zeros + "1"), 1u) << "leading zeros do not change the number";
    EXPECT_EQ(std::get<std::int32_t>(*parse_port(zeros + "255")), 255);
    EXPECT_FALSE(parse_device_address(zeros));
    for (const std::string& huge :
         {std::string(19, '9'), std::string(20, '9'), std::string(5000, '9'), "1" + zeros}) {
        EXPECT_FALSE(parse_device_address(huge)) << huge.size() << " digits";
        EXPECT_FALSE(parse_port(huge)) << huge.size() << " digits";
        EXPECT_FALSE(parse_whole_number(huge, 1, std::numeric_limits<std::int64_t>::max()))
            << huge.size() << " digits";
    }
    EXPECT_EQ(
        parse_whole_number("9223372036854775807", 0, std::numeric_limits<std::int64_t>::max()),
        std::numeric_limits<std::int64_t>::max());
}

TEST(InputTextFaults, EmbeddedNulEndsNothing) {
    for (const auto text : {"1\0"sv,
                            "\0"
                            "1"sv,
                            "1\0"
                            "2"sv,
                            "\0"sv}) {
        EXPECT_FALSE(parse_device_address(text)) << text.size() << " bytes";
        EXPECT_FALSE(parse_port(text)) << text.size() << " bytes";
    }
}

TEST(InputTextFaults, DigitsOfOtherScripts) {
    // Arabic-Indic one, fullwidth one, Devanagari one, superscript one (UTF-8).
    for (const auto text : {"\xD9\xA1"sv, "\xEF\xBC\x91"sv, "\xE0\xA5\xA7"sv, "\xC2\xB9"sv}) {
        EXPECT_FALSE(parse_device_address(text));
        EXPECT_FALSE(parse_port(text));
    }
}

TEST(InputTextFaults, PortPathsAreKeptAsGiven) {
    EXPECT_EQ(std::get<std::string>(*parse_port("  /dev/ttyS0\t")), "/dev/ttyS0");
    EXPECT_EQ(std::get<std::string>(*parse_port("/dev/my port")), "/dev/my port");
    // Only an absolute path: a relative one would depend on where the program was started.
    for (const auto text : {"dev/ttyS0"sv, "./COM1"sv, "~/COM1"sv, "COM1"sv}) {
        EXPECT_FALSE(parse_port(text)) << text;
    }
}

} // namespace
} // namespace zklog::download
