// The MPI adapter as the PC sees it on its serial line (or on TCP through a LAN adapter): block framing
// with DLE/STX handshake, DLE doubling and XOR check, the adapter's own commands and replies, the
// station connect, data telegrams carrying S7 PDUs with confirmations, acknowledgements and F0
// segments for long answers.
#pragma once

#include <deque>
#include <memory>
#include <string>

#include "sim/s7/plc.h"
#include "sim/s7/session.h"
#include "sim/transport/framing/block_line.h"
#include "sim/transport/handler.h"

namespace vaultra::sim {

class MpiAdapter : public ProtocolHandler {
public:
    MpiAdapter(s7::Plc& plc, std::string name);
    TransportOutput OnBytes(ByteView bytes, Clock::time_point now) override;
    TransportOutput OnTick(Clock::time_point now) override;

    static constexpr std::size_t kMaxTelegram = 1024;
    static constexpr std::size_t kFirstSegment = 240;
    static constexpr std::size_t kLaterSegment = 250;

private:
    enum class Line { Idle, Receiving, AwaitGrant, AwaitAccept };
    struct Outgoing {
        Bytes content;
        bool holdsNext = false;  // the next telegram waits for the PC's acknowledgement of this one
    };

    void OnByte(std::uint8_t byte, Clock::time_point now, Bytes& out);
    void OnTelegramByte(std::uint8_t byte, Bytes& out);
    void OnTelegram(const Bytes& content);
    void OnAdapterCommand(const Bytes& content);
    void OnConnect(const Bytes& content);
    void OnStationTelegram(const Bytes& content, bool wasHeld);
    void QueuePdu(ByteView pdu);
    void Queue(Bytes content, bool holdsNext = false);
    void StartSending(Clock::time_point now, Bytes& out);
    void Retry(Clock::time_point now, Bytes& out);

    s7::Plc& plc_;
    std::string name_;
    Line line_ = Line::Idle;
    Clock::time_point since_{};
    line::BlockReceiver receiver_{kMaxTelegram};
    std::deque<Outgoing> queue_;
    bool held_ = false;
    bool cut_ = false;  // waiting for the PC's acknowledgement or continue request
    int attempts_ = 0;
    bool busParametersOk_ = false;
    std::uint8_t localAddress_ = 0;
    std::uint8_t sequence_ = 0;
    std::unique_ptr<s7::Session> session_;
};

}  // namespace vaultra::sim
