// Byte-order helpers for the project files (little-endian) and S7 block images (big-endian).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace vaultra::s7project {

inline std::uint16_t GetBe16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>((b[at] << 8) | b[at + 1]);
}
inline std::uint32_t GetBe32(std::span<const std::uint8_t> b, std::size_t at) {
    return (std::uint32_t{b[at]} << 24) | (std::uint32_t{b[at + 1]} << 16) | (std::uint32_t{b[at + 2]} << 8) |
           b[at + 3];
}
inline void PutBe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
inline void PutBe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    PutBe16(b, at, static_cast<std::uint16_t>(v >> 16));
    PutBe16(b, at + 2, static_cast<std::uint16_t>(v));
}

inline std::uint16_t GetLe16(std::span<const std::uint8_t> b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}
inline std::uint32_t GetLe32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{b[at]} | (std::uint32_t{b[at + 1]} << 8) | (std::uint32_t{b[at + 2]} << 16) |
           (std::uint32_t{b[at + 3]} << 24);
}
inline void PutLe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void PutLe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    PutLe16(b, at, static_cast<std::uint16_t>(v));
    PutLe16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace vaultra::s7project
