// A ByteLink that hands every call to another one: the base for a link that watches the traffic (counts
// bytes, writes or turns in a benchmark) and overrides only the calls it looks at.
#pragma once

#include "drivers/link/byte_link.h"

namespace vaultra::link {

class ForwardingLink : public ByteLink {
public:
    explicit ForwardingLink(ByteLink& inner) : inner_(inner) {}

    int OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity,
                   std::int32_t stopBits) override {
        return inner_.OpenShared(port, baud, dataBits, parity, stopBits);
    }
    int Release(Port port) override { return inner_.Release(port); }
    int Close(Port port) override { return inner_.Close(port); }
    void CloseAll() override { inner_.CloseAll(); }
    bool IsOpen(Port port) override { return inner_.IsOpen(port); }
    int ReadByte(Port port, std::uint8_t* out) override { return inner_.ReadByte(port, out); }
    int ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) override {
        return inner_.ReadByteTimed(port, out, timeoutTicks);
    }
    int HasInput(Port port) override { return inner_.HasInput(port); }
    std::int32_t ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) override {
        return inner_.ReadPacket(port, buffer, capacity);
    }
    int WriteByte(Port port, std::uint8_t value) override { return inner_.WriteByte(port, value); }
    int Write(Port port, const std::uint8_t* data, std::int32_t n) override {
        return inner_.Write(port, data, n);
    }
    int Flush(Port port) override { return inner_.Flush(port); }
    int Break(Port port, std::int32_t ticks) override { return inner_.Break(port, ticks); }
    int PulseBreak(Port port) override { return inner_.PulseBreak(port); }
    void* Handle(Port port) override { return inner_.Handle(port); }

private:
    ByteLink& inner_;
};

}  // namespace vaultra::link
