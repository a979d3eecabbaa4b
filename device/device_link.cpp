#include "device/device_link.h"

#include "device/port_path.h"

#include <cerrno>
#include <linux/serial.h>
#include <modbus/modbus.h>
#include <sys/ioctl.h>

namespace zklog::device {

namespace {

// The highest register plus one: a read may not run past register 65535, since the request
// frame carries the start address in 16 bits and a larger one would silently wrap around.
constexpr std::uint32_t kRegisterSpace = 0x10000;

// USB serial adapters (FTDI and alike) hold received bytes for up to their latency timer
// (16 ms by default) before passing them on; low-latency mode hands each reply over at once.
// Best effort: a pty or a driver without the setting keeps its default.
void request_low_latency(int fd) {
    serial_struct serial{};
    if (ioctl(fd, TIOCGSERIAL, &serial) == 0) {
        serial.flags |= ASYNC_LOW_LATENCY;
        (void)ioctl(fd, TIOCSSERIAL, &serial);
    }
}

// What libmodbus reports when the device file itself is gone rather than the relay silent or
// garbled. A tty whose adapter was pulled, or a pty whose other side closed, is hung up for
// good: read() returns 0 (libmodbus turns that into ECONNRESET) and write() fails with EIO, and
// no reply will ever come through that descriptor again. ENXIO and ENODEV come from drivers
// whose device is being removed, EBADF from a descriptor that is no longer there.
bool port_is_gone(int error) {
    return error == ECONNRESET || error == EIO || error == ENXIO || error == ENODEV ||
           error == EBADF;
}

std::uint32_t whole_seconds(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>(ms.count() / 1000);
}

std::uint32_t microseconds_part(std::chrono::milliseconds ms) {
    return static_cast<std::uint32_t>((ms.count() % 1000) * 1000);
}

} // namespace

DeviceLink::DeviceLink(SerialSettings settings) : settings_(settings) {}

DeviceLink::~DeviceLink() {
    close_comm();
}

std::int32_t DeviceLink::open_comm(std::int32_t port) {
    close_comm();
    auto path = com_port_path(port, executable_dir());
    if (!path) {
        return kNoSuchPort;
    }
    return open_path(*path);
}

std::int32_t DeviceLink::open_path(const std::filesystem::path& device) {
    close_comm();
    modbus_t* ctx = modbus_new_rtu(device.c_str(), settings_.baud, settings_.parity,
                                   settings_.data_bits, settings_.stop_bits);
    if (ctx == nullptr) {
        return kOpenFailed;
    }
    modbus_set_response_timeout(ctx, whole_seconds(settings_.response_timeout),
                                microseconds_part(settings_.response_timeout));
    modbus_set_byte_timeout(ctx, whole_seconds(settings_.byte_timeout),
                            microseconds_part(settings_.byte_timeout));
    ctx_ = ctx;
    if (!connect()) {
        modbus_free(ctx_);
        ctx_ = nullptr;
        return kOpenFailed;
    }
    return kOpenOk;
}

bool DeviceLink::connect() {
    if (modbus_connect(ctx_) == -1) {
        return false;
    }
    request_low_latency(modbus_get_socket(ctx_));
    return true;
}

// The port is opened once per program run, so without this a pulled and replugged adapter (or
// a relay restarted behind a COM link) would need the program restarted. The context still
// holds the device path it was made with; connecting it again opens that same path, which
// finds the adapter again once it is back under the same name.
bool DeviceLink::reopen_lost_port() {
    if (!connect()) {
        return false;
    }
    port_lost_ = false;
    return true;
}

std::int32_t DeviceLink::close_comm() {
    word_count_ = 0;
    if (ctx_ == nullptr) {
        return 0;
    }
    port_lost_ = false;
    modbus_close(ctx_);
    modbus_free(ctx_);
    ctx_ = nullptr;
    return 1;
}

std::uint32_t DeviceLink::modbus_rd(std::uint32_t address, std::uint32_t first_register,
                                    std::uint32_t count) {
    word_count_ = 0;
    last_error_ = EINVAL;
    if (ctx_ == nullptr || count == 0 || count > kMaxWords || first_register >= kRegisterSpace ||
        count > kRegisterSpace - first_register || address > 247) {
        return kReadFailed;
    }
    if (port_lost_ && !reopen_lost_port()) {
        last_error_ = ENODEV;
        return kReadFailed;
    }
    if (modbus_set_slave(ctx_, static_cast<int>(address)) == -1) {
        return kReadFailed;
    }
    // A reply that came after an earlier request had timed out still waits in the input; left
    // there, it would be taken as the answer to this request. Drop it before asking.
    modbus_flush(ctx_);
    const int got = modbus_read_registers(ctx_, static_cast<int>(first_register),
                                          static_cast<int>(count), words_.data());
    if (got != static_cast<int>(count)) {
        last_error_ = got == -1 ? errno : EMBBADDATA;
        // Only a port that is gone is opened again. A timeout says nothing about the port: the
        // relay may be busy or set to another address, and reopening would only cost time.
        // Closed at once, not at the next read: a USB serial driver keeps the device name of a
        // pulled adapter taken while it is held open, and the replugged one would get another.
        if (got == -1 && port_is_gone(errno)) {
            modbus_close(ctx_);
            port_lost_ = true;
        }
        return kReadFailed;
    }
    word_count_ = count;
    last_error_ = 0;
    return kReadOk;
}

std::uint32_t DeviceLink::modbus_var(std::uint32_t index) const {
    return index < word_count_ ? words_[index] : 0u;
}

} // namespace zklog::device
