// On Linux the port is a file descriptor: every failure, libmodbus's or the system's, is errno.
#include "device/port_error.h"

#include <cerrno>

namespace zklog::device {

void clear_failure_cause() {
    errno = 0;
}

int failure_cause() {
    return errno != 0 ? errno : EIO;
}

} // namespace zklog::device
