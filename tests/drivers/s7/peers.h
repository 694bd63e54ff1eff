// Test peers under the driver: a simulated MPI adapter that speaks the block framing and relays S7
// PDUs to a MiniPlc, and an ISO-on-TCP peer that answers packets. They frame with the simulator's
// framing, never with the driver's, so that a misreading of the driver cannot pass as agreement. Both run on
// a virtual clock and record everything the driver sent.
#pragma once

#include <deque>
#include <functional>
#include <map>
#include <vector>

#include "drivers/link/byte_link.h"
#include "sim/transport/framing/block_line.h"
#include "tests/drivers/s7/mini_plc.h"

namespace vaultra::s7::testing {

class PeerBase : public link::ByteLink, public link::Clock {
public:
    MiniPlc plc;
    Bytes written;  // every byte the driver wrote
    int opens = 0;
    int releases = 0;
    int flushes = 0;
    bool failOpen = false;

    int OpenShared(link::Port, std::int32_t, std::uint8_t, char, std::int32_t) override;
    int Release(link::Port) override;
    int Close(link::Port) override { return 1; }
    void CloseAll() override {}
    bool IsOpen(link::Port) override { return opens > releases; }
    int Flush(link::Port) override;
    int Break(link::Port, std::int32_t) override { return 1; }
    int PulseBreak(link::Port) override { return 1; }
    void* Handle(link::Port) override { return this; }

    std::uint64_t NowMs() override { return nowMs_; }
    void SleepMs(std::uint32_t ms) override { nowMs_ += ms; }

protected:
    std::uint64_t nowMs_ = 5'000'000;
};

class AdapterPeer final : public PeerBase {
public:
    // Fault switches.
    int nakTelegrams = 0;        // answer the next n telegrams of the driver with NAK
    bool silent = false;         // answer nothing at all
    bool cut = false;            // the LAN connection is gone (Cut): reads find nothing and say so at once
    bool refuseConnect = false;  // short reply to the connect telegram
    bool echoConnect = false;    // answer the connect with an echo of it, as some adapters do
    Bytes busReply{0x01, 0x03, 0x20, 0x56, 0x35, 0x2E, 0x30, 0x30, 0x30};
    size_t telegramLimit = 246;  // longer answers are split: header + 230 bytes, then 250-byte pieces
    int stxCollisions = 0;       // answer the driver's next STX with an unsolicited telegram
    std::function<void(const Bytes&)> onTelegram;      // sees every telegram of the driver first
    std::function<void(const Bytes&)> onDataTelegram;  // sees every S7 request telegram
    // S7 PDUs sent between the confirmation and the answer of the next request, as late answers to earlier
    // requests would arrive; the real answer then waits for the driver's acknowledgement of the last one.
    std::vector<Bytes> lateAnswers;

    std::vector<Bytes> telegrams;    // contents of the driver's telegrams, in order
    std::vector<uint8_t> sequences;  // sequence bytes of the driver's data telegrams
    int pieces = 0;                  // continuation telegrams sent
    std::vector<Bytes> writeCalls;   // what each write of the driver carried

    int ReadByte(link::Port, std::uint8_t* out) override { return Take(out, 1000); }
    int ReadByteTimed(link::Port, std::uint8_t* out, std::int32_t ticks) override {
        return Take(out, static_cast<std::uint64_t>(std::max(ticks, 0)) * link::kTickMs);
    }
    int HasInput(link::Port) override { return out_.empty() ? 0 : 1; }
    std::int32_t ReadPacket(link::Port, std::uint8_t*, std::int32_t) override { return 0; }
    int ConnectionLost(link::Port) override { return cut && out_.empty() ? 1 : 0; }
    int WriteByte(link::Port, std::uint8_t value) override;
    int Write(link::Port, const std::uint8_t* data, std::int32_t n) override;

    // Queues a telegram of the adapter (sent when the line is free).
    void Queue(const Bytes& content, bool holdUntilDriverTelegram = false);
    // The adapter closes the connection: what it already sent can still be read, nothing more comes, and
    // what the driver writes goes nowhere.
    void Cut();
    // A new connection: the adapter starts afresh.
    void Reconnect();

private:
    enum class State { kIdle, kReceiving, kAwaitGrant, kAwaitAccept };
    struct Outgoing {
        Bytes content;
        bool hold;
    };

    int Take(std::uint8_t* out, std::uint64_t waitMs);
    void Feed(uint8_t b);
    void Receive(uint8_t b);
    void TelegramDone(const Bytes& content);
    void StartNext();
    void Answer(const Bytes& pdu);
    void Emit(std::initializer_list<uint8_t> bytes) { out_.insert(out_.end(), bytes); }
    void Consume(uint8_t value);  // one byte the driver wrote

    State state_ = State::kIdle;
    sim::line::BlockReceiver receiver_{4096};
    std::deque<uint8_t> out_;
    std::deque<Outgoing> queue_;
    std::deque<Bytes> pieces_;
    uint8_t answerSequence_ = 0;
};

class IsoPeer final : public PeerBase {
public:
    bool refuseConnect = false;
    bool silent = false;
    bool cut = false;                // the connection is gone: reads find nothing and say so at once
    std::vector<Bytes> packets;      // every block the driver wrote (TPKT payloads)
    size_t splitAbove = 0;           // data TPDUs with more bytes are split into 250-byte units (0: never)
    std::vector<Bytes> lateAnswers;  // S7 PDUs delivered before the answer of the next request

    void Push(const Bytes& packet) { in_.push_back(packet); }

    int ReadByte(link::Port, std::uint8_t*) override { return 0; }
    int ReadByteTimed(link::Port, std::uint8_t*, std::int32_t) override { return 0; }
    int HasInput(link::Port) override { return in_.empty() ? 0 : 1; }
    std::int32_t ReadPacket(link::Port, std::uint8_t* buffer, std::int32_t capacity) override;
    int ConnectionLost(link::Port) override { return cut ? 1 : 0; }
    int WriteByte(link::Port, std::uint8_t) override { return 0; }
    int Write(link::Port, const std::uint8_t* data, std::int32_t n) override;

private:
    std::deque<Bytes> in_;
};

// Installs a peer as the link for the scope.
template <typename Peer>
struct PeerScope {
    Peer peer;
    link::ScopedLinkOverride guard{peer, peer};
};

}  // namespace vaultra::s7::testing
