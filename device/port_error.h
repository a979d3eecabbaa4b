// Why a libmodbus call failed, as an errno value, on every platform. libmodbus sets errno for
// what it finds itself (ETIMEDOUT, its EMB* codes) and, on Linux, the system's read() and
// write() set it for a port that went away. On Windows the port is read with ReadFile and
// written with WriteFile, which leave errno as it was and say why in GetLastError(): a stale
// errno would pass a pulled adapter off as a silent relay, or an unset one as a success.
// One file per platform: port_error_unix.cpp, port_error_win.cpp.
#pragma once

namespace zklog::device {

// Forgets any earlier failure; called right before the libmodbus call whose failure is read.
void clear_failure_cause();

// The errno value for the failure of the libmodbus call just made: libmodbus's own code when
// it set one, else EIO (or ENODEV for a device that is no longer there) for a failure of the
// port itself.
int failure_cause();

} // namespace zklog::device
