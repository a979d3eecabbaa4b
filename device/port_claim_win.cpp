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

void PortClaim::release() {
    abandon();
}

void PortClaim::abandon() {
    port_fd_ = -1;
    exclusive_ = false;
    low_latency_set_ = false;
    drop_lock();
}

void PortClaim::drop_lock() {
    lock_fd_ = -1;
}

} // namespace zklog::device
