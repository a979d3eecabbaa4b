#include "device/port_path.h"
#include "tests/device/sim_link_fixture.h"

#include <filesystem>

namespace zklog::test {
namespace {

using device::DeviceLink;

TEST(OpenPort, MissingPortsDoNotOpen) {
    DeviceLink link;
    EXPECT_NE(link.open_path("/nonexistent"), DeviceLink::kOpenOk);
    EXPECT_FALSE(link.is_open());
    EXPECT_NE(link.open_comm(998), DeviceLink::kOpenOk);
    EXPECT_NE(link.open_comm(0), DeviceLink::kOpenOk);
    EXPECT_NE(link.open_comm(-3), DeviceLink::kOpenOk);
    EXPECT_FALSE(link.is_open());
    EXPECT_EQ(link.modbus_rd(1, 2000, 1), DeviceLink::kReadFailed);
}

TEST(OpenPort, ExecutableDirIsWhereTheTestsLive) {
    EXPECT_EQ(std::filesystem::canonical(device::executable_dir()),
              std::filesystem::canonical(std::filesystem::path(ZKLOG_BUILD_DIR) / "tests"));
}

TEST(OpenPort, ComNumberFindsALinkBesideTheExecutable) {
    TempDir dir;
    const auto link_path = std::filesystem::path(ZKLOG_BUILD_DIR) / "tests" / "COM77";
    SimProcess sim(
        {"--image", write_image_file(dir, pattern_image()), "--link", link_path.string()});
    DeviceLink link;
    ASSERT_EQ(link.open_comm(77), DeviceLink::kOpenOk);
    ASSERT_EQ(link.modbus_rd(1, 2000, 10), DeviceLink::kReadOk);
    for (std::uint32_t i = 0; i < 10; ++i) {
        EXPECT_EQ(link.modbus_var(i), pattern_word(2000 + i));
    }
    link.close_comm();
    EXPECT_EQ(sim.stop(), 0);
    EXPECT_FALSE(std::filesystem::is_symlink(link_path));
    EXPECT_NE(link.open_comm(77), DeviceLink::kOpenOk);
}

// The COMn link is the user's word for which device is port n: pointing nowhere (adapter
// unplugged), it must fail to open rather than fall through to another device's /dev name.
TEST(OpenPort, DanglingComLinkIsStillThePort) {
    TempDir dir;
    std::filesystem::create_symlink(dir.file("unplugged"), dir.file("COM1"));
    EXPECT_EQ(device::com_port_path(1, dir.path()), dir.file("COM1"));
    EXPECT_EQ(device::com_port_path(2, dir.path()),
              device::com_port_path(2, dir.file("no-such-folder")));
}

// libmodbus runs a rate a tty does not know at 9600 without a word: such a link never opens.
TEST(OpenPort, OnlyStandardBaudRatesOpen) {
    TempDir dir;
    SimProcess sim({"--image", write_image_file(dir, pattern_image())});
    for (const int baud : {1234, 9601, 0, -9600, 4000001}) {
        device::SerialSettings settings;
        settings.baud = baud;
        DeviceLink link(settings);
        EXPECT_EQ(link.open_path(sim.pty()), DeviceLink::kOpenFailed) << baud;
    }
    for (const int baud : {1200, 19200, 115200}) {
        device::SerialSettings settings;
        settings.baud = baud;
        DeviceLink link(settings);
        EXPECT_EQ(link.open_path(sim.pty()), DeviceLink::kOpenOk) << baud;
    }
}

} // namespace
} // namespace zklog::test
