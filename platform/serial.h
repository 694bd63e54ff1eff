// A serial device (or pseudo-terminal) opened exclusively in raw mode.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/serial_lock.h"

namespace vaultra::platform {

enum class SerialParity : std::uint8_t { kNone = 0, kOdd = 1, kEven = 2 };

struct SerialSettings {
    std::int32_t baud = 9600;   // 1200, 2400, 4800, 9600, 19200, 38400, 57600 or 115200
    std::uint8_t dataBits = 8;  // 5..8
    SerialParity parity = SerialParity::kNone;
    bool twoStopBits = false;
};

struct SerialOpenOptions {
    std::uint32_t lockWaitMs = 0;  // how long to wait while another process holds the device
    std::string lockDirectory = DefaultSerialLockDirectory();  // empty: flock on the device instead
};

class SerialDevice {
public:
    // Opens an existing terminal device for reading and writing, claimed against every other opener
    // (processes of this machine and later opens in this one) until it is closed. Waits up to
    // options.lockWaitMs for a claim held elsewhere; nullptr and a reason when it cannot be opened.
    static std::unique_ptr<SerialDevice> Open(const std::string& path, const SerialOpenOptions& options = {},
                                              std::string* reason = nullptr);
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Raw 8-bit line: the given speed, size, parity (checked on input) and stop bits; no flow control;
    // receiver on; DTR and RTS raised where the device has them.
    bool Configure(const SerialSettings& settings);
    // Reads up to capacity bytes, waiting up to waitMs for the first one. Returns the count, 0 when nothing
    // arrived in time, -1 on a device error.
    int Read(std::uint8_t* buffer, int capacity, std::uint32_t waitMs);
    // Bytes the driver has received and not yet handed out; 0 on error.
    int BytesWaiting();
    // Writes everything within timeoutMs; false on error or time-out.
    bool Write(const std::uint8_t* data, int n, std::uint32_t timeoutMs);
    // Discards both directions.
    bool Purge();
    bool SetBreak(bool on);
    // Lowers DTR (ignored by devices without modem lines).
    void DropDtr();
    int Descriptor() const { return fd_; }

private:
    SerialDevice(int fd, std::unique_ptr<SerialLockFile> lock) : fd_(fd), lock_(std::move(lock)) {}
    int fd_;
    std::unique_ptr<SerialLockFile> lock_;  // null when the flock on fd_ is the claim
};

}  // namespace vaultra::platform
