#include "drivers/link/serial_ports.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "drivers/link/environment.h"
#include "drivers/link/line_settings.h"
#include "platform/clock.h"

namespace vaultra::link {
namespace {

constexpr std::uint32_t kOpenSettleTicks = 9;
constexpr std::uint64_t kPulseBreakNs = 5'000'000;
constexpr std::size_t kReadAheadSize = 4096;
// How long an open waits while another process (another station, a terminal program) has the port: long
// enough for a typical backup through it to end, short enough that a run is not held up for good.
constexpr std::uint32_t kClaimWaitMs = 120'000;

bool Buffered(const SerialRecord& record) {
    return record.readPos < record.readEnd;
}

std::uint8_t TakeBuffered(SerialRecord& record) {
    return record.readAhead[record.readPos++];
}

}  // namespace

int SerialPorts::OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity,
                            std::int32_t stopBits) {
    SerialRecord& record = records_[port];
    if (!record.inUse) {
        record.baud = MapBaudRate(baud);
        record.dataBits = dataBits;
        record.parity = static_cast<std::uint8_t>(ParityFromChar(parity));
        record.stopBits = StopBitsCode(stopBits);
        record.openCount = 0;
        if (!Open(port)) {
            return 0;
        }
        SleepTicks(kOpenSettleTicks);
        ComFlush(port);
    }
    ++record.openCount;
    return 1;
}

bool SerialPorts::Open(Port port) {
    SerialRecord& record = records_[port];
    try {
        platform::SerialOpenOptions options;
        options.lockWaitMs = kClaimWaitMs;
        std::string reason;
        record.device = platform::SerialDevice::Open(SerialDevicePath(port), options, &reason);
        if (record.device == nullptr) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            return false;
        }
        record.readAhead.assign(kReadAheadSize, 0);
    } catch (const std::bad_alloc&) {
        Close(port);
        return false;
    }
    record.device->Purge();
    record.readPos = record.readEnd = 0;
    const platform::SerialSettings settings{record.baud, record.dataBits,
                                            static_cast<platform::SerialParity>(record.parity),
                                            record.stopBits == 2};
    if (!record.device->Configure(settings)) {
        Close(port);
        return false;
    }
    record.inUse = true;
    return true;
}

int SerialPorts::Release(Port port) {
    SerialRecord& record = records_[port];
    if (!record.inUse) {
        return 0;
    }
    if (--record.openCount <= 0) {
        Close(port);
    }
    return 1;
}

int SerialPorts::Close(Port port) {
    SerialRecord& record = records_[port];
    record.inUse = false;
    if (record.device != nullptr) {
        record.device->DropDtr();
        record.device.reset();
    }
    std::vector<std::uint8_t>().swap(record.readAhead);
    record.readPos = record.readEnd = 0;
    return 1;
}

bool SerialPorts::FillReadAhead(SerialRecord& record, std::uint32_t waitMs) {
    if (record.device == nullptr) {
        return false;
    }
    const int got =
        record.device->Read(record.readAhead.data(), static_cast<int>(record.readAhead.size()), waitMs);
    record.readPos = 0;
    record.readEnd = got > 0 ? static_cast<std::size_t>(got) : 0;
    return got > 0;
}

int SerialPorts::ReadByte(Port port, std::uint8_t* out) {
    SerialRecord& record = records_[port];
    if (!Buffered(record) && !FillReadAhead(record, ReadAttemptWaitMs(ComCharTimeoutFactor()))) {
        return 0;
    }
    *out = TakeBuffered(record);
    return 1;
}

int SerialPorts::ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) {
    SerialRecord& record = records_[port];
    if (Buffered(record)) {
        *out = TakeBuffered(record);
        return 1;
    }
    // Each attempt reads first and waits only when nothing is there: no separate look at the line.
    const std::int32_t factor = ComCharTimeoutFactor();
    const std::int32_t attempts = ReadAttempts(timeoutTicks, factor);
    for (std::int32_t attempt = 0; attempt < attempts && record.device != nullptr; ++attempt) {
        if (FillReadAhead(record, ReadAttemptWaitMs(factor))) {
            *out = TakeBuffered(record);
            return 1;
        }
        platform::YieldProcessor();
    }
    platform::YieldProcessor();
    return 0;
}

int SerialPorts::HasInput(Port port) {
    SerialRecord& record = records_[port];
    if (Buffered(record)) {
        return 1;
    }
    return record.device != nullptr && record.device->BytesWaiting() > 0 ? 1 : 0;
}

std::int32_t SerialPorts::ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) {
    SerialRecord& record = records_[port];
    if (!Buffered(record) && !FillReadAhead(record, ReadAttemptWaitMs(ComCharTimeoutFactor()))) {
        return 0;
    }
    const std::size_t count = std::min(record.readEnd - record.readPos, static_cast<std::size_t>(capacity));
    std::memcpy(buffer, record.readAhead.data() + record.readPos, count);
    record.readPos += count;
    return static_cast<std::int32_t>(count);
}

int SerialPorts::WriteByte(Port port, std::uint8_t value) {
    return Write(port, &value, 1);
}

int SerialPorts::Write(Port port, const std::uint8_t* data, std::int32_t n) {
    SerialRecord& record = records_[port];
    if (record.device == nullptr) {
        return 0;
    }
    return record.device->Write(data, n, WriteTimeoutMs(n)) ? 1 : 0;
}

int SerialPorts::Flush(Port port) {
    SerialRecord& record = records_[port];
    record.readPos = record.readEnd = 0;
    return record.device != nullptr && record.device->Purge() ? 1 : 0;
}

int SerialPorts::Break(Port port, std::int32_t ticks) {
    SerialRecord& record = records_[port];
    if (record.device == nullptr || !record.device->SetBreak(true)) {
        return 0;
    }
    SleepTicks(ticks > 0 ? static_cast<std::uint32_t>(ticks) : 0u);
    return record.device->SetBreak(false) ? 1 : 0;
}

int SerialPorts::PulseBreak(Port port) {
    SerialRecord& record = records_[port];
    if (record.device == nullptr) {
        return 0;
    }
    // The sleep granularity is too coarse for 5 ms: spin on the monotonic clock between set and clear.
    platform::YieldProcessor();
    const bool set = record.device->SetBreak(true);
    platform::BusyWaitNs(kPulseBreakNs);
    const bool cleared = record.device->SetBreak(false);
    return set && cleared ? 1 : 0;
}

void* SerialPorts::Handle(Port port) const {
    const SerialRecord& record = records_[port];
    return record.device != nullptr
               ? reinterpret_cast<void*>(static_cast<std::intptr_t>(record.device->Descriptor()))
               : nullptr;
}

}  // namespace vaultra::link
