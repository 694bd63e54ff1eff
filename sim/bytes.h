// Byte buffers and a bounded big-endian reader shared by the simulator's protocol layers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <vaultra/byte_order.h>

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
inline void Append(Bytes& out, ByteView bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}
inline void AppendText(Bytes& out, std::string_view text) {
    out.insert(out.end(), text.begin(), text.end());
}
inline void AppendZeros(Bytes& out, std::size_t count) {
    out.insert(out.end(), count, 0);
}

// "70 70 0A ..." for logs.
std::string Hex(ByteView bytes, std::size_t limit = 4096);

}  // namespace vaultra::sim
