#include "drivers/s7/adapter_channel.h"

#include <algorithm>
#include <cstring>

#include "drivers/s7/answer_match.h"
#include "drivers/s7/wire/byte_reader.h"

namespace vaultra::s7 {

using s7wire::kDle;
using s7wire::kNak;
using s7wire::kStx;
using Bytes = std::vector<uint8_t>;
using Form = AdapterLine::Form;

namespace {

constexpr int32_t kBusParameterTimeoutTicks = 181;
constexpr uint32_t kAfterCommandWaitMs = 10;
constexpr size_t kConnectReplySize = 20;
constexpr size_t kSetupAnswerSize = 26;
constexpr size_t kStationReplySize = 133;
constexpr size_t kStationListOffset = 6;

const Bytes kSetupParameter{0xF0, 0x00, 0x00, 0x01, 0x00, 0x02, 0x01, 0xE0};

}  // namespace

bool AdapterChannel::Command(ConnectionRecord& record, std::span<const uint8_t> command, Form form, size_t n,
                             Bytes& reply, int32_t timeoutTicks) {
    const bool ok =
        line_.SendTelegram(record, command) && line_.ReceiveTelegram(record, form, n, reply, timeoutTicks);
    line_.AbsorbPending(kAfterCommandWaitMs);
    return ok;
}

bool AdapterChannel::BusParameters(ConnectionRecord& record) {
    const uint8_t speed = record.busSpeed == 0 ? 2 : record.busSpeed;
    const Bytes telegram{0x01,
                         0x03,
                         0x02,
                         static_cast<uint8_t>(kHighestStation + 8),
                         0x00,
                         0x9F,
                         0x01,
                         0x3C,
                         0x00,
                         0x90,
                         0x01,
                         0x14,
                         0x00,
                         0x00,
                         0x14,
                         speed,
                         localAddress_,
                         kHighestStation,
                         0x05,
                         0x01,
                         0x01,
                         0x03,
                         static_cast<uint8_t>(0x80 | (linkFlags & kLinkInitialised))};
    Bytes reply;
    if (!Command(record, telegram, Form::kAny, 9, reply, kBusParameterTimeoutTicks))
        return false;
    if (reply.size() < 4 || reply[3] != 'E')
        return true;
    static constexpr uint8_t kBusy[] = {'E', '=', '0', '3', '3', '0'};
    if (reply.size() < 9 || !std::equal(std::begin(kBusy), std::end(kBusy), reply.begin() + 3)) {
        record.status = kStatusAdapterReject;
        return false;
    }
    if (!Command(record, Bytes{0x01, 0x0C, 0x02}, Form::kAny, 0, reply, line_.TimeoutTicks()))
        return false;
    linkFlags |= kLinkExtraStep;
    return true;
}

bool AdapterChannel::ShortInitialisation(ConnectionRecord& record) {
    Bytes reply;
    for (uint8_t command : {0x0E, 0x0B, 0x0C}) {
        if (!Command(record, Bytes{0x01, command, 0x02}, Form::kAny, 0, reply, line_.TimeoutTicks()))
            return false;
    }
    linkFlags |= kLinkExtraStep;
    return true;
}

bool AdapterChannel::Initialise(ConnectionRecord& record) {
    Bind(record);
    sequence_ = 0;
    localAddress_ = record.localAddress;
    linkFlags = kLinkInitialised;
    targetStation_ = static_cast<uint8_t>(record.plcAddress);
    connectedStation_ = -1;
    pduReference = 2;
    stationList_.fill(0x10);
    link::ComFlush(line_.port);
    line_.Restart();

    const bool shortPath = honourAdapterMode_ && record.adapterMode == 1;
    if (!(shortPath ? ShortInitialisation(record) : BusParameters(record)))
        return false;
    Bytes reply;
    if (!Command(record, Bytes{0x01, 0x08, 0x02}, Form::kAny, 7, reply, line_.TimeoutTicks()))
        return false;
    if (!(linkFlags & kLinkStationList)) {
        if (!Command(record, Bytes{0x01, 0x07, 0x02}, Form::kExact, kStationReplySize, reply,
                     line_.TimeoutTicks()))
            return false;
        std::copy(reply.begin() + kStationListOffset, reply.end(), stationList_.begin());
        linkFlags |= kLinkStationList;
    }
    ResetStatusArea(record);
    record.status = kStatusOk;
    return true;
}

bool AdapterChannel::StationActive(const ConnectionRecord& record) const {
    const uint8_t station = static_cast<uint8_t>(record.plcAddress);
    return (linkFlags & kLinkStationList) && station < kStationCount &&
           stationList_[station] == kStationActive;
}

bool AdapterChannel::ConnectSteps(ConnectionRecord& record) {
    Bytes reply;
    if (!Command(record, s7wire::ContinueTelegram(), Form::kAny, 6, reply, line_.TimeoutTicks()))
        return false;
    sequence_ = 0;
    pduReference = 2;
    if (!Send(record, s7wire::kRosctrJob, kSetupParameter, {}))
        return false;
    if (!line_.ReceiveTelegram(record, Form::kExact, kSetupAnswerSize, reply, line_.TimeoutTicks()))
        return false;
    return SendAck(record, reply[5]);
}

bool AdapterChannel::Connect(ConnectionRecord& record) {
    Bind(record);
    connectedStation_ = -1;
    const Bytes telegram{0x00, 0x0D, 0x00, 0x03, 0xE0, 0x04, 0x00, 0x80,           0x00, 0x02,
                         0x01, 0x06, 0x01, 0x00, 0x00, 0x01, 0x02, targetStation_, 0x02, record.rackSlot};
    Bytes reply;
    if (!Command(record, telegram, Form::kAny, kMaxTelegram, reply, line_.TimeoutTicks()))
        return false;
    if (reply.size() != kConnectReplySize) {
        record.status = kStatusRefused;
        return false;
    }
    linkFlags |= kLinkConnected;
    if (!ConnectSteps(record)) {
        // A half-made connection is not kept: the next request starts the connect again.
        linkFlags &= static_cast<uint8_t>(~kLinkConnected);
        return false;
    }
    connectedStation_ = record.plcAddress;
    return true;
}

bool AdapterChannel::EnsureConnected(ConnectionRecord& record) {
    Bind(record);
    // A lost LAN connection took the adapter's session with it: the next request starts over.
    if (line_.Lost() && !Initialise(record))
        return false;
    return (linkFlags & kLinkConnected) || Connect(record);
}

bool AdapterChannel::Disconnect(ConnectionRecord& record) {
    if (!(linkFlags & kLinkConnected))
        return true;
    Bytes reply;
    const bool ok =
        Command(record, Bytes{0x00, 0x0C, 0x03, 0x03, 0x80}, Form::kExact, 5, reply, line_.TimeoutTicks());
    linkFlags &= static_cast<uint8_t>(~kLinkConnected);
    connectedStation_ = -1;
    return ok;
}

bool AdapterChannel::DisconnectAndRelease(ConnectionRecord& record) {
    Bind(record);
    Disconnect(record);
    Bytes reply;
    return Command(record, Bytes{0x01, 0x04, 0x02}, Form::kExact, 3, reply, line_.TimeoutTicks());
}

bool AdapterChannel::PrepareStation(ConnectionRecord& record) {
    Bind(record);
    if (record.status == kStatusNoAnswer || record.status == kStatusWrongControl || line_.Lost() ||
        !(linkFlags & kLinkInitialised)) {
        if (!Initialise(record))
            return false;
    }
    if (static_cast<int32_t>(record.plcAddress) != connectedStation_) {
        if (linkFlags & kLinkConnected)
            Disconnect(record);
        targetStation_ = static_cast<uint8_t>(record.plcAddress);
        linkFlags &= static_cast<uint8_t>(~kLinkConnected);
    }
    return EnsureConnected(record);
}

bool AdapterChannel::Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                          std::span<const uint8_t> data) {
    return SendPdu(record, rosctr, param, data, false);
}

bool AdapterChannel::SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                               std::span<const uint8_t> data) {
    return SendPdu(record, s7wire::kRosctrAckData, param, data, true);
}

bool AdapterChannel::SendPdu(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                             std::span<const uint8_t> data, bool errorBytes) {
    Bind(record);
    const auto adapterHeader = s7wire::AdapterDataHeader(sequence_);
    Bytes head(adapterHeader.begin(), adapterHeader.end());
    s7wire::AppendS7Header(head, {rosctr, pduReference, static_cast<uint16_t>(param.size()),
                                  static_cast<uint16_t>(data.size())});
    if (errorBytes)
        head.insert(head.end(), {0x00, 0x00});
    Bytes body(param.begin(), param.end());
    body.insert(body.end(), data.begin(), data.end());
    if (head.size() + body.size() > kMaxTelegram) {
        record.status = kStatusPort;
        return false;
    }
    if (!errorBytes)
        lastRequest = KeyOfRequest(rosctr, pduReference, param);
    if (!line_.SendTelegram(record, head, body))
        return false;
    Bytes confirmation;
    if (!line_.ReceiveTelegram(record, Form::kExact, 7, confirmation, line_.TimeoutTicks()))
        return false;
    AdvanceSequence();
    return true;
}

bool AdapterChannel::SendAck(ConnectionRecord& record, uint8_t sequence) {
    return line_.SendTelegram(record, s7wire::AdapterAck(sequence));
}

}  // namespace vaultra::s7
