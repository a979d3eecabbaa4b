#include "download/differential_block.h"
#include "download/record_checksum.h"
#include "tests/download/row_values.h"

#include <array>
#include <gtest/gtest.h>
#include <vector>

namespace zklog::download {
namespace {

using test::integer_of;
using test::real_of;

// CRC-16/MODBUS of the bytes "12345678", fed as the words 0x3132 0x3334 0x3536 0x3738.
constexpr std::uint16_t kCrcOf12345678 = 0x37DD;
constexpr std::array<std::uint16_t, 4> k12345678{0x3132, 0x3334, 0x3536, 0x3738};

TEST(RecordChecksum, StartsAtFFFFAndTakesEachWordHighByteFirst) {
    EXPECT_EQ(RecordChecksum(k12345678).value(), kCrcOf12345678);

    RecordChecksum split(std::span<const std::uint16_t>(k12345678).first(1));
    split.feed(std::span<const std::uint16_t>(k12345678).subspan(1));
    EXPECT_EQ(split.value(), kCrcOf12345678);

    const std::array<std::uint16_t, 4> swapped{0x3231, 0x3433, 0x3635, 0x3837};
    EXPECT_NE(RecordChecksum(swapped).value(), kCrcOf12345678);
}

// Known answers for ten equal words, each checksum starting anew at 0xFFFF: one record's
// checksum owes nothing to the record before it.
TEST(RecordChecksum, DependsOnlyOnTheRecordsOwnWords) {
    const std::vector<std::uint16_t> record(10, 0x1234);
    const std::vector<std::uint16_t> other(10, 0xABCD);
    EXPECT_EQ(RecordChecksum(record).value(), 0xC62Du);
    EXPECT_EQ(RecordChecksum(other).value(), 0xC7A7u);
    EXPECT_EQ(RecordChecksum(record).value(), 0xC62Du);
}

TEST(LoneChecksum, MatchGivesCrcValido1AndMismatchGives0) {
    const RecordChecksum checksum(k12345678);
    store::LogRow row;
    const std::array<std::uint16_t, 1> good{kCrcOf12345678};
    check_lone_checksum(good, checksum, row);
    EXPECT_EQ(integer_of(row, "CRC"), kCrcOf12345678);
    EXPECT_EQ(integer_of(row, "CRC_Valido"), 1);

    const std::array<std::uint16_t, 1> bad{kCrcOf12345678 ^ 0x0100};
    check_lone_checksum(bad, checksum, row);
    EXPECT_EQ(integer_of(row, "CRC_Valido"), 0);
}

TEST(LoneChecksum, ChecksumWordFFFFIsStoredAs65535) {
    store::LogRow row;
    const std::array<std::uint16_t, 1> word{0xFFFF};
    check_lone_checksum(word, RecordChecksum(k12345678), row);
    EXPECT_EQ(integer_of(row, "CRC"), 65535);
    EXPECT_EQ(integer_of(row, "CRC_Valido"), 0);
}

TEST(DifferentialBlock, SixSignedTenthsThenTheChecksumOverThemButNotWordSix) {
    const std::array<std::uint16_t, 10> base{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
    // The last word is CRC-16/MODBUS over the 16 words 1 to 10 and the six data words, each
    // high byte first, worked out apart from the program.
    std::array<std::uint16_t, 7> block{0x0000, 0x0001, 0x7FFF, 0x8000, 0xFFFF, 0xFF9C, 0x8025};

    RecordChecksum running(base);
    store::LogRow row;
    decode_differential_block(block, running, row);
    EXPECT_EQ(real_of(row, "Dif Instantaneo1"), 0.0);
    EXPECT_EQ(real_of(row, "Dif Instantaneo2"), 0.1);
    EXPECT_EQ(real_of(row, "Dif Instantaneo3"), 3276.7);
    EXPECT_EQ(real_of(row, "Dif Filtrado1"), -3276.8);
    EXPECT_EQ(real_of(row, "Dif Filtrado2"), -0.1);
    EXPECT_EQ(real_of(row, "Dif Filtrado3"), -10.0);
    EXPECT_EQ(integer_of(row, "CRC"), 0x8025);
    EXPECT_EQ(integer_of(row, "CRC_Valido"), 1);

    block[6] ^= 1;
    RecordChecksum again(base);
    decode_differential_block(block, again, row);
    EXPECT_EQ(integer_of(row, "CRC_Valido"), 0);
}

} // namespace
} // namespace zklog::download
