// The TPKT header of ISO-on-TCP (RFC 1006): 03 00 and the packet's total length, header included,
// big-endian. The link adds it to every block written on an ISO-on-TCP port and strips it when reading.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/byte_order.h>

namespace vaultra::link {

inline constexpr std::size_t kTpktHeaderSize = 4;
inline constexpr std::uint8_t kTpktVersion = 0x03;
// The largest total length the 16-bit field can announce.
inline constexpr std::size_t kTpktMaxTotal = 0xFFFF;

// The header in front of a payload of payloadSize bytes (at most kTpktMaxTotal - kTpktHeaderSize).
inline std::array<std::uint8_t, kTpktHeaderSize> TpktHeader(std::size_t payloadSize) {
    std::array<std::uint8_t, kTpktHeaderSize> header{kTpktVersion, 0x00, 0x00, 0x00};
    bytes::StoreBe16(header, 2, static_cast<std::uint16_t>(payloadSize + kTpktHeaderSize));
    return header;
}

// Checks the version byte and returns the total length the header announces (at least the header).
inline bool ParseTpktHeader(std::span<const std::uint8_t> header, std::size_t& totalLength) {
    if (header.size() < kTpktHeaderSize || header[0] != kTpktVersion)
        return false;
    totalLength = bytes::LoadBe16(header, 2);
    return totalLength >= kTpktHeaderSize;
}

}  // namespace vaultra::link
