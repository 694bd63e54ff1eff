// The programming port seen from the PLC: bytes in and out of one connection, and the AS511 telegram
// steps the PLC takes (acknowledging, answering, receiving parameters). Written from the PLC's side.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/bytes.h"

namespace vaultra::sim::s5 {

inline constexpr std::uint8_t kStx = 0x02, kEtx = 0x03, kEot = 0x04, kAck = 0x06, kDle = 0x10, kNak = 0x15,
                              kSyn = 0x16;

// One connection's byte stream (a pseudo-terminal or a TCP connection with or without framing).
class Wire {
public:
    enum class Got { Byte, Timeout, Closed };
    virtual ~Wire() = default;
    virtual Got Read(std::uint8_t& b, std::chrono::milliseconds wait) = 0;
    virtual bool Write(ByteView bytes) = 0;
    // Breaks the connection off; false when the medium cannot be cut (a serial line).
    virtual bool Cut() { return false; }
};

class PlcLine {
public:
    PlcLine(Wire& wire, std::chrono::milliseconds byteWait) : wire_(wire), byteWait_(byteWait) {}

    Wire::Got Next(std::uint8_t& b, std::chrono::milliseconds wait);
    // A byte within the byte wait; a new telegram start (STX) in its place is kept for the idle loop.
    bool Expect(std::uint8_t x);
    bool ExpectPair(std::uint8_t x) { return Expect(kDle) && Expect(x); }
    bool Send(ByteView bytes) { return wire_.Write(bytes); }
    bool SendAck();
    // STX, the PC's DLE ACK, the data with every DLE doubled, DLE end, the PC's DLE ACK.
    bool SendTelegram(ByteView data, std::uint8_t end = kEtx);
    // The PC's data up to DLE ETX or DLE EOT (acknowledged); at most limit bytes.
    std::optional<Bytes> ReceiveData(std::size_t limit, std::uint8_t* end = nullptr);
    Wire& Raw() { return wire_; }

private:
    Wire& wire_;
    std::chrono::milliseconds byteWait_;
    std::optional<std::uint8_t> pushedBack_;
};

}  // namespace vaultra::sim::s5
