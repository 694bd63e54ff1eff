// Client-side S7 requests for the simulator's tests, byte for byte as the station's drivers send them,
// and a harness that feeds them to one simulated connection.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/s7/demo_program.h"
#include "sim/s7/pdu.h"
#include "sim/s7/plc.h"
#include "sim/s7/session.h"

namespace vaultra::sim::test {

// "32 01 00 ..." (blanks ignored) as bytes.
Bytes FromHex(std::string_view hex);
Bytes Text(std::string_view text);
Bytes Concat(std::initializer_list<Bytes> parts);

// The ISO-on-TCP connection request of a client (local TSAP 01 00, remote TSAP 02 <rackSlot>, TPDU
// size code 08) in its packet.
Bytes IsoConnectPacket(std::uint8_t rackSlot = 2);

Bytes JobPdu(Bytes param, Bytes data = {});
Bytes UserDataPdu(Bytes param, Bytes data);
// The client's acknowledge with data (download answers), error bytes 00 00.
Bytes AckDataPdu(Bytes param, Bytes data = {});

Bytes SetupRequest(std::uint16_t pduSize = 480);
Bytes ListBlocksRequest();
Bytes ListTypeRequest(char typeChar);
Bytes ListTypeFollowUp(std::uint8_t sequence, std::uint8_t dataUnit);
Bytes BlockInfoRequest(std::string_view blockName);  // "0A00010"
Bytes StartUploadRequest(std::string_view blockName);
Bytes UploadRequest(ByteView uploadId);
Bytes EndUploadRequest(ByteView uploadId);
Bytes RequestDownloadRequest(std::string_view blockName, std::uint32_t loadLength, std::uint32_t codeLength);
Bytes DownloadAnswer(ByteView piece, bool more);
Bytes EndDownloadAnswer();
Bytes ControlRequest(std::string_view blockName, std::string_view service);  // _INSE / _DELE
Bytes CompressRequest();
Bytes StartRequest();
Bytes StopRequest();
Bytes RamToRomRequest();
Bytes PasswordRequest(ByteView eightBytes);
Bytes SzlRequest(std::uint16_t id, std::uint16_t index);
Bytes VartabReadRequest(std::uint8_t areaSize, std::uint8_t count, std::uint16_t db, std::uint16_t start);
Bytes VartabWriteRequest(std::uint8_t areaSize, std::uint8_t count, std::uint16_t db, std::uint16_t start,
                         ByteView values);
Bytes ClearAllRequest();
Bytes BlockStackRequest();
Bytes InterruptStackRequest();
Bytes ToggleReadRequest();
Bytes StatusVarInitRequest(const std::vector<Bytes>& items);
Bytes StatusDataRequest(std::uint8_t first, std::uint8_t second);
Bytes StatusBlockInitRequest(ByteView selection);
Bytes StatusExitRequest(std::uint8_t first, std::uint8_t second);
// Read-variable / write-variable item: transport size, count, db, area, bit address.
Bytes AnyItem(std::uint8_t transportSize, std::uint16_t count, std::uint16_t db, std::uint8_t area,
              std::uint32_t bitAddress);
Bytes ReadVarRequest(const std::vector<Bytes>& items);
Bytes WriteVarRequest(const std::vector<Bytes>& items, ByteView data);

// The user-data error word of an answer (parameter bytes 10-11), or the error class and code of an
// acknowledge header.
std::uint16_t ErrorOf(const s7::Pdu& pdu);
// The payload of a user-data answer behind FF 09 and its length; empty when the answer is no FF 09 one.
Bytes PayloadOf(const s7::Pdu& pdu);

// One simulated connection to a PLC with the demonstration program (unless told otherwise).
class Harness {
public:
    explicit Harness(s7::PlcOptions options = {}, s7::Program program = s7::MakeDemoProgram());
    // Sends one request and returns the decoded answers (failing the test on an undecodable one).
    std::vector<s7::Pdu> Send(const Bytes& request);
    // Sends a request that must get exactly one answer.
    s7::Pdu One(const Bytes& request);
    s7::Session::Reply Raw(const Bytes& request) { return session_->Handle(request); }
    s7::Plc& Plc() { return plc_; }
    // A fresh connection to the same PLC.
    void Reconnect();
    // Uploads a whole block through start, pieces and end; the image, or empty on failure.
    Bytes Upload(std::string_view blockName, int* answers = nullptr);
    // Runs the download dialogue and the insert; true when the PLC confirmed the insert.
    bool Download(std::string_view blockName, ByteView image);

private:
    s7::Plc plc_;
    std::unique_ptr<s7::Session> session_;
};

}  // namespace vaultra::sim::test
