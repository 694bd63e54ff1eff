// S7 protocol data units: the 10- or 12-byte header, the parameter part and the data part.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/bytes.h"

namespace vaultra::sim::s7 {

inline constexpr std::uint8_t kProtocolId = 0x32;

enum class Rosctr : std::uint8_t { Job = 1, Ack = 2, AckData = 3, UserData = 7 };

struct Pdu {
    Rosctr rosctr = Rosctr::Job;
    // The reference is echoed in the byte order the client used; clients differ in that order.
    std::array<std::uint8_t, 2> reference{};
    std::uint8_t errorClass = 0;
    std::uint8_t errorCode = 0;
    Bytes param;
    Bytes data;
};

// Acknowledge telegrams carry the two error bytes after the lengths.
inline bool HasErrorBytes(Rosctr rosctr) {
    return rosctr == Rosctr::Ack || rosctr == Rosctr::AckData;
}
inline std::size_t HeaderSize(Rosctr rosctr) {
    return HasErrorBytes(rosctr) ? 12 : 10;
}

// Decodes one PDU. Bytes after the announced parameter and data parts are ignored; a PDU shorter than
// its header announces is refused with a reason.
std::optional<Pdu> DecodePdu(ByteView bytes, std::string* why);
Bytes EncodePdu(const Pdu& pdu);

}  // namespace vaultra::sim::s7
