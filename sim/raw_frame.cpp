#include "sim/raw_frame.h"

#include <array>
#include <cerrno>
#include <poll.h>
#include <unistd.h>

namespace zklog::sim {

std::vector<std::uint8_t> read_frame(int fd, int gap_ms) {
    std::vector<std::uint8_t> frame;
    std::array<std::uint8_t, 512> chunk{};
    for (;;) {
        const ssize_t got = read(fd, chunk.data(), chunk.size());
        if (got < 0 && errno == EINTR) {
            continue;
        }
        if (got <= 0) {
            return frame;
        }
        frame.insert(frame.end(), chunk.begin(), chunk.begin() + got);
        pollfd more{fd, POLLIN, 0};
        if (poll(&more, 1, gap_ms) <= 0 || (more.revents & POLLIN) == 0) {
            return frame;
        }
    }
}

std::vector<std::uint8_t> take_waiting_bytes(int fd) {
    std::vector<std::uint8_t> bytes;
    std::array<std::uint8_t, 512> chunk{};
    for (;;) {
        const ssize_t got = ::read(fd, chunk.data(), chunk.size());
        if (got <= 0) {
            break;
        }
        bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + got);
    }
    return bytes;
}

} // namespace zklog::sim
