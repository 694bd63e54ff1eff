#include "drivers/s7/wire/block_framing.h"

namespace vaultra::s7wire {

void AppendDleDoubled(std::vector<uint8_t>& out, std::span<const uint8_t> content) {
    for (uint8_t b : content) {
        out.push_back(b);
        if (b == kDle)
            out.push_back(kDle);
    }
}

uint8_t BlockCheck(std::span<const uint8_t> content) {
    uint8_t check = 0;
    for (uint8_t b : content) {
        if (b != kDle)
            check ^= b;  // a doubled DLE XORs out
    }
    return static_cast<uint8_t>(check ^ kDle ^ kEtx);
}

std::vector<uint8_t> FrameTelegram(std::span<const uint8_t> content) {
    std::vector<uint8_t> out;
    out.reserve(content.size() + content.size() / 8 + 3);
    AppendDleDoubled(out, content);
    out.push_back(kDle);
    out.push_back(kEtx);
    out.push_back(BlockCheck(content));
    return out;
}

DleDecoder::Event DleDecoder::Feed(uint8_t byte, uint8_t& data) {
    check_ ^= byte;
    if (!afterDle_) {
        if (byte == kDle) {
            afterDle_ = true;
            return Event::kNone;
        }
        data = byte;
        return Event::kData;
    }
    afterDle_ = false;
    if (byte == kDle) {
        data = kDle;
        return Event::kData;
    }
    if (byte == kEtx || byte == kEot)
        return Event::kEnd;
    return Event::kError;
}

}  // namespace vaultra::s7wire
