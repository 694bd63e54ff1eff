// ISO transport on TCP as the PLC frames it: every transport PDU travels in a TPKT packet (version 3,
// a reserved byte, the packet length including these four bytes, big-endian). The few class 0 TPDU
// codes a PLC meets are here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>

#include "sim/bytes.h"

namespace vaultra::sim::tpkt {

inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::uint8_t kVersion = 0x03;

// TPDU codes (high nibble of the second TPDU byte) and the end-of-TSDU flag of a data TPDU.
inline constexpr std::uint8_t kConnectRequest = 0xE0;
inline constexpr std::uint8_t kConnectConfirm = 0xD0;
inline constexpr std::uint8_t kDisconnectRequest = 0x80;
inline constexpr std::uint8_t kData = 0xF0;
inline constexpr std::uint8_t kEndOfUnit = 0x80;
inline constexpr std::size_t kDataHeaderSize = 3;

// One packet around a TPDU.
Bytes Packet(ByteView tpdu);
// A data TPDU (02 F0, end flag) in its packet.
Bytes DataPacket(ByteView userData, bool last);

// Cuts a TCP byte stream into packets. A header that is not version 3 or announces a length below
// the smallest TPDU or above the limit breaks the stream for good.
class PacketStream {
public:
    explicit PacketStream(std::size_t limit) : limit_(limit) {}
    void Add(ByteView bytes);
    // The next complete TPDU (without the packet header), if one is there.
    std::optional<Bytes> Next();
    bool Broken() const { return broken_; }
    // What is buffered, for logging a broken stream.
    ByteView Pending() const { return ByteView(buffer_).subspan(used_); }

private:
    std::size_t limit_;
    Bytes buffer_;
    std::size_t used_ = 0;
    bool broken_ = false;
};

}  // namespace vaultra::sim::tpkt
