#include "sim/bytes.h"

namespace vaultra::sim {

std::uint8_t ByteReader::U8() {
    const ByteView b = Take(1);
    return b.empty() ? 0 : b[0];
}

std::uint16_t ByteReader::U16() {
    const ByteView b = Take(2);
    return b.empty() ? 0 : bytes::LoadBe16(b, 0);
}

std::uint32_t ByteReader::U32() {
    const ByteView b = Take(4);
    return b.empty() ? 0 : bytes::LoadBe32(b, 0);
}

ByteView ByteReader::Take(std::size_t count) {
    if (!ok_ || count > Remaining()) {
        ok_ = false;
        position_ = bytes_.size();
        return {};
    }
    const ByteView part = bytes_.subspan(position_, count);
    position_ += count;
    return part;
}

std::string ByteReader::Text(std::size_t count) {
    const ByteView b = Take(count);
    return std::string(b.begin(), b.end());
}

std::string Hex(ByteView bytes, std::size_t limit) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    const std::size_t shown = bytes.size() < limit ? bytes.size() : limit;
    text.reserve(shown * 3);
    for (std::size_t i = 0; i < shown; ++i) {
        if (i > 0) {
            text.push_back(' ');
        }
        text.push_back(kDigits[bytes[i] >> 4]);
        text.push_back(kDigits[bytes[i] & 15]);
    }
    if (shown < bytes.size()) {
        text += " ... (" + std::to_string(bytes.size()) + " bytes)";
    }
    return text;
}

}  // namespace vaultra::sim
