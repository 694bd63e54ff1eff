#include "drivers/s7/wire/s7_header.h"

#include <vaultra/byte_order.h>

namespace vaultra::s7wire {

void AppendS7Header(std::vector<uint8_t>& out, const S7Header& header) {
    out.push_back(kS7ProtocolId);
    out.push_back(header.rosctr);
    out.push_back(0x00);
    out.push_back(0x00);
    bytes::AppendLe16(out, header.pduReference);
    bytes::AppendBe16(out, header.paramLength);
    bytes::AppendBe16(out, header.dataLength);
}

bool ReadS7Header(ByteReader& in, S7Header& header) {
    uint8_t id = 0;
    if (!in.Has(kS7HeaderSize) || !in.ReadU8(id) || id != kS7ProtocolId)
        return false;
    in.ReadU8(header.rosctr);
    in.Skip(2);
    in.ReadU16Le(header.pduReference);
    in.ReadU16Be(header.paramLength);
    in.ReadU16Be(header.dataLength);
    return true;
}

std::vector<uint8_t> BuildS7Pdu(uint8_t rosctr, uint16_t pduReference, std::span<const uint8_t> param,
                                std::span<const uint8_t> data, bool withErrorBytes) {
    std::vector<uint8_t> out;
    out.reserve(kS7HeaderSize + kS7ErrorBytes + param.size() + data.size());
    AppendS7Header(
        out, {rosctr, pduReference, static_cast<uint16_t>(param.size()), static_cast<uint16_t>(data.size())});
    if (withErrorBytes)
        out.insert(out.end(), {0x00, 0x00});
    out.insert(out.end(), param.begin(), param.end());
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

std::array<uint8_t, kAdapterHeaderSize> AdapterDataHeader(uint8_t sequence, bool final) {
    return {0x00, 0x0C, 0x03, 0x03, final ? kAdapterFinal : kAdapterMore, sequence};
}

std::array<uint8_t, 7> AdapterAck(uint8_t sequence) {
    return {0x00, 0x0C, 0x03, 0x03, 0xB0, 0x01, sequence};
}

std::array<uint8_t, 6> ContinueTelegram() {
    return {0x00, 0x0C, 0x03, 0x03, 0x05, 0x01};
}

}  // namespace vaultra::s7wire
