// Output forcing (S5SetAB): preparation, request and data, each its own exchange with raw codes.
#include "drivers/s5/functions.h"
#include "drivers/s5/plc_info.h"

namespace vaultra::s5 {
namespace {

constexpr uint8_t kForcingRefused = 0x03;
constexpr uint8_t kNoOutputs = 0x0E;
constexpr uint8_t kForceEnd = 0x1C;

// A raw code in its own telegram and the first byte of the PLC's answer.
bool RawRequest(Line& line, uint8_t code, uint8_t& answer) {
    return line.PgBusSelect() && line.OpenTelegram() && line.SendByte(code) && line.AcceptTelegram() &&
           line.ReadByte(answer);
}

bool Fails(Line& line, uint16_t error, uint8_t answer) {
    line.FailWith(error, answer);
    return false;
}

bool Prepare(Line& line) {
    uint8_t a = 0;
    if (!RawRequest(line, kFnForcePrepare, a))
        return false;
    if (a == kSyn)
        return line.EndOfReply() && line.CloseWithEot() && line.AcceptTelegram() &&
               line.ExpectDlePair(kDle) && line.EndOfReply();
    if (a == kForcingRefused || a == kNoOutputs) {
        if (line.EndOfReply() && line.CloseWithEot() && line.AcceptTelegram() && line.ExpectDlePair(0x12))
            line.EndOfReply();
        return Fails(line, a == kForcingRefused ? kErrForcing : kErrAbsent, a);
    }
    if (line.ExpectByte(kStx) && line.EndOfReply() && line.CloseWithEot() && line.AcceptTelegram() &&
        line.ExpectByte(kEndOfFunction))
        line.EndOfReply();
    return Fails(line, kErrFunction, a);
}

// One telegram of one data byte, acknowledged.
bool OneByteTelegram(Line& line) {
    uint8_t b = 0;
    return line.AcceptTelegram() && line.ReadByte(b) && line.EndOfReply();
}

bool Request(Line& line) {
    uint8_t a = 0;
    if (!RawRequest(line, kFnForceRequest, a))
        return false;
    if (a == kSyn)
        return line.EndOfReply();
    if (a == kForcingRefused) {
        if (line.ExpectByte(kDle))
            line.ExpectByte(kEtx);
        return Fails(line, kErrForcing, a);
    }
    if (line.ExpectByte(kStx) && line.ExpectDlePair(kEtx) && line.SendDlePair(kAck) &&
        line.SendDlePair(kEot) && line.ExpectDlePair(kAck) && OneByteTelegram(line))
        OneByteTelegram(line);
    return Fails(line, kErrFunction, a);
}

// The PLC did not take the values at once: its reply goes to the caller's buffer, one received byte and a
// zero per pair, as far as the buffer reaches.
void TakeReply(Line& line, int32_t count, uint8_t* data) {
    for (int32_t i = 0; i < 2 * 65536; i += 2) {
        uint8_t b = 0;
        if (!line.ReadDataByte(b)) {
            if (line.Error() == kErrUnexpected && line.Record().plcError == kEtx) {
                link::ComPushBack(line.Port(), kDle);
                link::ComPushBack(line.Port(), kEtx);
                line.ClearError();
            }
            break;
        }
        if (i + 1 < count) {
            data[i] = b;
            data[i + 1] = 0;
        }
    }
    if (line.EndOfReply())
        line.FinishFunction();
}

void EndForcing(Line& line) {
    uint8_t b = 0;
    if (RawRequest(line, kForceEnd, b) && line.EndOfReply() && line.CloseWithEot() && line.AcceptTelegram()) {
        if (b == kNoOutputs) {
            if (line.ExpectByte(kEndOfFunction))
                line.EndOfReply();
        } else if (line.SkipBytes(b == kSyn ? 1 : 5) && line.EndOfReply()) {
            line.FinishFunction();
        }
    }
    line.Fail(kErrSetAB);
}

}  // namespace

int32_t ForceOutputs(ConnectionRecord& r, int32_t count, uint8_t* data) {
    Line line(r);
    if (count < 0 || (data == nullptr && count > 0) || !Precheck(line) || !Prepare(line) || !Request(line))
        return 0;
    uint8_t answer = 0;
    if (!line.SendBlock(data, Unit::Byte, static_cast<size_t>(count)) || !line.CloseWithEot() ||
        !line.AcceptTelegram() || !line.ReadByte(answer))
        return 0;
    if (answer == kEndOfFunction) {
        for (int32_t i = 0; i < count; ++i)
            data[i] = 0xFF;
        return line.EndOfReply() ? 1 : 0;
    }
    TakeReply(line, count, data);
    EndForcing(line);
    return 0;
}

}  // namespace vaultra::s5
