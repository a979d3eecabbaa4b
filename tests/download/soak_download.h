// One download of the soak tests: a fresh database file, zklog-sim serving an image on the line
// its options make, and the real link at the soak's short timeouts. Whatever the line did, every
// saved row must be the relay's record: all of them after a completed run, an exact prefix of
// them after one that ended with "Erro ao ler o LOG".
#pragma once

#include "sim/record_generator.h"

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace zklog::test {

enum class SoakMode { RecordByRecord, Fast };

struct SoakOutcome {
    bool completed = false;
    std::size_t rows = 0;
    std::chrono::steady_clock::duration took{};
};

// Adds a failure for every row that is not its record and for a run that did not end with one
// message, the right one. Safe to call from several threads at once, each with its own `db`.
SoakOutcome soak_download(const std::filesystem::path& db, const std::string& image_file,
                          const std::vector<sim::GeneratedRecord>& records, SoakMode mode,
                          const std::vector<std::string>& sim_options);

// Runs `job` for every index below `count`, `threads` at a time: the soaks' downloads spend
// nearly all their time waiting out timeouts. Once the test has a failure no more are started,
// so that the first failing line is the one to look into.
void side_by_side(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& job);

} // namespace zklog::test
