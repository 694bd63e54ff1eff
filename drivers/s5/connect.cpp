// Connecting, the connection test that reads the PLC description, and the re-synchronisation after errors.
#include <cstring>

#include "drivers/link/com.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/plc_info.h"
#include "drivers/s5/settings.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

constexpr int32_t kLineBaud = 9600;
constexpr uint32_t kRetryTicks = 20;
constexpr uint32_t kBreakTicks = 9;
constexpr uint8_t kRecovering = 0xFF;

// Errors after which the PLC is still in step with us: a refusal drained, a range or block refused.
bool InStep(uint16_t error, bool forPrecheck) {
    switch (error) {
        case 0:
        case kErrNoBlock:
        case kErrRange:
        case kErrBeyondBlock:
        case kErrFunction:
            return true;
        case kErrRefused:
            return forPrecheck;
        default:
            return false;
    }
}

// The first failed test only purges the line; a second one in a row also breaks it.
void Recover(Line& line) {
    ConnectionRecord& r = line.Record();
    if (InStep(r.status, false))
        return;
    if (r.area.s5.recoveryState == kRecovering) {
        LibrarySettings().currentStation = -1;
        link::ComBreak(line.Port(), static_cast<int32_t>(kBreakTicks));
        link::SleepTicks(kBreakTicks);
        r.area.s5.recoveryState = 0;
    } else {
        r.area.s5.recoveryState = kRecovering;
    }
    link::ComFlush(line.Port());
}

bool TestAttempts(ConnectionRecord& r) {
    const int32_t attempts = LibrarySettings().attempts;
    for (int32_t i = 0; i < attempts; ++i) {
        if (AGTest(r) == 1)
            return true;
        if (i + 1 < attempts)
            link::SleepTicks(kRetryTicks);
    }
    return false;
}

}  // namespace

int32_t AGTest(ConnectionRecord& r) {
    Line line(r);
    Recover(line);
    uint8_t words[2 * kParamCount] = {};
    if (!line.FunctionRequest(kFnSystemParameters))
        return 0;
    const bool read = line.SendDlePair(kEot) && line.ExpectDleAck() && line.AcceptTelegram() &&
                      line.ExpectByte(0x00) && line.ReadData(words, Unit::Word, kParamCount);
    if (!read) {
        line.Abort();
        return 0;
    }
    if (!line.EndOfReply() || !line.FinishFunction())
        return 0;
    for (int i = 0; i < kParamCount; ++i)
        SetParam(r, i, LoadValue(words, static_cast<size_t>(i)));
    line.ClearError();
    if (Param(r, kParamAddressStep) == 0)
        SetParam(r, kParamAddressStep, kByteAddressed);
    return 1;
}

bool Precheck(Line& line) {
    if (!InStep(line.Error(), true) && AGTest(line.Record()) != 1)
        return false;
    line.ClearError();
    return true;
}

int32_t Init(ConnectionRecord& r, int32_t mode) {
    const link::Port port = r.port;
    bool ok = false;
    if (mode == 2) {
        ok = TestAttempts(r);
        if (!ok)
            link::ComRelease(port);
    } else {
        const bool lineOnly = mode == 1;
        if (link::ComOpenShared(port, kLineBaud, 8, lineOnly ? 'n' : 'e', lineOnly ? 1 : 2) != 1) {
            r.status = kErrInitOpen;
            r.connected = 0;
            return 0;
        }
        link::ComFlush(port);
        ok = lineOnly || TestAttempts(r);
        if (!ok)
            link::ComRelease(port);
    }
    r.connected = ok ? 1 : 0;
    return r.connected;
}

int32_t InitPGBus(ConnectionRecord& r) {
    const link::Port port = r.port;
    if (link::ComOpenShared(port, kLineBaud, 8, 'e', 2) != 1) {
        r.status = kErrPgBusOpen;
        r.connected = 0;
        return 0;
    }
    link::ComFlush(port);
    const int32_t attempts = LibrarySettings().attempts;
    bool ok = false;
    for (int32_t i = 0; i < attempts && !ok; ++i) {
        Line line(r);
        ok = line.PgBusSelect();
        if (!ok && i + 1 < attempts) {
            for (int pause = 0; pause < 110; ++pause)
                link::SleepMs(5);
        }
    }
    if (!ok)
        link::ComRelease(port);
    r.connected = ok ? 1 : 0;
    return r.connected;
}

int32_t Exit(ConnectionRecord& r) {
    if (r.connected == 0)
        return 0;
    link::ComRelease(r.port);
    r.connected = 0;
    return 1;
}

}  // namespace vaultra::s5
