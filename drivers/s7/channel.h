// The transport under the S7 services: the MPI adapter (serial or LAN) or ISO-on-TCP. Both carry one
// S7 request and its answer at a time and keep one connection state for the whole library.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include <vaultra/records.h>
#include <vaultra/tarn7.h>

#include "drivers/s7/progress.h"
#include "drivers/s7/wire/s7_header.h"

namespace vaultra::s7 {

// The status word values are the public header's; these are their names inside the driver.
inline constexpr uint16_t kStatusOk = TARN7_STATUS_OK;
inline constexpr uint16_t kStatusNoAnswer = TARN7_STATUS_NO_ANSWER;
inline constexpr uint16_t kStatusWrongControl = TARN7_STATUS_WRONG_CONTROL;
inline constexpr uint16_t kStatusDisconnected = TARN7_STATUS_DISCONNECTED;
inline constexpr uint16_t kStatusAdapterReject = TARN7_STATUS_ADAPTER_REJECT;
inline constexpr uint16_t kStatusNoValues = TARN7_STATUS_NO_VALUES;
inline constexpr uint16_t kStatusTooLong = TARN7_STATUS_TOO_LONG;
inline constexpr uint16_t kStatusRefused = TARN7_STATUS_REFUSED;
inline constexpr uint16_t kStatusPlcError = TARN7_STATUS_PLC_ERROR;
inline constexpr uint16_t kStatusPort = TARN7_STATUS_PORT;

// linkFlags bits
inline constexpr uint8_t kLinkInitialised = 0x01;
inline constexpr uint8_t kLinkConnected = 0x02;
inline constexpr uint8_t kLinkStationList = 0x04;
inline constexpr uint8_t kLinkExtraStep = 0x10;

// The request the channel sent last, as its answer must echo it (answer_match.h).
struct RequestKey {
    uint8_t rosctr = 0;
    uint16_t pduReference = 0;
    uint8_t function = 0;  // job: function code (parameter byte 0); user data: subfunction
    uint8_t group = 0;     // user data: function group
    bool hasFunction = false;
};

// Parameter bytes kept from every answer for matching it to its request.
inline constexpr size_t kParamHeadSize = 8;

// What the caller wants of one answer, and what arrived.
struct Answer {
    // Parameter bytes wanted; for one or two the acknowledgement's error bytes are skipped first.
    size_t wantParam = 0;
    uint8_t* param = nullptr;  // room for wantParam bytes
    bool takeData = false;
    std::span<uint8_t> data;  // room for the data part; bytes beyond it are read and dropped
    ProgressSink* progress = nullptr;
    // Drop answers that do not belong to the channel's last request (late answers to earlier ones).
    bool matchRequest = false;

    s7wire::S7Header header;
    std::array<uint8_t, kParamHeadSize> paramHead{};  // the first parameter bytes, after any error bytes
    size_t paramHeadRead = 0;
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
    // One S7 request with the current PDU reference; remembered in lastRequest.
    virtual bool Send(ConnectionRecord& record, uint8_t rosctr, std::span<const uint8_t> param,
                      std::span<const uint8_t> data) = 0;
    // The PC's acknowledgement (ROSCTR 3) of a job the PLC sent, with error class and code 00 00 before
    // the parameter; used by the download, where the PLC asks for the pieces.
    virtual bool SendReply(ConnectionRecord& record, std::span<const uint8_t> param,
                           std::span<const uint8_t> data) = 0;
    // One S7 answer; takes the PDU reference from it. A PLC error fails at once (status 0x4000). With
    // answer.matchRequest, answers to other requests are taken from the line and dropped (a bounded number).
    virtual bool Receive(ConnectionRecord& record, Answer& answer) = 0;
    // Station list entry of the record's PLC reads "active" (adapter only).
    virtual bool StationActive(const ConnectionRecord& record) const = 0;

    void ForgetInitialisation() { linkFlags &= static_cast<uint8_t>(~kLinkInitialised); }

    uint8_t linkFlags = 0;
    uint16_t pduReference = 2;
    RequestKey lastRequest;
};

// Resets the record's status area as on every successful connect.
void ResetStatusArea(ConnectionRecord& record);

// Records a PLC-reported error.
inline void SetPlcError(ConnectionRecord& record, uint16_t error) {
    record.plcError = error;
    record.status = kStatusPlcError;
}

}  // namespace vaultra::s7
