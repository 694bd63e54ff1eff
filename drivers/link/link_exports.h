// Behaviour of the link-level exports of the driver libraries. Each driver library writes its own
// extern "C" wrappers with its family prefix and forwards to these, for example in TARN7IP:
//
//   VAULTRA_API int32_t S7OpenAll(void) { return vaultra::link::OpenAll(); }
//   VAULTRA_API int32_t S7GetBaudrate(ConnectionRecord*) { return vaultra::link::S7GetBaudrateMask(); }
//   VAULTRA_API void S5FlushCom(ConnectionRecord* r) { vaultra::link::FlushCom(r); }
//   VAULTRA_API void* ComGetHandle(uint16_t port) { return vaultra::link::GetHandle(port); }
//   VAULTRA_API int32_t NewMPILanCom(const char* a, int32_t rcv, int32_t snd, int32_t con, int16_t type,
//                                   uint32_t local, uint32_t mask) { return vaultra::link::NewMPILanCom(...);
//                                   }
//   VAULTRA_API int32_t WEP(int32_t reserved) { return vaultra::link::Wep(reserved); }
//
// None of these throws.
#pragma once

#include <cstddef>
#include <cstdint>

#include <vaultra/records.h>

#include "drivers/link/com.h"
#include "drivers/link/lan.h"

namespace vaultra::link {

// S5OpenAll/S5CloseAll, S7OpenAll/S7CloseAll: no effect, 1.
std::int32_t OpenAll();
std::int32_t CloseAll();

// S5 family (TARN5, TARN5IP): the one supported rate code.
std::int32_t S5GetBaudrate();                       // 0x0200
std::int32_t S5SetBaudrate(std::int32_t rateCode);  // 1 when bit 0x0100 is set, else 0; changes nothing

// S7 family (TARN7, TARN7IP, TARN7RFC): the library's serial adapter speed, default 19200.
// Set mask bits 0x1000 19200, 0x10000 38400, 0x100000 57600, 0x1000000 115200 (lowest wins); 0 when none.
std::int32_t S7SetBaudrate(std::uint32_t rateMask);
// Current rate as 0x2000, 0x20000, 0x200000 or 0x2000000.
std::int32_t S7GetBaudrate();
// The stored rate for ComOpenShared (0 stands for 115200, which ComOpenShared maps back).
std::int32_t S7StoredBaudRate();

// S5GetAdapterName/S7GetAdapterName: the index-th (from 0) network adapter's name (interface name such as
// "eth0"), adapters with an IPv4 address in interface-index order, loopback last. Writes at most
// kAdapterNameCapacity bytes including the terminating zero; 1 when found, else 0 (buffer untouched).
inline constexpr std::size_t kAdapterNameCapacity = 64;
std::int32_t GetAdapterName(std::int32_t index, char* buffer, std::int32_t reserved);
// S5SetAdapterName/S7SetAdapterName: not supported, 0.
std::int32_t SetAdapterName(const char* name);

// S5FlushCom/S7FlushCom: ComFlush on the record's port when the record is connected.
void FlushCom(ConnectionRecord* record);

// ComGetHandle.
void* GetHandle(std::uint16_t port);

// WEP: closes every port (and the trace); 1.
std::int32_t Wep(std::int32_t reserved);

}  // namespace vaultra::link
