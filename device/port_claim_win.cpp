// Holding a serial port on Windows: the system does it. libmodbus opens the port with no
// sharing, so while it is open every other program's open (and a second zklog's) fails with
// ERROR_ACCESS_DENIED, which the link reports as a port it could not open; nothing is left to
// undo at close. The port's handle is private to libmodbus, so there is no low-latency request
// either: a USB adapter's latency timer is set in its driver's properties (docs/windows-check.md).
#include "device/port_claim.h"

namespace zklog::device {

bool PortClaim::lock(const std::filesystem::path&) {
    return true;
}

void PortClaim::hold(int) {}

// Nothing was taken beyond what libmodbus's own open holds: the claim's descriptors and flags
// stay at their defaults on this platform.
void PortClaim::release() {}

void PortClaim::abandon() {}

void PortClaim::drop_lock() {}

} // namespace zklog::device
