#include "sim/register_map.h"

#include <algorithm>
#include <modbus/modbus.h>
#include <stdexcept>

namespace zklog::sim {

_modbus_mapping_t* register_map_of(const RelayImage& image) {
    auto* mapping = modbus_mapping_new(0, 0, RelayImage::kRegisters, 0);
    if (mapping == nullptr) {
        throw std::runtime_error("cannot allocate the register map");
    }
    std::copy(image.words().begin(), image.words().end(), mapping->tab_registers);
    return mapping;
}

} // namespace zklog::sim
