// A reply frame checked against the holding-register read it is to answer.
#pragma once

#include "device/late_reply.h"

#include <cstdint>
#include <span>

namespace zklog::device {

struct ReplyVerdict {
    int error = 0;        // 0, or an errno value as DeviceLink::last_error() gives it
    bool garbled = false; // the line spoilt the reply: worth asking again
};

// `frame` is a whole RTU frame as libmodbus received it, its CRC already checked (empty when
// libmodbus skipped a frame of another slave unchecked). On success the request's words are in
// the first request.count entries of `words`.
ReplyVerdict check_read_reply(const ReadRequest& request, std::span<const std::uint8_t> frame,
                              std::span<std::uint16_t> words);

} // namespace zklog::device
