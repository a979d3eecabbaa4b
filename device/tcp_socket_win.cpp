// Winsock sets WSAGetLastError(), not errno, for the socket's own failures.
#include "device/tcp_socket.h"

#include <cerrno>
#include <winsock2.h>
#include <ws2tcpip.h>

namespace zklog::device {

namespace {

int errno_of(int wsa_error) {
    switch (wsa_error) {
    case WSAECONNRESET:
    case WSAECONNABORTED:
    case WSAENETRESET:
    case WSAESHUTDOWN:
    case WSAENOTCONN:
        return ECONNRESET;
    case WSAENOTSOCK:
        return EBADF;
    case WSAETIMEDOUT:
        return ETIMEDOUT;
    case WSAEWOULDBLOCK:
    case WSAEINPROGRESS:
        return EINPROGRESS;
    case WSAECONNREFUSED:
        return ECONNREFUSED;
    case WSAENETUNREACH:
        return ENETUNREACH;
    case WSAEHOSTUNREACH:
        return EHOSTUNREACH;
    default:
        return EIO;
    }
}

} // namespace

int send_frame(int socket, std::span<const std::uint8_t> frame) {
    std::size_t done = 0;
    while (done < frame.size()) {
        const int sent =
            ::send(static_cast<SOCKET>(socket), reinterpret_cast<const char*>(frame.data() + done),
                   static_cast<int>(frame.size() - done), 0);
        if (sent <= 0) {
            return sent < 0 ? errno_of(WSAGetLastError()) : ECONNRESET;
        }
        done += static_cast<std::size_t>(sent);
    }
    return 0;
}

void clear_socket_failure_cause() {
    errno = 0;
    WSASetLastError(0);
}

int socket_failure_cause() {
    // libmodbus hands a failed connection's SO_ERROR on as errno: a Winsock code.
    if (errno >= WSABASEERR) {
        return errno_of(errno);
    }
    if (errno != 0) {
        return errno;
    }
    const int wsa_error = WSAGetLastError();
    return wsa_error != 0 ? errno_of(wsa_error) : EIO;
}

// libmodbus has started Winsock (WSAStartup) for the connection that failed.
std::string name_lookup_failure(const std::string& host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (error != 0) {
        return ::gai_strerrorA(error);
    }
    ::freeaddrinfo(found);
    return {};
}

} // namespace zklog::device
