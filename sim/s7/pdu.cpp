#include "sim/s7/pdu.h"

namespace vaultra::sim::s7 {

namespace {

bool KnownRosctr(std::uint8_t value) {
    return value == 1 || value == 2 || value == 3 || value == 7;
}

}  // namespace

std::optional<Pdu> DecodePdu(ByteView bytes, std::string* why) {
    ByteReader reader(bytes);
    if (reader.U8() != kProtocolId) {
        *why = "not an S7 PDU";
        return std::nullopt;
    }
    const std::uint8_t rosctr = reader.U8();
    if (!KnownRosctr(rosctr)) {
        *why = "unknown PDU type " + std::to_string(rosctr);
        return std::nullopt;
    }
    Pdu pdu;
    pdu.rosctr = static_cast<Rosctr>(rosctr);
    reader.Skip(2);
    const ByteView reference = reader.Take(2);
    const std::uint16_t param_length = reader.U16();
    const std::uint16_t data_length = reader.U16();
    if (HasErrorBytes(pdu.rosctr)) {
        pdu.errorClass = reader.U8();
        pdu.errorCode = reader.U8();
    }
    const ByteView param = reader.Take(param_length);
    const ByteView data = reader.Take(data_length);
    if (!reader.Ok()) {
        *why = "PDU shorter than its header announces";
        return std::nullopt;
    }
    pdu.reference = {reference[0], reference[1]};
    pdu.param.assign(param.begin(), param.end());
    pdu.data.assign(data.begin(), data.end());
    return pdu;
}

Bytes EncodePdu(const Pdu& pdu) {
    Bytes out;
    out.reserve(HeaderSize(pdu.rosctr) + pdu.param.size() + pdu.data.size());
    Put8(out, kProtocolId);
    Put8(out, static_cast<std::uint8_t>(pdu.rosctr));
    bytes::AppendBe16(out, 0);
    Put8(out, pdu.reference[0]);
    Put8(out, pdu.reference[1]);
    bytes::AppendBe16(out, static_cast<std::uint16_t>(pdu.param.size()));
    bytes::AppendBe16(out, static_cast<std::uint16_t>(pdu.data.size()));
    if (HasErrorBytes(pdu.rosctr)) {
        Put8(out, pdu.errorClass);
        Put8(out, pdu.errorCode);
    }
    Append(out, pdu.param);
    Append(out, pdu.data);
    return out;
}

}  // namespace vaultra::sim::s7
