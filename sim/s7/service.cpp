#include "sim/s7/service.h"

#include <array>

namespace vaultra::sim::s7 {

namespace {

struct NamedService {
    Service service;
    std::string_view name;
};

constexpr std::array<NamedService, 32> kNames = {{
    {Service::Setup, "setup"},
    {Service::ReadVar, "read-var"},
    {Service::WriteVar, "write-var"},
    {Service::RequestDownload, "request-download"},
    {Service::DownloadPiece, "download"},
    {Service::EndDownload, "end-download"},
    {Service::StartUpload, "start-upload"},
    {Service::Upload, "upload"},
    {Service::EndUpload, "end-upload"},
    {Service::Insert, "insert"},
    {Service::Delete, "delete"},
    {Service::Compress, "compress"},
    {Service::Start, "start"},
    {Service::Stop, "stop"},
    {Service::RamToRom, "ram-to-rom"},
    {Service::ListBlocks, "list-blocks"},
    {Service::ListType, "list-type"},
    {Service::BlockInfo, "block-info"},
    {Service::Szl, "szl"},
    {Service::Password, "password"},
    {Service::LogOff, "logoff"},
    {Service::VartabRead, "vartab-read"},
    {Service::VartabWrite, "vartab-write"},
    {Service::ClearAll, "clear"},
    {Service::BlockStack, "bstack"},
    {Service::InterruptStack, "ustack"},
    {Service::ToggleRead, "toggle-read"},
    {Service::StatusBlockInit, "status-block"},
    {Service::StatusVarInit, "status-var"},
    {Service::StatusData, "status-data"},
    {Service::StatusExit, "status-exit"},
    {Service::Unknown, "unknown"},
}};

Service ClassifyControl(ByteView param) {
    const auto job = ParseControl(param);
    if (!job) {
        return Service::Unknown;
    }
    const std::string& name = job->name;
    if (param[0] == 0x29) {
        return name == "P_PROGRAM" ? Service::Stop : Service::Unknown;
    }
    if (name == "_INSE") {
        return Service::Insert;
    }
    if (name == "_DELE") {
        return Service::Delete;
    }
    if (name == "_GARB") {
        return Service::Compress;
    }
    if (name == "P_PROGRAM") {
        return Service::Start;
    }
    if (name == "_MODU") {
        return Service::RamToRom;
    }
    return Service::Unknown;
}

Service ClassifyJob(const Pdu& request) {
    // Copying RAM to ROM arrives with its parameter in the data part.
    const Bytes& param = request.param.empty() ? request.data : request.param;
    if (param.empty()) {
        return Service::Unknown;
    }
    switch (param[0]) {
        case 0xF0:
            return Service::Setup;
        case 0x04:
            return Service::ReadVar;
        case 0x05:
            return Service::WriteVar;
        case 0x1A:
            return Service::RequestDownload;
        case 0x1D:
            return Service::StartUpload;
        case 0x1E:
            return Service::Upload;
        case 0x1F:
            return Service::EndUpload;
        case 0x28:
        case 0x29:
            return ClassifyControl(param);
        default:
            return Service::Unknown;
    }
}

Service ClassifyProgrammer(const Pdu& request, std::uint8_t subfunction) {
    switch (subfunction) {
        case 0x01:
            return Service::StatusBlockInit;
        case 0x02:
            // Both variable status and the variable table use subfunction 02; the job header differs.
            return request.data.size() > 11 && request.data[11] == 0x01 ? Service::StatusVarInit
                                                                        : Service::VartabRead;
        case 0x03:
            return Service::InterruptStack;
        case 0x04:
            return Service::BlockStack;
        case 0x08:
            return Service::VartabWrite;
        case 0x0C:
            return Service::ClearAll;
        case 0x0E:
            return Service::StatusData;
        case 0x0F:
            return Service::StatusExit;
        case 0x10:
            return Service::ToggleRead;
        default:
            return Service::Unknown;
    }
}

Service ClassifyUserData(const Pdu& request) {
    const auto header = ReadUserDataHeader(request);
    if (!header) {
        return Service::Unknown;
    }
    const std::uint8_t sub = header->subfunction;
    switch (header->group) {
        case kGroupProgrammer:
            return ClassifyProgrammer(request, sub);
        case kGroupBlocks:
            return sub == 1   ? Service::ListBlocks
                   : sub == 2 ? Service::ListType
                   : sub == 3 ? Service::BlockInfo
                              : Service::Unknown;
        case kGroupCpu:
            return sub == 1 ? Service::Szl : Service::Unknown;
        case kGroupSecurity:
            return sub == 1 ? Service::Password : sub == 2 ? Service::LogOff : Service::Unknown;
        default:
            return Service::Unknown;
    }
}

}  // namespace

std::optional<ControlJob> ParseControl(ByteView param) {
    ByteReader reader(param);
    const std::uint8_t function = reader.U8();
    ControlJob job;
    if (function == 0x28) {
        reader.Skip(7);
        const std::uint16_t argument_length = reader.U16();
        const ByteView arguments = reader.Take(argument_length);
        job.arguments.assign(arguments.begin(), arguments.end());
    } else {
        reader.Skip(5);
    }
    const std::uint8_t name_length = reader.U8();
    job.name = reader.Text(name_length);
    if (!reader.Ok()) {
        return std::nullopt;
    }
    return job;
}

std::string_view ServiceName(Service service) {
    for (const NamedService& named : kNames) {
        if (named.service == service) {
            return named.name;
        }
    }
    return "unknown";
}

bool IsServiceName(std::string_view name) {
    for (const NamedService& named : kNames) {
        if (named.name == name) {
            return true;
        }
    }
    return false;
}

Service Classify(const Pdu& request) {
    switch (request.rosctr) {
        case Rosctr::Job:
            return ClassifyJob(request);
        case Rosctr::UserData:
            return ClassifyUserData(request);
        case Rosctr::AckData:
            if (!request.param.empty() && request.param[0] == 0x1B) {
                return Service::DownloadPiece;
            }
            if (!request.param.empty() && request.param[0] == 0x1C) {
                return Service::EndDownload;
            }
            return Service::Unknown;
        default:
            return Service::Unknown;
    }
}

std::optional<UserDataHeader> ReadUserDataHeader(const Pdu& pdu) {
    const Bytes& p = pdu.param;
    if (pdu.rosctr != Rosctr::UserData || p.size() < 8 || p[0] != 0x00 || p[1] != 0x01 || p[2] != 0x12) {
        return std::nullopt;
    }
    return UserDataHeader{static_cast<std::uint8_t>(p[5] >> 4), static_cast<std::uint8_t>(p[5] & 0x0F), p[6],
                          p[7]};
}

Pdu AckData(const Pdu& request, Bytes param, Bytes data) {
    Pdu answer;
    answer.rosctr = Rosctr::AckData;
    answer.reference = request.reference;
    answer.param = std::move(param);
    answer.data = std::move(data);
    return answer;
}

Pdu ErrorAck(const Pdu& request, std::uint16_t error) {
    Pdu answer;
    answer.rosctr = Rosctr::Ack;
    answer.reference = request.reference;
    answer.errorClass = static_cast<std::uint8_t>(error >> 8);
    answer.errorCode = static_cast<std::uint8_t>(error);
    return answer;
}

Pdu UserData(const std::array<std::uint8_t, 2>& reference, const UserDataAnswer& answer, ByteView payload) {
    Pdu pdu;
    pdu.rosctr = Rosctr::UserData;
    pdu.reference = reference;
    const std::uint8_t type = answer.push ? 0x00 : 0x80;
    pdu.param = {0x00,
                 0x01,
                 0x12,
                 0x08,
                 0x12,
                 static_cast<std::uint8_t>(type | answer.group),
                 answer.subfunction,
                 answer.sequence,
                 answer.dataUnit,
                 static_cast<std::uint8_t>(answer.last ? 0x00 : 0x01),
                 static_cast<std::uint8_t>(answer.error >> 8),
                 static_cast<std::uint8_t>(answer.error)};
    if (answer.error != 0) {
        pdu.data = {0x0A, 0x00, 0x00, 0x00};
        return pdu;
    }
    pdu.data = {0xFF, 0x09};
    bytes::AppendBe16(pdu.data, static_cast<std::uint16_t>(payload.size()));
    Append(pdu.data, payload);
    return pdu;
}

Bytes TisPayload(ByteView parameter, ByteView data) {
    Bytes payload;
    payload.reserve(4 + parameter.size() + data.size());
    bytes::AppendBe16(payload, static_cast<std::uint16_t>(parameter.size()));
    bytes::AppendBe16(payload, static_cast<std::uint16_t>(data.size()));
    Append(payload, parameter);
    Append(payload, data);
    return payload;
}

}  // namespace vaultra::sim::s7
