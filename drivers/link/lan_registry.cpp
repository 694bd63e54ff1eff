// NewMPILanCom: registers LAN connections under the port numbers 128..255.
#include "drivers/link/environment.h"
#include "drivers/link/lan.h"
#include "drivers/link/lan_ports.h"
#include "drivers/link/port_table.h"
#include "platform/tcp.h"

namespace vaultra::link {
namespace {

constexpr std::uint16_t kRawTcpPort = 10010;
constexpr std::uint16_t kFramedTcpPort = 64738;
constexpr std::uint16_t kIsoTcpPort = 102;

// Unknown framing types behave as raw; type 3 exists only in the ISO-on-TCP flavour.
std::int16_t EffectiveFraming(std::int16_t framingType) {
    if (framingType == kFramingLengthPrefixed) {
        return kFramingLengthPrefixed;
    }
    if (framingType == kFramingTpkt && LinkFlavour() == Flavour::kIsoOnTcp) {
        return kFramingTpkt;
    }
    return kFramingRaw;
}

}  // namespace

std::uint16_t LanTcpPortFor(std::int16_t framingType) {
    switch (EffectiveFraming(framingType)) {
        case kFramingLengthPrefixed:
            return TcpPortFromEnvironment("VAULTRA_LAN_FRAMED_PORT", kFramedTcpPort);
        case kFramingTpkt:
            return TcpPortFromEnvironment("VAULTRA_ISO_TCP_PORT", kIsoTcpPort);
        default:
            return TcpPortFromEnvironment("VAULTRA_LAN_RAW_PORT", kRawTcpPort);
    }
}

std::int32_t NewMPILanCom(const char* address, std::int32_t receiveTimeoutMs, std::int32_t sendTimeoutMs,
                          std::int32_t connectTimeoutMs, std::int16_t framingType, std::uint32_t localAddress,
                          std::uint32_t netMask) {
    if (LinkFlavour() == Flavour::kSerialOnly) {
        return kLanNotAvailable;
    }
    LanSettings settings;
    if (!platform::ParseIPv4(address, &settings.address)) {
        return kLanInvalidAddress;
    }
    settings.framing = EffectiveFraming(framingType);
    settings.tcpPort = LanTcpPortFor(framingType);
    settings.receiveTimeoutMs = receiveTimeoutMs;
    settings.sendTimeoutMs = sendTimeoutMs;
    settings.connectTimeoutMs = connectTimeoutMs;
    settings.localAddress = localAddress;
    settings.netMask = netMask;
    return SystemLanPorts().Register(settings);
}

}  // namespace vaultra::link
