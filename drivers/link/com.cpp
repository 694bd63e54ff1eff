// The Com* entry points: port range check, push-back rings and trace, then the active link.
#include "drivers/link/com.h"

#include "drivers/link/byte_link.h"
#include "drivers/link/port_table.h"
#include "drivers/link/trace.h"

namespace vaultra::link {
namespace {

struct PushBackRing {
    std::uint8_t bytes[kPushBackSize] = {};
    std::uint8_t put = 0;
    std::uint8_t get = 0;

    bool Empty() const { return put == get; }
    void Reset() { put = get = 0; }
    void Push(std::uint8_t value) {
        bytes[put] = value;
        put = static_cast<std::uint8_t>((put + 1) % kPushBackSize);
    }
    std::uint8_t Take() {
        const std::uint8_t value = bytes[get];
        get = static_cast<std::uint8_t>((get + 1) % kPushBackSize);
        if (get == put) {
            Reset();
        }
        return value;
    }
};

PushBackRing g_rings[kPortCount];
ByteLink* g_link = nullptr;
Clock* g_clock = nullptr;
std::int32_t g_charTimeoutFactor = 90;

bool Valid(Port port) {
    return port < kPortCount;
}

void ResetRings() {
    for (PushBackRing& ring : g_rings) {
        ring.Reset();
    }
}

// A byte the caller receives, traced on the way.
int Received(int ok, const std::uint8_t* out) {
    if (ok == 1 && ComTraceEnabled()) {
        ComTrace(kTraceReceived, *out);
    }
    return ok == 1 ? 1 : 0;
}

}  // namespace

ByteLink& ActiveLink() {
    return g_link != nullptr ? *g_link : SystemLink();
}
Clock& ActiveClock() {
    return g_clock != nullptr ? *g_clock : SystemClock();
}

ScopedLinkOverride::ScopedLinkOverride(ByteLink& link, Clock& clock)
    : previousLink_(g_link), previousClock_(g_clock) {
    ComTraceClose();
    ForgetLastTracedByte();
    ResetRings();
    g_link = &link;
    g_clock = &clock;
}

ScopedLinkOverride::~ScopedLinkOverride() {
    ComTraceClose();
    ForgetLastTracedByte();
    ResetRings();
    g_link = previousLink_;
    g_clock = previousClock_;
}

int ComOpenShared(Port port, std::int32_t baud, std::uint8_t dataBits, char parity, std::int32_t stopBits) {
    return Valid(port) ? ActiveLink().OpenShared(port, baud, dataBits, parity, stopBits) : 0;
}

int ComRelease(Port port) {
    ComTraceClose();
    return Valid(port) ? ActiveLink().Release(port) : 0;
}

int ComClose(Port port) {
    return Valid(port) ? ActiveLink().Close(port) : 0;
}

void ComCloseAll() {
    ComTraceClose();
    ActiveLink().CloseAll();
}

int ComReadByte(Port port, std::uint8_t* out) {
    if (!Valid(port) || out == nullptr) {
        return 0;
    }
    if (!g_rings[port].Empty()) {
        *out = g_rings[port].Take();
        return Received(1, out);
    }
    return Received(ActiveLink().ReadByte(port, out), out);
}

int ComReadByteTimed(Port port, std::uint8_t* out, std::int32_t timeoutTicks) {
    if (!Valid(port) || out == nullptr) {
        return 0;
    }
    if (!g_rings[port].Empty()) {
        return ComReadByte(port, out);
    }
    return Received(ActiveLink().ReadByteTimed(port, out, timeoutTicks), out);
}

int ComHasInput(Port port) {
    if (!Valid(port)) {
        return 0;
    }
    return !g_rings[port].Empty() || ActiveLink().HasInput(port) == 1 ? 1 : 0;
}

int ComPushBack(Port port, std::uint8_t value) {
    if (!Valid(port)) {
        return 0;
    }
    g_rings[port].Push(value);
    return 1;
}

int ComWriteByte(Port port, std::uint8_t value) {
    if (!Valid(port)) {
        return 0;
    }
    const int ok = ActiveLink().WriteByte(port, value);
    if (ComTraceEnabled()) {
        ComTrace(kTraceSent, value);
    }
    return ok == 1 ? 1 : 0;
}

int ComWrite(Port port, const std::uint8_t* data, std::int32_t n) {
    if (!Valid(port) || n < 0 || (data == nullptr && n > 0)) {
        return 0;
    }
    const int ok = ActiveLink().Write(port, data, n);
    if (ok == 1 && ComTraceEnabled()) {
        for (std::int32_t i = 0; i < n; ++i) {
            ComTrace(kTraceSent, data[i]);
        }
    }
    return ok == 1 ? 1 : 0;
}

int ComConnectionLost(Port port) {
    return Valid(port) && ActiveLink().ConnectionLost(port) == 1 ? 1 : 0;
}

std::int32_t ComReadPacket(Port port, std::uint8_t* buffer, std::int32_t capacity) {
    if (!Valid(port) || buffer == nullptr || capacity <= 0) {
        return 0;
    }
    const std::int32_t got = ActiveLink().ReadPacket(port, buffer, capacity);
    if (got > 0 && ComTraceEnabled()) {
        for (std::int32_t i = 0; i < got; ++i) {
            ComTrace(kTraceReceived, buffer[i]);
        }
    }
    return got > 0 ? got : 0;
}

int ComFlush(Port port) {
    if (!Valid(port)) {
        return 0;
    }
    g_rings[port].Reset();
    return ActiveLink().Flush(port);
}

int ComBreak(Port port, std::int32_t ticks) {
    return Valid(port) ? ActiveLink().Break(port, ticks) : 0;
}

int ComPulseBreak(Port port) {
    return Valid(port) ? ActiveLink().PulseBreak(port) : 0;
}

void* ComGetHandleOf(Port port) {
    return Valid(port) ? ActiveLink().Handle(port) : nullptr;
}

void ComSetCharTimeoutFactor(std::int32_t factor) {
    g_charTimeoutFactor = factor;
}
std::int32_t ComCharTimeoutFactor() {
    return g_charTimeoutFactor;
}

std::uint32_t TicksNow() {
    return static_cast<std::uint32_t>(ActiveClock().NowMs() / kTickMs);
}
std::uint64_t MillisecondsNow() {
    return ActiveClock().NowMs();
}
void SleepTicks(std::uint32_t ticks) {
    ActiveClock().SleepMs(ticks * kTickMs);
}
void SleepMs(std::uint32_t ms) {
    ActiveClock().SleepMs(ms);
}

}  // namespace vaultra::link
