// Log databases downloaded from the simulated relay: its believable transformer log, with the
// damage a test asks for, served by zklog-sim on a pty and saved by zklog-cli download.
#pragma once

#include "sim/believable_log.h"
#include "tests/support/temp_dir.h"

#include <filesystem>
#include <vector>

namespace zklog::test {

struct LogDamage {
    sim::LogLayout layout = sim::LogLayout::FromStart; // Wrapped: saved out of time order
    double bad_stamp_share = 0;                        // records whose clock wrote nonsense
    double bad_checksum_share = 0;                     // records with a wrong checksum word
    bool sensor_fault = false;                         // a stretch of RTD1 and TC3 flagged faulty
};

struct SimulatedRecord {
    sim::GeneratedRecord record; // the fields as the relay holds them, damage included
    bool checksum_failed = false;
};

// Downloads about `count` records into a new database at `database`, using `dir` for the
// relay's memory file; returns the records in saved order. Throws std::runtime_error when the
// download fails.
std::vector<SimulatedRecord> write_simulated_log(const TempDir& dir,
                                                 const std::filesystem::path& database, int count,
                                                 unsigned seed, const LogDamage& damage);

} // namespace zklog::test
