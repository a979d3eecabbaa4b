// The seeded random line the soak tests run on: zklog-sim's --chaos with the tests' short
// timeouts, and how many seeds a run takes (ZKLOG_SOAK_SEEDS; `make check` runs many more than
// `make test`).
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace zklog::test {

// Five times shorter than the default, so that many seeds fit in seconds; a late reply comes at
// most just inside the late window this timeout gives (one more timeout). The byte timeout is
// shortened alike.
inline constexpr std::chrono::milliseconds kSoakResponseTimeout{100};
inline constexpr std::chrono::milliseconds kSoakByteTimeout{20};
inline constexpr int kSoakLateMs = 190;

// From a line that spoils one request in fifty, on which most downloads complete, to one that
// spoils every third, on which few get far.
inline int chaos_percent(std::uint32_t seed) {
    constexpr std::array<int, 4> kPercents{2, 5, 15, 35};
    return kPercents[seed % kPercents.size()];
}

// zklog-sim's options for the line of `seed`, spoiling `percent` requests in a hundred, late
// replies up to `late_ms` late.
inline std::vector<std::string> chaos_options(std::uint32_t seed, int percent,
                                              int late_ms = kSoakLateMs) {
    return {"--chaos",   std::to_string(seed),   "--chaos-percent", std::to_string(percent),
            "--late-ms", std::to_string(late_ms)};
}

inline int soak_seeds() {
    const char* text = std::getenv("ZKLOG_SOAK_SEEDS");
    return text != nullptr ? std::max(1, std::atoi(text)) : 12;
}

} // namespace zklog::test
