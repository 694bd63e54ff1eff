#include "sim/s5/wires.h"

#include <algorithm>
#include <thread>

#include "platform/server_socket.h"

namespace vaultra::sim::s5 {

Wire::Got FdWire::Read(std::uint8_t& b, std::chrono::milliseconds wait) {
    if (pos_ == end_) {
        if (!platform::WaitReadable(fd_, static_cast<int>(wait.count()))) {
            return Got::Timeout;
        }
        const platform::ReadOutcome read = platform::ReadDescriptor(fd_, buffer_);
        if (read.closed) {
            return Got::Closed;
        }
        if (read.count == 0) {
            return Got::Timeout;
        }
        pos_ = 0;
        end_ = read.count;
    }
    b = buffer_[pos_++];
    return Got::Byte;
}

Wire::Got FramedWire::Read(std::uint8_t& b, std::chrono::milliseconds wait) {
    while (remaining_ == 0) {
        std::uint8_t low = 0;
        std::uint8_t high = 0;
        Got got = raw_.Read(low, wait);
        if (got != Got::Byte) {
            return got;
        }
        got = raw_.Read(high, wait);
        if (got != Got::Byte) {
            return got == Got::Timeout ? Got::Closed : got;  // a frame cut in its length
        }
        remaining_ = static_cast<std::size_t>(low | high << 8);
        if (remaining_ > kMaxFrame) {
            return Got::Closed;
        }
    }
    const Got got = raw_.Read(b, wait);
    if (got == Got::Byte) {
        --remaining_;
    }
    return got;
}

Wire::Got PacedWire::Read(std::uint8_t& b, std::chrono::milliseconds wait) {
    const Got got = raw_.Read(b, wait);
    if (got == Got::Byte) {
        lineFree_ = std::max(lineFree_, Clock::now()) + byteTime_;
    }
    return got;
}

bool PacedWire::Write(ByteView bytes) {
    lineFree_ = std::max(lineFree_, Clock::now()) + byteTime_ * static_cast<long>(bytes.size());
    std::this_thread::sleep_until(lineFree_);
    return raw_.Write(bytes);
}

}  // namespace vaultra::sim::s5
