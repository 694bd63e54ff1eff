// A small PLC for the driver tests: answers the S7 requests of the driver from a block map and memory
// areas, with switches for the faults the tests need. Answers are whole S7 PDUs.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vaultra::s7::testing {

using Bytes = std::vector<uint8_t>;

class MiniPlc {
public:
    // Block images by (type character, number), e.g. ('A', 1) for DB1.
    std::map<std::pair<uint8_t, uint16_t>, Bytes> blocks;
    std::map<uint8_t, Bytes> areas;  // area code -> 64 KiB
    size_t entriesPerAnswer = 52;
    size_t uploadPiece = 200;
    bool running = true;
    Bytes password;                       // empty: no protection
    std::optional<uint16_t> failNextJob;  // error class/code for the next job
    std::optional<uint16_t> failNextUserData;
    uint8_t writeReturnCode = 0xFF;

    // Requests seen, by kind: "setup", "list", "listType", "followUp", "info", "startUpload", "upload",
    // "endUpload", "stop", "start", "password", "szl", "read", "write", "toggle", "stack", "ramToRom".
    std::map<std::string, int> seen;
    Bytes lastRequest;
    // Requests refused because their PDU reference (read low byte first) was out of order: the setup
    // after a connect must carry 2, later requests count up from there in small steps.
    int referenceFaults = 0;

    MiniPlc();
    // Answers of one request: usually one PDU; memory access gives the acknowledgement and a second one.
    std::vector<Bytes> Handle(const Bytes& pdu);

    static Bytes MakeBlock(uint8_t typeCode, uint16_t number, size_t loadLength);

private:
    bool ReferenceInOrder(uint8_t rosctr, const Bytes& param, uint16_t ref);
    std::vector<Bytes> Job(uint16_t ref, const Bytes& param, const Bytes& data);
    std::vector<Bytes> UserData(uint16_t ref, const Bytes& param, const Bytes& data);
    std::vector<Bytes> TypeList(uint16_t ref, uint8_t type, bool followUp);
    std::vector<Bytes> Variables(uint16_t ref, uint8_t subfunction, const Bytes& data);

    uint16_t lastReference_ = 0;
    uint8_t listType_ = 0;
    size_t listOffset_ = 0;
    const Bytes* uploading_ = nullptr;
    size_t uploadOffset_ = 0;
};

// Answer PDUs.
Bytes AckPdu(uint16_t ref, uint8_t errorClass, uint8_t errorCode, const Bytes& param, const Bytes& data);
Bytes UserDataPdu(uint16_t ref, uint8_t group, uint8_t subfunction, uint8_t sequence, bool last,
                  uint16_t error, const Bytes& data);

}  // namespace vaultra::s7::testing
