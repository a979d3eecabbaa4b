// The relay's memory as libmodbus serves it: one holding register for each word of the image.
#pragma once

#include "sim/relay_image.h"

struct _modbus_mapping_t; // NOLINT(bugprone-reserved-identifier): libmodbus's own tag

namespace zklog::sim {

// A new register map holding `image`'s words; the caller frees it with modbus_mapping_free.
// Throws std::runtime_error when it cannot be allocated.
_modbus_mapping_t* register_map_of(const RelayImage& image);

} // namespace zklog::sim
