#include "drivers/s5/as511.h"

#include <algorithm>

#include "drivers/s5/plc_info.h"
#include "drivers/s5/settings.h"
#include "drivers/s5/word_buffer.h"

namespace vaultra::s5 {
namespace {

// Bytes a reply to the end mark may carry before the driver gives up on it (the largest block is
// 128 KiB, every byte possibly doubled).
constexpr size_t kMaxReplyBytes = 300 * 1024;
constexpr uint32_t kAbortTicks = 9;

void StoreItem(uint8_t* data, size_t index, Unit unit, uint16_t value) {
    if (unit == Unit::Byte)
        data[index] = static_cast<uint8_t>(value);
    else
        StoreValue(data, index, value);
}

}  // namespace

bool Line::SendByte(uint8_t b) {
    if (link::ComWriteByte(port_, b) == 1)
        return true;
    Fail(kErrWrite);
    return false;
}

bool Line::SendDlePair(uint8_t x) {
    return SendByte(kDle) && SendByte(x);
}

bool Line::SendData(uint8_t b) {
    return SendByte(b) && (b != kDle || SendByte(kDle));
}

bool Line::SendWord(uint16_t w) {
    return SendData(static_cast<uint8_t>(w >> 8)) && SendData(static_cast<uint8_t>(w));
}

// The PLC's receive buffer takes 256 bytes; the pause lets it store them.
bool Line::BlockPause(int& counter, int limit) {
    if (++counter < limit || LibrarySettings().blockPauseMs == 0)
        return true;
    const int32_t pause = LibrarySettings().blockPauseMs;
    for (int32_t slept = 0; slept < pause; slept += static_cast<int32_t>(link::kTickMs))
        link::SleepMs(link::kTickMs);
    counter = 0;
    if (LibrarySettings().variant == Variant::Serial && link::ComTraceEnabled())
        link::ComTrace(link::kTracePause, static_cast<uint8_t>(pause));
    return true;
}

bool Line::SendBlock(const uint8_t* data, Unit unit, size_t count) {
    const bool bytes = unit == Unit::Byte;
    int counter = bytes ? 10 : 5;
    for (size_t i = 0; i < count; ++i) {
        const bool sent = bytes ? SendData(data[i]) : SendWord(LoadValue(data, i));
        if (!sent || !BlockPause(counter, bytes ? 256 : 128))
            return false;
    }
    return true;
}

bool Line::SendSpacedBlock(const uint8_t* data, Unit unit, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        if (unit == Unit::Word) {
            const uint16_t w = LoadValue(data, i);
            if (!SendByte(0x00) || !SendData(static_cast<uint8_t>(w >> 8)))
                return false;
        }
        const uint8_t low = unit == Unit::Word ? static_cast<uint8_t>(LoadValue(data, i)) : data[i];
        if (!SendByte(0x00) || !SendData(low))
            return false;
    }
    return true;
}

bool Line::ReadByte(uint8_t& b) {
    if (link::ComReadByte(port_, &b) == 1)
        return true;
    Fail(kErrNoByte);
    return false;
}

bool Line::ExpectByte(uint8_t x) {
    uint8_t b = 0;
    if (!ReadByte(b))
        return false;
    if (b == x)
        return true;
    FailWith(kErrUnexpected, b);
    return false;
}

bool Line::ExpectDlePair(uint8_t x) {
    if (!ExpectByte(kDle))
        return false;
    if (ExpectByte(x))
        return true;
    if (Error() == kErrUnexpected)
        Fail(kErrDle);
    return false;
}

bool Line::ExpectByteTimed(uint8_t x) {
    uint8_t b = 0;
    if (link::ComReadByteTimed(port_, &b, LibrarySettings().timeoutTicks) != 1) {
        timedGot_ = false;
        return false;
    }
    timedGot_ = true;
    timedByte_ = b;
    return b == x;
}

// A failed timed wait leaves a reason, so that the next call re-synchronises the line.
void Line::NoteTimedFailure() {
    if (Error() != 0)
        return;
    if (timedGot_)
        FailWith(kErrUnexpected, timedByte_);
    else
        Fail(kErrNoByte);
}

bool Line::ReadDataByte(uint8_t& b) {
    lastWasDle_ = false;
    if (!ReadByte(b))
        return false;
    if (b != kDle)
        return true;
    uint8_t next = 0;
    if (!ReadByte(next))
        return false;
    if (next == kDle)
        return true;
    lastWasDle_ = true;
    FailWith(kErrUnexpected, next);
    return false;
}

bool Line::ReadDataWord(uint16_t& w) {
    uint8_t high = 0;
    uint8_t low = 0;
    if (!ReadDataByte(high) || !ReadDataByte(low))
        return false;
    w = static_cast<uint16_t>(high << 8 | low);
    return true;
}

// A reply may end one item early: the end mark goes back to the ring for the EndOfReply that follows.
bool Line::ReadData(uint8_t* data, Unit unit, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        uint16_t value = 0;
        uint8_t byte = 0;
        const bool ok = unit == Unit::Byte ? ReadDataByte(byte) : ReadDataWord(value);
        if (ok) {
            StoreItem(data, i, unit, unit == Unit::Byte ? byte : value);
            continue;
        }
        const size_t left = count - i - 1;
        const bool nearEnd = unit == Unit::Byte ? left <= 1 : left == 0;
        if (!nearEnd || !lastWasDle_ || Error() != kErrUnexpected || r_.plcError != kEtx)
            return false;
        link::ComPushBack(port_, kDle);
        link::ComPushBack(port_, kEtx);
        ClearError();
        return true;
    }
    return true;
}

// After a DLE in the data: DLE DLE is a data byte (after = DLE), DLE ETX/EOT the end (DLE ACK sent).
bool Line::ReadEndMark(uint8_t& after) {
    if (!ReadByte(after))
        return false;
    if (after == kDle)
        return true;
    if (after == kEtx || after == kEot)
        return SendDlePair(kAck);
    FailWith(kErrUnexpected, after);
    return false;
}

int32_t Line::ReadWordsToEnd(uint8_t* data, size_t max) {
    size_t words = 0;
    for (size_t read = 0; read < kMaxReplyBytes; read += 2) {
        uint8_t half[2] = {};
        for (int h = 0; h < 2; ++h) {
            if (!ReadByte(half[h]))
                return -1;
            if (half[h] != kDle)
                continue;
            uint8_t after = 0;
            if (!ReadEndMark(after))
                return -1;
            if (after == kDle)
                continue;
            const bool halfWord = h == 1 && words < max;  // the end came after a high byte: keep it
            if (halfWord)
                StoreValue(data, words, static_cast<uint16_t>(half[0] << 8));
            // Words beyond max were read but not stored: the count names what the buffer holds.
            return static_cast<int32_t>(std::min(words, max) + (halfWord ? 1 : 0));
        }
        if (words < max)
            StoreValue(data, words, static_cast<uint16_t>(half[0] << 8 | half[1]));
        ++words;
    }
    Fail(kErrUnexpected);
    return -1;
}

int32_t Line::ReadBytesToEnd(uint8_t* data, size_t max) {
    const size_t inserted = CpuClass(r_) == 3 ? 8 : 4;
    size_t count = 0;
    for (size_t read = 0; read < kMaxReplyBytes; ++read) {
        uint8_t b = 0;
        if (!ReadByte(b))
            return -1;
        if (b == kDle) {
            uint8_t after = 0;
            if (!ReadByte(after))
                return -1;
            if (after == 0x01) {  // an inserted header, not data
                if (!SkipBytes(inserted))
                    return -1;
                continue;
            }
            if (after == kEtx || after == kEot)
                return SendDlePair(kAck) ? static_cast<int32_t>(std::min(count, max)) : -1;
            if (after != kDle) {
                FailWith(kErrUnexpected, after);
                return -1;
            }
        }
        if (count < max)
            data[count] = b;
        ++count;
    }
    Fail(kErrUnexpected);
    return -1;
}

bool Line::SkipBytes(size_t n) {
    uint8_t b = 0;
    for (size_t i = 0; i < n; ++i) {
        if (!ReadByte(b))
            return false;
    }
    return true;
}

bool Line::DropToDle(size_t limit) {
    uint8_t b = 0;
    for (size_t i = 0; i < limit; ++i) {
        if (!ReadByte(b))
            return false;
        if (b == kDle) {
            link::ComPushBack(port_, kDle);
            return true;
        }
    }
    return false;
}

bool Line::SkipToEnd(size_t limit) {
    uint8_t b = 0;
    for (size_t i = 0; i < limit; ++i) {
        if (ReadDataByte(b))
            continue;
        if (lastWasDle_ && Error() == kErrUnexpected && (r_.plcError == kEtx || r_.plcError == kEot)) {
            link::ComPushBack(port_, kDle);
            link::ComPushBack(port_, static_cast<uint8_t>(r_.plcError));
            ClearError();
            return true;
        }
        return false;
    }
    return false;
}

void Line::Abort() {
    if (Error() == kErrFunction)
        return;
    link::SleepTicks(kAbortTicks);
    link::ComFlush(port_);
}

bool Line::ExpectDleAck() {
    if (!ExpectByteTimed(kDle)) {
        NoteTimedFailure();
        return false;
    }
    uint8_t b = 0;
    if (!ReadByte(b))
        return false;
    if (b == kAck)
        return true;
    FailWith(kErrUnexpected, b);
    if (b == kNak)
        Abort();
    return false;
}

bool Line::OpenTelegram() {
    if (link::ComHasInput(port_) == 1) {
        Fail(kErrUnexpected);
        return false;
    }
    return SendByte(kStx) && ExpectDleAck();
}

bool Line::AcceptTelegram() {
    if (ExpectByteTimed(kStx) && SendDlePair(kAck))
        return true;
    NoteTimedFailure();
    Abort();
    return false;
}

bool Line::CloseWithEtx() {
    return SendDlePair(kEtx) && ExpectDleAck();
}

bool Line::CloseWithEot() {
    return SendDlePair(kEot) && ExpectDleAck();
}

bool Line::EndOfReply() {
    if (ExpectDlePair(kEtx) && SendDlePair(kAck))
        return true;
    Abort();
    return false;
}

bool Line::FinishFunction() {
    if (AcceptTelegram() && ExpectByte(kEndOfFunction) && EndOfReply()) {
        LibrarySettings().lastActivityTick = link::TicksNow();
        return true;
    }
    Abort();
    return false;
}

// The PLC refuses a function with a short telegram of its own that still has to be closed properly.
void Line::DrainRefusal(uint8_t first) {
    uint8_t b = first;
    if (b == 0x00)
        ReadByte(b);
    bool matched = false;
    if (ReadByte(b)) {
        if (b == kStx)
            matched = ExpectDlePair(kEtx);
        else if (b == kDle)
            matched = ExpectByte(kEtx);
    }
    if (matched && SendDlePair(kAck) && SendDlePair(kEot) && ExpectDleAck())
        FinishFunction();
    FailWith(kErrFunction, first);
}

bool Line::FunctionRequest(uint8_t code) {
    if (!PgBusSelect() || !OpenTelegram() || !SendByte(code) || !AcceptTelegram())
        return false;
    uint8_t first = 0;
    if (!ReadByte(first))
        return false;
    if (first == kSyn)
        return EndOfReply();
    DrainRefusal(first);
    return false;
}

bool Line::PgBusSelect() {
    Settings& s = LibrarySettings();
    const int32_t station = r_.plcAddress;
    if ((s.flags & kFlagSkipReselect) != 0 && station == s.currentStation)
        return true;
    if (station == 0) {
        if ((Param(r_, kParamIdentification) & 0xFF) == 0xFF && link::TicksNow() - s.lastActivityTick < 1)
            link::SleepTicks(2);
        return true;
    }
    link::SleepMs(15);
    link::ComFlush(port_);
    if ((s.flags & kFlagLongBreak) != 0) {
        link::ComBreak(port_, 1);
        link::ComFlush(port_);
        link::SleepTicks(3);
    }
    link::ComPulseBreak(port_);
    link::SleepMs(5);
    link::SleepMs(5);
    if (!SendByte(static_cast<uint8_t>(station + 0x80)))
        return false;
    link::SleepMs(1);
    if (!ReadSelectEcho(static_cast<uint8_t>(station)))
        return false;
    link::SleepMs(16 * 5);
    s.currentStation = station;
    return true;
}

bool Line::ReadSelectEcho(uint8_t station) {
    uint8_t b = 0;
    if (link::ComReadByte(port_, &b) != 1) {
        Fail(kErrSelectSilent);
        return false;
    }
    if (b == station)
        return true;
    uint8_t next = 0;
    if (b == kDle && link::ComReadByte(port_, &next) == 1 && next == kNak) {
        Fail(kErrSelectRefused);
        return false;
    }
    FailWith(kErrUnexpected, b);
    link::ComFlush(port_);
    return false;
}

}  // namespace vaultra::s5
