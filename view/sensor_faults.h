// Which readings of a record its own error flags declare faulty, so the charts show a fault
// mark instead of the number the relay wrote in its place.
#pragma once

#include <cstdint>
#include <string_view>

namespace zklog::view {

// Bit n set: field kTemperatureFields[n] is faulty. `Erros` names the first channel's sensors
// RTD1, RTD2 and TC1; `Erros2` names the second channel's with the same flags, RTD1 for RTD3,
// RTD2 for RTD4, TC1 for TC3 and TC2 for TC4.
std::uint16_t faulty_readings(std::string_view erros, std::string_view erros2);

} // namespace zklog::view
