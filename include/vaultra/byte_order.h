// Big- and little-endian field access on byte ranges, header-only and shared by every module.
// S7 telegrams and block images are big-endian; dBASE tables, S5 program files and the AS511 line are
// little-endian. The caller checks that the range is long enough; these helpers only assert it.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vaultra::bytes {

inline std::uint16_t LoadBe16(std::span<const std::uint8_t> b, std::size_t at) {
    assert(at + 2 <= b.size());
    return static_cast<std::uint16_t>(b[at] << 8 | b[at + 1]);
}
inline std::uint32_t LoadBe32(std::span<const std::uint8_t> b, std::size_t at) {
    return std::uint32_t{LoadBe16(b, at)} << 16 | LoadBe16(b, at + 2);
}
inline void StoreBe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    assert(at + 2 <= b.size());
    b[at] = static_cast<std::uint8_t>(v >> 8);
    b[at + 1] = static_cast<std::uint8_t>(v);
}
inline void StoreBe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    StoreBe16(b, at, static_cast<std::uint16_t>(v >> 16));
    StoreBe16(b, at + 2, static_cast<std::uint16_t>(v));
}

inline std::uint16_t LoadLe16(std::span<const std::uint8_t> b, std::size_t at) {
    assert(at + 2 <= b.size());
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
inline std::uint32_t LoadLe32(std::span<const std::uint8_t> b, std::size_t at) {
    return LoadLe16(b, at) | std::uint32_t{LoadLe16(b, at + 2)} << 16;
}
inline void StoreLe16(std::span<std::uint8_t> b, std::size_t at, std::uint16_t v) {
    assert(at + 2 <= b.size());
    b[at] = static_cast<std::uint8_t>(v);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void StoreLe32(std::span<std::uint8_t> b, std::size_t at, std::uint32_t v) {
    StoreLe16(b, at, static_cast<std::uint16_t>(v));
    StoreLe16(b, at + 2, static_cast<std::uint16_t>(v >> 16));
}

// Appending writers for building telegrams and records.
inline void AppendBe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}
inline void AppendBe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    AppendBe16(out, static_cast<std::uint16_t>(v >> 16));
    AppendBe16(out, static_cast<std::uint16_t>(v));
}
inline void AppendLe16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void AppendLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    AppendLe16(out, static_cast<std::uint16_t>(v));
    AppendLe16(out, static_cast<std::uint16_t>(v >> 16));
}

}  // namespace vaultra::bytes
