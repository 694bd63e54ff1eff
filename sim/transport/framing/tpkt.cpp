#include "sim/transport/framing/tpkt.h"

#include <vaultra/byte_order.h>

namespace vaultra::sim::tpkt {

namespace {

// LI, code and at least one more byte: the shortest TPDU a packet can carry.
constexpr std::size_t kSmallestPacket = kHeaderSize + 3;

}  // namespace

Bytes Packet(ByteView tpdu) {
    Bytes out;
    out.reserve(kHeaderSize + tpdu.size());
    out.push_back(kVersion);
    out.push_back(0x00);
    bytes::AppendBe16(out, static_cast<std::uint16_t>(kHeaderSize + tpdu.size()));
    out.insert(out.end(), tpdu.begin(), tpdu.end());
    return out;
}

Bytes DataPacket(ByteView userData, bool last) {
    Bytes tpdu;
    tpdu.reserve(kDataHeaderSize + userData.size());
    tpdu.push_back(kDataHeaderSize - 1);
    tpdu.push_back(kData);
    tpdu.push_back(last ? kEndOfUnit : 0x00);
    tpdu.insert(tpdu.end(), userData.begin(), userData.end());
    return Packet(tpdu);
}

void PacketStream::Add(ByteView bytes) {
    if (used_ > 0) {
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(used_));
        used_ = 0;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

std::optional<Bytes> PacketStream::Next() {
    const ByteView rest = ByteView(buffer_).subspan(used_);
    if (broken_ || rest.size() < kHeaderSize) {
        return std::nullopt;
    }
    const std::size_t length = bytes::LoadBe16(rest, 2);
    if (rest[0] != kVersion || length < kSmallestPacket || length > limit_) {
        broken_ = true;
        return std::nullopt;
    }
    if (rest.size() < length) {
        return std::nullopt;
    }
    used_ += length;
    return Bytes(rest.begin() + kHeaderSize, rest.begin() + static_cast<std::ptrdiff_t>(length));
}

}  // namespace vaultra::sim::tpkt
