// How a DeviceLink's requests reach the relay: straight down a serial line (RtuTransport), or
// through a Modbus TCP gateway (TcpTransport). Each knows its own framing and what its medium
// does to a reply; the link keeps the retries and the words.
#pragma once

#include "device/late_reply.h"
#include "device/read_reply.h"

#include <cstdint>
#include <functional>
#include <span>
#include <string>

namespace zklog::device {

class LinkTransport {
public:
    LinkTransport() = default;
    virtual ~LinkTransport() = default;
    LinkTransport(const LinkTransport&) = delete;
    LinkTransport& operator=(const LinkTransport&) = delete;

    // Opens the port or connection (again, after lose()). False when it cannot; open_error()
    // then says why.
    virtual bool connect() = 0;
    // Closes an open port or connection in good order.
    virtual void close() = 0;
    // Lets go of a port or connection found gone, without touching it further.
    virtual void lose() = 0;
    // Why the last connect() failed, in the system's words (empty when the medium says not).
    virtual std::string open_failure() const { return {}; }

    // One request and its reply; on success the request's words are in `words`. A non-empty
    // `while_reply_travels` is run (and emptied) once the request is on its way, or before it
    // where waiting would gain nothing (see DeviceLink::while_next_reply_travels).
    virtual ReplyVerdict exchange(const ReadRequest& request, std::span<std::uint16_t> words,
                                  std::function<void()>& while_reply_travels) = 0;
    // After a garbled reply, before the request is asked again: what is left of it goes.
    virtual void discard_spoilt_reply(int error) = 0;
};

} // namespace zklog::device
