// The numbers the charts draw, read once per load: every record's time, temperatures,
// differential readings and active relays.
#pragma once

#include <SQLiteCpp/Database.h>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zklog::view {

inline constexpr std::array<std::string_view, 10> kTemperatureFields{
    "RTD1", "RTD2", "TC1", "Enrolamento",  "RTD3",
    "RTD4", "TC3",  "TC4", "Enrolamento2", "Enrolamento3"};
inline constexpr std::array<std::string_view, 6> kDifferentialFields{
    "Dif Instantaneo1", "Dif Instantaneo2", "Dif Instantaneo3",
    "Dif Filtrado1",    "Dif Filtrado2",    "Dif Filtrado3"};
inline constexpr int kRelayCount = 8;

struct ChartData {
    std::vector<std::int64_t> rowids;
    // Seconds since 2000 when every record has a valid stamp, else the record number (1, 2, …).
    std::vector<double> x;
    bool x_is_time = true;
    // NaN where the field is NULL, so a gap stays a gap.
    std::array<std::vector<double>, kTemperatureFields.size()> temperatures;
    std::array<std::vector<double>, kDifferentialFields.size()> differentials;
    // Bit n set: RLn+1 active in `Reles Ativos` or `Reles Ativos2`.
    std::vector<std::uint8_t> relays;
    // Bit n set: temperatures[n] is a faulty sensor's reading (faulty_readings).
    std::vector<std::uint16_t> faults;
    // `Data` and `Hora` as stored, for the record's tip.
    std::vector<std::string> dates;
    std::vector<std::string> times;
    // The records in the order of `x`, equal stamps in saved order: a log read after the relay's
    // memory wrapped, or after its clock was set back, is not saved in time order.
    std::vector<std::size_t> order;

    std::size_t size() const { return rowids.size(); }
};

ChartData load_chart_data(SQLite::Database& db);

// RL1…RL8 named in a flag list text such as "| RL1| RL5".
std::uint8_t relay_mask(std::string_view text);

} // namespace zklog::view
