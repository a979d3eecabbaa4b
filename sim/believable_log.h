// A log like a real relay's on a transformer: readings that follow the daily load, relays that
// switch with their thresholds, hourly entries, now and then a sensor fault or a power cut.
// The simulator's default; the edge-word generator stays for the decoding tests.
#pragma once

#include "sim/record_generator.h"
#include "sim/relay_image.h"

#include <array>
#include <cstdint>
#include <vector>

namespace zklog::sim {

// The reading of one channel that a relay watches.
enum class WatchedReading { TopOil, BottomOil, Winding };

// A relay that picks up when its reading reaches `on_tenths` and drops out only once the
// reading is below `off_tenths`; off while its sensor is faulty.
struct RelayRule {
    int relay; // 1..8
    WatchedReading reading;
    int on_tenths;
    int off_tenths;
};

// The same rules on both channels (channel 2 watches RTD3, RTD4 and Enrolamento2). RL7 is the
// channel's sensor-fault alarm: on while any of its error flags is set.
inline constexpr std::array<RelayRule, 7> kRelayRules{{
    {1, WatchedReading::Winding, 700, 650},   // cooling fans, first stage
    {2, WatchedReading::Winding, 850, 800},   // cooling fans, second stage
    {3, WatchedReading::TopOil, 750, 700},    // oil alarm
    {4, WatchedReading::Winding, 1000, 950},  // winding alarm
    {5, WatchedReading::TopOil, 850, 800},    // oil trip
    {6, WatchedReading::Winding, 1100, 1050}, // winding trip
    {8, WatchedReading::BottomOil, 550, 500}, // oil pump
}};
inline constexpr int kFaultAlarmRelay = 7;

// Error flag bits that name a faulty sensor. On the second channel the same bits name its own
// sensors: RTD1 is RTD3, RTD2 is RTD4, TC1 is TC3 and TC2 is TC4.
inline constexpr std::uint16_t kErrorTc1 = 1u << 6;
inline constexpr std::uint16_t kErrorTc2 = 1u << 7;
inline constexpr std::uint16_t kErrorRtd1 = 1u << 8;
inline constexpr std::uint16_t kErrorRtd2 = 1u << 9;

// What a faulty sensor reads: an open RTD runs off the top of its range, a TC input likewise.
inline constexpr std::uint16_t kRtdFaultWord = 0x7FFF;
inline constexpr std::uint16_t kTcFaultWord = 0xFFFF;

// Cause bits of word 3's high byte.
inline constexpr std::uint8_t kCauseLogTime = 1u << 0;
inline constexpr std::uint8_t kCausePowerUp = 1u << 1;
inline constexpr std::uint8_t kCauseHysteresis = 1u << 2;
inline constexpr std::uint8_t kCauseErrorChange = 1u << 3;
inline constexpr std::uint8_t kCauseRelayChange = 1u << 4;

enum class LogLayout {
    // Records from register 2000 on, oldest first, the pointer at the newest.
    FromStart,
    // The log has gone round its memory: the `count` newest records from register 2000 up to
    // the pointer, and the memory after them full of the older records of the lap before.
    Wrapped,
};

// Every record has both channels and the differential block (25 words), so at most this many
// fit in the log memory.
inline constexpr int kBelievableCapacity =
    static_cast<int>((RelayImage::kLastRecordStart - RelayImage::kLogStart) / 25 + 1);

// Writes the log into `image` and sets the pointer; returns the records in memory order. The
// same seed gives the same log. Fewer than `count` come back when the memory is full.
std::vector<GeneratedRecord> generate_believable_log(RelayImage& image, int count,
                                                     std::uint32_t seed,
                                                     LogLayout layout = LogLayout::FromStart);

} // namespace zklog::sim
