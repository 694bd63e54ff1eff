// The line trace "RS232DMP.TXT": one line per direction change, the gap before a byte when it exceeds 30 ms.
#include <cstdio>

#include "drivers/link/com.h"
#include "drivers/link/trace.h"

namespace vaultra::link {
namespace {

constexpr const char* kTraceFileName = "RS232DMP.TXT";
constexpr std::uint64_t kGapThresholdMs = 30;

struct TraceState {
    bool enabled = false;
    std::FILE* file = nullptr;
    int lastDirection = 0;
    std::uint64_t lastByteMs = 0;  // 0: nothing traced yet

    ~TraceState() {
        if (file != nullptr) {
            std::fclose(file);
        }
    }
};

TraceState g_trace;

const char* DirectionHeader(int direction) {
    switch (direction) {
        case kTraceSent:
            return "\nT:";
        case kTraceReceived:
            return "\nR:";
        default:
            return "\n?:";
    }
}

}  // namespace

void ComSetTraceEnabled(bool on) {
    g_trace.enabled = on;
}
bool ComTraceEnabled() {
    return g_trace.enabled;
}

void ComTrace(int direction, std::uint8_t value) {
    if (!g_trace.enabled) {
        return;
    }
    if (g_trace.file == nullptr) {
        g_trace.file = std::fopen(kTraceFileName, "a");
        if (g_trace.file == nullptr) {
            return;
        }
    }
    if (direction != g_trace.lastDirection) {
        std::fputs(DirectionHeader(direction), g_trace.file);
        g_trace.lastDirection = direction;
    }
    const std::uint64_t now = MillisecondsNow();
    if (g_trace.lastByteMs != 0 && now > g_trace.lastByteMs + kGapThresholdMs) {
        const std::uint64_t gap = now - g_trace.lastByteMs;
        std::fprintf(g_trace.file, "[%04d] ", static_cast<int>(gap < 9'999'999 ? gap : 9'999'999));
    }
    std::fprintf(g_trace.file, "%02X ", value);
    g_trace.lastByteMs = now;
}

void ForgetLastTracedByte() {
    g_trace.lastDirection = 0;
    g_trace.lastByteMs = 0;
}

void ComTraceClose() {
    if (g_trace.file == nullptr) {
        return;
    }
    std::fputs("\n------------------------------------------------------\n", g_trace.file);
    std::fclose(g_trace.file);
    g_trace.file = nullptr;
}

}  // namespace vaultra::link
