// Answers the device link's register reads with arbitrary bytes over a real pty and stops when
// the link breaks its word: a read either succeeds with exactly the words the reply carries,
// or fails and leaves no words behind.
//
// Input: byte 0 holds flags (bit 0: let libmodbus append the frame's CRC, so that most replies
// get past the CRC check to the checks behind it; bit 1: give the first answer only after the
// response timeout, and follow the read with one of another shape, which must never be given
// the late reply's words), byte 1 picks the word count (below 0x80 one of the counts the
// download reads, else any of 1 to 125), byte 2 the slave address (0 to 247); the rest is the
// reply, written for each whole request, the retries of a garbled one included.
#include "device/device_link.h"
#include "device/serial_settings.h"

#include <algorithm>
#include <array>
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
// Short enough for some hundred inputs a second, yet many times a pty's round trip. A late
// reply comes just after the response timeout, well inside the link's late window (one more
// response timeout).
constexpr auto kResponseTimeout = std::chrono::milliseconds(2);
constexpr auto kByteTimeout = std::chrono::microseconds(400);
constexpr auto kLateBy = kResponseTimeout + std::chrono::milliseconds(1);

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
    std::array<int, 2> done{-1, -1}; // a byte on it tells the relay the link is done
    std::string slave_path;
    modbus_t* sealer = nullptr;
    DeviceLink link;

    static zklog::device::SerialSettings settings() {
        zklog::device::SerialSettings s;
        s.response_timeout = kResponseTimeout;
        s.byte_timeout = kByteTimeout;
        return s;
    }

    Bench() : link(settings()) {
        master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
            fail("no pty");
        }
        slave_path = ptsname(master);
        slave = open(slave_path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (slave < 0) {
            fail("cannot open the pty's slave side");
        }
        // Echo and CR/LF translation would alter binary frames on their way through.
        make_raw(slave);
        if (link.open_path(slave_path) != DeviceLink::kOpenOk) {
            fail("DeviceLink cannot open the pty");
        }
        if (pipe(done.data()) != 0) {
            fail("no pipe to tell the relay the link is done");
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

// poll() restarted after a signal (libFuzzer's own timers among them): a wait cut short that
// way would end the relay's serving early and leave the link's requests unanswered.
int poll_restarting(pollfd* fds, nfds_t count, int timeout_ms) {
    for (;;) {
        const int ready = poll(fds, count, timeout_ms);
        if (ready != -1 || errno != EINTR) {
            return ready;
        }
    }
}

void drain(int fd) {
    std::array<std::uint8_t, 512> buffer{};
    while (read(fd, buffer.data(), buffer.size()) > 0) {
    }
}

// One holding-register read as the harness asks it.
struct Read {
    std::uint32_t address = 0;
    std::uint32_t count = 0;

    bool asked_by(const std::vector<std::uint8_t>& request) const {
        const std::array<std::uint8_t, 6> expected{static_cast<std::uint8_t>(address),
                                                   0x03,
                                                   static_cast<std::uint8_t>(kFirstRegister >> 8),
                                                   static_cast<std::uint8_t>(kFirstRegister),
                                                   static_cast<std::uint8_t>(count >> 8),
                                                   static_cast<std::uint8_t>(count)};
        return request.size() == kRequestBytes &&
               std::equal(expected.begin(), expected.end(), request.begin());
    }
};

// A whole reply to `read` (less the CRC) whose words are each tied to their place, so that
// words of any other reply differ from them.
std::vector<std::uint8_t> tied_reply(const Read& read) {
    std::vector<std::uint8_t> frame{static_cast<std::uint8_t>(read.address), 0x03,
                                    static_cast<std::uint8_t>(2 * read.count)};
    for (std::uint32_t i = 0; i < read.count; ++i) {
        const auto word = static_cast<std::uint16_t>(0xA5A5 ^ (i * 0x0101));
        frame.push_back(static_cast<std::uint8_t>(word >> 8));
        frame.push_back(static_cast<std::uint8_t>(word));
    }
    return frame;
}

// The relay's side of one input: takes each whole request off the master and answers it, the
// retries of a garbled reply included, until the link is done; then takes in whatever requests
// are still on their way, unanswered, so that every request the link sent is counted.
struct Relay {
    int master;
    modbus_t* sealer;
    Read first;
    Read second;
    std::span<const std::uint8_t> reply;
    std::vector<std::uint8_t> second_reply;
    bool seal;
    bool late;
    std::vector<std::vector<std::uint8_t>> requests;

    void answer(std::span<const std::uint8_t> frame, bool sealed) const {
        const bool sealable = frame.size() >= 2 && frame.size() <= MODBUS_MAX_PDU_LENGTH + 1;
        if (sealed && sealable) {
            (void)modbus_send_raw_request(sealer, frame.data(), static_cast<int>(frame.size()));
        } else if (!frame.empty()) {
            (void)write(master, frame.data(), frame.size());
        }
    }

    void serve(int done) {
        std::vector<std::uint8_t> request;
        while (request_coming(done)) {
            if (!take_request(request)) {
                continue;
            }
            if (first.asked_by(request)) {
                if (late && requests.empty()) {
                    std::this_thread::sleep_for(kLateBy);
                }
                answer(reply, seal);
            } else if (late && second.asked_by(request)) {
                answer(second_reply, true);
            }
            requests.push_back(std::move(request));
            request.clear();
        }
        // The link gives a request up only after waiting for its reply, so whatever it sent is
        // on the master by now.
        while (take_request(request)) {
            requests.push_back(std::move(request));
            request.clear();
        }
    }

    // Waits for request bytes until the link is done (a byte on `done`); false then, or when
    // none has come for far longer than any read waits.
    bool request_coming(int done) const {
        std::array<pollfd, 2> fds{{{master, POLLIN, 0}, {done, POLLIN, 0}}};
        if (poll_restarting(fds.data(), fds.size(), kRequestWaitMs) <= 0) {
            return false;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            char byte = 0;
            (void)read(done, &byte, 1);
            return false;
        }
        return true;
    }

    // Reads on toward a whole request, without waiting; true once there is one.
    bool take_request(std::vector<std::uint8_t>& request) const {
        std::array<std::uint8_t, kRequestBytes> buffer{};
        const ssize_t got = read(master, buffer.data(), kRequestBytes - request.size());
        if (got > 0) {
            request.insert(request.end(), buffer.begin(), buffer.begin() + got);
        }
        return request.size() == kRequestBytes;
    }
};

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

void check_result(std::uint32_t result, const DeviceLink& link, std::span<const std::uint8_t> reply,
                  std::uint32_t count) {
    if (result == DeviceLink::kReadOk) {
        check_success(link, reply, count);
    } else if (result == DeviceLink::kReadFailed) {
        check_failure(link);
    } else {
        fail("modbus_rd returned neither kReadOk nor kReadFailed");
    }
}

// Each read that succeeded was asked, no read more often than its retries allow, and nothing
// else was asked. A read that failed may never have reached the relay: before the next request
// the link purges the line both ways, which drops a request still waiting on the master when the
// relay thread was kept from reading it that long (a busy machine).
void check_requests(const Relay& relay, bool first_read, bool second_read) {
    std::size_t first = 0;
    std::size_t second = 0;
    for (const auto& request : relay.requests) {
        if (relay.first.asked_by(request)) {
            ++first;
        } else if (relay.late && relay.second.asked_by(request)) {
            ++second;
        } else {
            fail("a request is not a read of the asked registers");
        }
    }
    const std::size_t most = DeviceLink::kGarbledRetries + 1;
    if ((first_read && first == 0) || (second_read && second == 0)) {
        fail("a read succeeded that was never asked");
    }
    if (first > most || second > most) {
        fail("a read was asked more often than its retries allow");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    Bench& b = bench();
    const std::uint32_t count =
        data[1] < 0x80 ? kDownloadCounts[data[1] % kDownloadCounts.size()] : data[1] % 125 + 1;
    const std::uint32_t address = data[2] % 248;
    Relay relay{.master = b.master,
                .sealer = b.sealer,
                .first = {address, count},
                .second = {address, count == 1 ? 10u : 1u},
                .reply = std::span<const std::uint8_t>(data + 3, size - 3),
                .second_reply = tied_reply({address, count == 1 ? 10u : 1u}),
                .seal = (data[0] & 1) != 0,
                .late = (data[0] & 2) != 0,
                .requests = {}};

    // Nothing of the last input may reach this one: neither a request it left on the master
    // nor reply bytes the link did not take.
    drain(b.master);
    drain(b.slave);
    // Opened anew, the link owes no reply of the last input: each input waits only for its own.
    if (b.link.open_path(b.slave_path) != DeviceLink::kOpenOk) {
        fail("DeviceLink cannot open the pty again");
    }

    std::thread relay_thread([&] { relay.serve(b.done[0]); });
    const std::uint32_t first = b.link.modbus_rd(address, kFirstRegister, count);
    check_result(first, b.link, relay.reply, count);
    std::uint32_t second = DeviceLink::kReadFailed;
    if (relay.late) {
        second = b.link.modbus_rd(address, kFirstRegister, relay.second.count);
        // Its words are its own reply's, never the late one's.
        check_result(second, b.link, relay.second_reply, relay.second.count);
    }
    (void)write(b.done[1], "", 1);
    relay_thread.join();
    check_requests(relay, first == DeviceLink::kReadOk, second == DeviceLink::kReadOk);
    return 0;
}
