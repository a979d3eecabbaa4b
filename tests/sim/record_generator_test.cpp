#include "device/word_ops.h"
#include "sim/record_generator.h"

#include <gtest/gtest.h>
#include <set>

namespace zklog::sim {
namespace {

// Recomputes the checksum word from scratch, so a slip in record_checksum cannot hide itself.
std::uint16_t independent_checksum(const RelayImage& image, std::uint32_t start,
                                   std::uint32_t length) {
    std::uint32_t r = device::crc_calc(0xFFFF, image.word(start));
    for (std::uint32_t i = 1; i + 1 < length; ++i) {
        r = device::crc_calc(r, image.word(start + i));
    }
    return static_cast<std::uint16_t>(r);
}

std::int16_t as_signed(std::uint16_t w) {
    return static_cast<std::int16_t>(w);
}

TEST(GenerateRecords, SameSeedSameImageOtherSeedOtherImage) {
    RelayImage a, b, c;
    const auto ra = generate_records(a, 200, 42);
    const auto rb = generate_records(b, 200, 42);
    const auto rc = generate_records(c, 200, 43);
    EXPECT_EQ(a.words(), b.words());
    EXPECT_NE(a.words(), c.words());
    ASSERT_EQ(ra.size(), rb.size());
    for (std::size_t i = 0; i < ra.size(); ++i) {
        EXPECT_EQ(ra[i].words, rb[i].words);
    }
}

TEST(GenerateRecords, KnownSeedKeepsItsImage) {
    // Download tests compare against records made by this generator; a change in what a seed
    // yields would silently change what they exercise.
    RelayImage image;
    const auto records = generate_records(image, 4, 7);
    ASSERT_EQ(records.size(), 4u);
    std::set<std::uint8_t> shapes;
    for (const auto& r : records) {
        shapes.insert(r.maps & (kMapZkb | kMapWpx));
    }
    EXPECT_EQ(shapes.size(), 4u);
    EXPECT_EQ(image.pointer(), 47);
    const std::vector<std::uint16_t> first{0x0B08, 0x1503, 0x2F3B, 0x0100, 0x0000, 0x3B37,
                                           0x004C, 0x07BE, 0x1284, 0x079C, 0x4D40};
    EXPECT_EQ(records[0].words, first);
    EXPECT_EQ(records[0].day, 11);
    EXPECT_EQ(records[0].month, 8);
    EXPECT_EQ(records[0].year, 21);
    EXPECT_EQ(records[1].checksum, 0x3D91);
    EXPECT_EQ(records[2].checksum, 0xA2F0);
    EXPECT_EQ(records[3].checksum, 0x208A);
}

TEST(GenerateRecords, AllShapesAmongTheFirstFourForManySeeds) {
    for (std::uint32_t seed = 0; seed < 50; ++seed) {
        RelayImage image;
        const auto records = generate_records(image, 4, seed);
        ASSERT_EQ(records.size(), 4u);
        std::set<std::size_t> lengths;
        for (const auto& r : records) {
            lengths.insert(r.words.size());
        }
        EXPECT_EQ(lengths, (std::set<std::size_t>{11, 17, 19, 25})) << "seed " << seed;
    }
}

TEST(GenerateRecords, RecordsFollowEachOtherAndMatchTheWalk) {
    RelayImage image;
    const auto records = generate_records(image, 300, 5);
    ASSERT_EQ(records.size(), 300u);
    const auto spans = walk_records(image, 2000u + image.pointer());
    ASSERT_EQ(spans.size(), records.size());
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(spans[i].start, records[i].start);
        EXPECT_EQ(spans[i].length, records[i].words.size());
        for (std::size_t w = 0; w < records[i].words.size(); ++w) {
            ASSERT_EQ(image.word(records[i].start + static_cast<std::uint32_t>(w)),
                      records[i].words[w]);
        }
    }
    EXPECT_EQ(records.front().start, 2000u);
    EXPECT_EQ(image.pointer(), records.back().start - 2000u);
}

TEST(GenerateRecords, ChecksumsAreValid) {
    RelayImage image;
    const auto records = generate_records(image, 500, 11);
    for (const auto& r : records) {
        const auto length = static_cast<std::uint32_t>(r.words.size());
        EXPECT_EQ(independent_checksum(image, r.start, length), image.word(r.start + length - 1))
            << "record at " << r.start;
        EXPECT_EQ(r.checksum, r.words.back());
    }
}

TEST(GenerateRecords, SemanticValuesMatchTheWords) {
    RelayImage image;
    const auto records = generate_records(image, 400, 3);
    for (const auto& r : records) {
        const auto& w = r.words;
        EXPECT_EQ(w[0], (r.day << 8) | r.month);
        EXPECT_EQ(w[1], (r.year << 8) | r.hour);
        EXPECT_EQ(w[2], (r.minute << 8) | r.second);
        EXPECT_EQ(w[3], (r.cause << 8) | r.maps);
        EXPECT_EQ(w[4], r.relays);
        EXPECT_EQ(w[5], r.errors);
        EXPECT_EQ(as_signed(w[6]), r.rtd1);
        EXPECT_EQ(as_signed(w[7]), r.rtd2);
        EXPECT_EQ(w[8], r.tc1);
        EXPECT_EQ(as_signed(w[9]), r.enrolamento);
        std::size_t next = 10;
        if (r.maps & kMapZkb) {
            EXPECT_EQ(w[10], r.relays2);
            EXPECT_EQ(w[11], r.errors2);
            EXPECT_EQ(as_signed(w[12]), r.rtd3);
            EXPECT_EQ(as_signed(w[13]), r.rtd4);
            EXPECT_EQ(as_signed(w[14]), r.enrolamento2);
            EXPECT_EQ(as_signed(w[15]), r.enrolamento3);
            EXPECT_EQ(w[16], r.tc3);
            EXPECT_EQ(w[17], r.tc4);
            next = 18;
        } else {
            EXPECT_EQ(r.relays2, 0);
            EXPECT_EQ(r.tc4, 0);
        }
        if (r.maps & kMapWpx) {
            for (std::size_t i = 0; i < 6; ++i) {
                EXPECT_EQ(as_signed(w[next + i]), r.dif[i]);
            }
        }
    }
}

TEST(GenerateRecords, ValuesArePlausibleAndVaried) {
    RelayImage image;
    const auto records = generate_records(image, 1000, 9);
    bool zero_cause = false, zero_relays = false, zero_errors = false, negative = false,
         extreme = false;
    for (const auto& r : records) {
        EXPECT_GE(r.month, 1);
        EXPECT_LE(r.month, 12);
        EXPECT_GE(r.day, 1);
        EXPECT_LE(r.day, 31);
        if (r.month == 2) {
            EXPECT_LE(r.day, r.year % 4 == 0 ? 29 : 28);
        }
        EXPECT_LE(r.year, 99);
        EXPECT_LE(r.hour, 23);
        EXPECT_LE(r.minute, 59);
        EXPECT_LE(r.second, 59);
        EXPECT_LT(r.cause, 32);
        EXPECT_LT(r.errors, 1u << 14);
        EXPECT_LT(r.errors2, 1u << 14);
        EXPECT_EQ(r.maps & ~7u, 0u);
        zero_cause |= r.cause == 0;
        zero_relays |= r.relays == 0;
        zero_errors |= r.errors == 0;
        negative |= (r.rtd1 < 0 && r.rtd1 >= -400);
        extreme |= r.rtd1 == INT16_MIN || r.tc1 == 0xFFFF || r.rtd2 == INT16_MAX;
    }
    EXPECT_TRUE(zero_cause);
    EXPECT_TRUE(zero_relays);
    EXPECT_TRUE(zero_errors);
    EXPECT_TRUE(negative);
    EXPECT_TRUE(extreme);
}

TEST(GenerateRecords, StopsWhereTheNextRecordWouldStartPast18120) {
    RelayImage image;
    const auto records = generate_records(image, 5000, 1);
    ASSERT_LT(records.size(), 5000u);
    const auto& last = records.back();
    EXPECT_LE(last.start, RelayImage::kLastRecordStart);
    EXPECT_GT(last.start + last.words.size(), RelayImage::kLastRecordStart);
    EXPECT_LE(last.start + last.words.size(), 18145u);
    EXPECT_EQ(image.pointer(), last.start - 2000u);
    EXPECT_EQ(image.word(static_cast<std::uint32_t>(last.start + last.words.size())), 0u);
}

TEST(GenerateRecords, NoRecordsLeavesThePointer) {
    RelayImage image;
    image.set_pointer(77);
    EXPECT_TRUE(generate_records(image, 0, 1).empty());
    EXPECT_EQ(image.pointer(), 77);
    EXPECT_EQ(image.word(2000), 0);
}

TEST(PutRecord, AppendsTheChecksumAndReturnsTheNextStart) {
    RelayImage image;
    const std::vector<std::uint16_t> words{0x0C03, 0x0912, 0x0507, 0x0000, 1, 2, 3, 4, 5, 6};
    const auto next = put_record(image, 2000, words);
    EXPECT_EQ(next, 2011u);
    EXPECT_EQ(image.word(2010), independent_checksum(image, 2000, 11));
    EXPECT_EQ(image.word(2010), record_checksum(words));

    const auto after = put_record(image, next, words, false);
    EXPECT_EQ(after, 2022u);
    EXPECT_NE(image.word(2021), independent_checksum(image, 2011, 11));
}

TEST(PutRecord, RefusesToRunPastTheMemory) {
    RelayImage image;
    EXPECT_THROW(put_record(image, 65530, std::vector<std::uint16_t>(10, 0)), std::out_of_range);
    EXPECT_EQ(put_record(image, 65525, std::vector<std::uint16_t>(10, 0)), 65536u);
}

} // namespace
} // namespace zklog::sim
