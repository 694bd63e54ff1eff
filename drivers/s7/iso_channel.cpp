#include "drivers/s7/iso_channel.h"

#include <algorithm>

#include "drivers/link/tpkt.h"
#include "drivers/s7/answer_body.h"
#include "drivers/s7/answer_match.h"
#include "drivers/s7/settings.h"
#include "drivers/s7/wire/byte_reader.h"
#include "drivers/s7/wire/iso_framing.h"

namespace vaultra::s7 {

namespace {

constexpr size_t kPendingPeek = 7;
constexpr size_t kMinAnswerPacket = s7wire::kDataHeaderSize + s7wire::kS7HeaderSize;
constexpr size_t kMaxContinuations = 64;
const std::vector<uint8_t> kSetupParameter{0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};

// A received packet as a byte source for the answer reader.
class PacketSource {
public:
    explicit PacketSource(std::span<const uint8_t> bytes) : in_(bytes) {}
    ReadResult Next(uint8_t& b) { return in_.ReadU8(b) ? ReadResult::kByte : ReadResult::kEnd; }
    size_t Remaining() const { return in_.Remaining(); }
    s7wire::ByteReader& Reader() { return in_; }

private:
    s7wire::ByteReader in_;
};

}  // namespace

bool IsoChannel::Initialise(ConnectionRecord& record) {
    port_ = record.port;
    linkFlags = kLinkInitialised;
    pduReference = 2;
    ResetStatusArea(record);
    record.status = kStatusOk;
    return true;
}

bool IsoChannel::CheckPending(ConnectionRecord& record) {
    if (!link::ComHasInput(port_))
        return true;
    uint8_t peek[kPendingPeek] = {};
    const int32_t n = link::ComReadPacket(port_, peek, kPendingPeek);
    if (n == static_cast<int32_t>(kPendingPeek) && peek[1] == s7wire::kTpduDisconnectRequest) {
        record.status = kStatusDisconnected;
        record.plcError = s7wire::kTpduDisconnectRequest;
        linkFlags &= static_cast<uint8_t>(~kLinkConnected);
        return false;
    }
    return true;
}

bool IsoChannel::Write(ConnectionRecord& record, const std::vector<uint8_t>& tpdu) {
    if (tpdu.size() + link::kTpktHeaderSize > 1024 ||
        !link::ComWrite(port_, tpdu.data(), static_cast<int32_t>(tpdu.size()))) {
        record.status = kStatusPort;
        return false;
    }
    return true;
}

size_t IsoChannel::WaitPacket(ProgressSink* progress, bool* cancelled) {
    const int32_t timeout = std::max<int32_t>(1, DriverSettings().timeoutTicks);
    const int32_t attempts = std::max<int32_t>(1, DriverSettings().attempts);
    uint32_t start = link::TicksNow();
    uint32_t lastReport = start;
    intptr_t reported = 0;
    const int64_t limit = static_cast<int64_t>(timeout) * attempts;
    for (;;) {
        const int32_t n = link::ComReadPacket(port_, packet_.data(), static_cast<int32_t>(packet_.size()));
        if (n > 0)
            return static_cast<size_t>(n);
        const uint32_t now = link::TicksNow();
        if (now < start)
            start = lastReport = now;
        if (now - start >= limit)
            return 0;
        if (progress != nullptr && now - lastReport > static_cast<uint32_t>(kProgressSliceTicks)) {
            if (!progress->Report(reported)) {
                *cancelled = true;
                return 0;
            }
            reported = (now - start) / kProgressSliceTicks;
            lastReport = now;
        }
    }
}

bool IsoChannel::Connect(ConnectionRecord& record) {
    const auto request = s7wire::ConnectionRequest(record.rackSlot);
    if (!CheckPending(record) || !Write(record, {request.begin(), request.end()}))
        return false;
    const size_t n = WaitPacket(nullptr, nullptr);
    if (!s7wire::ParseConnectionConfirm(std::span(packet_).first(n), peerReference_)) {
        record.status = n > 0 ? kStatusRefused : kStatusNoAnswer;
        return false;
    }
    linkFlags |= kLinkConnected;
    pduReference = 2;
    uint8_t param[8] = {};
    Answer setup;
    setup.wantParam = sizeof param;
    setup.param = param;
    setup.matchRequest = true;
    if (Send(record, s7wire::kRosctrJob, kSetupParameter, {}) && Receive(record, setup))
        return true;
    linkFlags &= static_cast<uint8_t>(~kLinkConnected);
    return false;
}

bool IsoChannel::EnsureConnected(ConnectionRecord& record) {
    port_ = record.port;
    return (linkFlags & kLinkConnected) || Connect(record);
}

bool IsoChannel::PrepareStation(ConnectionRecord& record) {
    return EnsureConnected(record);
}

bool IsoChannel::DisconnectAndRelease(ConnectionRecord& record) {
    port_ = record.port;
    if (linkFlags & kLinkConnected) {
        const auto request = s7wire::DisconnectRequest(peerReference_);
        if (CheckPending(record))
            Write(record, {request.begin(), request.end()});
        linkFlags &= static_cast<uint8_t>(~kLinkConnected);
    }
    return true;
}

bool IsoChannel::Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                      std::span<const uint8_t> data) {
    return SendPdu(record, rosctr, param, data, false);
}

bool IsoChannel::SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                           std::span<const uint8_t> data) {
    return SendPdu(record, s7wire::kRosctrAckData, param, data, true);
}

bool IsoChannel::SendPdu(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                         std::span<const uint8_t> data, bool errorBytes) {
    port_ = record.port;
    if (!CheckPending(record))
        return false;
    const auto header = s7wire::DataHeader();
    std::vector<uint8_t> tpdu(header.begin(), header.end());
    const auto pdu = s7wire::BuildS7Pdu(rosctr, pduReference, param, data, errorBytes);
    if (!errorBytes)
        lastRequest = KeyOfRequest(rosctr, pduReference, param);
    tpdu.insert(tpdu.end(), pdu.begin(), pdu.end());
    return Write(record, tpdu);
}

bool IsoChannel::Receive(ConnectionRecord& record, Answer& answer) {
    port_ = record.port;
    for (int late = 0; late <= kMaxStaleAnswers; ++late) {
        const Taken taken = ReceiveOne(record, answer);
        if (taken != Taken::kLate)
            return taken == Taken::kAnswer;
    }
    record.status = kStatusNoAnswer;
    return false;
}

IsoChannel::Taken IsoChannel::ReceiveOne(ConnectionRecord& record, Answer& answer) {
    answer.paramRead = answer.dataStored = answer.dataReceived = answer.paramHeadRead = 0;
    const size_t n = WaitPacket(answer.progress, &answer.cancelled);
    if (n == 0) {
        if (!answer.cancelled)
            record.status = kStatusNoAnswer;
        return Taken::kFailed;
    }
    if (answer.progress != nullptr)
        answer.progress->Report(kProgressAnswerStarted);
    if (n >= 2 && packet_[1] != s7wire::kTpduData) {
        record.status = kStatusDisconnected;
        record.plcError = packet_[1];
        if (packet_[1] == s7wire::kTpduDisconnectRequest)
            linkFlags &= static_cast<uint8_t>(~kLinkConnected);
        return Taken::kFailed;
    }
    PacketSource source{std::span<const uint8_t>(packet_).first(n)};
    s7wire::S7Header header;
    if (n < kMinAnswerPacket || !source.Reader().Skip(s7wire::kDataHeaderSize) ||
        !s7wire::ReadS7Header(source.Reader(), header)) {
        record.status = kStatusNoAnswer;
        return Taken::kFailed;
    }
    answer.header = header;
    const bool lastUnit = (packet_[2] & s7wire::kTpduLastDataUnit) != 0;
    uint16_t plcError = 0;
    if (!ReadAnswerBody(source, header, answer, plcError)) {
        record.status = kStatusNoAnswer;
        return Taken::kFailed;
    }
    if (answer.matchRequest && !AnswersRequest(lastRequest, answer)) {
        if (!lastUnit && answer.dataReceived < header.dataLength) {
            Answer rest;
            rest.header = header;
            rest.dataReceived = answer.dataReceived;
            ReceiveContinuation(record, rest);
        }
        return Taken::kLate;
    }
    pduReference = header.pduReference;
    if (source.Remaining() >= 2) {  // bytes beyond the announced parts: an unexpected error header
        uint8_t cls = 0, code = 0;
        source.Next(cls);
        source.Next(code);
        SetPlcError(record, static_cast<uint16_t>(cls << 8 | code));
        return Taken::kFailed;
    }
    if (answer.dataReceived < header.dataLength) {
        if (lastUnit || !ReceiveContinuation(record, answer)) {
            record.status = kStatusNoAnswer;  // the packet is shorter than it announced
            return Taken::kFailed;
        }
    }
    if (plcError != 0) {
        SetPlcError(record, plcError);
        return Taken::kFailed;
    }
    record.plcError = 0;
    record.status = kStatusOk;
    return Taken::kAnswer;
}

// Further data TPDUs of an answer whose first packet did not carry the last data unit.
bool IsoChannel::ReceiveContinuation(ConnectionRecord& record, Answer& answer) {
    for (size_t piece = 0; piece < kMaxContinuations; ++piece) {
        const size_t n = WaitPacket(nullptr, nullptr);
        if (n < s7wire::kDataHeaderSize || packet_[1] != s7wire::kTpduData)
            return false;
        PacketSource source{std::span<const uint8_t>(packet_).first(n)};
        source.Reader().Skip(s7wire::kDataHeaderSize);
        const size_t rest = answer.header.dataLength - answer.dataReceived;
        ReadAnswerData(source, answer, std::min(rest, source.Remaining()));
        if (answer.dataReceived >= answer.header.dataLength)
            return true;
        if (packet_[2] & s7wire::kTpduLastDataUnit)
            return false;
    }
    (void)record;
    return false;
}

}  // namespace vaultra::s7
