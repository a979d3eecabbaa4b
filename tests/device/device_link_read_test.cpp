#include "tests/device/sim_link_fixture.h"

namespace zklog::test {
namespace {

using device::DeviceLink;

using DeviceLinkRead = SimLinkTest;

TEST_F(DeviceLinkRead, ReadsReturnTheImageWords) {
    start();
    expect_words(1024, 1);
    expect_words(2000, 7);
    expect_words(2007, 8);
    expect_words(2015, 10);
    expect_words(2000, 125);
    expect_words(0, 3);
    expect_words(65535, 1);
    expect_words(65411, 125); // the last full read in the memory
}

TEST_F(DeviceLinkRead, ShorterReadAfterLongerOneHoldsOnlyItsWords) {
    start();
    expect_words(3000, 10);
    expect_words(4000, 1);
    EXPECT_EQ(link_.modbus_var(1), 0u);
    EXPECT_EQ(link_.modbus_var(125), 0u);
}

TEST_F(DeviceLinkRead, OtherSlaveAddressFailsWithinTheTimeout) {
    start({"--address", "5"});
    expect_failure(2000, 10, 1);
    expect_words(2000, 10, 5);
    expect_failure(2000, 10, 6);
    expect_words(2100, 7, 5);
}

TEST_F(DeviceLinkRead, ReadsTheLinkRefusesFailAtOnce) {
    start();
    expect_failure(65535, 2); // would wrap around to register 0
    expect_failure(65000, 537);
    expect_failure(2000, 0);
    expect_failure(2000, 126);
    expect_failure(65536, 1);
    expect_failure(2000, 10, 248);
    expect_words(2000, 10);
}

TEST_F(DeviceLinkRead, ClosedLinkFailsAndCanBeReopened) {
    start();
    expect_words(2000, 8);
    EXPECT_EQ(link_.close_comm(), 1);
    EXPECT_FALSE(link_.is_open());
    EXPECT_EQ(link_.close_comm(), 0);
    expect_failure(2000, 8);
    ASSERT_EQ(link_.open_path(sim_->pty()), DeviceLink::kOpenOk);
    expect_words(2008, 8);
}

} // namespace
} // namespace zklog::test
