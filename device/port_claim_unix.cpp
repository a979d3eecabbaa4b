#include "device/port_claim.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace zklog::device {

namespace {

// USB serial adapters (FTDI and alike) hold received bytes for up to their latency timer
// (16 ms by default) before passing them on; low-latency mode hands each reply over at once.
// Best effort: a pty or a driver without the setting keeps its default. True when this call
// turned the flag on, so that release() turns it off again for the next user of the adapter.
bool request_low_latency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0) {
        return false;
    }
    serial.flags |= ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &serial) == 0;
}

void drop_low_latency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags &= ~static_cast<int>(ASYNC_LOW_LATENCY);
        (void)ioctl(fd, TIOCSSERIAL, &serial);
    }
}

} // namespace

bool PortClaim::lock(const std::filesystem::path& device) {
    release();
    // O_NONBLOCK: a modem line without carrier must not hold up the open; O_NOCTTY: the port
    // must never become this process's controlling terminal.
    lock_fd_ = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (lock_fd_ == -1) {
        return false;
    }
    if (::flock(lock_fd_, LOCK_EX | LOCK_NB) != 0) {
        drop_lock();
        return false;
    }
    return true;
}

void PortClaim::hold(int port_fd) {
    port_fd_ = port_fd;
    exclusive_ = ::ioctl(port_fd_, TIOCEXCL) == 0;
    low_latency_set_ = request_low_latency(port_fd_);
}

void PortClaim::release() {
    if (port_fd_ != -1) {
        if (low_latency_set_) {
            drop_low_latency(port_fd_);
        }
        // TIOCEXCL belongs to the tty, not to this descriptor: left set, it would keep out
        // every later program until the device is opened again by root.
        if (exclusive_) {
            (void)::ioctl(port_fd_, TIOCNXCL);
        }
    }
    abandon();
}

void PortClaim::abandon() {
    port_fd_ = -1;
    exclusive_ = false;
    low_latency_set_ = false;
    drop_lock();
}

void PortClaim::drop_lock() {
    if (lock_fd_ != -1) {
        ::close(lock_fd_);
        lock_fd_ = -1;
    }
}

} // namespace zklog::device
