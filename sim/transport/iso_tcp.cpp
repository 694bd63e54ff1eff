#include "sim/transport/iso_tcp.h"

#include <algorithm>

#include "sim/transport/framing/tpkt.h"

namespace vaultra::sim {

namespace {

constexpr std::uint8_t kOwnReference[2] = {0x44, 0x31};
constexpr std::uint8_t kParamTpduSize = 0xC0;
constexpr std::uint8_t kParamCallingTsap = 0xC1;
constexpr std::uint8_t kParamCalledTsap = 0xC2;
// Largest TPDU size code offered (1024 bytes).
constexpr std::uint8_t kMaxTpduCode = 0x0A;
// The first packet of a long answer carries at most 240 bytes of the PDU, later ones 250: long
// directory answers arrive in these pieces.
constexpr std::size_t kFirstPiece = 240;
constexpr std::size_t kLaterPiece = 250;
constexpr std::size_t kMaxAssembled = 8192;

struct ConnectParam {
    std::uint8_t code;
    ByteView value;
};

}  // namespace

IsoTcpConnection::IsoTcpConnection(s7::Plc& plc, std::string name) : plc_(plc), name_(std::move(name)) {}

TransportOutput IsoTcpConnection::OnBytes(ByteView bytes, Clock::time_point) {
    TransportOutput out;
    stream_.Add(bytes);
    while (!out.close) {
        const std::optional<Bytes> tpdu = stream_.Next();
        if (!tpdu) {
            break;
        }
        HandleTpdu(*tpdu, out);
    }
    if (stream_.Broken() && !out.close) {
        plc_.Logger().Note(name_ + ": not a TPKT packet, closing: " + Hex(stream_.Pending(), 16));
        out.close = true;
    }
    return out;
}

void IsoTcpConnection::HandleTpdu(ByteView tpdu, TransportOutput& out) {
    if (tpdu.size() < 2 || tpdu[0] + 1u > tpdu.size()) {
        Refuse("TPDU shorter than its length indicator", out);
        return;
    }
    const std::uint8_t length_indicator = tpdu[0];
    const std::uint8_t code = tpdu[1] & 0xF0;
    if (code == tpkt::kConnectRequest) {
        Connect(tpdu, out);
        return;
    }
    if (code == tpkt::kDisconnectRequest) {
        plc_.Logger().Trace(name_ + ": disconnect request");
        out.close = true;
        return;
    }
    if (code != tpkt::kData) {
        plc_.Logger().Trace(name_ + ": ignored TPDU " + Hex(tpdu, 8));
        return;
    }
    if (!session_) {
        Refuse("data before the connection", out);
        return;
    }
    Append(assembling_, tpdu.subspan(length_indicator + 1u));
    if (assembling_.size() > kMaxAssembled) {
        Refuse("data unit too long", out);
        return;
    }
    if ((tpdu[2] & tpkt::kEndOfUnit) == 0) {
        return;
    }
    const Bytes pdu = std::move(assembling_);
    assembling_.clear();
    const s7::Session::Reply reply = session_->Handle(pdu);
    for (const Bytes& answer : reply.pdus) {
        SendPdu(answer, out);
    }
    out.close = reply.cut;
}

void IsoTcpConnection::Connect(ByteView tpdu, TransportOutput& out) {
    // LI E0, destination reference, source reference, class, then parameters (code, length, value).
    ByteReader reader(tpdu.first(tpdu[0] + 1u));
    reader.Skip(4);
    const ByteView source = reader.Take(2);
    reader.Skip(1);
    std::vector<ConnectParam> params;
    while (reader.Ok() && reader.Remaining() >= 2) {
        const std::uint8_t code = reader.U8();
        const ByteView value = reader.Take(reader.U8());
        params.push_back({code, value});
    }
    const auto called = std::find_if(params.begin(), params.end(),
                                     [](const ConnectParam& p) { return p.code == kParamCalledTsap; });
    if (!reader.Ok() || called == params.end() || called->value.size() != 2) {
        Refuse("connection request without a called TSAP", out);
        return;
    }
    if (called->value[1] != plc_.Options().rackSlot) {
        Refuse("no station at rack/slot byte " + std::to_string(called->value[1]), out);
        return;
    }
    clientReference_ = {source[0], source[1]};
    Bytes confirm = {0x00, tpkt::kConnectConfirm, source[0], source[1], kOwnReference[0], kOwnReference[1],
                     0x00};
    std::uint8_t size_code = 0x07;  // 128 bytes when the client proposes nothing
    for (const ConnectParam& param : params) {
        Bytes value(param.value.begin(), param.value.end());
        if (param.code == kParamTpduSize && value.size() == 1) {
            value[0] = std::clamp<std::uint8_t>(value[0], 0x07, kMaxTpduCode);
            size_code = value[0];
        }
        if (param.code == kParamTpduSize || param.code == kParamCallingTsap ||
            param.code == kParamCalledTsap) {
            Put8(confirm, param.code);
            Put8(confirm, static_cast<std::uint8_t>(value.size()));
            Append(confirm, value);
        }
    }
    confirm[0] = static_cast<std::uint8_t>(confirm.size() - 1);
    tpduSize_ = std::size_t{1} << size_code;
    session_ = std::make_unique<s7::Session>(plc_, name_);
    assembling_.clear();
    plc_.Logger().Trace(name_ + ": connected, TPDU size " + std::to_string(tpduSize_));
    Append(out.bytes, tpkt::Packet(confirm));
}

void IsoTcpConnection::Refuse(const std::string& why, TransportOutput& out) {
    plc_.Logger().Note(name_ + ": " + why + "; disconnecting");
    const Bytes disconnect = {0x06,
                              tpkt::kDisconnectRequest,
                              clientReference_[0],
                              clientReference_[1],
                              kOwnReference[0],
                              kOwnReference[1],
                              0x80};
    Append(out.bytes, tpkt::Packet(disconnect));
    out.close = true;
}

void IsoTcpConnection::SendPdu(ByteView pdu, TransportOutput& out) const {
    const std::size_t room = tpduSize_ - tpkt::kDataHeaderSize;
    std::size_t offset = 0;
    do {
        const std::size_t limit = std::min(room, offset == 0 ? kFirstPiece : kLaterPiece);
        const std::size_t length = std::min(limit, pdu.size() - offset);
        const bool last = offset + length == pdu.size();
        Append(out.bytes, tpkt::DataPacket(pdu.subspan(offset, length), last));
        offset += length;
    } while (offset < pdu.size());
}

}  // namespace vaultra::sim
