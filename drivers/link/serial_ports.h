// Serial records of the port table: a device opened with the adapter's line settings, plus a read-ahead
// buffer so that byte-wise reads cost no system call while bytes are buffered.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "drivers/link/com.h"
#include "platform/serial.h"

namespace vaultra::link {

struct SerialRecord {
    bool inUse = false;
    std::unique_ptr<platform::SerialDevice> device;
    std::int32_t openCount = 0;
    std::int32_t baud = 0;
    std::uint8_t dataBits = 0;
    std::uint8_t parity = 0;              // 0 none, 1 odd, 2 even
    std::uint8_t stopBits = 0;            // 0 one, 2 two
    std::vector<std::uint8_t> readAhead;  // allocated while the device is open
    std::size_t readPos = 0;
    std::size_t readEnd = 0;
};

class SerialPorts {
public:
    int OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity, std::int32_t stopBits);
    int Release(Port port);
    int Close(Port port);
    bool IsOpen(Port port) const { return records_[port].inUse; }
    int ReadByte(Port port, std::uint8_t* out);
    int ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks);
    int HasInput(Port port);
    std::int32_t ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity);
    int WriteByte(Port port, std::uint8_t value);
    int Write(Port port, const std::uint8_t* data, std::int32_t n);
    int Flush(Port port);
    int Break(Port port, std::int32_t ticks);
    int PulseBreak(Port port);
    void* Handle(Port port) const;
    // Settings the record holds (for diagnostics and tests).
    const SerialRecord& Record(Port port) const { return records_[port]; }

private:
    bool Open(Port port);
    // Reads what the line has into the read-ahead buffer, waiting up to waitMs for the first byte.
    bool FillReadAhead(SerialRecord& record, std::uint32_t waitMs);
    std::array<SerialRecord, kPortCount> records_;
};

}  // namespace vaultra::link
