#include "drivers/link/lan_ports.h"

#include <new>

namespace vaultra::link {

std::int32_t LanPorts::Register(const LanSettings& settings) {
    for (int i = 0; i < kCount; ++i) {
        const Record& record = records_[i];
        if (record.connection != nullptr && record.connection->Settings().address == settings.address) {
            return kFirstLanPort + i;
        }
    }
    for (int i = 0; i < kCount; ++i) {
        Record& record = records_[i];
        if (record.connection == nullptr) {
            // Out of memory: the number is still handed out and the open fails later.
            record.connection.reset(new (std::nothrow) LanConnection(settings));
            return kFirstLanPort + i;
        }
    }
    return -2;
}

int LanPorts::OpenShared(Port port) {
    Record& record = Slot(port);
    if (!record.inUse) {
        if (record.connection == nullptr) {
            return 0;
        }
        // A fresh start: no socket left over from an earlier use.
        record.connection->Close();
        record.connection->Discard();
        record.inUse = true;
        record.openCount = 0;
    }
    ++record.openCount;
    return 1;
}

int LanPorts::Release(Port port) {
    Record& record = Slot(port);
    if (!record.inUse) {
        return 0;
    }
    if (--record.openCount <= 0) {
        Close(port);
    }
    return 1;
}

int LanPorts::Close(Port port) {
    // Closing frees the registration: opening the port again needs a new NewMPILanCom.
    Record& record = Slot(port);
    record.inUse = false;
    record.openCount = 0;
    record.connection.reset();
    return 1;
}

void LanPorts::CloseAll() {
    for (int i = 0; i < kCount; ++i) {
        if (records_[i].inUse) {
            Close(static_cast<Port>(kFirstLanPort + i));
        }
    }
}

LanConnection* LanPorts::Open(Port port) {
    Record& record = Slot(port);
    return record.inUse ? record.connection.get() : nullptr;
}

}  // namespace vaultra::link
