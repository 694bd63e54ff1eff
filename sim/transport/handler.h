// What a transport's protocol side gives back to the server after bytes arrived or time passed.
#pragma once

#include <chrono>

#include "sim/bytes.h"

namespace vaultra::sim {

struct TransportOutput {
    Bytes bytes;         // to write to the peer, in order
    bool close = false;  // close (reset) the connection after writing
};

// The protocol side of one connection (or of the serial line): a pure state machine, no I/O.
class ProtocolHandler {
public:
    using Clock = std::chrono::steady_clock;
    virtual ~ProtocolHandler() = default;
    virtual TransportOutput OnBytes(ByteView bytes, Clock::time_point now) = 0;
    // Called regularly so that time-outs can fire.
    virtual TransportOutput OnTick(Clock::time_point) { return {}; }
};

}  // namespace vaultra::sim
