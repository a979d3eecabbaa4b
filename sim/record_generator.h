// Plausible event logs for the simulated relay, with the values each record stands for, so
// tests can tell what a download of the image must yield without decoding it themselves.
#pragma once

#include "sim/relay_image.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zklog::sim {

struct GeneratedRecord {
    std::uint32_t start = 0;
    std::vector<std::uint16_t> words; // the whole record, checksum word last

    int day = 0, month = 0, year = 0, hour = 0, minute = 0, second = 0;
    std::uint8_t cause = 0;                           // bits 0..4
    std::uint8_t maps = 0;                            // kMapZka | kMapZkb | kMapWpx
    std::uint8_t relays = 0;                          // RL1..RL8
    std::uint16_t errors = 0;                         // bits 0..13
    std::int16_t rtd1 = 0, rtd2 = 0, enrolamento = 0; // tenths of a degree
    std::uint16_t tc1 = 0;                            // hundredths

    // Second channel, zero unless maps & kMapZkb.
    std::uint8_t relays2 = 0;
    std::uint16_t errors2 = 0;
    std::int16_t rtd3 = 0, rtd4 = 0, enrolamento2 = 0, enrolamento3 = 0;
    std::uint16_t tc3 = 0, tc4 = 0;

    // Differentials (instantaneous 1..3, filtered 1..3), zero unless maps & kMapWpx.
    std::array<std::int16_t, 6> dif{};

    std::uint16_t checksum = 0;
};

// The checksum word of a record whose other words are `words` (checksum word excluded).
std::uint16_t record_checksum(const std::vector<std::uint16_t>& words);

// Writes up to `count` records from register 2000 on and points register 1024 at the last one.
// The same seed gives the same records. The first four records have the four shapes. Stops
// early when the next record would start past 18120: the size of the result tells how many
// were written. With no record written the pointer is left alone.
std::vector<GeneratedRecord> generate_records(RelayImage& image, int count, std::uint32_t seed);

// The record's words from its fields, checksum word excluded: the base block, then the second
// channel's block and the differential block when its map flags say so.
std::vector<std::uint16_t> record_words(const GeneratedRecord& record);

// Writes `words_without_checksum` at `start`, then the checksum word (a wrong one when
// `valid_checksum` is false); returns the register after it. Throws std::out_of_range when the
// record would run past register 65535.
std::uint32_t put_record(RelayImage& image, std::uint32_t start,
                         std::vector<std::uint16_t> words_without_checksum,
                         bool valid_checksum = true);

} // namespace zklog::sim
