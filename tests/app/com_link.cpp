#include "tests/app/com_link.h"

#include "device/device_link.h"
#include "device/port_path.h"

#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <unistd.h>

namespace zklog::test {

namespace {

constexpr int kComNumbers = 9;

// An exclusive lock on <exe dir>/COM<number>.lock, or -1 when `wait` is false and another case
// holds it. The kernel drops it when a crashed case's process ends.
int lock_com_number(int number, bool wait) {
    const auto file = device::executable_dir() / ("COM" + std::to_string(number) + ".lock");
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + file.string());
    }
    if (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        ::close(fd);
        if (wait) {
            throw std::runtime_error("cannot lock " + file.string());
        }
        return -1;
    }
    return fd;
}

} // namespace

ComLink::ComLink(int number, const std::string& target)
    : number_(number), lock_fd_(lock_com_number(number, true)) {
    link_to(target);
}

ComLink::ComLink(const std::string& target) {
    for (int number = 1; number <= kComNumbers && lock_fd_ < 0; ++number) {
        lock_fd_ = lock_com_number(number, false);
        number_ = number;
    }
    if (lock_fd_ < 0) {
        number_ = 1;
        lock_fd_ = lock_com_number(number_, true);
    }
    link_to(target);
}

void ComLink::link_to(const std::string& target) {
    path_ = device::executable_dir() / ("COM" + std::to_string(number_));
    // A link left behind by a crashed earlier run is ours to replace.
    std::error_code ec;
    std::filesystem::remove(path_, ec);
    std::filesystem::create_symlink(target, path_);
}

ComLink::~ComLink() {
    remove();
    ::close(lock_fd_);
}

void ComLink::remove() {
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

bool port_free(int number) {
    device::DeviceLink other;
    return other.open_comm(number) == device::DeviceLink::kOpenOk;
}

} // namespace zklog::test
