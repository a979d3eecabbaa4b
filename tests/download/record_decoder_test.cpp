// The blocks a record asks for after its base block, by its map flags, and the checksum carried
// through them.
#include "download/differential_block.h"
#include "download/record_checksum.h"
#include "download/record_decoder.h"
#include "download/second_channel_block.h"
#include "tests/download/row_values.h"

#include <array>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

namespace zklog::download {
namespace {

using test::integer_of;
using test::real_of;

// A base block with the given map flag byte (low byte of word 3) and an otherwise plain body.
std::vector<std::uint16_t> base_with_maps(std::uint16_t maps) {
    return {0x0C03, 0x0912, 0x0507, maps, 0, 0, 250, 260, 270, 280};
}

// Every later block has words of its own, all different, so a block decoded in another's
// place, or its words taken in another order, changes the fields or the checksum.
constexpr std::array<std::uint16_t, 8> kSecondChannel{0x0A01, 0x0A02, 0x0A03, 0x0A04,
                                                      0x0A05, 0x0A06, 0x0A07, 0x0A08};
constexpr std::array<std::uint16_t, 6> kDifferentialData{0x0B01, 0x0B02, 0x0B03,
                                                         0x0B04, 0x0B05, 0x0B06};

// Hands over the blocks the record asks for, the closing one ending in `checksum`, and returns
// their sizes in order.
std::vector<std::uint32_t> blocks_asked_for(std::uint16_t maps, std::uint16_t checksum,
                                            store::LogRow& row) {
    RecordDecoder decoder(base_with_maps(maps), row);
    std::vector<std::uint32_t> sizes;
    while (const std::uint32_t count = decoder.next_block_words()) {
        sizes.push_back(count);
        std::vector<std::uint16_t> block;
        if (count == kSecondChannelWords) {
            block.assign(kSecondChannel.begin(), kSecondChannel.end());
        } else if (count == kDifferentialWords) {
            block.assign(kDifferentialData.begin(), kDifferentialData.end());
            block.push_back(checksum);
        } else {
            block.push_back(checksum);
        }
        decoder.decode_next(block);
    }
    return sizes;
}

// The checksums are CRC-16/MODBUS over the record's words, each word high byte first, worked
// out apart from the program: base, then second channel, then differential data.
TEST(RecordDecoder, MapFlagsChooseTheBlocksThatFollowTheBase) {
    const struct {
        std::uint16_t maps;
        std::vector<std::uint32_t> blocks;
        std::uint16_t checksum;
    } shapes[] = {
        {0x00, {kLoneChecksumWords}, 0x4340},
        {0x01, {kLoneChecksumWords}, 0xC242},
        {0x02, {kSecondChannelWords, kLoneChecksumWords}, 0x3B15},
        {0x04, {kDifferentialWords}, 0x2290},
        {0x06, {kSecondChannelWords, kDifferentialWords}, 0x1E93},
        {0xFF, {kSecondChannelWords, kDifferentialWords}, 0xB9E3},
    };
    for (const auto& shape : shapes) {
        SCOPED_TRACE("maps " + std::to_string(shape.maps));
        store::LogRow row;
        EXPECT_EQ(blocks_asked_for(shape.maps, shape.checksum, row), shape.blocks);
        EXPECT_EQ(integer_of(row, "CRC"), shape.checksum);
        EXPECT_EQ(integer_of(row, "CRC_Valido"), 1);
        if (shape.maps & 0x02) {
            // Words 2 and 7 of the second channel.
            EXPECT_DOUBLE_EQ(real_of(row, "RTD3"), 256.3);
            EXPECT_DOUBLE_EQ(real_of(row, "TC4"), 25.68);
        } else {
            EXPECT_TRUE(row.is_null("RTD3"));
        }
        if (shape.maps & 0x04) {
            // Words 0 and 5 of the differential block.
            EXPECT_DOUBLE_EQ(real_of(row, "Dif Instantaneo1"), 281.7);
            EXPECT_DOUBLE_EQ(real_of(row, "Dif Filtrado3"), 282.2);
        } else {
            EXPECT_TRUE(row.is_null("Dif Instantaneo1"));
        }

        // One bit more or less anywhere in the checksum word, and the record is invalid.
        store::LogRow spoilt;
        blocks_asked_for(shape.maps, shape.checksum ^ 0x8000, spoilt);
        EXPECT_EQ(integer_of(spoilt, "CRC_Valido"), 0);
    }
}

TEST(RecordDecoder, ABlockOfTheWrongSizeIsRefused) {
    store::LogRow row;
    const auto base = base_with_maps(0x06);
    RecordDecoder decoder(base, row);
    const std::vector<std::uint16_t> seven(kDifferentialWords);
    EXPECT_THROW(decoder.decode_next(seven), std::logic_error);
    EXPECT_EQ(decoder.next_block_words(), kSecondChannelWords);
}

} // namespace
} // namespace zklog::download
