// Which S7 service a request asks for, and the helpers that build the PLC's answers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "sim/s7/pdu.h"

namespace vaultra::sim::s7 {

enum class Service {
    Setup,
    ReadVar,
    WriteVar,
    RequestDownload,
    DownloadPiece,  // the client's answer to the PLC's download job
    EndDownload,    // the client's answer to the PLC's end-of-download job
    StartUpload,
    Upload,
    EndUpload,
    Insert,
    Delete,
    Compress,
    Start,
    Stop,
    RamToRom,
    ListBlocks,
    ListType,
    BlockInfo,
    Szl,
    Password,
    LogOff,
    VartabRead,
    VartabWrite,
    ClearAll,
    BlockStack,
    InterruptStack,
    ToggleRead,
    StatusBlockInit,
    StatusVarInit,
    StatusData,
    StatusExit,
    Unknown,
};

// The name used in logs and by --fault-error ("start-upload", "list-type", ...).
std::string_view ServiceName(Service service);
// Every name ServiceName can return, for the command line's check.
bool IsServiceName(std::string_view name);
Service Classify(const Pdu& request);

// A control job (function 28 or 29): its argument block and service name ("_INSE", "P_PROGRAM").
struct ControlJob {
    Bytes arguments;
    std::string name;
};
std::optional<ControlJob> ParseControl(ByteView param);

// User-data groups (low nibble of parameter byte 5).
inline constexpr std::uint8_t kGroupProgrammer = 0x1;
inline constexpr std::uint8_t kGroupBlocks = 0x3;
inline constexpr std::uint8_t kGroupCpu = 0x4;
inline constexpr std::uint8_t kGroupSecurity = 0x5;

struct UserDataHeader {
    std::uint8_t type = 0;  // 4 request, 8 response, 0 push
    std::uint8_t group = 0;
    std::uint8_t subfunction = 0;
    std::uint8_t sequence = 0;
};
// Reads the user-data parameter (8 or 12 bytes); nothing when it is not one.
std::optional<UserDataHeader> ReadUserDataHeader(const Pdu& pdu);

// Acknowledge with data and no error.
Pdu AckData(const Pdu& request, Bytes param, Bytes data = {});
// Acknowledge carrying an error class and code and no parameter.
Pdu ErrorAck(const Pdu& request, std::uint16_t error);

struct UserDataAnswer {
    std::uint8_t group = 0;
    std::uint8_t subfunction = 0;
    std::uint8_t sequence = 0;
    std::uint8_t dataUnit = 0;
    bool last = true;
    std::uint16_t error = 0;
    bool push = false;  // sent by the PLC on its own (values of a job), not a response
};
// Builds a user-data telegram: payload goes behind FF 09 and its length; an error sends 0A 00 00 00.
Pdu UserData(const std::array<std::uint8_t, 2>& reference, const UserDataAnswer& answer, ByteView payload);

// Payload of the programmer commands (test and installation functions): parameter size, data size,
// the parameter words, then the data.
Bytes TisPayload(ByteView parameter, ByteView data);

}  // namespace vaultra::sim::s7
