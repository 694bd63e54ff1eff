// Byte buffers, a bounded reader and big-endian writers shared by the simulator's protocol layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vaultra::sim {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Reads big-endian values from a byte range. A read past the end yields zeros and marks the reader
// failed, so a decoder reads a whole structure and checks Ok() once.
class ByteReader {
public:
    explicit ByteReader(ByteView bytes) : bytes_(bytes) {}

    std::uint8_t U8();
    std::uint16_t U16();
    std::uint32_t U32();
    ByteView Take(std::size_t count);
    std::string Text(std::size_t count);
    void Skip(std::size_t count) { Take(count); }
    std::size_t Remaining() const { return bytes_.size() - position_; }
    std::size_t Position() const { return position_; }
    ByteView Rest() const { return bytes_.subspan(position_); }
    bool Ok() const { return ok_; }

private:
    ByteView bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

inline void Put8(Bytes& out, std::uint8_t value) {
    out.push_back(value);
}
inline void Put16(Bytes& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}
inline void Put32(Bytes& out, std::uint32_t value) {
    Put16(out, static_cast<std::uint16_t>(value >> 16));
    Put16(out, static_cast<std::uint16_t>(value));
}
inline void Append(Bytes& out, ByteView bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void AppendText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
inline void AppendZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

// Big-endian field access at a fixed offset of a buffer the caller has checked to be long enough.
inline std::uint16_t Load16(ByteView bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(bytes[offset] << 8 | bytes[offset + 1]);
}
inline std::uint32_t Load32(ByteView bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(Load16(bytes, offset)) << 16 | Load16(bytes, offset + 2);
}
inline void Store16(std::span<std::uint8_t> bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<std::uint8_t>(value);
}
inline void Store32(std::span<std::uint8_t> bytes, std::size_t offset, std::uint32_t value) {
    Store16(bytes, offset, static_cast<std::uint16_t>(value >> 16));
    Store16(bytes, offset + 2, static_cast<std::uint16_t>(value));
}

// "70 70 0A ..." for logs.
std::string Hex(ByteView bytes, std::size_t limit = 4096);

}  // namespace vaultra::sim
