// On Windows a failure of the port itself shows in GetLastError() only (see port_error.h).
#include "device/port_error.h"

#include <cerrno>
#include <windows.h>

namespace zklog::device {

namespace {

// What ReadFile and WriteFile give on a port whose device has gone: a pulled USB adapter
// (ERROR_NOT_READY under Wine, ERROR_DEVICE_NOT_CONNECTED or ERROR_GEN_FAILURE from USB serial
// drivers, ERROR_OPERATION_ABORTED when the driver cancels the pending read as it goes) or a
// handle that no longer stands for anything.
bool device_is_gone(DWORD error) {
    switch (error) {
    case ERROR_NOT_READY:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEV_NOT_EXIST:
    case ERROR_GEN_FAILURE:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_INVALID_HANDLE:
    case ERROR_FILE_NOT_FOUND:
        return true;
    default:
        return false;
    }
}

} // namespace

void clear_failure_cause() {
    errno = 0;
    SetLastError(ERROR_SUCCESS);
}

int failure_cause() {
    if (errno != 0) {
        return errno;
    }
    return device_is_gone(GetLastError()) ? ENODEV : EIO;
}

} // namespace zklog::device
