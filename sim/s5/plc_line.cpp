#include "sim/s5/plc_line.h"

namespace vaultra::sim::s5 {

Wire::Got PlcLine::Next(std::uint8_t& b, std::chrono::milliseconds wait) {
    if (pushedBack_) {
        b = *pushedBack_;
        pushedBack_.reset();
        return Wire::Got::Byte;
    }
    return wire_.Read(b, wait);
}

bool PlcLine::Expect(std::uint8_t x) {
    std::uint8_t b = 0;
    if (Next(b, byteWait_) != Wire::Got::Byte) {
        return false;
    }
    if (b == x) {
        return true;
    }
    if (b == kStx) {
        pushedBack_ = b;
    }
    return false;
}

bool PlcLine::SendAck() {
    const std::uint8_t ack[] = {kDle, kAck};
    return wire_.Write(ack);
}

bool PlcLine::SendTelegram(ByteView data, std::uint8_t end) {
    const std::uint8_t stx[] = {kStx};
    if (!wire_.Write(stx) || !ExpectPair(kAck)) {
        return false;
    }
    Bytes out;
    out.reserve(data.size() + data.size() / 8 + 2);
    for (std::uint8_t b : data) {
        out.push_back(b);
        if (b == kDle) {
            out.push_back(kDle);
        }
    }
    out.push_back(kDle);
    out.push_back(end);
    return wire_.Write(out) && ExpectPair(kAck);
}

std::optional<Bytes> PlcLine::ReceiveData(std::size_t limit, std::uint8_t* end) {
    Bytes data;
    while (data.size() <= limit) {
        std::uint8_t b = 0;
        if (Next(b, byteWait_) != Wire::Got::Byte) {
            return std::nullopt;
        }
        if (b != kDle) {
            data.push_back(b);
            continue;
        }
        if (Next(b, byteWait_) != Wire::Got::Byte) {
            return std::nullopt;
        }
        if (b == kDle) {
            data.push_back(b);
        } else if (b == kEtx || b == kEot) {
            if (end != nullptr) {
                *end = b;
            }
            return SendAck() ? std::optional<Bytes>(std::move(data)) : std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

}  // namespace vaultra::sim::s5
