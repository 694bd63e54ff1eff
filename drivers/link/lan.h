// LAN connections of the link (ports 128..255) and the flavour a driver library is built with.
#pragma once

#include <cstdint>

#include "drivers/link/com.h"

namespace vaultra::link {

// Fixed per object library: vaultra_link_serial (TARN5, TARN7), vaultra_link_lan (TARN5IP, TARN7IP),
// vaultra_link_iso (TARN7RFC: adds framing type 3, ISO-on-TCP with the TPKT header, port 102).
enum class Flavour { kSerialOnly, kLan, kIsoOnTcp };
Flavour LinkFlavour();

inline constexpr std::int16_t kFramingRaw = 1;             // TCP port 10010
inline constexpr std::int16_t kFramingLengthPrefixed = 2;  // TCP port 64738
inline constexpr std::int16_t kFramingTpkt = 3;            // TCP port 102 (ISO-on-TCP flavour only)
inline constexpr int kLanReceiveBufferSize = 2048;
inline constexpr std::int32_t kLanMaxWrite = 1024;

// Results of NewMPILanCom besides a port number.
inline constexpr std::int32_t kLanInvalidAddress = -1;
inline constexpr std::int32_t kLanNoFreePort = -2;
inline constexpr std::int32_t kLanNotAvailable = -3;

// Registers a LAN connection and returns its port number (128..255), or -1 (address text not a dotted IPv4
// address), -2 (all 128 numbers taken), -3 (serial-only flavour). The same adapter address registered again
// returns its port and changes nothing. Time-outs in ms (-1 leaves the system default for receive and send).
// localAddress and netMask are IPv4 in network byte order; the socket binds to localAddress (0 or all ones:
// any local address). The TCP connection is made on the first read or write, bounded by connectTimeoutMs.
// Ports: VAULTRA_LAN_RAW_PORT, VAULTRA_LAN_FRAMED_PORT and VAULTRA_ISO_TCP_PORT override 10010, 64738, 102.
std::int32_t NewMPILanCom(const char* address, std::int32_t receiveTimeoutMs, std::int32_t sendTimeoutMs,
                          std::int32_t connectTimeoutMs, std::int16_t framingType, std::uint32_t localAddress,
                          std::uint32_t netMask);

// TCP port used for a framing type in this flavour (after the environment overrides).
std::uint16_t LanTcpPortFor(std::int16_t framingType);

}  // namespace vaultra::link
