// What the driver derives from the PLC description (the system-parameter words read by S5AGTest).
#pragma once

#include <cstdint>

#include <vaultra/records.h>

namespace vaultra::s5 {

// System-parameter word indices.
inline constexpr int kParamPeripheralInputs = 0;
inline constexpr int kParamPeripheralOutputs = 1;
inline constexpr int kParamInputs = 2;
inline constexpr int kParamOutputs = 3;
inline constexpr int kParamFlags = 4;
inline constexpr int kParamTimers = 5;
inline constexpr int kParamCounters = 6;
inline constexpr int kParamSystemDataClass0 = 7;
inline constexpr int kParamSystemData = 10;
inline constexpr int kParamFirstListLength = 11;  // DB, SB, PB, FB, OB, FX, DX follow
inline constexpr int kParamIdentification = 19;
inline constexpr int kParamAddressStep = 20;
inline constexpr int kParamIdentification2 = 21;
inline constexpr int kParamCount = 22;

inline constexpr uint16_t kByteAddressed = 10;
inline constexpr uint16_t kWordAddressed = 5;
inline constexpr uint16_t kDefaultSystemDataBase = 0xEA00;

inline constexpr int kTypeCount = 7;

inline uint16_t Param(const ConnectionRecord& r, int index) {
    return r.area.s5.systemParams[index];
}
inline void SetParam(ConnectionRecord& r, int index, uint16_t value) {
    r.area.s5.systemParams[index] = value;
}

// PLC class 0..5 from identification and address step.
int CpuClass(const ConnectionRecord& r);
// 2 for byte-addressed PLCs, 1 for word-addressed ones.
inline uint32_t StepFactor(const ConnectionRecord& r) {
    return Param(r, kParamAddressStep) / 5u;
}
inline bool WordAddressed(const ConnectionRecord& r) {
    return Param(r, kParamAddressStep) == kWordAddressed;
}
// Classes 3 and 4: block and area bases in units of 16, addresses of 32 bits.
inline bool LongAddresses(int cpuClass) {
    return cpuClass == 3 || cpuClass == 4;
}
inline uint32_t ScaledBase(int cpuClass, uint16_t base) {
    return LongAddresses(cpuClass) ? uint32_t{base} * 16u : base;
}

// Line type code of a type position 0..6; 0 for a position out of range.
uint8_t TypeCode(int32_t position);
// Directory entries the PLC keeps for a type position (address-list length, halved when byte-addressed).
uint32_t DirectoryEntries(const ConnectionRecord& r, int32_t position);

}  // namespace vaultra::s5
