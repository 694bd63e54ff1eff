// The transport under the S7 services: the MPI adapter (serial or LAN) or ISO-on-TCP. Both carry one
// S7 request and its answer at a time and keep one connection state for the whole library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/records.h>

#include "drivers/s7/progress.h"
#include "drivers/s7/wire/s7_header.h"

namespace vaultra::s7 {

inline constexpr uint16_t kStatusOk = 0x0000;
inline constexpr uint16_t kStatusNoAnswer = 0x0001;
inline constexpr uint16_t kStatusWrongControl = 0x0002;
inline constexpr uint16_t kStatusDisconnected = 0x0004;
inline constexpr uint16_t kStatusAdapterReject = 0x0008;
inline constexpr uint16_t kStatusNoValues = 0x0100;
inline constexpr uint16_t kStatusTooLong = 0x0800;
inline constexpr uint16_t kStatusRefused = 0x2000;
inline constexpr uint16_t kStatusPlcError = 0x4000;
inline constexpr uint16_t kStatusPort = 0x8000;

// linkFlags bits
inline constexpr uint8_t kLinkInitialised = 0x01;
inline constexpr uint8_t kLinkConnected = 0x02;
inline constexpr uint8_t kLinkStationList = 0x04;
inline constexpr uint8_t kLinkExtraStep = 0x10;

// What the caller wants of one answer, and what arrived.
struct Answer {
    // Parameter bytes wanted; for one or two the acknowledgement's error bytes are skipped first.
    size_t wantParam = 0;
    uint8_t* param = nullptr;  // room for wantParam bytes
    bool takeData = false;
    std::span<uint8_t> data;  // room for the data part; bytes beyond it are read and dropped
    ProgressSink* progress = nullptr;

    s7wire::S7Header header;
    size_t paramRead = 0;
    size_t dataStored = 0;    // bytes put into `data`
    size_t dataReceived = 0;  // bytes of the data part that arrived, all pieces together
    bool cancelled = false;   // the progress sink stopped the wait
};

class Channel {
public:
    virtual ~Channel() = default;

    // Init modes 0 and 2 once the port is open: bring the adapter up (ISO: reset the state).
    virtual bool Initialise(ConnectionRecord& record) = 0;
    // Disconnects the PLC station when connected, then releases the adapter.
    virtual bool DisconnectAndRelease(ConnectionRecord& record) = 0;
    // Connects the PLC station (with PDU setup) unless connected.
    virtual bool EnsureConnected(ConnectionRecord& record) = 0;
    // Re-initialises after a link failure and follows a changed PLC address, then connects.
    virtual bool PrepareStation(ConnectionRecord& record) = 0;
    // One S7 request with the current PDU reference.
    virtual bool Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                      std::span<const uint8_t> data) = 0;
    // The PC's acknowledgement (ROSCTR 3) of a job the PLC sent, with error class and code 00 00 before
    // the parameter; used by the download, where the PLC asks for the pieces.
    virtual bool SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                           std::span<const uint8_t> data) = 0;
    // One S7 answer; takes the PDU reference from it. A PLC error fails at once (status 0x4000).
    virtual bool Receive(ConnectionRecord& record, Answer& answer) = 0;
    // Station list entry of the record's PLC reads "active" (adapter only).
    virtual bool StationActive(const ConnectionRecord& record) const = 0;

    void ForgetInitialisation() { linkFlags &= static_cast<uint8_t>(~kLinkInitialised); }

    uint8_t linkFlags = 0;
    uint16_t pduReference = 2;
};

// Resets the record's status area as on every successful connect.
void ResetStatusArea(ConnectionRecord& record);

// Records a PLC-reported error.
inline void SetPlcError(ConnectionRecord& record, uint16_t error) {
    record.plcError = error;
    record.status = kStatusPlcError;
}

}  // namespace vaultra::s7
