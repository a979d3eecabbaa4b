#include "device/port_error.h"

#include <cerrno>
#include <gtest/gtest.h>
#include <windows.h>

namespace zklog::device {
namespace {

// What libmodbus found itself (a timeout, a bad CRC) is the cause, whatever Windows last said.
TEST(PortErrorWin, LibmodbusOwnCodeComesFirst) {
    clear_failure_cause();
    SetLastError(ERROR_NOT_READY);
    errno = ETIMEDOUT;
    EXPECT_EQ(failure_cause(), ETIMEDOUT);
}

// A pulled adapter: ReadFile fails, errno stays unset.
TEST(PortErrorWin, AVanishedDeviceIsNoSuchDevice) {
    for (const DWORD gone : {ERROR_NOT_READY, ERROR_DEVICE_NOT_CONNECTED, ERROR_GEN_FAILURE,
                             ERROR_OPERATION_ABORTED, ERROR_INVALID_HANDLE}) {
        clear_failure_cause();
        SetLastError(gone);
        EXPECT_EQ(failure_cause(), ENODEV) << gone;
    }
}

// Never 0: the link would take a failed read for a good one.
TEST(PortErrorWin, AnyOtherFailureOfThePortIsAnIoError) {
    clear_failure_cause();
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_EQ(failure_cause(), EIO);
    clear_failure_cause();
    EXPECT_EQ(failure_cause(), EIO);
}

// An errno left over from an earlier failure must not stand for this one.
TEST(PortErrorWin, ClearingForgetsAStaleErrno) {
    errno = ETIMEDOUT;
    clear_failure_cause();
    SetLastError(ERROR_NOT_READY);
    EXPECT_EQ(failure_cause(), ENODEV);
}

} // namespace
} // namespace zklog::device
