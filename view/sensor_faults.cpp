#include "view/sensor_faults.h"

#include "view/chart_data.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zklog::view {

namespace {

std::uint16_t bit_of(std::string_view field) {
    const auto* found = std::find(kTemperatureFields.begin(), kTemperatureFields.end(), field);
    return static_cast<std::uint16_t>(1U
                                      << static_cast<unsigned>(found - kTemperatureFields.begin()));
}

// Whether the flag list text ("| RTD| RTD1| TC1") holds exactly `flag`: "RTD" is the RTD board,
// not RTD1.
bool has_flag(std::string_view list, std::string_view flag) {
    while (!list.empty()) {
        const auto start = list.find("| ");
        if (start == std::string_view::npos) {
            return false;
        }
        list.remove_prefix(start + 2);
        const auto end = list.find('|');
        if (list.substr(0, end) == flag) {
            return true;
        }
        if (end == std::string_view::npos) {
            return false;
        }
        list.remove_prefix(end);
    }
    return false;
}

using FlagField = std::pair<std::string_view, std::string_view>;
constexpr std::array<FlagField, 3> kFirstChannel{
    {{"RTD1", "RTD1"}, {"RTD2", "RTD2"}, {"TC1", "TC1"}}};
constexpr std::array<FlagField, 4> kSecondChannel{
    {{"RTD1", "RTD3"}, {"RTD2", "RTD4"}, {"TC1", "TC3"}, {"TC2", "TC4"}}};

} // namespace

std::uint16_t faulty_readings(std::string_view erros, std::string_view erros2) {
    std::uint16_t faulty = 0;
    for (const auto& [flag, field] : kFirstChannel) {
        faulty |= has_flag(erros, flag) ? bit_of(field) : 0;
    }
    for (const auto& [flag, field] : kSecondChannel) {
        faulty |= has_flag(erros2, flag) ? bit_of(field) : 0;
    }
    return faulty;
}

} // namespace zklog::view
