// ISO transport on TCP from the PLC's side: TPKT packets, class 0 connection request and confirm with
// TSAP check, data TPDUs reassembled up to the last-unit flag, answers split to the agreed TPDU size,
// disconnect.
#pragma once

#include <array>
#include <memory>
#include <string>

#include "sim/s7/plc.h"
#include "sim/s7/session.h"
#include "sim/transport/framing/tpkt.h"
#include "sim/transport/handler.h"

namespace vaultra::sim {

class IsoTcpConnection : public ProtocolHandler {
public:
    IsoTcpConnection(s7::Plc& plc, std::string name);
    TransportOutput OnBytes(ByteView bytes, Clock::time_point now) override;

    // Largest TPKT packet accepted; anything larger is a broken peer.
    static constexpr std::size_t kMaxPacket = 8192;

private:
    void HandleTpdu(ByteView tpdu, TransportOutput& out);
    void Connect(ByteView tpdu, TransportOutput& out);
    void Refuse(const std::string& why, TransportOutput& out);
    void SendPdu(ByteView pdu, TransportOutput& out) const;

    s7::Plc& plc_;
    std::string name_;
    tpkt::PacketStream stream_{kMaxPacket};
    Bytes assembling_;
    std::unique_ptr<s7::Session> session_;
    std::array<std::uint8_t, 2> clientReference_{};
    std::size_t tpduSize_ = 128;
};

}  // namespace vaultra::sim
