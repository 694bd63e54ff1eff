// One registered LAN connection: settings, a lazily connected TCP socket and the receive buffer.
// A connection that broke (receive error, peer closed, failed send) is made again by the next write; a read
// never does it, and tells the break apart from mere silence (Lost).
#pragma once

#include <cstdint>
#include <memory>

#include "drivers/link/receive_ring.h"
#include "platform/tcp.h"

namespace vaultra::link {

struct LanSettings {
    std::uint32_t address = 0;  // adapter IPv4, network order
    std::uint16_t tcpPort = 0;
    std::int32_t receiveTimeoutMs = -1;
    std::int32_t sendTimeoutMs = -1;
    std::int32_t connectTimeoutMs = 0;
    std::int16_t framing = 1;        // 1 raw, 2 length-prefixed, 3 TPKT
    std::uint32_t localAddress = 0;  // network order; 0 or all ones: any
    std::uint32_t netMask = 0;
};

class LanConnection {
public:
    explicit LanConnection(const LanSettings& settings) : settings_(settings) {}

    const LanSettings& Settings() const { return settings_; }
    bool Connected() const { return socket_ != nullptr; }

    int WriteByte(std::uint8_t value);
    int Write(const std::uint8_t* data, std::int32_t n);
    // One byte, filling the buffer with a wait of waitMs when it is empty.
    int ReadByte(std::uint8_t* out, std::uint32_t waitMs);
    // 1 when a byte is buffered or arrives without waiting.
    int HasInput();
    // One packet: a TPKT payload for framing type 3, else what is buffered (waiting for the first byte).
    std::int32_t ReadPacket(std::uint8_t* buffer, std::int32_t capacity, std::uint32_t waitMs);
    // Drops everything pending on the socket and in the buffer.
    void Discard();
    // Closes the socket with a reset; the next use connects again.
    void Close();
    // The wait of a read that uses the receive time-out.
    std::uint32_t ReceiveWaitMs() const;
    // The last read found no working connection: the peer had closed or reset it (a new one may have been
    // made since, which cannot carry the answer to a request sent on the old one), or none could be made.
    bool Lost() const { return lost_; }

private:
    bool EnsureConnected();
    bool SendFramed(const std::uint8_t* header, std::size_t headerLength, const std::uint8_t* data,
                    std::int32_t n);
    // Receives into the buffer with a wait of waitMs (connecting first when there is no connection, if
    // mayConnect); returns the number of bytes added.
    std::size_t Fill(std::uint32_t waitMs, bool mayConnect);
    std::size_t ReceiveOnce(std::uint32_t waitMs, bool* broken);
    // Reads up to n bytes (dst may be null to drop them) until deadlineMs; returns how many arrived.
    std::size_t ReadExact(std::uint8_t* dst, std::size_t n, std::uint64_t deadlineMs, bool mayConnect);
    std::int32_t ReadTpkt(std::uint8_t* buffer, std::int32_t capacity, std::uint32_t waitMs);

    LanSettings settings_;
    std::unique_ptr<platform::TcpClient> socket_;
    ReceiveRing ring_;
    bool lost_ = false;
};

}  // namespace vaultra::link
