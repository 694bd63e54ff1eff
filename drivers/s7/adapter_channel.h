// The MPI adapter protocol: adapter initialisation, station list, on-demand connect with PDU setup,
// data telegrams with confirmations and acknowledgements, segmented answers, station change.
#pragma once

#include <array>
#include <cstdint>

#include "drivers/s7/adapter_line.h"
#include "drivers/s7/channel.h"

namespace vaultra::s7 {

inline constexpr size_t kStationCount = 127;
inline constexpr uint8_t kStationActive = 0x30;
inline constexpr uint8_t kHighestStation = 126;

class AdapterChannel : public Channel {
public:
    // honourAdapterMode: the serial library's short initialisation after Init mode 1.
    explicit AdapterChannel(bool honourAdapterMode) : honourAdapterMode_(honourAdapterMode) {}

    bool Initialise(ConnectionRecord& record) override;
    bool DisconnectAndRelease(ConnectionRecord& record) override;
    bool EnsureConnected(ConnectionRecord& record) override;
    bool PrepareStation(ConnectionRecord& record) override;
    bool Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
              std::span<const uint8_t> data) override;
    bool SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                   std::span<const uint8_t> data) override;
    bool Receive(ConnectionRecord& record, Answer& answer) override;
    bool StationActive(const ConnectionRecord& record) const override;

    uint8_t Sequence() const { return sequence_; }

private:
    bool SendPdu(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                 std::span<const uint8_t> data, bool errorBytes);
    struct ReceivedHeader {
        uint8_t segment = 0;
        uint8_t sequence = 0;
        s7wire::S7Header s7;
    };

    bool Command(ConnectionRecord& record, std::span<const uint8_t> command, AdapterLine::Form form, size_t n,
                 std::vector<uint8_t>& reply, int32_t timeoutTicks);
    bool BusParameters(ConnectionRecord& record);
    bool ShortInitialisation(ConnectionRecord& record);
    bool Connect(ConnectionRecord& record);
    bool ConnectSteps(ConnectionRecord& record);
    bool Disconnect(ConnectionRecord& record);
    bool SendAck(ConnectionRecord& record, uint8_t sequence);
    bool ReceiveContinuation(ConnectionRecord& record, Answer& answer);
    bool DropAnswer(ConnectionRecord& record, const ReceivedHeader& head, const Answer& answer);
    void AdvanceSequence() { sequence_ = sequence_ == 255 ? 1 : static_cast<uint8_t>(sequence_ + 1); }
    void Bind(const ConnectionRecord& record) { line_.port = record.port; }

    bool honourAdapterMode_;
    AdapterLine line_;
    uint8_t sequence_ = 0;
    uint8_t localAddress_ = 0;
    uint8_t targetStation_ = 0;
    int32_t connectedStation_ = -1;
    std::array<uint8_t, kStationCount> stationList_{};
};

}  // namespace vaultra::s7
