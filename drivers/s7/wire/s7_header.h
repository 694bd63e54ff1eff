// The S7 PDU header and the MPI adapter's data telegram header in front of it.
//
// S7 header (10 bytes): 32, ROSCTR, 00 00, PDU reference (low byte first, as this family of stations
// sends it), parameter length and data length (big-endian). Acknowledgements (ROSCTR 2 and 3) carry
// error class and code after it.
// Adapter data telegram header (6 bytes): 00 0C 03 03, F1 (final) or F0 (more follows), sequence byte.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7wire {

inline constexpr uint8_t kS7ProtocolId = 0x32;
inline constexpr size_t kS7HeaderSize = 10;
inline constexpr size_t kS7ErrorBytes = 2;

enum Rosctr : uint8_t {
    kRosctrJob = 1,
    kRosctrAck = 2,
    kRosctrAckData = 3,
    kRosctrUserData = 7,
};

struct S7Header {
    uint8_t rosctr = kRosctrJob;
    uint16_t pduReference = 0;
    uint16_t paramLength = 0;
    uint16_t dataLength = 0;
};

// Appends the 10 header bytes.
void AppendS7Header(std::vector<uint8_t>& out, const S7Header& header);

// Reads the 10 header bytes; fails on a short input or a protocol byte other than 32.
bool ReadS7Header(ByteReader& in, S7Header& header);

// A whole PDU: header, for `withErrorBytes` the two bytes 00 00, parameter and data.
std::vector<uint8_t> BuildS7Pdu(uint8_t rosctr, uint16_t pduReference, std::span<const uint8_t> param,
                                std::span<const uint8_t> data, bool withErrorBytes = false);

inline constexpr size_t kAdapterHeaderSize = 6;
inline constexpr uint8_t kAdapterFinal = 0xF1;
inline constexpr uint8_t kAdapterMore = 0xF0;

std::array<uint8_t, kAdapterHeaderSize> AdapterDataHeader(uint8_t sequence, bool final = true);

// The adapter acknowledgement 00 0C 03 03 B0 01 <sequence> and the request for the next piece of a
// segmented answer 00 0C 03 03 05 01.
std::array<uint8_t, 7> AdapterAck(uint8_t sequence);
std::array<uint8_t, 6> ContinueTelegram();

}  // namespace vaultra::s7wire
