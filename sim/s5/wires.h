// Byte streams of the simulated programming port: a pseudo-terminal or a TCP connection as they are
// (raw), and a TCP connection on which every write of the PC arrives with a 16-bit length in front.
#pragma once

#include <array>
#include <chrono>
#include <functional>

#include "sim/s5/plc_line.h"

namespace vaultra::sim::s5 {

class FdWire : public Wire {
public:
    using Writer = std::function<bool(ByteView)>;
    FdWire(int fd, Writer writer, bool cuttable) : fd_(fd), writer_(std::move(writer)), cuttable_(cuttable) {}
    Got Read(std::uint8_t& b, std::chrono::milliseconds wait) override;
    bool Write(ByteView bytes) override { return writer_(bytes); }
    bool Cut() override { return cuttable_; }

private:
    int fd_;
    Writer writer_;
    bool cuttable_;
    std::array<std::uint8_t, 4096> buffer_{};
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
};

// The LAN adapter's length-prefixed framing (least significant byte first); answers go back unframed.
class FramedWire : public Wire {
public:
    explicit FramedWire(Wire& raw) : raw_(raw) {}
    Got Read(std::uint8_t& b, std::chrono::milliseconds wait) override;
    bool Write(ByteView bytes) override { return raw_.Write(bytes); }
    bool Cut() override { return raw_.Cut(); }

    static constexpr std::size_t kMaxFrame = 1022;

private:
    Wire& raw_;
    std::size_t remaining_ = 0;
};

// A serial line of the given speed: every byte, received or sent, takes 11 bit times (8 data bits,
// parity, start and stop) on the half-duplex line; answers leave only when the line is free.
class PacedWire : public Wire {
public:
    PacedWire(Wire& raw, unsigned baud)
        : raw_(raw), byteTime_(std::chrono::nanoseconds(11'000'000'000LL / baud)) {}
    Got Read(std::uint8_t& b, std::chrono::milliseconds wait) override;
    bool Write(ByteView bytes) override;
    bool Cut() override { return raw_.Cut(); }

private:
    using Clock = std::chrono::steady_clock;
    Wire& raw_;
    std::chrono::nanoseconds byteTime_;
    Clock::time_point lineFree_{};
};

}  // namespace vaultra::sim::s5
