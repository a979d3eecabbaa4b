#include "device/word_ops.h"

#include <gtest/gtest.h>
#include <initializer_list>

namespace zklog::device {
namespace {

TEST(WordOps, HighAndLowSplitTheWord) {
    EXPECT_EQ(high(0x1234), 0x12u);
    EXPECT_EQ(low(0x1234), 0x34u);
    EXPECT_EQ(high(0xFF00), 0xFFu);
    EXPECT_EQ(low(0xFF00), 0x00u);
    EXPECT_EQ(high(0x12345678), 0x56u); // only the low 16 bits are a register word
    EXPECT_EQ(low(0x123456FF), 0xFFu);
}

TEST(WordOps, BitTestReadsEachOfTheSixteenBits) {
    const std::uint32_t value = 0x8005;
    EXPECT_EQ(bit_test(value, 0), 1u);
    EXPECT_EQ(bit_test(value, 1), 0u);
    EXPECT_EQ(bit_test(value, 2), 1u);
    EXPECT_EQ(bit_test(value, 14), 0u);
    EXPECT_EQ(bit_test(value, 15), 1u);
    EXPECT_EQ(bit_test(0x10000, 16), 0u);
    EXPECT_EQ(bit_test(0xFFFFFFFF, 20), 0u);
}

std::uint32_t crc_of_words(std::initializer_list<std::uint32_t> words) {
    std::uint32_t crc = 0xFFFF;
    for (const auto w : words) {
        crc = crc_calc(crc, w);
    }
    return crc;
}

// Expected values are CRC-16/MODBUS of the ASCII strings, computed byte by byte elsewhere.
// (The well-known check value 0x4B37 is for "123456789", nine bytes: not a whole number of
// words.)
TEST(WordOps, CrcMatchesModbusCrcOfTheBytes) {
    EXPECT_EQ(crc_of_words({0x3132, 0x3334, 0x3536, 0x3738}), 0x37DDu);         // "12345678"
    EXPECT_EQ(crc_of_words({0x3132, 0x3334, 0x3536, 0x3738, 0x3930}), 0xC20Au); // "1234567890"
}

TEST(WordOps, CrcTakesTheHighByteFirst) {
    EXPECT_EQ(crc_calc(0xFFFF, 0x3132), 0xF595u); // "12"
    EXPECT_EQ(crc_calc(0xFFFF, 0x3231), 0x04D5u); // "21"
}

TEST(WordOps, CrcRunningValueIsSixteenBits) {
    for (std::uint32_t w : {0u, 0xFFFFu, 0x8000u, 0x1234u}) {
        EXPECT_LE(crc_calc(0xFFFF, w), 0xFFFFu);
        EXPECT_EQ(crc_calc(0x1FFFF, w), crc_calc(0xFFFF, w));
    }
}

} // namespace
} // namespace zklog::device
