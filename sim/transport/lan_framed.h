// The MPI adapter behind a LAN adapter with length-prefixed framing: every block the PC writes arrives
// as a 16-bit length (least significant byte first) followed by the bytes; the answers go back unframed.
#pragma once

#include "sim/transport/mpi_adapter.h"

namespace vaultra::sim {

class LanFramedAdapter : public ProtocolHandler {
public:
    LanFramedAdapter(s7::Plc& plc, std::string name);
    TransportOutput OnBytes(ByteView bytes, Clock::time_point now) override;
    TransportOutput OnTick(Clock::time_point now) override { return adapter_.OnTick(now); }

    static constexpr std::size_t kMaxBlock = 1022;

private:
    s7::Plc& plc_;
    std::string name_;
    MpiAdapter adapter_;
    Bytes buffer_;
};

}  // namespace vaultra::sim
