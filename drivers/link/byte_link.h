// The replaceable part of the link. The Com* functions of com.h keep the push-back rings and the trace
// themselves and hand everything that touches a line to the active ByteLink; TicksNow and the sleeps go to
// the active Clock. By default these are the real port table and the monotonic clock; a test installs its
// own pair (for example FakeLink of fake_link.h) with ScopedLinkOverride.
#pragma once

#include <cstdint>

#include "drivers/link/com.h"

namespace vaultra::link {

class ByteLink {
public:
    virtual ~ByteLink() = default;

    // Open counting is the link's job: the first open applies the settings, later ones only count.
    virtual int OpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity,
                           std::int32_t stopBits) = 0;
    virtual int Release(Port port) = 0;
    virtual int Close(Port port) = 0;
    virtual void CloseAll() = 0;
    virtual bool IsOpen(Port port) = 0;

    // Line reads; the push-back ring has been served before these are called.
    virtual int ReadByte(Port port, std::uint8_t* out) = 0;
    virtual int ReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) = 0;
    virtual int HasInput(Port port) = 0;
    virtual std::int32_t ReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) = 0;
    // 1 when the last read found the connection broken rather than silent (see ComConnectionLost).
    virtual int ConnectionLost(Port /*port*/) { return 0; }

    virtual int WriteByte(Port port, std::uint8_t value) = 0;
    virtual int Write(Port port, const std::uint8_t* data, std::int32_t n) = 0;

    virtual int Flush(Port port) = 0;
    virtual int Break(Port port, std::int32_t ticks) = 0;
    virtual int PulseBreak(Port port) = 0;
    virtual void* Handle(Port port) = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::uint64_t NowMs() = 0;
    virtual void SleepMs(std::uint32_t ms) = 0;
};

// Routes the Com* functions and the clock to the given objects for its lifetime (not nestable across
// threads; the link is single-threaded). The push-back rings and the trace state are reset on entry and exit.
class ScopedLinkOverride {
public:
    ScopedLinkOverride(ByteLink& link, Clock& clock);
    ~ScopedLinkOverride();
    ScopedLinkOverride(const ScopedLinkOverride&) = delete;
    ScopedLinkOverride& operator=(const ScopedLinkOverride&) = delete;

private:
    ByteLink* previousLink_;
    Clock* previousClock_;
};

// The active objects (the real ones unless overridden).
ByteLink& ActiveLink();
Clock& ActiveClock();

}  // namespace vaultra::link
