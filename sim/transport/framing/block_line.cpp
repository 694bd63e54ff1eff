#include "sim/transport/framing/block_line.h"

namespace vaultra::sim::line {

Bytes FrameBlock(ByteView content) {
    Bytes out;
    out.reserve(content.size() * 2 + 3);
    std::uint8_t sum = 0;
    auto send = [&](std::uint8_t byte) {
        out.push_back(byte);
        sum ^= byte;
    };
    for (const std::uint8_t byte : content) {
        send(byte);
        if (byte == kDle) {
            send(kDle);
        }
    }
    send(kDle);
    send(kEtx);
    out.push_back(sum);
    return out;
}

void BlockReceiver::Restart() {
    stage_ = Stage::kContent;
    content_.clear();
    sum_ = 0;
    overflow_ = false;
}

void BlockReceiver::Keep(std::uint8_t byte) {
    if (content_.size() < limit_) {
        content_.push_back(byte);
    } else {
        overflow_ = true;
    }
}

BlockReceiver::Result BlockReceiver::Take(std::uint8_t byte) {
    switch (stage_) {
        case Stage::kContent:
            sum_ ^= byte;
            if (byte == kDle) {
                stage_ = Stage::kAfterDle;
            } else {
                Keep(byte);
            }
            return Result::kMore;
        case Stage::kAfterDle:
            sum_ ^= byte;
            if (byte == kEtx || byte == kEot) {
                stage_ = Stage::kCheck;
                return Result::kMore;
            }
            if (byte != kDle) {
                stage_ = Stage::kDone;
                return Result::kBroken;
            }
            stage_ = Stage::kContent;
            Keep(kDle);
            return Result::kMore;
        case Stage::kCheck:
            stage_ = Stage::kDone;
            if (byte != sum_) {
                return Result::kBadCheck;
            }
            return overflow_ ? Result::kTooLong : Result::kGood;
        case Stage::kDone:
            break;
    }
    return Result::kBroken;
}

}  // namespace vaultra::sim::line
