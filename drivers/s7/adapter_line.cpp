#include "drivers/s7/adapter_line.h"

#include <algorithm>

#include "drivers/s7/settings.h"

namespace vaultra::s7 {

using s7wire::kDle;
using s7wire::kNak;
using s7wire::kStx;

namespace {

// Raw line bytes of one telegram: doubled content plus trailer stays well below this.
constexpr size_t kMaxRawBytes = 2 * kMaxTelegram + 4;
// The largest write every link takes (a length-prefixed LAN frame carries two bytes less than 1024).
constexpr size_t kMaxWrite = 1022;

// Everything after the grant: head and body with DLE doubled, DLE ETX and the block check character.
std::vector<uint8_t> FramedBlock(std::span<const uint8_t> head, std::span<const uint8_t> body) {
    std::vector<uint8_t> content(head.begin(), head.end());
    content.insert(content.end(), body.begin(), body.end());
    return s7wire::FrameTelegram(content);
}

// One write per telegram: every write is a TCP segment on a LAN adapter and a wake-up of the other side
// on a serial line. Only a telegram longer than a link write is split.
bool WriteBlock(link::Port port, std::span<const uint8_t> block) {
    for (size_t at = 0; at < block.size(); at += kMaxWrite) {
        const size_t n = std::min(kMaxWrite, block.size() - at);
        if (!link::ComWrite(port, block.data() + at, static_cast<int32_t>(n)))
            return false;
    }
    return true;
}

}  // namespace

TelegramReader::Result TelegramReader::Next(uint8_t& byte) {
    while (!ended_) {
        uint8_t raw = 0;
        if (++raw_ > kMaxRawBytes || !link::ComReadByteTimed(port_, &raw, charTicks_))
            return Result::kFail;
        switch (decoder_.Feed(raw, byte)) {
            case s7wire::DleDecoder::Event::kData:
                return ++content_ > kMaxTelegram ? Result::kFail : Result::kByte;
            case s7wire::DleDecoder::Event::kEnd:
                ended_ = true;
                return Result::kEnd;
            case s7wire::DleDecoder::Event::kError:
                return Result::kFail;
            case s7wire::DleDecoder::Event::kNone:
                break;
        }
    }
    return Result::kEnd;
}

bool TelegramReader::SkipToEnd() {
    uint8_t b = 0;
    for (;;) {
        const Result r = Next(b);
        if (r == Result::kEnd)
            return true;
        if (r == Result::kFail)
            return false;
    }
}

bool TelegramReader::CheckTrailer() {
    uint8_t bcc = 0;
    return ended_ && link::ComReadByteTimed(port_, &bcc, charTicks_) && bcc == decoder_.Check();
}

void AdapterLine::Restart() {
    lost_ = false;
    live_ = false;
}

bool AdapterLine::SeesLoss() {
    // Until the adapter first answered in this session, a connection that could not be made or that had
    // broken before is the link's to make anew: only a session that existed can be lost.
    if (!lost_ && live_ && link::ComConnectionLost(port) == 1)
        lost_ = true;
    return lost_;
}

bool AdapterLine::FailIfLost(ConnectionRecord& record) {
    if (SeesLoss()) {
        record.status = kStatusDisconnected;
        record.plcError = 0;
    }
    return lost_;
}

int32_t AdapterLine::CharTicks() const {
    return std::max<int32_t>(1, link::ComCharTimeoutFactor());
}
int32_t AdapterLine::Attempts() const {
    return std::max<int32_t>(1, DriverSettings().attempts);
}
int32_t AdapterLine::TimeoutTicks() const {
    return std::max<int32_t>(1, DriverSettings().timeoutTicks);
}

bool AdapterLine::WaitByte(uint8_t& byte, int32_t ticks, ProgressSink* progress, bool* cancelled) {
    if (!SendPendingAccept())
        return false;
    uint32_t start = link::TicksNow();
    uint32_t lastReport = start;
    intptr_t reported = 0;
    for (;;) {
        uint32_t now = link::TicksNow();
        if (now < start)
            start = lastReport = now;  // the tick count ran backwards: restart the wait
        const int64_t left = static_cast<int64_t>(ticks) - (now - start);
        if (left <= 0) {  // a byte that is already there still counts
            const bool got = link::ComHasInput(port) && link::ComReadByte(port, &byte);
            live_ = live_ || got;
            return got;
        }
        // The timed read takes a byte that is already there without waiting: no separate look first,
        // which would cost a system call per wait.
        const int32_t slice = static_cast<int32_t>(std::min<int64_t>(left, kProgressSliceTicks));
        if (link::ComReadByteTimed(port, &byte, slice)) {
            live_ = true;
            return true;
        }
        if (SeesLoss())
            return false;
        now = link::TicksNow();
        if (progress != nullptr && now - lastReport > static_cast<uint32_t>(kProgressSliceTicks)) {
            if (!progress->Report(reported)) {
                if (cancelled != nullptr)
                    *cancelled = true;
                return false;
            }
            reported = (now - start) / kProgressSliceTicks;
            lastReport = now;
        }
    }
}

bool AdapterLine::SendPendingAccept() {
    if (!acceptPending_)
        return true;
    acceptPending_ = false;
    return link::ComWriteByte(port, kDle) == 1;
}

bool AdapterLine::Answer(uint8_t control) {
    return SendPendingAccept() && link::ComWriteByte(port, control) == 1;
}

void AdapterLine::AbsorbTelegram() {
    if (!Answer(kDle))
        return;
    TelegramReader reader(port, CharTicks());
    const bool complete = reader.SkipToEnd() && reader.CheckTrailer();
    Answer(complete ? kDle : kNak);
}

void AdapterLine::AbsorbPending(uint32_t waitMs) {
    if (!SendPendingAccept())
        return;
    // Polled in small steps: a timed read on a serial port would wait at least a whole read time-out.
    const uint64_t start = link::MillisecondsNow();
    while (!link::ComHasInput(port)) {
        if (SeesLoss())
            return;
        if (link::MillisecondsNow() - start >= waitMs)
            return;
        link::SleepMs(1);
    }
    uint8_t b = 0;
    if (link::ComReadByte(port, &b) && b == kStx)
        AbsorbTelegram();
}

bool AdapterLine::RequestToSend(ConnectionRecord& record, bool& fatal) {
    fatal = false;
    if (!acceptPending_) {
        if (Answer(kStx))
            return true;
        record.status = kStatusPort;
        return false;
    }
    acceptPending_ = false;
    static constexpr uint8_t kAcceptThenRequest[] = {kDle, kStx};
    if (link::ComWrite(port, kAcceptThenRequest, sizeof kAcceptThenRequest))
        return true;
    record.status = kStatusPort;
    fatal = true;  // the telegram we received stays unaccepted, as when a lone DLE cannot be written
    return false;
}

bool AdapterLine::SendTelegram(ConnectionRecord& record, std::span<const uint8_t> head,
                               std::span<const uint8_t> body) {
    // Nothing goes into a connection made after the adapter's session was lost: it would go unheard.
    if (FailIfLost(record))
        return false;
    const std::vector<uint8_t> framed = FramedBlock(head, body);
    // With an accept pending the adapter is waiting for it: nothing of its own can be waiting here.
    if (!acceptPending_)
        AbsorbPending(0);
    if (FailIfLost(record))
        return false;
    record.status = kStatusNoAnswer;
    for (int32_t attempt = 0; attempt < Attempts(); ++attempt) {
        if (attempt > 0)
            link::ComFlush(port);
        bool fatal = false;
        if (!RequestToSend(record, fatal)) {
            if (fatal)
                return false;
            continue;
        }
        uint8_t grant = 0;
        if (!WaitByte(grant, TimeoutTicks())) {
            if (FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            continue;
        }
        if (grant == kStx) {  // the adapter sends at the same time: take its telegram first
            AbsorbTelegram();
            continue;
        }
        if (grant != kDle) {
            record.status = kStatusWrongControl;
            record.plcError = kDle;
            continue;
        }
        if (!WriteBlock(port, framed)) {
            record.status = kStatusPort;
            continue;
        }
        uint8_t accepted = 0;
        if (!link::ComReadByteTimed(port, &accepted, TimeoutTicks())) {
            if (FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            continue;
        }
        if (accepted != kDle) {
            record.status = kStatusWrongControl;
            record.plcError = kDle;
            continue;
        }
        record.status = 0;
        return true;
    }
    return false;
}

bool AdapterLine::ReceiveTelegram(ConnectionRecord& record, Form form, size_t n,
                                  std::vector<uint8_t>& content, int32_t timeoutTicks) {
    if (FailIfLost(record))
        return false;
    if (!SendPendingAccept()) {
        record.status = kStatusPort;
        return false;
    }
    for (int32_t attempt = 0; attempt < Attempts(); ++attempt) {
        content.clear();
        uint8_t first = 0;
        if (!WaitByte(first, timeoutTicks)) {
            if (FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            if (form == Form::kAny)
                Answer(kNak);
            continue;
        }
        if (first != kStx) {
            record.status = kStatusWrongControl;
            record.plcError = kStx;
            continue;
        }
        if (!Answer(kDle)) {
            record.status = kStatusPort;
            return false;
        }
        TelegramReader reader(port, CharTicks());
        size_t total = 0;
        uint8_t b = 0;
        TelegramReader::Result r;
        while ((r = reader.Next(b)) == TelegramReader::Result::kByte) {
            if (content.size() < (form == Form::kAny ? n : kMaxTelegram))
                content.push_back(b);
            ++total;
        }
        const bool shapeOk = form == Form::kExact ? total == n : form == Form::kAtMost ? total <= n : true;
        if (r != TelegramReader::Result::kEnd || !reader.CheckTrailer() || !shapeOk) {
            if (FailIfLost(record))
                return false;
            record.status = kStatusNoAnswer;
            if (!Answer(kNak)) {
                record.status = kStatusPort;
                return false;
            }
            continue;
        }
        if (!Answer(kDle)) {
            record.status = kStatusPort;
            return false;
        }
        record.status = 0;
        return true;
    }
    return false;
}

}  // namespace vaultra::s7
