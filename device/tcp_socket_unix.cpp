#include "device/tcp_socket.h"

#include <cerrno>
#include <netdb.h>
#include <sys/socket.h>

namespace zklog::device {

int send_frame(int socket, std::span<const std::uint8_t> frame) {
    std::size_t done = 0;
    while (done < frame.size()) {
        const ssize_t sent = ::send(socket, frame.data() + done, frame.size() - done, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent <= 0) {
            return sent < 0 ? errno : ECONNRESET;
        }
        done += static_cast<std::size_t>(sent);
    }
    return 0;
}

void clear_socket_failure_cause() {
    errno = 0;
}

int socket_failure_cause() {
    return errno != 0 ? errno : EIO;
}

std::string name_lookup_failure(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (error != 0) {
        return ::gai_strerror(error);
    }
    ::freeaddrinfo(found);
    return {};
}

} // namespace zklog::device
