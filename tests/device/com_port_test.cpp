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

} // namespace
} // namespace zklog::test
