// The library's one connection state and the functions every exported name forwards to.
#pragma once

#include <cstdint>
#include <exception>

#include <vaultra/records.h>

#include "drivers/s7/channel.h"

namespace vaultra::s7 {

// The transport of this library: the serial or LAN adapter protocol, or ISO-on-TCP, chosen by the link
// flavour the library is built with.
Channel& ActiveChannel();

int32_t Init(ConnectionRecord& record, int32_t mode);
int32_t Exit(ConnectionRecord& record, int32_t mode);
int32_t InitPGBus(ConnectionRecord& record);

// Runs one exported function: a null record fails, and no exception leaves the library.
template <typename Body>
int32_t Guarded(ConnectionRecord* record, Body&& body) noexcept {
    if (record == nullptr)
        return 0;
    try {
        return body(*record);
    } catch (...) {
        record->status = kStatusPort;
        return 0;
    }
}

}  // namespace vaultra::s7
