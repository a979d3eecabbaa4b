// Log databases of the simulated relay's believable transformer log: each record run through
// the download's own decoder and saved in memory order, with the damage a test asks for.
#pragma once

#include "sim/believable_log.h"

#include <filesystem>
#include <vector>

namespace zklog::test {

struct LogDamage {
    sim::LogLayout layout = sim::LogLayout::FromStart; // Wrapped: saved out of time order
    double bad_stamp_share = 0;                        // records whose clock wrote nonsense
    double bad_checksum_share = 0;                     // records saved with CRC_Valido 0
    bool sensor_fault = false;                         // a stretch of RTD1 and TC3 flagged faulty
};

struct SimulatedRecord {
    sim::GeneratedRecord record; // the fields as saved, damage included
    bool checksum_failed = false;
};

// Writes about `count` records to a new database at `path`; returns them in saved order.
std::vector<SimulatedRecord> write_simulated_log(const std::filesystem::path& path, int count,
                                                 unsigned seed, const LogDamage& damage);

} // namespace zklog::test
