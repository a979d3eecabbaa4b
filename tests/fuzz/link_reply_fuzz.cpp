// Answers the device link's register reads with arbitrary bytes over a real pty and stops when
// the link breaks its word: a read either succeeds with exactly the words the reply carries,
// or fails and leaves no words behind.
//
// Input: byte 0 holds flags (bit 0: let libmodbus append the frame's CRC, so that most replies
// get past the CRC check to the checks behind it), byte 1 picks the word count (below 0x80 one
// of the counts the download reads, else any of 1 to 125), byte 2 the slave address (0 to
// 247); the rest is the reply, written once the whole request has been read.
#include "device/device_link.h"
#include "device/serial_settings.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <modbus/modbus.h>
#include <poll.h>
#include <span>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using zklog::device::DeviceLink;

constexpr std::uint32_t kFirstRegister = 2000;
constexpr std::array<std::uint32_t, 4> kDownloadCounts{1, 7, 8, 10};
constexpr std::size_t kRequestBytes = 8; // slave, 0x03, register, count, CRC
// Far longer than a read with its retries and waits ever takes: a bound on a stuck link.
constexpr int kRequestWaitMs = 2000;

[[noreturn]] void fail(const char* what) {
    std::fprintf(stderr, "link_reply_fuzz: %s\n", what);
    std::abort();
}

void make_raw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        fail("tcgetattr on the pty");
    }
    cfmakeraw(&tio);
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        fail("tcsetattr on the pty");
    }
}

// One pty and one open link for the whole run: opening them per input would cost more than the
// exchange itself.
struct Bench {
    int master = -1;
    int slave = -1; // kept open so the master never sees a hang-up; also drains the input
    modbus_t* sealer = nullptr;
    DeviceLink link;

    static zklog::device::SerialSettings settings() {
        zklog::device::SerialSettings s;
        s.response_timeout = std::chrono::milliseconds(20);
        s.byte_timeout = std::chrono::milliseconds(5);
        return s;
    }

    Bench() : link(settings()) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            fail("no pty");
        }
        const std::string slave_path = ptsname(master);
        slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave < 0) {
            fail("cannot open the pty's slave side");
        }
        // Echo and CR/LF translation would alter binary frames on their way through.
        make_raw(slave);
        if (link.open_path(slave_path) != DeviceLink::kOpenOk) {
            fail("DeviceLink cannot open the pty");
        }
        // A context that is never connected: it only frames replies onto the master side.
        sealer = modbus_new_rtu("/dev/null", 9600, 'N', 8, 1);
        if (sealer == nullptr || modbus_set_socket(sealer, master) != 0) {
            fail("no libmodbus context for sealing replies");
        }
    }
};

Bench& bench() {
    static Bench instance;
    return instance;
}

void drain(int fd) {
    std::array<std::uint8_t, 512> buffer{};
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
}

// The relay's side of one read: takes each whole request off the master and answers it, the
// retries of a garbled reply included, until the link is done with the read.
std::vector<std::vector<std::uint8_t>> respond(int master, modbus_t* sealer,
                                               std::span<const std::uint8_t> reply, bool seal,
                                               const std::atomic<bool>& done) {
    std::vector<std::vector<std::uint8_t>> requests;
    std::vector<std::uint8_t> request;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(kRequestWaitMs);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        pollfd pfd{master, POLLIN, 0};
        if (poll(&pfd, 1, 1) <= 0) {
            continue;
        }
        std::array<std::uint8_t, kRequestBytes> buffer{};
        const ssize_t got = read(master, buffer.data(), kRequestBytes - request.size());
        if (got <= 0) {
            continue;
        }
        request.insert(request.end(), buffer.begin(), buffer.begin() + got);
        if (request.size() < kRequestBytes) {
            continue;
        }
        const bool sealable = reply.size() >= 2 && reply.size() <= MODBUS_MAX_PDU_LENGTH + 1;
        if (seal && sealable) {
            (void)modbus_send_raw_request(sealer, reply.data(), static_cast<int>(reply.size()));
        } else if (!reply.empty()) {
            (void)write(master, reply.data(), reply.size());
        }
        requests.push_back(std::move(request));
        request.clear();
    }
    return requests;
}

void check_request(const std::vector<std::uint8_t>& request, std::uint32_t address,
                   std::uint32_t count) {
    if (request.size() < kRequestBytes) {
        fail("the request did not arrive whole");
    }
    const std::array<std::uint8_t, 6> expected{static_cast<std::uint8_t>(address),
                                               0x03,
                                               static_cast<std::uint8_t>(kFirstRegister >> 8),
                                               static_cast<std::uint8_t>(kFirstRegister),
                                               static_cast<std::uint8_t>(count >> 8),
                                               static_cast<std::uint8_t>(count)};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        if (request[i] != expected[i]) {
            fail("the request is not a read of the asked registers");
        }
    }
}

void check_success(const DeviceLink& link, std::span<const std::uint8_t> reply,
                   std::uint32_t count) {
    if (link.words_read() != count || link.words().size() != count) {
        fail("a successful read holds another number of words than asked");
    }
    // Slave, function and byte count come first; the words follow high byte first.
    if (reply.size() < 3 + 2 * std::size_t{count}) {
        fail("a read succeeded on a reply too short to carry its words");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t carried = (std::uint32_t{reply[3 + 2 * i]} << 8) | reply[4 + 2 * i];
        if (link.words()[i] != carried || link.modbus_var(i) != carried) {
            fail("a word read differs from the word the reply carries");
        }
    }
    if (link.modbus_var(count) != 0) {
        fail("a word past the read is not 0");
    }
}

void check_failure(const DeviceLink& link) {
    if (link.words_read() != 0 || !link.words().empty() || link.modbus_var(0) != 0) {
        fail("a failed read left words behind");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    Bench& b = bench();
    const bool seal = (data[0] & 1) != 0;
    const std::uint32_t count =
        data[1] < 0x80 ? kDownloadCounts[data[1] % kDownloadCounts.size()] : data[1] % 125 + 1;
    const std::uint32_t address = data[2] % 248;
    const std::span<const std::uint8_t> reply(data + 3, size - 3);

    // Nothing of the last input may reach this one: neither a request it left on the master
    // nor reply bytes the link did not take.
    drain(b.master);
    drain(b.slave);

    std::vector<std::vector<std::uint8_t>> requests;
    std::atomic<bool> done{false};
    std::thread relay([&] { requests = respond(b.master, b.sealer, reply, seal, done); });
    const std::uint32_t result = b.link.modbus_rd(address, kFirstRegister, count);
    done = true;
    relay.join();

    if (requests.empty() || requests.size() > DeviceLink::kGarbledRetries + 1) {
        fail("the read was not asked once, or was asked more often than its retries allow");
    }
    for (const auto& request : requests) {
        check_request(request, address, count);
    }
    if (result == DeviceLink::kReadOk) {
        check_success(b.link, reply, count);
    } else if (result == DeviceLink::kReadFailed) {
        check_failure(b.link);
    } else {
        fail("modbus_rd returned neither kReadOk nor kReadFailed");
    }
    return 0;
}
