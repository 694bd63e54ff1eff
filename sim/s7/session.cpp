#include "sim/s7/session.h"

#include <algorithm>

#include "sim/s7/errors.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::uint16_t kMinimumPdu = 64;
// Upload and download pieces stay within one 240-byte PDU, so that every piece travels as one packet
// or one adapter telegram.
constexpr std::size_t kMaxPiece = 222;

bool ChangesProgram(Service service) {
    switch (service) {
        case Service::RequestDownload:
        case Service::Insert:
        case Service::Delete:
        case Service::Compress:
        case Service::ClearAll:
        case Service::RamToRom:
        case Service::VartabWrite:
        case Service::WriteVar:
            return true;
        default:
            return false;
    }
}

bool NeedsLogOn(Service service) {
    return ChangesProgram(service) || service == Service::StartUpload || service == Service::Start ||
           service == Service::Stop;
}

}  // namespace

Session::Session(Plc& plc, std::string name) : plc_(plc), name_(std::move(name)) {}

Session::Reply Session::Handle(ByteView bytes) {
    const Log& log = plc_.Logger();
    std::string why;
    const auto request = DecodePdu(bytes, &why);
    if (!request) {
        log.Note(name_ + ": ignored malformed PDU (" + why + "): " + Hex(bytes, 64));
        return {};
    }
    const Service service = Classify(*request);
    if (log.Verbose()) {
        log.Trace(name_ + " <- " + std::string(ServiceName(service)) + ": " + Hex(bytes, 96));
    }
    // The client's answers within the download dialogue are not requests of their own.
    if (service != Service::DownloadPiece && service != Service::EndDownload) {
        ++requests_;
        const FaultOptions& faults = plc_.Options().faults;
        if (faults.cutAfter && requests_ > *faults.cutAfter) {
            log.Trace(name_ + ": cutting the connection (fault)");
            return {{}, true};
        }
        if (faults.silentAfter && requests_ > *faults.silentAfter) {
            log.Trace(name_ + ": staying silent (fault)");
            return {};
        }
    }
    Reply reply;
    for (const Pdu& answer : Dispatch(*request, service)) {
        reply.pdus.push_back(EncodePdu(answer));
        if (log.Verbose()) {
            log.Trace(name_ + " -> " + Hex(reply.pdus.back(), 96));
        }
    }
    return reply;
}

std::optional<std::uint16_t> Session::InjectedError(Service service) const {
    const FaultOptions& faults = plc_.Options().faults;
    for (const ErrorInjection& injection : faults.errors) {
        if (injection.service == ServiceName(service)) {
            return injection.code;
        }
    }
    if (faults.busy && service != Service::Setup) {
        return error::kBusy;
    }
    return std::nullopt;
}

std::optional<std::uint16_t> Session::ProtectionError(Service service) const {
    if (plc_.IsProtected() && !loggedOn_ && NeedsLogOn(service)) {
        return error::kProtected;
    }
    // The key switch in RUN locks the program against changes unless the password was given.
    if (plc_.Switch() == Keyswitch::Run && !loggedOn_ && ChangesProgram(service)) {
        return error::kProtected;
    }
    return std::nullopt;
}

std::vector<Pdu> Session::Refuse(const Pdu& request, std::uint16_t error) {
    plc_.Logger().Trace(name_ + ": refusing with error " +
                        Hex(Bytes{static_cast<std::uint8_t>(error >> 8), static_cast<std::uint8_t>(error)}));
    if (request.rosctr == Rosctr::UserData) {
        const auto header = ReadUserDataHeader(request);
        return {Answer(request, header ? header->group : 0, header ? header->subfunction : 0, {}, error)};
    }
    return {ErrorAck(request, error)};
}

std::vector<Pdu> Session::Dispatch(const Pdu& request, Service service) {
    if (const auto injected = InjectedError(service)) {
        return Refuse(request, *injected);
    }
    if (const auto protection = ProtectionError(service)) {
        return Refuse(request, *protection);
    }
    switch (service) {
        case Service::Setup:
            return {SetupCommunication(request)};
        case Service::ListBlocks:
            return {ListBlocks(request)};
        case Service::ListType:
            return {ListType(request)};
        case Service::BlockInfo:
            return {BlockInfo(request)};
        case Service::StartUpload:
            return {StartUpload(request)};
        case Service::Upload:
            return {UploadPiece(request)};
        case Service::EndUpload:
            return {EndUpload(request)};
        case Service::RequestDownload:
            return RequestDownload(request);
        case Service::DownloadPiece:
            return DownloadPiece(request);
        case Service::EndDownload:
            return EndDownload(request);
        case Service::Insert:
        case Service::Delete:
            return {InsertOrDelete(request, service)};
        case Service::Compress:
            plc_.CompressMemory();
            return {AckData(request, {0x28})};
        case Service::RamToRom:
            return {AckData(request, {0x28})};
        case Service::Start:
        case Service::Stop:
            return {StartStop(request, service)};
        case Service::Password:
        case Service::LogOff:
            return {Password(request, service)};
        case Service::Szl:
            return {ReadSzl(request)};
        case Service::ClearAll:
            return {ClearAll(request)};
        case Service::BlockStack:
        case Service::InterruptStack:
            return {Stack(request, service)};
        case Service::VartabRead:
            return VartabRead(request);
        case Service::VartabWrite:
            return VartabWrite(request);
        case Service::ToggleRead:
            return {ToggleRead(request)};
        case Service::ReadVar:
            return {ReadVar(request)};
        case Service::WriteVar:
            return {WriteVar(request)};
        case Service::StatusVarInit:
            return StatusVarInit(request);
        case Service::StatusBlockInit:
            return StatusBlockInit(request);
        case Service::StatusData:
            return StatusData(request);
        case Service::StatusExit:
            return {StatusExit(request)};
        case Service::Unknown:
            break;
    }
    // Stray acknowledgements get no answer; unknown requests are refused.
    if (request.rosctr == Rosctr::Job || request.rosctr == Rosctr::UserData) {
        return Refuse(request, error::kNotSupported);
    }
    return {};
}

Pdu Session::SetupCommunication(const Pdu& request) {
    ByteReader reader(request.param);
    reader.Skip(2);
    const std::uint16_t calling = reader.U16();
    const std::uint16_t called = reader.U16();
    const std::uint16_t asked = reader.U16();
    if (!reader.Ok()) {
        return ErrorAck(request, error::kBadRequest);
    }
    // One job at a time in each direction; the PDU size goes down to what the client asked for.
    pduSize_ = std::max(kMinimumPdu, std::min(asked, plc_.Options().maxPdu));
    Bytes param = {0xF0, 0x00};
    bytes::AppendBe16(param, std::min<std::uint16_t>(calling, 1));
    bytes::AppendBe16(param, std::min<std::uint16_t>(called, 1));
    bytes::AppendBe16(param, pduSize_);
    plc_.Logger().Trace(name_ + ": PDU size " + std::to_string(pduSize_));
    return AckData(request, std::move(param));
}

Pdu Session::Answer(const Pdu& request, std::uint8_t group, std::uint8_t sub, ByteView payload,
                    std::uint16_t error) {
    UserDataAnswer answer;
    answer.group = group;
    answer.subfunction = sub;
    answer.sequence = ++sequence_;
    answer.error = error;
    return UserData(request.reference, answer, payload);
}

Pdu Session::Push(std::uint8_t group, std::uint8_t sub, std::uint8_t sequence, ByteView payload) {
    UserDataAnswer answer;
    answer.group = group;
    answer.subfunction = sub;
    answer.sequence = sequence;
    answer.push = true;
    return UserData(NextPlcReference(), answer, payload);
}

std::array<std::uint8_t, 2> Session::NextPlcReference() {
    ++plcReference_;
    return {static_cast<std::uint8_t>(plcReference_ >> 8), static_cast<std::uint8_t>(plcReference_)};
}

std::size_t Session::PieceSize() const {
    // Acknowledge header 12, parameter 2, data header 4.
    return std::min<std::size_t>(kMaxPiece, pduSize_ - 18);
}

}  // namespace vaultra::sim::s7
