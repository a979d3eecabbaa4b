// The blocks a record asks for after its base block, by its map flags, and the checksum carried
// through them.
#include "device/word_ops.h"
#include "download/differential_block.h"
#include "download/record_checksum.h"
#include "download/record_decoder.h"
#include "download/second_channel_block.h"

#include <gtest/gtest.h>
#include <stdexcept>
#include <vector>

namespace zklog::download {
namespace {

// A base block with the given map flag byte (low byte of word 3) and an otherwise plain body.
std::vector<std::uint16_t> base_with_maps(std::uint16_t maps) {
    return {0x0C03, 0x0912, 0x0507, maps, 0, 0, 250, 260, 270, 280};
}

std::uint16_t checksum_of(const std::vector<std::uint16_t>& words) {
    std::uint32_t crc = 0xFFFF;
    for (const auto word : words) {
        crc = device::crc_calc(crc, word);
    }
    return static_cast<std::uint16_t>(crc);
}

// The block sizes a record of this map flag byte asks for, in order. Every block is handed over
// as words of 0x0101, the closing one ending in the checksum of all the words before it.
std::vector<std::uint32_t> blocks_asked_for(std::uint16_t maps, store::LogRow& row) {
    std::vector<std::uint16_t> record = base_with_maps(maps);
    RecordDecoder decoder(record, row);
    std::vector<std::uint32_t> sizes;
    while (const std::uint32_t count = decoder.next_block_words()) {
        sizes.push_back(count);
        std::vector<std::uint16_t> block(count, 0x0101);
        if (count == kSecondChannelWords) {
            record.insert(record.end(), block.begin(), block.end());
        } else {
            record.insert(record.end(), block.begin(), block.end() - 1);
            block.back() = checksum_of(record);
        }
        decoder.decode_next(block);
    }
    return sizes;
}

TEST(RecordDecoder, MapFlagsChooseTheBlocksThatFollowTheBase) {
    const struct {
        std::uint16_t maps;
        std::vector<std::uint32_t> blocks;
    } shapes[] = {
        {0x00, {kLoneChecksumWords}},
        {0x01, {kLoneChecksumWords}},
        {0x02, {kSecondChannelWords, kLoneChecksumWords}},
        {0x04, {kDifferentialWords}},
        {0x06, {kSecondChannelWords, kDifferentialWords}},
        {0xFF, {kSecondChannelWords, kDifferentialWords}},
    };
    for (const auto& shape : shapes) {
        store::LogRow row;
        EXPECT_EQ(blocks_asked_for(shape.maps, row), shape.blocks) << "maps " << shape.maps;
        EXPECT_EQ(std::get<std::int64_t>(row.get("CRC_Valido")), 1) << "maps " << shape.maps;
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
