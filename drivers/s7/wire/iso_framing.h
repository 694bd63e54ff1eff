// ISO-on-TCP: the few transport PDUs of a class 0 connection. The TPKT header in front of each has its home
// in the link (drivers/link/tpkt.h), which adds and strips it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vaultra::s7wire {

// Transport PDU codes (second byte of a transport PDU).
inline constexpr uint8_t kTpduConnectRequest = 0xE0;
inline constexpr uint8_t kTpduConnectConfirm = 0xD0;
inline constexpr uint8_t kTpduData = 0xF0;
inline constexpr uint8_t kTpduDisconnectRequest = 0x80;
inline constexpr uint8_t kTpduLastDataUnit = 0x80;  // third byte of a data TPDU: last unit

inline constexpr size_t kConnectRequestSize = 18;
inline constexpr size_t kDataHeaderSize = 3;

// Connection request with local TSAP 01 00, remote TSAP 02 <rackSlot>, own reference 0x0001 and the
// proposed TPDU size code 08.
std::array<uint8_t, kConnectRequestSize> ConnectionRequest(uint8_t rackSlot);

// The 3-byte data TPDU header sent before every S7 PDU: 02 F0 80.
std::array<uint8_t, kDataHeaderSize> DataHeader();

// Disconnect request naming the peer's transport reference (as received).
std::array<uint8_t, 7> DisconnectRequest(std::array<uint8_t, 2> peerReference);

// An 18-byte connection confirm: returns the peer's source reference (bytes 4-5).
bool ParseConnectionConfirm(std::span<const uint8_t> tpdu, std::array<uint8_t, 2>& peerReference);

}  // namespace vaultra::s7wire
