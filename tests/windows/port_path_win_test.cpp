#include "device/device_link.h"
#include "device/port_path.h"

#include <gtest/gtest.h>

namespace zklog::device {
namespace {

// COM10 and up open only through the device namespace; COM1 takes the same form, so that a
// number behaves alike whatever its size.
TEST(ComPortWin, EveryNumberIsItsDeviceNamespaceName) {
    EXPECT_EQ(com_port_path(1, "C:/zklog"), std::filesystem::path(R"(\\.\COM1)"));
    EXPECT_EQ(com_port_path(10, "C:/zklog"), std::filesystem::path(R"(\\.\COM10)"));
    EXPECT_EQ(com_port_path(255, {}), std::filesystem::path(R"(\\.\COM255)"));
}

TEST(ComPortWin, NoPortBelowOne) {
    EXPECT_FALSE(com_port_path(0, {}));
    EXPECT_FALSE(com_port_path(-1, {}));
}

TEST(ComPortWin, ExecutableDirIsTheFolderOfTheRunningProgram) {
    EXPECT_TRUE(std::filesystem::exists(executable_dir() / "device_test.exe"));
}

TEST(ComPortWin, AMissingPortFailsToOpenAndLeavesTheLinkClosed) {
    DeviceLink link;
    EXPECT_EQ(link.open_comm(231), DeviceLink::kOpenFailed);
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(link.open_path(R"(\\.\COM232)"), DeviceLink::kOpenFailed);
    EXPECT_FALSE(link.is_open());
}

} // namespace
} // namespace zklog::device
