#include "sim/pty_pair.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace zklog::sim {

namespace {

// Echo and CR/LF translation would alter binary frames on their way through.
void make_raw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        throw std::system_error(errno, std::generic_category(), "tcgetattr on pty");
    }
    cfmakeraw(&tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        throw std::system_error(errno, std::generic_category(), "tcsetattr on pty");
    }
}

void set_cloexec(int fd) {
    (void)fcntl(fd, F_SETFD, FD_CLOEXEC);
}

} // namespace

PtyPair::PtyPair() {
    std::array<char, 256> name{};
    if (openpty(&master_, &slave_, name.data(), nullptr, nullptr) != 0) {
        throw std::system_error(errno, std::generic_category(), "openpty");
    }
    slave_path_ = name.data();
    set_cloexec(master_);
    set_cloexec(slave_);
    try {
        make_raw(slave_);
        make_raw(master_);
    } catch (...) {
        close();
        throw;
    }
    // The slave side stays open here too: once the last slave fd closes, reads on the master
    // fail with EIO, and a client closing its port would take the simulator down with it.
}

PtyPair::~PtyPair() {
    close();
}

void PtyPair::close() {
    if (master_ >= 0) {
        ::close(master_);
        master_ = -1;
    }
    if (slave_ >= 0) {
        ::close(slave_);
        slave_ = -1;
    }
}

int PtyPair::unread_by_client() const {
    int pending = 0;
    if (slave_ < 0 || ioctl(slave_, TIOCINQ, &pending) != 0) {
        return 0;
    }
    return pending;
}

} // namespace zklog::sim
