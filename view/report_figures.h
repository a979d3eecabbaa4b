// The figures of a service report, worked out from the records as the charts see them: in time
// order, with NULLs and the readings a record flags as faulty left out.
#pragma once

#include "view/chart_data.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zklog::view {

// The records a report covers: what the charts read, plus the checksum verdict and the cause.
struct ReportLog {
    ChartData data;
    // Per record, in the order of data: `CRC_Valido` is 0 (NULL is not a failure).
    std::vector<bool> checksum_failed;
    // Per record: `Causa` as stored.
    std::vector<std::string> causes;
};

// One temperature field with at least one good reading.
struct ReadingFigures {
    std::size_t field = 0; // index in kTemperatureFields
    std::size_t readings = 0;
    double minimum = 0;
    double mean = 0;
    double maximum = 0;
    std::size_t maximum_record = 0; // the first record, in time order, that reads the maximum
};

struct RelayFigures {
    std::size_t operations = 0; // records where it is on after a record where it was off
    long long seconds_on = 0;   // each on record lasts until the next record's stamp
    long long longest_seconds = 0;
    std::optional<std::size_t> longest_from; // the record the longest stretch began with
};

struct CauseCount {
    std::string cause; // one flag of `Causa`, or "" for records with none
    std::size_t records = 0;
};

enum class EventKind { PowerUp, SensorFault, ChecksumFailure };

struct ReportEvent {
    EventKind kind = EventKind::PowerUp;
    std::size_t record = 0;               // where it happened (the first record of a fault)
    std::optional<long long> gap_seconds; // PowerUp: since the record before, when both stamped
    std::size_t field = 0;                // SensorFault: index in kTemperatureFields
    std::size_t until_record = 0;         // SensorFault: its last flagged record
};

struct ReportFigures {
    std::size_t records = 0;
    std::size_t checksum_failures = 0;
    std::size_t unstamped = 0;
    // Each record's real stamp in seconds since 2000, nullopt where the clock wrote nonsense.
    std::vector<std::optional<long long>> stamps;
    // The records with the earliest and the latest real stamp.
    std::optional<std::size_t> first_stamped;
    std::optional<std::size_t> last_stamped;
    std::vector<ReadingFigures> readings;
    std::array<RelayFigures, kRelayCount> relays{};
    std::vector<CauseCount> causes;  // most records first, then by text
    std::vector<ReportEvent> events; // in time order
};

inline constexpr std::string_view kPowerUpCause = "Power Up";

ReportFigures compute_report_figures(const ReportLog& log);

// The flags of a flag list text such as "| Tempo LOG Atingido| Power Up".
std::vector<std::string> flag_texts(std::string_view list);

} // namespace zklog::view
