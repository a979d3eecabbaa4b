// An open link holds its port for itself: the tty is exclusive and flock()ed while it is open,
// and both are undone when it closes, so the next program gets the port.
#include "tests/device/sim_link_fixture.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zklog::test {
namespace {

using device::DeviceLink;
using PortClaim = SimLinkTest;

// Root passes TIOCEXCL, so the test (run as root in CI) can still look at the tty.
struct PortState {
    bool exclusive = false;
    bool locked = false;
};

PortState state_of(const std::filesystem::path& port) {
    PortState state;
    const int fd = open(port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd == -1) {
        state.exclusive = errno == EBUSY; // a user without root is kept out altogether
        state.locked = true;
        return state;
    }
    int exclusive = 0;
    state.exclusive = ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    state.locked = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return state;
}

TEST_F(PortClaim, HeldWhileOpenAndGivenBackAtClose) {
    start();
    auto held = state_of(port_);
    EXPECT_TRUE(held.exclusive);
    EXPECT_TRUE(held.locked);
    DeviceLink second;
    EXPECT_EQ(second.open_path(port_), DeviceLink::kOpenFailed);
    expect_words(1024, 1); // the refused open disturbed nothing

    EXPECT_EQ(link_.close_comm(), 1);
    const auto free = state_of(port_);
    EXPECT_FALSE(free.exclusive);
    EXPECT_FALSE(free.locked);
    EXPECT_EQ(second.open_path(port_), DeviceLink::kOpenOk);
}

TEST_F(PortClaim, LostPortIsClaimedAgainWhenReopened) {
    start({"--hangup-after", "1"});
    expect_words(2000, 10);
    expect_failure(2010, 10);
    const auto other = start_sim();
    point_port_at(other->pty());
    EXPECT_FALSE(state_of(port_).locked);
    expect_words(2010, 10);
    EXPECT_TRUE(state_of(port_).locked);
    EXPECT_TRUE(state_of(port_).exclusive);
}

} // namespace
} // namespace zklog::test
