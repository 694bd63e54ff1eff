#include "drivers/s7/wire/iso_framing.h"

namespace vaultra::s7wire {

std::array<uint8_t, kConnectRequestSize> ConnectionRequest(uint8_t rackSlot) {
    return {0x11, kTpduConnectRequest,
            0x00, 0x00,
            0x00, 0x01,
            0x00, 0xC0,
            0x01, 0x08,
            0xC1, 0x02,
            0x01, 0x00,
            0xC2, 0x02,
            0x02, rackSlot};
}

std::array<uint8_t, kDataHeaderSize> DataHeader() {
    return {0x02, kTpduData, kTpduLastDataUnit};
}

std::array<uint8_t, 7> DisconnectRequest(std::array<uint8_t, 2> peerReference) {
    return {0x06, kTpduDisconnectRequest, peerReference[0], peerReference[1], 0x00, 0x01, 0x00};
}

bool ParseConnectionConfirm(std::span<const uint8_t> tpdu, std::array<uint8_t, 2>& peerReference) {
    if (tpdu.size() != kConnectRequestSize || tpdu[1] != kTpduConnectConfirm)
        return false;
    peerReference = {tpdu[4], tpdu[5]};
    return true;
}

}  // namespace vaultra::s7wire
