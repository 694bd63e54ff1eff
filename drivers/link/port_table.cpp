// The real port table: serial records for every number in the serial-only flavour, LAN records for
// 128..255 in the LAN-capable flavours.
#include "drivers/link/port_table.h"

#include "drivers/link/lan.h"
#include "drivers/link/lan_ports.h"
#include "drivers/link/serial_ports.h"
#include "platform/clock.h"

namespace vaultra::link {
namespace {

class PortTableLink : public ByteLink {
public:
    int OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity,
                   std::int32_t stopBits) override {
        return IsLan(port) ? lan_.OpenShared(port)
                           : serial_.OpenShared(port, baud, dataBits, parity, stopBits);
    }
    int Release(Port port) override { return IsLan(port) ? lan_.Release(port) : serial_.Release(port); }
    int Close(Port port) override { return IsLan(port) ? lan_.Close(port) : serial_.Close(port); }
    void CloseAll() override {
        for (int port = 0; port < kPortCount; ++port) {
            if (!IsLan(static_cast<Port>(port)) && serial_.IsOpen(static_cast<Port>(port))) {
                serial_.Close(static_cast<Port>(port));
            }
        }
        lan_.CloseAll();
    }
    bool IsOpen(Port port) override { return IsLan(port) ? lan_.IsOpen(port) : serial_.IsOpen(port); }

    int ReadByte(Port port, std::uint8_t* out) override {
        if (!IsLan(port)) {
            return serial_.ReadByte(port, out);
        }
        LanConnection* lan = lan_.Open(port);
        return lan != nullptr ? lan->ReadByte(out, lan->ReceiveWaitMs()) : 0;
    }
    int ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) override {
        if (!IsLan(port)) {
            return serial_.ReadByteTimed(port, out, timeoutTicks);
        }
        LanConnection* lan = lan_.Open(port);
        const std::uint32_t waitMs =
            timeoutTicks > 0 ? static_cast<std::uint32_t>(timeoutTicks) * kTickMs : 0;
        return lan != nullptr ? lan->ReadByte(out, waitMs) : 0;
    }
    int HasInput(Port port) override {
        if (!IsLan(port)) {
            return serial_.HasInput(port);
        }
        LanConnection* lan = lan_.Open(port);
        return lan != nullptr ? lan->HasInput() : 0;
    }
    std::int32_t ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) override {
        if (!IsLan(port)) {
            return serial_.ReadPacket(port, buffer, capacity);
        }
        LanConnection* lan = lan_.Open(port);
        return lan != nullptr ? lan->ReadPacket(buffer, capacity, lan->ReceiveWaitMs()) : 0;
    }
    int ConnectionLost(Port port) override {
        LanConnection* lan = IsLan(port) ? lan_.Open(port) : nullptr;
        return lan != nullptr && lan->Lost() ? 1 : 0;
    }
    int WriteByte(Port port, std::uint8_t value) override {
        if (!IsLan(port)) {
            return serial_.WriteByte(port, value);
        }
        LanConnection* lan = lan_.Open(port);
        return lan != nullptr ? lan->WriteByte(value) : 0;
    }
    int Write(Port port, const std::uint8_t* data, std::int32_t n) override {
        if (!IsLan(port)) {
            return serial_.Write(port, data, n);
        }
        LanConnection* lan = lan_.Open(port);
        return lan != nullptr ? lan->Write(data, n) : 0;
    }
    int Flush(Port port) override { return IsLan(port) ? DiscardLan(port) : serial_.Flush(port); }
    // A LAN connection has no break: it discards like a flush.
    int Break(Port port, std::int32_t ticks) override {
        return IsLan(port) ? DiscardLan(port) : serial_.Break(port, ticks);
    }
    int PulseBreak(Port port) override { return IsLan(port) ? DiscardLan(port) : serial_.PulseBreak(port); }
    void* Handle(Port port) override { return IsLan(port) ? nullptr : serial_.Handle(port); }

    LanPorts& Lan() { return lan_; }

private:
    static bool IsLan(Port port) { return port >= kFirstLanPort && LinkFlavour() != Flavour::kSerialOnly; }
    int DiscardLan(Port port) {
        LanConnection* lan = lan_.Open(port);
        if (lan == nullptr) {
            return 0;
        }
        lan->Discard();
        return 1;
    }

    SerialPorts serial_;
    LanPorts lan_;
};

class MonotonicClock : public Clock {
public:
    std::uint64_t NowMs() override { return platform::MonotonicMs(); }
    void SleepMs(std::uint32_t ms) override { platform::SleepMilliseconds(ms); }
};

PortTableLink& Table() {
    static PortTableLink table;
    return table;
}

}  // namespace

ByteLink& SystemLink() {
    return Table();
}

Clock& SystemClock() {
    static MonotonicClock clock;
    return clock;
}

LanPorts& SystemLanPorts() {
    return Table().Lan();
}

}  // namespace vaultra::link
