// One line per request the simulated relay received, so tests can check exactly which reads a
// client made. Line: <request number> <slave> <function> <first register> <count>.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <vector>

namespace zklog::sim {

struct TraceEntry {
    std::uint64_t request = 0;
    int slave = 0;
    int function = 0;
    std::uint32_t first_register = 0;
    std::uint32_t count = 0;
    bool operator==(const TraceEntry&) const = default;
};

class TraceWriter {
public:
    // Appends to `file`; throws std::runtime_error when it cannot be opened.
    explicit TraceWriter(const std::filesystem::path& file);
    // Flushed at once: a reader may look while the simulator runs.
    void write(const TraceEntry& entry);

private:
    std::ofstream out_;
};

// All entries of a trace file; a missing file is an empty trace. Throws std::runtime_error on a
// malformed line.
std::vector<TraceEntry> read_trace(const std::filesystem::path& file);

} // namespace zklog::sim
