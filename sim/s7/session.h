// One client's S7 connection to the simulated PLC: answers requests from the PLC's side and keeps the
// state a connection owns (negotiated PDU size, log-on, uploads, the download dialogue, directory
// follow-ups and status jobs).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "sim/s7/pdu.h"
#include "sim/s7/plc.h"
#include "sim/s7/service.h"

namespace vaultra::sim::s7 {

class Session {
public:
    struct Reply {
        std::vector<Bytes> pdus;  // answers and PLC-driven jobs, in sending order
        bool cut = false;         // close the connection without answering
    };

    Session(Plc& plc, std::string name);

    Reply Handle(ByteView request);
    // PDU size agreed in the setup of communication (240 before it).
    std::uint16_t PduSize() const { return pduSize_; }
    const std::string& Name() const { return name_; }

private:
    struct Upload {
        BlockId id;
        std::size_t offset = 0;
    };
    struct Download {
        BlockId id;
        std::string fileName;  // "_0A00001P", echoed in the PLC's jobs
        std::uint32_t loadLength = 0;
        Bytes received;
    };
    struct DirectoryCursor {
        std::uint8_t type = 0;
        std::size_t next = 0;
    };
    struct StatusItem {
        Area area = Area::Flags;
        std::uint8_t size = 1;
        std::uint16_t db = 0;
        std::uint16_t address = 0;
    };

    std::vector<Pdu> Dispatch(const Pdu& request, Service service);
    std::optional<std::uint16_t> InjectedError(Service service) const;
    std::optional<std::uint16_t> ProtectionError(Service service) const;
    std::vector<Pdu> Refuse(const Pdu& request, std::uint16_t error);

    Pdu SetupCommunication(const Pdu& request);
    // Block functions and upload.
    Pdu ListBlocks(const Pdu& request);
    Pdu ListType(const Pdu& request);
    Pdu DirectoryPage(const Pdu& request);
    Pdu BlockInfo(const Pdu& request);
    Pdu StartUpload(const Pdu& request);
    Pdu UploadPiece(const Pdu& request);
    Pdu EndUpload(const Pdu& request);
    // The lowest identifier free for a new upload, none when too many uploads are open at once.
    std::optional<std::uint32_t> FreeUploadId() const;
    // Download dialogue and block management.
    std::vector<Pdu> RequestDownload(const Pdu& request);
    std::vector<Pdu> DownloadPiece(const Pdu& request);
    std::vector<Pdu> EndDownload(const Pdu& request);
    Pdu DownloadJob(std::uint8_t function);
    Pdu InsertOrDelete(const Pdu& request, Service service);
    // CPU control and information.
    Pdu StartStop(const Pdu& request, Service service);
    Pdu Password(const Pdu& request, Service service);
    Pdu ReadSzl(const Pdu& request);
    Pdu ClearAll(const Pdu& request);
    Pdu Stack(const Pdu& request, Service service);
    // Memory access and status jobs.
    std::vector<Pdu> VartabRead(const Pdu& request);
    std::vector<Pdu> VartabWrite(const Pdu& request);
    Pdu ToggleRead(const Pdu& request);
    Pdu ReadVar(const Pdu& request);
    Pdu WriteVar(const Pdu& request);
    std::vector<Pdu> StatusVarInit(const Pdu& request);
    std::vector<Pdu> StatusBlockInit(const Pdu& request);
    std::vector<Pdu> StatusData(const Pdu& request);
    Pdu StatusExit(const Pdu& request);
    Bytes StatusValues() const;

    Pdu Answer(const Pdu& request, std::uint8_t group, std::uint8_t sub, ByteView payload,
               std::uint16_t error = 0);
    Pdu Push(std::uint8_t group, std::uint8_t sub, std::uint8_t sequence, ByteView payload);
    std::array<std::uint8_t, 2> NextPlcReference();
    std::size_t PieceSize() const;

    Plc& plc_;
    std::string name_;
    unsigned requests_ = 0;
    std::uint16_t pduSize_ = 240;
    bool loggedOn_ = false;
    std::map<std::uint32_t, Upload> uploads_;
    std::optional<Download> download_;
    std::map<BlockId, Bytes> passive_;  // downloaded blocks waiting to be inserted
    std::optional<DirectoryCursor> directory_;
    std::uint8_t sequence_ = 0;
    std::uint16_t plcReference_ = 0x0100;
    std::vector<StatusItem> statusItems_;
    std::uint8_t varJob_ = 0;
    std::uint8_t blockJob_ = 0;
    std::size_t blockStatusBytes_ = 0;
    std::uint8_t nextJob_ = 1;
};

}  // namespace vaultra::sim::s7
