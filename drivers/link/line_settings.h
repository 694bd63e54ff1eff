// The fixed rules that turn the protocol layers' arguments into line settings and read time-outs.
#pragma once

#include <cstdint>

#include "platform/serial.h"

namespace vaultra::link {

// 0 gives 115200; 1200, 2400, 4800, 19200, 38400 and 57600 stay; everything else gives 9600.
constexpr std::int32_t MapBaudRate(std::int32_t baud) {
    switch (baud) {
        case 0:
            return 115200;
        case 1200:
        case 2400:
        case 4800:
        case 19200:
        case 38400:
        case 57600:
            return baud;
        default:
            return 9600;
    }
}

constexpr platform::SerialParity ParityFromChar(char parity) {
    switch (parity) {
        case 'E':
        case 'e':
            return platform::SerialParity::kEven;
        case 'O':
        case 'o':
            return platform::SerialParity::kOdd;
        default:
            return platform::SerialParity::kNone;
    }
}

// Stop-bit code of the port record: 2 for two stop bits, 0 for one.
constexpr std::uint8_t StopBitsCode(std::int32_t stopBits) {
    return stopBits == 2 ? 2 : 0;
}

// One serial read of a byte waits at most the total time-out: multiplier (F * 55 ms when F <= 16, else 0)
// plus the constant 1000 ms. The interval time-out (F * 55 ms) only separates bytes of one read, and the link
// reads one byte at a time.
constexpr std::uint32_t ReadAttemptWaitMs(std::int32_t factor) {
    const std::uint32_t multiplier =
        factor > 0 && factor <= 16 ? static_cast<std::uint32_t>(factor) * 55u : 0u;
    return multiplier + 1000u;
}

// Attempts of ComReadByteTimed: timeout / F, at least one.
constexpr std::int32_t ReadAttempts(std::int32_t timeoutTicks, std::int32_t factor) {
    const std::int32_t attempts = factor > 0 ? timeoutTicks / factor : timeoutTicks;
    return attempts < 1 ? 1 : attempts;
}

// Total time-out of a serial write of n bytes: 100 ms per byte plus 100 ms.
constexpr std::uint32_t WriteTimeoutMs(std::int32_t n) {
    const std::uint64_t ms = (n > 0 ? static_cast<std::uint64_t>(n) : 0u) * 100u + 100u;
    return ms < 0xFFFFFFFFu ? static_cast<std::uint32_t>(ms) : 0xFFFFFFFFu;
}

}  // namespace vaultra::link
