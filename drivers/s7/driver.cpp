#include "drivers/s7/driver.h"

#include <cstring>

#include <vaultra/byte_order.h>

#include "drivers/link/com.h"
#include "drivers/link/lan.h"
#include "drivers/link/link_exports.h"
#include "drivers/s7/adapter_channel.h"
#include "drivers/s7/iso_channel.h"
#include "drivers/s7/settings.h"

namespace vaultra::s7 {

namespace {

constexpr int32_t kModeOpenOnly = 1;
constexpr int32_t kModePortOpen = 2;
constexpr int32_t kCharFactor = 16;
constexpr int32_t kSlowCharFactor = 109;
constexpr int32_t kSlowTimeoutTicks = 545;
constexpr size_t kZeroedAreaBytes = 22;

bool SerialLibrary() {
    return link::LinkFlavour() == link::Flavour::kSerialOnly;
}

bool OpenPort(const ConnectionRecord& record, char parity) {
    return link::ComOpenShared(record.port, link::S7StoredBaudRate(), 8, parity, 1) == 1;
}

int32_t Opened(ConnectionRecord& record, bool ok) {
    record.connected = ok ? 1 : 0;
    record.status = ok ? kStatusOk : kStatusPort;
    return ok ? 1 : 0;
}

}  // namespace

Channel& ActiveChannel() {
    static AdapterChannel serialAdapter(true);
    static AdapterChannel lanAdapter(false);
    static IsoChannel iso;
    switch (link::LinkFlavour()) {
        case link::Flavour::kSerialOnly:
            return serialAdapter;
        case link::Flavour::kLan:
            return lanAdapter;
        case link::Flavour::kIsoOnTcp:
            break;
    }
    return iso;
}

void ResetStatusArea(ConnectionRecord& record) {
    uint8_t* area = record.area.statusArea;
    std::memset(area, 0, kZeroedAreaBytes);
    const uint16_t values[11] = {256, 256, 256, 256, 256, 256, 256, 0, 0, 10, 0};
    for (size_t i = 0; i < 11; ++i) {
        bytes::StoreLe16(std::span(area + kZeroedAreaBytes + 2 * i, 2), 0, values[i]);
    }
}

int32_t Init(ConnectionRecord& record, int32_t mode) {
    mode &= 0xFF;
    Channel& channel = ActiveChannel();
    channel.linkFlags = 0;
    if (mode == kModeOpenOnly) {
        if (SerialLibrary()) {
            record.adapterMode = 1;
            DriverSettings().timeoutTicks = kSlowTimeoutTicks;
            link::ComSetCharTimeoutFactor(kSlowCharFactor);
        }
        return Opened(record, OpenPort(record, 'N'));
    }
    if (mode != kModePortOpen) {
        if (SerialLibrary()) {
            record.adapterMode = 0;
            DriverSettings().timeoutTicks = kDefaultTimeoutTicks;
        }
        link::ComSetCharTimeoutFactor(kCharFactor);
        if (!OpenPort(record, 'O'))
            return Opened(record, false);
    }
    const bool ok = channel.Initialise(record);
    if (!ok)
        link::ComRelease(record.port);
    return Opened(record, ok);
}

int32_t Exit(ConnectionRecord& record, int32_t mode) {
    Channel& channel = ActiveChannel();
    int32_t result = 1;
    if (mode == kModePortOpen) {
        if (record.connected == 1)
            link::ComRelease(record.port);
    } else {
        // Without an initialised link there is nothing to disconnect or release.
        const bool released = !(channel.linkFlags & kLinkInitialised) || channel.DisconnectAndRelease(record);
        result = released ? 1 : 0;
        if (mode != kModeOpenOnly && (released || mode == 0))
            link::ComRelease(record.port);
    }
    channel.linkFlags = 0;
    record.connected = 0;
    return result;
}

int32_t InitPGBus(ConnectionRecord& record) {
    return ActiveChannel().StationActive(record) ? 1 : 0;
}

}  // namespace vaultra::s7
