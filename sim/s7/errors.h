// Error words the simulated PLC answers with: error class in the high byte, code in the low byte.
// Jobs carry them in the acknowledge header, user data in parameter bytes 10-11.
#pragma once

#include <cstdint>

namespace vaultra::sim::s7::error {

inline constexpr std::uint16_t kNone = 0x0000;
// The service or function is not supported in this context.
inline constexpr std::uint16_t kNotSupported = 0x8104;
// No resources: load memory cannot take the block.
inline constexpr std::uint16_t kMemoryFull = 0x8304;
// The PLC is busy with another job.
inline constexpr std::uint16_t kBusy = 0x8404;
// A request whose structure or values do not fit the service.
inline constexpr std::uint16_t kBadRequest = 0x8500;
// Block name syntax error.
inline constexpr std::uint16_t kBlockNameSyntax = 0xD201;
// The block does not exist.
inline constexpr std::uint16_t kBlockNotFound = 0xD209;
// A download, upload or job that is not in progress was addressed.
inline constexpr std::uint16_t kNoSuchJob = 0xD20A;
// The service is not possible in the current operating mode (for example clearing in RUN).
inline constexpr std::uint16_t kWrongMode = 0xD20E;
// The protection level does not allow the function; a password is needed.
inline constexpr std::uint16_t kProtected = 0xD241;
// The system status list or index is not available.
inline constexpr std::uint16_t kNoSuchList = 0xD401;
// Wrong password.
inline constexpr std::uint16_t kWrongPassword = 0xD602;

// Item return codes of the read-variable and write-variable services.
inline constexpr std::uint8_t kItemOk = 0xFF;
inline constexpr std::uint8_t kItemAddressOutOfRange = 0x05;
inline constexpr std::uint8_t kItemTypeNotSupported = 0x06;
inline constexpr std::uint8_t kItemNoSuchObject = 0x0A;

}  // namespace vaultra::sim::s7::error
