// LAN records of the port table (numbers 128..255) and their registry.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "drivers/link/com.h"
#include "drivers/link/lan_connection.h"

namespace vaultra::link {

class LanPorts {
public:
    static constexpr int kCount = kPortCount - kFirstLanPort;

    // The port of a registered connection to address, or a new registration; -2 when all are taken.
    std::int32_t Register(const LanSettings& settings);
    bool IsRegistered(Port port) const { return Slot(port).connection != nullptr; }

    int OpenShared(Port port);
    int Release(Port port);
    int Close(Port port);
    void CloseAll();
    bool IsOpen(Port port) const { return Slot(port).inUse; }
    // The connection of an open port, else null.
    LanConnection* Open(Port port);

private:
    struct Record {
        bool inUse = false;
        std::int32_t openCount = 0;
        std::unique_ptr<LanConnection> connection;
    };
    Record& Slot(Port port) { return records_[port - kFirstLanPort]; }
    const Record& Slot(Port port) const { return records_[port - kFirstLanPort]; }
    std::array<Record, kCount> records_;
};

}  // namespace vaultra::link
