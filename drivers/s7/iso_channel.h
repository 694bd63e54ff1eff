// ISO-on-TCP in place of the MPI adapter: a class 0 transport connection straight to the PLC, one S7
// PDU per data TPDU. The link adds and strips the TPKT header.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "drivers/link/com.h"
#include "drivers/s7/channel.h"

namespace vaultra::s7 {

// A received packet is read into a buffer of this size; larger ones are refused.
inline constexpr size_t kIsoPacketCapacity = 1024;

class IsoChannel final : public Channel {
public:
    bool Initialise(ConnectionRecord& record) override;
    bool DisconnectAndRelease(ConnectionRecord& record) override;
    bool EnsureConnected(ConnectionRecord& record) override;
    bool PrepareStation(ConnectionRecord& record) override;
    bool Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
              std::span<const uint8_t> data) override;
    bool SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                   std::span<const uint8_t> data) override;
    bool Receive(ConnectionRecord& record, Answer& answer) override;
    bool StationActive(const ConnectionRecord&) const override { return false; }

private:
    bool SendPdu(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                 std::span<const uint8_t> data, bool errorBytes);
    bool CheckPending(ConnectionRecord& record);
    bool Connect(ConnectionRecord& record);
    bool Write(ConnectionRecord& record, const std::vector<uint8_t>& tpdu);
    // One packet within the time-out (attempts times); 0 when nothing arrived, at once when the link
    // lost the connection (lost_).
    size_t WaitPacket(ProgressSink* progress, bool* cancelled);
    uint16_t NoAnswerStatus() const;
    // The connection is gone: status 4, and the next request connects anew.
    void FailLost(ConnectionRecord& record);
    bool ReceiveContinuation(ConnectionRecord& record, Answer& answer);
    enum class Taken { kAnswer, kFailed, kLate };
    // One packet's answer; kLate for an answer to an earlier request (dropped with its further units).
    Taken ReceiveOne(ConnectionRecord& record, Answer& answer);

    link::Port port_ = 0;
    std::array<uint8_t, 2> peerReference_{};
    std::vector<uint8_t> packet_ = std::vector<uint8_t>(kIsoPacketCapacity);
    bool lost_ = false;  // the last wait ended because the connection was gone
};

}  // namespace vaultra::s7
